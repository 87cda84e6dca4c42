#include "symbol_options.h"

#include <algorithm>
#include <cctype>

namespace eplview {
namespace {

// Structured append: c and the symbol's number, d and the count of symbols, p and the parity byte
// in up to two hexadecimal digits.
std::size_t scan_append(std::string_view text, std::size_t at) {
    if (at < text.size() && text[at] == 'c') at = scan_digits(text, at + 1);
    if (at < text.size() && text[at] == 'd') at = scan_digits(text, at + 1);
    if (at < text.size() && text[at] == 'p') {
        std::size_t end = std::min(text.size(), at + 3);
        for (++at; at < end && std::isxdigit(static_cast<unsigned char>(text[at]));) ++at;
    }
    return at;
}

}  // namespace

std::size_t scan_digits(std::string_view text, std::size_t at) {
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at;
}

std::vector<Option> prefixed_options(Printer& printer, const Command& command,
                                     std::string_view symbology,
                                     const std::vector<std::string>& fields,
                                     std::initializer_list<OptionLetter> letters) {
    std::string text;
    for (const auto& field : fields) text += field;
    std::vector<Option> options;
    for (std::size_t at = 0; at < text.size();) {
        const OptionLetter* known = nullptr;
        for (const auto& candidate : letters)
            if (candidate.letter == text[at]) known = &candidate;
        if (!known) {
            printer.warn(command, "b: unknown " + std::string(symbology) + " option \"" +
                                      printable(text.substr(at)) + "\"");
            break;
        }
        std::size_t end = known->value == Value::number   ? scan_digits(text, at + 1)
                          : known->value == Value::append ? scan_append(text, at + 1)
                                                          : std::min(text.size(), at + 2);
        options.push_back(
            {known->letter, text.substr(at + 1, end - at - 1), text.substr(at, end - at)});
        at = end;
    }
    return options;
}

std::optional<int> option_number(Printer& printer, const Command& command,
                                 std::string_view symbology, const Option& option, int low,
                                 int high) {
    auto value = to_int(option.value);
    if (value && *value >= low && *value <= high) return value;
    printer.warn(command, "b: " + std::string(symbology) + " option \"" + printable(option.text) +
                              "\" is not a number from " + std::to_string(low) + " to " +
                              std::to_string(high));
    return std::nullopt;
}

bool option_on(const Option& option) {
    return option.value.empty() || option.value.find_first_not_of('0') != std::string::npos;
}

}  // namespace eplview
