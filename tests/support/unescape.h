// The escapes of the test case files: \n \r \t \0 \\ \xHH, any other escaped character as itself,
// and \{N:TEXT} for N copies of TEXT (which may hold escapes, but no `}`).
#pragma once

#include <string>
#include <string_view>

namespace epl2::test {

inline std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        static constexpr std::string_view plain = "nrt0", meant = {"\n\r\t\0", 4};
        if (const std::size_t k = plain.find(c); k != std::string_view::npos) {
            out.push_back(meant[k]);
            continue;
        }
        switch (c) {
            case 'x':
                out.push_back(
                    static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
                i += 2;
                break;
            case '{': {  // \{N:TEXT}: TEXT, itself with escapes, N times
                const std::size_t colon = text.find(':', i);
                const std::size_t close = text.find('}', colon);
                const std::string one = unescape(text.substr(colon + 1, close - colon - 1));
                for (auto n = std::stoul(std::string(text.substr(i + 1, colon - i - 1))); n > 0;
                     --n)
                    out += one;
                i = close;
                break;
            }
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace epl2::test
