// Text: A draws a field in one of the five resident fonts, magnified and turned, each byte the
// character it is in the code page the I command selected.
#include <cstdio>

#include "commands.h"

namespace eplview {
namespace {

// How a character shows in a warning: as itself where it is a plain one, else by its number
// (C1 controls and the invisible marks that would reorder or split a log line).
std::string shown(char32_t character) {
    bool invisible = character < 0xA0 || (character >= 0x2028 && character <= 0x202E) ||
                     (character >= 0x2060 && character <= 0x206F) || character == 0xFEFF;
    if (!invisible) return std::string(1, '"').append(encode_utf8(character)).append(1, '"');
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    return code;
}

// A host that sends UTF-8 to a single-byte page prints each byte of a character as a character
// of its own ("Ã¼" for "ü" in Windows 1252). The first such sequence is named.
void check_utf8(Printer& printer, const Command& command, std::string_view data) {
    for (std::size_t at = 0; at < data.size(); ++at) {
        std::size_t length = utf8_sequence_at(data, at);
        if (length == 0) continue;
        const PageCharacters& page = printer.glyphs.characters_of(*printer.code_page);
        std::string printed;
        for (char byte : data.substr(at, length)) {
            char32_t character = page[static_cast<unsigned char>(byte)];
            printed += character ? encode_utf8(character) : printable(std::string(1, byte));
        }
        printer.warn(command, "A: text looks like UTF-8 (\"" + printed + "\" would print where " +
                                  shown(decode_utf8(data.substr(at, length))) +
                                  " was meant); select the page and send single bytes");
        return;
    }
}

void check_characters(Printer& printer, const Command& command, std::string_view data) {
    if (printer.code_page != &seven_bit_data()) return check_utf8(printer, command, data);
    for (char byte : data)
        if (static_cast<unsigned char>(byte) >= first_upper_byte) {
            printer.warn(command,
                         "A: bytes of 0x80 and above print nothing with 7-bit data (I7); "
                         "select an 8-bit page with I8");
            return;
        }
}

// Ax,y,rotation,font,across,down,N|R,"DATA"
void text(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 8)) return;
    auto at = printer.position(command, *fields);
    auto rotation = printer.number(command, *fields, 2, "rotation", 0, 3);
    auto font = printer.number(command, *fields, 3, "font", 1, resident_fonts);
    auto h_mult = printer.number(command, *fields, 4, "horizontal multiplier", 1, 8);
    auto v_mult = printer.number(command, *fields, 5, "vertical multiplier", 1, 9);
    const std::string& reverse = fields->list[6].text;
    if (reverse != "N" && reverse != "R") {
        printer.warn(command, "A: reverse \"" + printable(reverse) + "\" is neither N nor R");
        return;
    }
    auto data = printer.field_data(command, fields->list[7]);
    if (!at || !rotation || !font || !h_mult || !v_mult || !data) return;
    check_characters(printer, command, *data);
    // Characters past the longest label side cannot show; they are not drawn either.
    int dpi = printer.summary.dpi;
    auto longest = characters_within(*font, dpi, *h_mult, max_text_dots);
    if (data->size() > longest) {
        printer.warn(command, "A: text of " + std::to_string(data->size()) +
                                  " characters is cut to " + std::to_string(longest));
        data->resize(longest);
    }
    printer.place(command, printer.glyphs.text(*font, dpi, *data, *printer.code_page), at->x, at->y,
                  *rotation, reverse == "R" ? Paint::reverse : Paint::black, {*h_mult, *v_mult});
}

constexpr CommandRow family_rows[] = {
    {"A", text},
};

}  // namespace

CommandRows text_commands() {
    return family_rows;
}

}  // namespace eplview
