#include "printer_status.h"

#include <cctype>
#include <cstdio>

namespace epl2::eplhost {

namespace {

constexpr char nak = '\x15';
constexpr char xoff = '\x13';
constexpr char xon = '\x11';

struct KnownError {
    int code;
    const char* words;
};

// The error codes of EPL2 printers that a batch can meet.
constexpr KnownError known_errors[] = {
    {1, "syntax error"},
    {2, "object exceeded the label border"},
    {3, "bar code data length error"},
    {4, "insufficient memory to store a form or graphic"},
    {5, "memory configuration error"},
    {7, "out of media (labels or ribbon)"},
    {8, "form or graphic name already in use"},
    {11, "print head open"},
    {92, "paused"},
};

std::string describe(int code) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", code);
    for (const KnownError& known : known_errors)
        if (known.code == code) return std::string(known.words) + " (" + digits + ")";
    return std::string("error ") + digits;
}

bool two_digits(std::string_view text) {
    return text.size() == 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
           std::isdigit(static_cast<unsigned char>(text[1]));
}

int value_of(std::string_view digits) {
    return (digits[0] - '0') * 10 + (digits[1] - '0');
}

// The answer's line, with what the printer reported unasked before it taken out.
struct Parts {
    std::vector<int> unasked;
    std::string line;
    bool whole = false;
};

Parts split(std::string_view answer) {
    Parts parts;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        const char c = answer[i];
        if (c == nak && i + 2 < answer.size() && two_digits(answer.substr(i + 1, 2))) {
            parts.unasked.push_back(value_of(answer.substr(i + 1, 2)));
            i += 2;
        } else if (c == '\n') {
            parts.whole = true;
            return parts;
        } else if (c != xoff && c != xon && c != '\r') {
            parts.line += c;
        }
    }
    return parts;
}

}  // namespace

std::string PrinterStatus::words() const {
    std::string text;
    for (int code : errors) {
        if (!text.empty()) text += ", ";
        text += describe(code);
    }
    return text.empty() ? "no error" : text;
}

bool is_whole_error_report(std::string_view answer) {
    return split(answer).whole;
}

std::optional<PrinterStatus> read_error_report(std::string_view answer) {
    Parts parts = split(answer);
    if (!parts.whole) return std::nullopt;
    PrinterStatus status;
    for (int code : parts.unasked)
        if (code != 0) status.errors.push_back(code);
    std::string_view line = parts.line;
    while (!line.empty()) {
        const auto comma = line.find(',');
        const std::string_view code = line.substr(0, comma);
        if (!two_digits(code)) return std::nullopt;
        const int value = value_of(code);
        bool known = false;
        for (int seen : status.errors) known = known || seen == value;
        if (value != 0 && !known) status.errors.push_back(value);
        line = comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
    }
    if (parts.line.empty()) return std::nullopt;
    return status;
}

}  // namespace epl2::eplhost
