#include "device.h"

#include <algorithm>
#include <cstdio>

#include "commands.h"

namespace eplview {
namespace {

// The bytes that frame the answers: a line of an answer ends with CR LF; an error reported
// unasked is NAK, its two digits and XOFF, and XON follows the recovery.
constexpr char line_end[] = "\r\n";
constexpr char nak = '\x15';
constexpr char xoff = '\x13';
constexpr char xon = '\x11';

std::string two_digits(ErrorCode code) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(code) % 100);
    return text;
}

// The list answers (UF, UG): the number of entries in three digits, then a name a line.
template <class Entries>
std::string name_list(const Entries& entries) {
    char count[16];
    std::snprintf(count, sizeof count, "%03zu", entries.size());
    std::string answer = std::string(count) + line_end;
    for (const auto& entry : entries) answer += entry.first + line_end;
    return answer;
}

bool is_print(const Command& command) {
    return command_name(command.text) == "P";
}

}  // namespace

Device::Device(const Options& options, const Faults& faults)
    : options_(options),
      printer_(options),
      labels_left_(faults.labels_on_roll),
      drop_at_label_(faults.drop_at_label) {
    printer_.memory_full = faults.memory_full;
    if (faults.head_open) faults_.insert(ErrorCode::head_open);
    if (faults.paused) faults_.insert(ErrorCode::paused);
}

bool Device::is_status_command(const Command& command) const {
    // Inside a recall's data lines every line is data.
    if (printer_.recall && printer_.recall->collecting) return false;
    static const std::set<std::string, std::less<>> status_commands = {"US", "UN", "^ee",
                                                                       "UQ", "UF", "UG"};
    return status_commands.count(command.text) != 0;
}

Device::Outcome Device::take(const Command& command, std::vector<Label>& printed) {
    Outcome outcome;
    outcome.reply = std::move(unsent_);
    unsent_.clear();
    if (is_status_command(command)) {
        outcome.reply += answer_status(command.text);
        return outcome;
    }
    if (printer_.out_of_work) return outcome;
    const bool refused_before = printer_.store_refused;
    if (take_into_form(printer_, command)) {
        // FE is not taken into the form; nothing taken stores it.
    } else if (is_print(command)) {
        if (drop_at_label_ && labels_printed_ + 1 == *drop_at_label_) {
            drop_at_label_.reset();
            outcome.drop_connection = true;
            return outcome;
        }
        print(command, printed);
    } else {
        execute(printer_, command);
    }
    if (printer_.store_refused && !refused_before && reporting_)
        unsent_ += nak + two_digits(ErrorCode::insufficient_memory) + xoff;
    if (printer_.work > max_drawn_dots && !printer_.out_of_work) {
        printer_.out_of_work = true;
        printer_.warn(command, "the stream draws more than " + std::to_string(max_drawn_dots) +
                                   " dots; the rest of it is not interpreted");
    }
    outcome.reply += std::move(unsent_);
    unsent_.clear();
    return outcome;
}

void Device::print(const Command& command, std::vector<Label>& printed) {
    if (!faults_.empty()) {
        printer_.warn(command, "P: the printer has a fault (" + two_digits(*faults_.begin()) +
                                   "); the label is not printed");
        return;
    }
    if (labels_left_ && *labels_left_ == 0) {
        raise(ErrorCode::out_of_media);
        printer_.warn(command, "P: out of media; the label is not printed");
        return;
    }
    execute(printer_, command);
    if (printer_.labels.empty()) return;  // the P command was refused, with a warning
    Label label = std::move(printer_.labels.back());
    printer_.labels.clear();
    printer_.label_bytes = 0;
    auto copies = static_cast<std::size_t>(label.copies);
    if (labels_left_) {
        copies = std::min(copies, *labels_left_);
        *labels_left_ -= copies;
        // The roll ended within this label's copies.
        if (copies < static_cast<std::size_t>(label.copies)) raise(ErrorCode::out_of_media);
        label.copies = static_cast<int>(copies);
    }
    labels_printed_ += copies;
    if (copies > 0) printed.push_back(std::move(label));
}

