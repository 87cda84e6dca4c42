// Splits an EPL2 byte stream into commands. A command is one line ended by a line feed; carriage
// returns around it and empty lines carry no meaning. Two commands carry binary data after their
// parameters: GW (raster rows, right after the fourth comma) and GM (a PCX file, after the line).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "diagnostics.h"

namespace eplview {

struct Command {
    std::size_t offset = 0;
    std::size_t line = 1;
    std::string text;                   // the line without its line end
    std::vector<std::uint8_t> payload;  // GW raster or GM file
    bool binary = false;  // the parameters announced binary data and the stream carried them on
};

struct Field {
    std::string text;  // quoted fields with their escapes resolved
    bool quoted = false;
};

struct Fields {
    std::vector<Field> list;
    bool unterminated = false;
};

// Hands each command to the sink as soon as it is split off, so a stream of many short commands
// never lives in memory as commands all at once.
using CommandSink = std::function<void(Command&&)>;
void for_each_command(std::span<const std::uint8_t> stream, Diagnostics& diagnostics,
                      const CommandSink& sink);
// The same for a stream still arriving: only the commands that have arrived whole; returns the
// bytes they took, and the rest waits for more of the stream.
std::size_t for_each_complete_command(std::span<const std::uint8_t> stream,
                                      Diagnostics& diagnostics, const CommandSink& sink);
std::vector<Command> split_commands(std::span<const std::uint8_t> stream, Diagnostics& diagnostics);

// Splits parameters at commas outside double quotes; inside quotes a backslash takes the next
// character literally (\" and \\).
Fields split_fields(std::string_view parameters);

}  // namespace eplview
