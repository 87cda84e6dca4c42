#include "printer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>

#include "core/bytes.h"
#include "errors.h"
#include "letter_case.h"
#include "model_table.h"
#include "setup/option_catalogue.h"
#include "setup/option_lists.h"
#include "units.h"

namespace epl2::eplhost {

namespace {

std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t next =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

std::string join(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "\"" : ", \"") + n + "\"";
    return out;
}

std::string const_string(std::uint32_t word) {
    const auto* p = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word));
    return p == nullptr ? std::string() : std::string(p);
}

// The module maps dialog positions to the fixed option ids through the PrinterType's option
// list; the id lets a user name an option the same way on every model.
std::int32_t option_id_at(std::int32_t printer_type, std::int32_t position) {
    const auto list = option_list(printer_type);
    return static_cast<std::size_t>(position) < list.size()
               ? list[static_cast<std::size_t>(position)]
               : option::end;
}

// "2 inches/sec" (#0): how a value names the choice, and its position.
std::string describe_choice(const std::string& text, std::size_t position) {
    return "\"" + text + "\" (" + choice_position_mark + std::to_string(position) + ")";
}

constexpr std::int32_t value_outside_every_range = std::numeric_limits<std::int32_t>::min();

}  // namespace

std::vector<Model> read_models(const host::Module& module) {
    std::vector<Model> models;
    std::vector<host::ModelRecord> records;
    try {
        records = host::read_model_table(module);
    } catch (const host::ModuleError& e) {
        fail(ExitCode::module, e.what());
    }
    for (const host::ModelRecord& record : records) {
        models.push_back(Model{record.model_index, record.maker, record.model, record.model_class,
                               record.reduced_options, record.resolution_code, record.memory_code,
                               record.printer_type});
    }
    if (models.empty())
        fail(ExitCode::module, "the driver module " + module.path() + " carries no model table");
    return models;
}

std::vector<std::string> close_matches(std::string_view wanted,
                                       const std::vector<std::string>& names) {
    const std::string w = lower_case(wanted);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const auto& name : names) {
        const std::string n = lower_case(name);
        std::size_t score = edit_distance(w, n);
        if (n.find(w) != std::string::npos || (!n.empty() && w.find(n) != std::string::npos))
            score = std::min<std::size_t>(score, 1);
        if (score <= std::max<std::size_t>(3, w.size() / 3)) scored.emplace_back(score, name);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < scored.size() && i < 5; ++i) out.push_back(scored[i].second);
    return out;
}

const Model& find_model(const std::vector<Model>& models, std::string_view wanted) {
    if (const auto index = parse_integer(wanted)) {
        for (const Model& m : models) {
            if (m.index == *index) return m;
        }
        fail(ExitCode::bad_printer,
             "no model has index " + std::string(wanted) + "; the indices run from 0 to " +
                 std::to_string(models.size() - 1) + " (see \"eplhost models\")");
    }
    const std::string w = lower_case(wanted);
    std::vector<const Model*> prefixed;
    for (const Model& m : models) {
        if (same_ignoring_case(m.name, wanted)) return m;
        if (!w.empty() && lower_case(m.name).starts_with(w)) prefixed.push_back(&m);
    }
    if (prefixed.size() == 1) return *prefixed.front();
    std::vector<std::string> names;
    if (prefixed.size() > 1) {
        for (const Model* m : prefixed) names.push_back(m->name);
        fail(ExitCode::bad_printer,
             "model \"" + std::string(wanted) + "\" is ambiguous: it could be " + join(names));
    }
    for (const Model& m : models) names.push_back(m.name);
    const auto close = close_matches(wanted, names);
    fail(ExitCode::bad_printer,
         "unknown model \"" + std::string(wanted) + "\"" +
             (close.empty() ? std::string() : "; did you mean " + join(close) + "?") +
             " (see \"eplhost models\")");
}

std::string SetupOption::name() const {
    return prompt.ends_with(':') ? prompt.substr(0, prompt.size() - 1) : prompt;
}

std::string SetupOption::describe_range() const {
    if (kind == kind_choice) {
        std::string out;
        for (std::size_t i = 0; i < choices.size(); ++i)
            out += (i == 0 ? "" : ", ") + describe_choice(choices[i], i);
        return "one of " + out + "; " + choice_position_mark + "N selects a choice by its position";
    }
    if (kind == kind_length)
        return describe_length(range_min) + " to " + describe_length(range_max) + " (" +
               std::to_string(range_min) + " to " + std::to_string(range_max) +
               " thousandths of an inch)";
    return std::to_string(range_min) + " to " + std::to_string(range_max);
}

