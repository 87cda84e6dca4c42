// The options of QR Code, Data Matrix and Aztec in b: each a prefix letter and its value, in any
// order, the commas between them optional (m2s4eH reads as m2,s4,eH).
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer_state.h"

namespace eplview {

enum class Value {
    number,  // digits, perhaps none: a switch written alone
    letter,  // one character
    append,  // structured append: cNN dNN pHH
};

struct OptionLetter {
    char letter;
    Value value;
};

struct Option {
    char letter;
    std::string value;
    std::string text;  // as written, for warnings
};

std::size_t scan_digits(std::string_view text, std::size_t at);

// The options of the fields, joined. Scanning stops at a letter the symbology does not know, which
// gets a warning; the options before it still apply.
std::vector<Option> prefixed_options(Printer& printer, const Command& command,
                                     std::string_view symbology,
                                     const std::vector<std::string>& fields,
                                     std::initializer_list<OptionLetter> letters);

// The option's number within its range, or a warning.
std::optional<int> option_number(Printer& printer, const Command& command,
                                 std::string_view symbology, const Option& option, int low,
                                 int high);

// A switch written alone or followed by a number; 0 turns it off.
bool option_on(const Option& option);

}  // namespace eplview
