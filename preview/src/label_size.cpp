#include "label_size.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

#include "eplview/eplview.h"

namespace eplview {
namespace {

constexpr double millimetres_per_inch = 25.4;

// A side in dots: whole dots, or (fractions allowed) inches or millimetres times per_unit,
// rounded to the nearest dot; nothing when it is not from 1 to high.
std::optional<int> size_dots(std::string_view number, double per_unit, bool fractions, int high) {
    auto digits = [](std::string_view part) {
        return !part.empty() && part.size() <= 9 &&
               std::ranges::all_of(part, [](unsigned char c) { return std::isdigit(c) != 0; });
    };
    auto point = number.find('.');
    bool fraction = point != std::string_view::npos;
    if (!digits(number.substr(0, point)) ||
        (fraction && !(fractions && digits(number.substr(point + 1)))))
        return std::nullopt;
    double dots = std::round(std::strtod(std::string(number).c_str(), nullptr) * per_unit);
    if (!(dots >= 1 && dots <= high)) return std::nullopt;
    return static_cast<int>(dots);
}

}  // namespace

std::optional<LabelSize> parse_label_size(std::string_view text, int dpi) {
    bool inches = text.ends_with("in"), millimetres = text.ends_with("mm");
    double per_unit = inches ? dpi : millimetres ? dpi / millimetres_per_inch : 1;
    if (inches || millimetres) text.remove_suffix(2);
    auto cross = text.find('x');
    if (cross == std::string_view::npos) return std::nullopt;
    bool fractions = inches || millimetres;
    auto width = size_dots(text.substr(0, cross), per_unit, fractions, max_label_width_dots);
    auto length = size_dots(text.substr(cross + 1), per_unit, fractions, max_label_length_dots);
    if (!width || !length) return std::nullopt;
    return LabelSize{*width, *length};
}

}  // namespace eplview
