// JSON as eplhost reads it from label and record files: parsed with a limit on nesting, malformed
// text reported by line and column, whole numbers turned into text without losing digits.
#pragma once

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace epl2::eplhost {

// Labels nest four levels (label, objects, object, field reference) and records two; anything
// much deeper is not one of them, and refusing it early keeps a hostile file from costing
// memory and time out of all proportion to its size.
inline constexpr std::size_t max_json_depth = 32;

// Throws Failure (bad_input) naming the source, the line and column, and nlohmann's explanation.
nlohmann::json parse_json(std::string_view text, const std::filesystem::path& source);

// A JSON whole number as decimal text, signed or unsigned, every digit kept; nothing for any
// other value.
std::optional<std::string> whole_number_text(const nlohmann::json& value);

// The bytes of a file; throws Failure (bad_input) naming it when it cannot be read.
std::string read_input_file(const std::filesystem::path& file);

// The file opened for reading in binary; throws Failure (bad_input) as read_input_file does.
std::ifstream open_input_file(const std::filesystem::path& file);

}  // namespace epl2::eplhost
