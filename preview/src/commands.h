// The EPL2 commands the printer model carries out, by family. Each family is a file
// commands_<family>.cpp whose handlers are reached through its rows; the dispatch table below
// lists the families. Adding a family is a new file, its declaration here and a row in the table.
#pragma once

#include <span>
#include <string_view>

#include "printer_state.h"
#include "stream.h"

namespace eplview {

// parameters: the command's text after its name.
using Handler = void (*)(Printer& printer, const Command& command, std::string_view parameters);

struct CommandRow {
    std::string_view name;  // the letters that name the command: "A", "LO", "GW", ...
    Handler handler;
};
using CommandRows = std::span<const CommandRow>;

CommandRows line_commands();      // LO LE LW X: lines and boxes
CommandRows text_commands();      // A
CommandRows barcode_commands();   // B: barcodes
CommandRows symbol_commands();    // b: two-dimensional symbols
CommandRows graphic_commands();   // GK GM GG GI GW: stored graphics and rasters
CommandRows form_commands();      // FK FS FE FR FI V ?: stored forms and their variables
CommandRows printing_commands();  // N P: the image buffer and printing
CommandRows setting_commands();   // Q q R Z D S O J j M I: label and printer settings

// The handler of commands that are accepted and change nothing here (FI, GI: list forms and
// graphics on the printer's port).
inline void accepted(Printer&, const Command&, std::string_view) {}

// The dispatch table: every command family, one row each.
inline constexpr CommandRows (*command_families[])() = {
    line_commands,    text_commands, barcode_commands,  symbol_commands,
    graphic_commands, form_commands, printing_commands, setting_commands,
};

// The name of the command that text starts with: the longest name of the table it begins with,
// or its first character when it begins with none.
std::string_view command_name(std::string_view text);

// Carries out one command through the table; an unknown one gets a warning.
void execute(Printer& printer, const Command& command);

// Stored forms reach into the command stream: a form being stored takes the commands up to FE,
// and a recall of a form with variables takes the ? line and the data lines after it. True when
// the command was taken that way.
bool take_into_form(Printer& printer, const Command& command);
// At the end of the stream: a recall still waiting for data draws with what came, and a form
// left open is reported.
void finish_forms(Printer& printer);
// At the end of the stream: the note on labels printed without a known length.
void finish_printing(Printer& printer);

}  // namespace eplview