std::string SetupOption::describe_value(std::int32_t v) const {
    if (kind == kind_choice && v >= 0 && static_cast<std::size_t>(v) < choices.size()) {
        return std::to_string(v) + " \"" + choices[static_cast<std::size_t>(v)] + "\"";
    }
    if (kind == kind_length) return std::to_string(v) + " (" + describe_length(v) + ")";
    return std::to_string(v);
}

Printer::Printer(const host::Module& module, host::Sink& sink, const Model& model)
    : model_(model), job_(module, sink) {
    job_.select_model(model.model_class, model.reduced_options, model.resolution_code,
                      model.memory_code, model.printer_type);
    // The dialog ends at the first position that answers no option.
    for (std::int32_t position = 0; position < 64; ++position) {
        SetupOption option = ask(position, value_outside_every_range);
        if (option.kind == 0) break;
        option.id = option_id_at(model.printer_type, position);
        find_range(option);
        options_.push_back(std::move(option));
    }
    chosen_.resize(options_.size());
}

SetupOption Printer::ask(std::int32_t position, std::int32_t value) {
    std::array<char, 64> prompt{};
    char kind = 0;
    // getsetup writes the choice list of a position into element [position] of this array.
    std::vector<std::uint32_t> choice_lists(static_cast<std::size_t>(position) + 1, 0);
    std::array<std::uint32_t, 16> choices{};
    choice_lists.back() = host::word(choices.data());
    std::int32_t v = value, width = 0;
    job_.call(job_.entry().getsetup, position, prompt.data(), &kind, choice_lists.data(), &v,
              &width);
    prompt.back() = '\0';
    SetupOption option;
    option.position = position;
    option.prompt = prompt.data();
    option.kind = kind;
    option.value = v;
    option.width = width;
    if (kind == kind_choice) {
        for (std::uint32_t word : choices) {
            std::string text = const_string(word);
            if (text.empty()) break;
            option.choices.push_back(std::move(text));
        }
    }
    return option;
}

bool Printer::accepted(std::int32_t position, std::int32_t value) {
    return ask(position, value).value == value;
}

// getsetup keeps a value inside the option's range and replaces any other by the default, so
// the range is the run of accepted values around the default; it is found by bisection.
void Printer::find_range(SetupOption& option) {
    if (option.kind == kind_choice) {
        option.range_min = 0;
        option.range_max = static_cast<std::int32_t>(option.choices.size()) - 1;
        return;
    }
    std::int64_t inside = option.value, outside = std::numeric_limits<std::int32_t>::min();
    while (inside - outside > 1) {
        const std::int64_t mid = outside + (inside - outside) / 2;
        (accepted(option.position, static_cast<std::int32_t>(mid)) ? inside : outside) = mid;
    }
    option.range_min = static_cast<std::int32_t>(inside);
    inside = option.value;
    outside = std::numeric_limits<std::int32_t>::max();
    while (outside - inside > 1) {
        const std::int64_t mid = inside + (outside - inside) / 2;
        (accepted(option.position, static_cast<std::int32_t>(mid)) ? inside : outside) = mid;
    }
    option.range_max = static_cast<std::int32_t>(inside);
}

const SetupOption& Printer::find_option(const std::string& name) const {
    if (const auto id = parse_integer(name)) {
        for (const SetupOption& option : options_) {
            if (option.id == *id) return option;
        }
        fail(ExitCode::bad_printer, "the " + model_.name + " has no setup option with id " + name +
                                        " (see \"eplhost options --model " +
                                        std::to_string(model_.index) + "\")");
    }
    std::string_view wanted = name;
    if (wanted.ends_with(':')) wanted.remove_suffix(1);
    std::vector<std::string> names;
    for (const SetupOption& option : options_) {
        if (same_ignoring_case(option.name(), wanted)) return option;
        names.push_back(option.name());
    }
    const auto close = close_matches(name, names);
    fail(ExitCode::bad_printer,
         "the " + model_.name + " has no setup option \"" + name + "\"" +
             (close.empty() ? std::string() : "; did you mean " + join(close) + "?") +
             " (see \"eplhost options --model " + std::to_string(model_.index) + "\")");
}

