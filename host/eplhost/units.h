// Lengths as a label states them: a number of thousandths of an inch, or a string with a unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace epl2::eplhost {

// "1.5in", "25.4mm", "2cm", "36pt", "1500" (thousandths) or "1500mil"; the result is rounded to
// the nearest thousandth of an inch. Nothing when the text is not a length.
std::optional<std::int32_t> parse_length(std::string_view text);

// Whole numbers only ("12", "-3"); nothing for anything else.
std::optional<std::int32_t> parse_integer(std::string_view text);

// The text without the spaces and tabs around it.
std::string_view trim(std::string_view s);

// Thousandths of an inch as a short human text: "4.09in".
std::string describe_length(std::int32_t thousandths);
// The same in millimetres ("12.5mm") when `unit` is "mm", else in inches.
std::string describe_length(std::int32_t thousandths, std::string_view unit);

}  // namespace epl2::eplhost
