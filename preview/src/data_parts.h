// The last parameter of B and b as it was written. The printer reads more there than one quoted
// string: bare words between quoted strings (Code 128's function characters F1..F4) and, for
// QR Code, options written without a comma before the data. The field splitter joins all of it
// into one field; this keeps the parts apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace eplview {

struct DataPart {
    std::string text;  // escapes of quoted text resolved
    bool quoted = false;
};

inline std::vector<DataPart> last_parameter_parts(std::string_view parameters) {
    std::size_t start = 0;
    bool in_quotes = false;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        char c = parameters[i];
        if (in_quotes && c == '\\')
            ++i;
        else if (c == '"')
            in_quotes = !in_quotes;
        else if (!in_quotes && c == ',')
            start = i + 1;
    }
    std::vector<DataPart> parts;
    in_quotes = false;
    for (std::size_t i = start; i < parameters.size(); ++i) {
        char c = parameters[i];
        if (c == '"') {
            in_quotes = !in_quotes;
            if (in_quotes) parts.push_back({"", true});
            continue;
        }
        if (in_quotes && c == '\\' && i + 1 < parameters.size()) c = parameters[++i];
        if (!in_quotes && (parts.empty() || parts.back().quoted)) parts.push_back({"", false});
        parts.back().text += c;
    }
    // Blanks around the quotes carry nothing.
    std::erase_if(parts, [](const DataPart& part) {
        return !part.quoted && part.text.find_first_not_of(" \t") == std::string::npos;
    });
    return parts;
}

}  // namespace eplview
