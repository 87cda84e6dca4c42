// The linear symbologies a label may name, what data each of them can encode, and how wide its
// bars come out. eplhost checks every barcode's data here before anything is sent: the printer
// takes whatever it is given and pads, cuts or reinterprets data that does not fit a symbology,
// so a label would print a different code without a word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace epl2::eplhost {

enum class BarcodeKind {
    upc_a,
    upc_e,
    ean13,
    ean8,
    code128,
    sscc,
    gs1_128,
    codabar,
    interleaved_2_of_5,
    code39,
    code93,
    postnet,
};

struct Symbology {
    const char* name;    // as labels name it, case-insensitive
    std::int32_t index;  // the module's symbology index
    BarcodeKind kind;
    [[nodiscard]] bool upc_ean() const noexcept;
};

const Symbology* find_symbology(std::string_view name);
std::vector<std::string> symbology_names();

// The data as the printer is to receive it, or, when `problem` is set, why the symbology cannot
// encode it and what it would take. UPC and EAN data lose a verified check digit (the printer
// always computes its own), GS1-128 data its parentheses, SSCC data gains the application
// identifier 00 when it lacks it. `addon_digits` is 0, 2 or 5.
struct BarcodeData {
    std::string data;
    std::string problem;
};
BarcodeData check_barcode_data(const Symbology& symbology, std::string_view data, int addon_digits);

// The bars' length along the code in dots, for data as check_barcode_data returns it; `narrow`
// and `wide` are the bar widths in dots. Postnet's bars keep their own pitch, whatever the widths.
std::int32_t barcode_length_dots(const Symbology& symbology, std::string_view data,
                                 int addon_digits, std::int32_t narrow, std::int32_t wide, int dpi);

// The GS1 check digit (mod 10, weights 3 and 1 from the right) of a string of digits.
char gs1_check_digit(std::string_view digits);

}  // namespace epl2::eplhost
