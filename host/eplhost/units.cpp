#include "units.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace epl2::eplhost {

namespace {

struct Unit {
    std::string_view suffix;
    double thousandths;  // per unit
};

// Longest suffixes first, so "mil" is not read as "m" + "il".
constexpr Unit units[] = {
    {"mil", 1.0},   {"mm", 1000.0 / 25.4}, {"cm", 10000.0 / 25.4},
    {"in", 1000.0}, {"pt", 1000.0 / 72.0}, {"", 1.0},
};

}  // namespace

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<std::int32_t> parse_length(std::string_view text) {
    text = trim(text);
    for (const Unit& unit : units) {
        if (text.size() <= unit.suffix.size() || !text.ends_with(unit.suffix)) continue;
        const std::string_view number = trim(text.substr(0, text.size() - unit.suffix.size()));
        double value = 0;
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), value);
        if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
            return {};
        const double scaled = std::round(value * unit.thousandths);
        if (std::fabs(scaled) > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
            return {};
        return static_cast<std::int32_t>(scaled);
    }
    return {};
}

std::optional<std::int32_t> parse_integer(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return value;
}

std::string describe_length(std::int32_t thousandths) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3gin", thousandths / 1000.0);
    return buffer;
}

std::string describe_length(std::int32_t thousandths, std::string_view unit) {
    if (unit != "mm") return describe_length(thousandths);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3gmm", thousandths * 0.0254);
    return buffer;
}

}  // namespace epl2::eplhost
