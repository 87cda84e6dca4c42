// Whole numbers on eplview's command lines.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace eplview {

// The text as a whole number from low to high, all of it; nothing otherwise.
inline std::optional<long> whole_number(const std::string& text, long low, long high) {
    try {
        std::size_t used = 0;
        long value = std::stol(text, &used);
        if (used == text.size() && value >= low && value <= high) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

}  // namespace eplview
