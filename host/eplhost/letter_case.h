// Names as people type them: model, option, choice, font and symbology names and file
// extensions match whatever their letter case. The names are ASCII, and so is the folding.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace epl2::eplhost {

inline char lower_case(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

inline std::string lower_case(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return lower_case(c); });
    return out;
}

inline bool same_ignoring_case(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower_case(x) == lower_case(y); });
}

}  // namespace epl2::eplhost