void Device::raise(ErrorCode code) {
    if (faults_.insert(code).second && reporting_) unsent_ += nak + two_digits(code) + xoff;
}

void Device::clear_faults() {
    if (!faults_.empty() && reporting_) unsent_ += xon;
    faults_.clear();
    labels_left_.reset();
    printer_.memory_full = false;
}

void Device::open_head() {
    raise(ErrorCode::head_open);
}

std::vector<ErrorCode> Device::standing_errors() const {
    std::vector<ErrorCode> codes;
    if (printer_.store_refused) codes.push_back(ErrorCode::insufficient_memory);
    codes.insert(codes.end(), faults_.begin(), faults_.end());
    return codes;
}

// ^ee: the standing errors, separated by commas, or 00 when there are none.
std::string Device::error_report() {
    std::vector<ErrorCode> codes = standing_errors();
    printer_.store_refused = false;  // a refused store is reported once
    if (codes.empty()) codes.push_back(ErrorCode::no_error);
    std::string answer;
    for (ErrorCode code : codes) {
        if (!answer.empty()) answer += ',';
        answer += two_digits(code);
    }
    return answer + line_end;
}

std::string Device::answer_status(const std::string& command) {
    if (command == "US") reporting_ = true;
    if (command == "UN") reporting_ = false;
    if (command == "^ee") return error_report();
    if (command == "UQ") return configuration();
    if (command == "UF") return name_list(printer_.forms.entries);
    if (command == "UG") return name_list(printer_.graphics.entries);
    return {};
}

// UQ: the configuration as EPL2 printers dump it, a setting a line, and the labels printed.
std::string Device::configuration() const {
    const Summary& s = printer_.summary;
    std::size_t forms = 0, graphics = 0;
    for (const auto& entry : printer_.forms.entries) forms += entry.second.bytes;
    for (const auto& entry : printer_.graphics.entries)
        graphics += static_cast<std::size_t>(entry.second.bytes);
    const std::size_t buffer_kib =
        (static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.length) / 8 + 1023) / 1024;
    auto or_default = [](const std::string& value, const char* fallback) {
        return value.empty() ? std::string(fallback) : value;
    };
    char image_buffer[48];
    std::snprintf(image_buffer, sizeof image_buffer, "Image buffer size:%04zuK", buffer_kib);
    std::vector<std::string> lines = {
        "eplview virtual printer",
        image_buffer,
        "Fmem used: " + std::to_string(forms) + " (bytes)",
        "Gmem used: " + std::to_string(graphics),
        "Emem used: 0",
        "Available: " +
            (options_.memory == 0 || printer_.memory_full
                 ? std::string(printer_.memory_full ? "0" : "unlimited")
                 : std::to_string(options_.memory - std::min(options_.memory, forms + graphics))),
        std::string("S") + or_default(s.speed, "3") + " D" + or_default(s.darkness, "10") + " R" +
            std::to_string(s.reference_x) + "," + std::to_string(s.reference_y) +
            (s.top_first ? " ZT" : " ZB") + (reporting_ ? " US" : " UN"),
        std::string("q") + std::to_string(s.width) + " Q" + std::to_string(s.length) + "," +
            std::to_string(s.gap) + s.gap_offset,
        "Option:" + s.options,
        "Labels printed: " + std::to_string(labels_printed_),
    };
    std::string answer;
    for (const auto& line : lines) answer += line + line_end;
    return answer;
}

void Device::add_warnings(std::vector<Warning> warnings, std::size_t offset, std::size_t line) {
    for (Warning& warning : warnings)
        printer_.warn(warning.offset + offset, warning.line + line - 1, std::move(warning.message));
}

void Device::end_job(std::vector<Warning>& warnings, std::vector<Warning>& notes) {
    finish_forms(printer_);
    finish_printing(printer_);
    printer_.storing.reset();
    printer_.recall.reset();
    printer_.lengths_as_drawn.reset();
    printer_.labels.clear();
    printer_.label_bytes = 0;
    printer_.work = 0;
    printer_.out_of_work = false;
    warnings = printer_.diagnostics.take();
    notes = printer_.diagnostics.take_notes();
    printer_.diagnostics = Diagnostics();
}

}  // namespace eplview