// A choice by its own text: the whole of it, or the words it starts with when only one choice
// starts with those words ("2" for "2 inches/sec"); any letter case. A position only as "#N", so
// that a number that a choice's text starts with is never taken for a position.
std::optional<std::int32_t> Printer::find_choice(const SetupOption& option,
                                                 std::string_view text) const {
    text = trim(text);
    if (text.starts_with(choice_position_mark)) return parse_integer(text.substr(1));
    std::vector<std::size_t> starting;
    for (std::size_t i = 0; i < option.choices.size(); ++i) {
        const std::string_view choice = option.choices[i];
        if (same_ignoring_case(choice, text)) return static_cast<std::int32_t>(i);
        if (!text.empty() && choice.size() > text.size() && choice[text.size()] == ' ' &&
            same_ignoring_case(choice.substr(0, text.size()), text))
            starting.push_back(i);
    }
    if (starting.size() == 1) return static_cast<std::int32_t>(starting.front());
    if (starting.size() > 1) {
        std::vector<std::string> names;
        for (const std::size_t i : starting) names.push_back(option.choices[i]);
        fail(ExitCode::bad_printer, "option \"" + option.name() + "\": \"" + std::string(text) +
                                        "\" is ambiguous: it could be " + join(names));
    }
    return std::nullopt;
}

std::int32_t Printer::parse_value(const SetupOption& option, const std::string& text) const {
    std::optional<std::int32_t> value;
    if (option.kind == kind_choice) {
        value = find_choice(option, text);
    } else if (option.kind == kind_length) {
        value = parse_length(text);
    } else {
        value = parse_integer(text);
    }
    if (!value || *value < option.range_min || *value > option.range_max) {
        const auto default_choice = static_cast<std::size_t>(option.value);
        const std::string fallback =
            option.kind == kind_choice && default_choice < option.choices.size()
                ? describe_choice(option.choices[default_choice], default_choice)
                : option.describe_value(option.value);
        fail(ExitCode::bad_printer, "option \"" + option.name() + "\": \"" + text +
                                        "\" is not accepted by the " + model_.name + "; expected " +
                                        option.describe_range() +
                                        " (the module would use its default, " + fallback + ")");
    }
    return *value;
}

void Printer::set_options(const std::vector<std::pair<std::string, std::string>>& settings) {
    for (const auto& [name, text] : settings) {
        const SetupOption& option = find_option(name);
        const std::int32_t value = parse_value(option, text);
        // The module's own answer is the truth: a value it would replace is refused.
        if (!accepted(option.position, value)) {
            fail(ExitCode::bad_printer, "option \"" + option.name() + "\": the module replaces " +
                                            text + " by its default; expected " +
                                            option.describe_range());
        }
        chosen_[static_cast<std::size_t>(option.position)] = value;
    }
}

std::int32_t Printer::value_of(const SetupOption& option) const {
    return chosen_[static_cast<std::size_t>(option.position)].value_or(option.value);
}

void Printer::save_options() {
    for (const SetupOption& option : options_)
        job_.call(job_.entry().savevar, option.position, value_of(option));
}

// The module derives the longest label from the memory the printer has: each choice is tried
// through savevar, and then every option is saved again as it was chosen.
std::string Printer::advice_for_length(std::int32_t length) {
    const auto memory = std::find_if(options_.begin(), options_.end(), [](const SetupOption& o) {
        return o.id == option::memory_available && o.kind == kind_choice;
    });
    std::optional<std::size_t> fits;
    if (memory != options_.end()) {
        for (std::size_t i = 0; i < memory->choices.size() && !fits; ++i) {
            job_.call(job_.entry().savevar, memory->position, static_cast<std::int32_t>(i));
            const std::int32_t limit = job_.record().get(record::max_label_length);
            if (limit <= 0 || limit >= length) fits = i;
        }
        save_options();
    }
    if (!fits) return "; no setting of the " + model_.name + " takes a label that long";
    const std::string name = memory->name();
    const std::string& choice = memory->choices[*fits];
    return "; set \"" + name + "\" to \"" + choice + "\" (--set \"" + name + "=" + choice + "\")";
}

std::vector<std::string> Printer::font_names() {
    std::vector<std::string> names;
    const RecordView r = job_.record();
    for (std::size_t k = 0; k < record::font_name_list.capacity; ++k) {
        std::string name = const_string(r.get(record::font_name_list, k, word_entry::word));
        if (name.empty()) break;
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace epl2::eplhost
