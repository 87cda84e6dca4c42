// The printer side of eplhost: the models that the module's ModelTable lists, the selected
// model's setup dialog as getsetup describes it, and the option values that go to savevar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_job.h"
#include "module.h"

namespace epl2::eplhost {

struct Model {
    std::int32_t index = 0;
    std::string maker, name;
    std::int32_t model_class = 0, reduced_options = 0, resolution_code = 0, memory_code = 0,
                 printer_type = 0;
    [[nodiscard]] int dpi() const noexcept { return resolution_code == 0 ? 300 : 203; }
};

// The model eplhost prints for when neither the command line nor the label names one.
inline constexpr const char* default_model_name = "Zebra LP 2844";

std::vector<Model> read_models(const host::Module& module);

// By index, by full name (case-insensitive) or by a prefix that only one name has; throws
// Failure (bad_printer) with the close matches otherwise.
const Model& find_model(const std::vector<Model>& models, std::string_view wanted);

// "#2": a choice by its position in the dialog's list rather than by its text.
inline constexpr char choice_position_mark = '#';

// One dialog position as getsetup answers it.
struct SetupOption {
    std::int32_t position = 0;
    std::int32_t id = 0;  // the option's fixed id, the same on every model
    std::string prompt;   // as the module gives it, colon included
    char kind = 0;        // kind_integer, kind_choice or kind_length (setup/option_catalogue.h)
    std::vector<std::string> choices;
    std::int32_t value = 0;  // the value getsetup answered (the default for a fresh job)
    std::int32_t width = 0;
    std::int32_t range_min = 0, range_max = 0;  // values getsetup accepts unchanged
    [[nodiscard]] std::string name() const;     // prompt without its colon
    [[nodiscard]] std::string describe_range() const;
    [[nodiscard]] std::string describe_value(std::int32_t v) const;
};

class Printer {
   public:
    Printer(const host::Module& module, host::Sink& sink, const Model& model);

    [[nodiscard]] const Model& model() const noexcept { return model_; }
    [[nodiscard]] host::HostJob& job() noexcept { return job_; }
    [[nodiscard]] const std::vector<SetupOption>& options() const noexcept { return options_; }

    // Applies option settings (name or id, value text) in order; later ones win. Throws Failure
    // (bad_printer) for an unknown option or a value the module would replace by its default.
    void set_options(const std::vector<std::pair<std::string, std::string>>& settings);

    // savevar for every dialog position, with the value set or else the default.
    void save_options();

    [[nodiscard]] std::int32_t value_of(const SetupOption& option) const;

    // What lets the model take a label this long: "; set "Memory available" to "252" (...)",
    // or that no setting does.
    [[nodiscard]] std::string advice_for_length(std::int32_t length);

    // The module's font names (font_name_list), index = font index.
    [[nodiscard]] std::vector<std::string> font_names();

   private:
    SetupOption ask(std::int32_t position, std::int32_t value);
    [[nodiscard]] bool accepted(std::int32_t position, std::int32_t value);
    void find_range(SetupOption& option);
    [[nodiscard]] const SetupOption& find_option(const std::string& name) const;
    [[nodiscard]] std::optional<std::int32_t> find_choice(const SetupOption& option,
                                                          std::string_view text) const;
    [[nodiscard]] std::int32_t parse_value(const SetupOption& option,
                                           const std::string& text) const;

    Model model_;
    host::HostJob job_;
    std::vector<SetupOption> options_;
    std::vector<std::optional<std::int32_t>> chosen_;
};

// Names within edit distance 3 or sharing a word with the wanted one, best first.
std::vector<std::string> close_matches(std::string_view wanted,
                                       const std::vector<std::string>& names);

}  // namespace epl2::eplhost
