// Runs a stream through the printer model: each command, as soon as the stream is split up to
// it, goes through the dispatch table of commands.h to its family's handler. Stored forms replay
// their commands through the same table, so a command behaves the same typed directly or
// recalled.
#include <algorithm>
#include <map>

#include "commands.h"
#include "printer_state.h"
#include "stream.h"

namespace eplview {
namespace {

struct Dispatch {
    std::map<std::string_view, Handler, std::less<>> handlers;
    std::size_t longest_name = 0;
};

const Dispatch& dispatch() {
    static const Dispatch table = [] {
        Dispatch built;
        for (auto family : command_families)
            for (const CommandRow& row : family()) {
                built.handlers.emplace(row.name, row.handler);
                built.longest_name = std::max(built.longest_name, row.name.size());
            }
        return built;
    }();
    return table;
}

// Stops interpreting a stream once it has drawn more than its share, so that no stream keeps the
// renderer (or a job thread of the virtual printer) busy without end.
void feed(Printer& printer, const Command& command) {
    if (printer.out_of_work) return;
    if (!take_into_form(printer, command)) execute(printer, command);
    if (printer.work <= max_drawn_dots) return;
    printer.out_of_work = true;
    printer.warn(command, "the stream draws more than " + std::to_string(max_drawn_dots) +
                              " dots; the rest of it is not interpreted");
}

Job run(Printer& printer, std::span<const std::uint8_t> stream,
        std::chrono::steady_clock::time_point deadline) {
    bool cut_short = false;
    for_each_command(stream, printer.diagnostics, [&](Command&& command) {
        if (cut_short || (cut_short = std::chrono::steady_clock::now() > deadline)) return;
        feed(printer, command);
    });
    finish_forms(printer);
    finish_printing(printer);
    for (const auto& [name, form] : printer.forms.entries)
        printer.summary.forms[name] = static_cast<int>(form.commands.size());
    for (const auto& [name, graphic] : printer.graphics.entries)
        printer.summary.graphics[name] = graphic.bytes;
    Job job;
    job.labels = std::move(printer.labels);
    job.warnings = printer.diagnostics.take();
    job.notes = printer.diagnostics.take_notes();
    job.summary = printer.summary;
    job.cut_short = cut_short;
    return job;
}

}  // namespace

std::string_view command_name(std::string_view text) {
    for (std::size_t length = std::min(text.size(), dispatch().longest_name); length > 1; --length)
        if (dispatch().handlers.count(text.substr(0, length))) return text.substr(0, length);
    return text.substr(0, 1);
}

void execute(Printer& printer, const Command& command) {
    std::string_view name = command_name(command.text);
    auto handler = dispatch().handlers.find(name);
    if (handler == dispatch().handlers.end()) {
        printer.warn(command, "unknown command \"" + printable(command.text.substr(0, 8)) + "\"");
        return;
    }
    handler->second(printer, command, std::string_view(command.text).substr(name.size()));
}

Job interpret(std::span<const std::uint8_t> stream, const Options& options) {
    Printer printer(options);
    return run(printer, stream, options.deadline);
}

std::size_t warning_count(const Job& job) {
    std::size_t count = 0;
    for (const Warning& warning : job.warnings) count += 1 + warning.repeats;
    return count;
}

std::string summary_text(const Summary& summary) {
    auto or_unset = [](const std::string& value) {
        return value.empty() ? std::string("-") : value;
    };
    std::string text;
    text += "resolution: " + std::to_string(summary.dpi) + " dpi\n";
    text += "label: " + std::to_string(summary.width) + " x " + std::to_string(summary.length) +
            " dots" + (summary.length_as_drawn ? " (length as drawn)" : "") + ", " +
            (summary.gap == 0 && !summary.black_mark ? "continuous" : "") +
            (summary.black_mark ? "black mark " : "") +
            (summary.gap > 0 || summary.black_mark ? "gap " + std::to_string(summary.gap) : "") +
            summary.gap_offset + "\n";
    text += "reference point: " + std::to_string(summary.reference_x) + "," +
            std::to_string(summary.reference_y) + "\n";
    text += std::string("print direction: ") + (summary.top_first ? "ZT" : "ZB") + "\n";
    text += "darkness: " + or_unset(summary.darkness) + ", speed: " + or_unset(summary.speed) +
            ", options: " + or_unset(summary.options) + ", backup: " + or_unset(summary.backup) +
            ", feed adjust: " + or_unset(summary.feed_adjust) +
            ", memory: " + or_unset(summary.memory) + "\n";
    for (const auto& [name, commands] : summary.forms)
        text += "form \"" + name + "\": " + std::to_string(commands) + " commands\n";
    for (const auto& [name, bytes] : summary.graphics)
        text += "graphic \"" + name + "\": " + std::to_string(bytes) + " bytes\n";
    text += "labels: " + std::to_string(summary.labels) +
            ", copies: " + std::to_string(summary.copies) + "\n";
    return text;
}

}  // namespace eplview
