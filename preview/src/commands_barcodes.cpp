// Linear barcodes: B. libzint encodes them (symbols.cpp); this file reads the command, its data and
// places the result with its interpretation line.
#include <algorithm>
#include <vector>

#include "commands.h"
#include "data_parts.h"
#include "symbols.h"

namespace eplview {
namespace {

// The interpretation line under the bars: the largest resident font that fits their width.
Bitmap with_human_readable(Printer& printer, const Bitmap& bars, const std::string& text) {
    constexpr int gap_dots = 2;
    int dpi = printer.summary.dpi;
    int font = 2;
    while (font > 1 && text_width(font, dpi, text.size()) > bars.width()) --font;
    auto fitting = characters_within(font, dpi, 1, bars.width());
    Bitmap line = printer.glyphs.text(font, dpi, std::string_view(text).substr(0, fitting));
    Bitmap block(bars.width(), bars.height() + gap_dots + line.height());
    block.overlay(bars, 0, 0);
    block.overlay(line, (bars.width() - line.width()) / 2, bars.height() + gap_dots);
    return block;
}

bool is_code128(std::string_view code) {
    return code == "1" || code == "1A" || code == "1B" || code == "1C";
}

// Code 128 data written as quoted strings with function characters between them:
// "DATA"F1"DATA"... FNC1 in first place makes the symbol UCC/EAN-128, whose element strings the
// later FNC1s end; that is how libzint places FNC1, and the only way it does. The data comes back
// as UCC/EAN-128 input, its elements separated by ASCII 06 as type 1E takes them.
std::optional<std::string> with_function_characters(Printer& printer, const Command& command,
                                                    std::string_view code,
                                                    const std::vector<DataPart>& parts) {
    std::string elements;
    bool leading_fnc1 = !parts[0].quoted && parts[0].text == "F1";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const DataPart& part = parts[i];
        if (part.quoted) {
            elements += part.text;
            continue;
        }
        bool function = part.text.size() == 2 && part.text[0] == 'F' && part.text[1] >= '1' &&
                        part.text[1] <= '4';
        if (!function || !is_code128(code)) {
            printer.warn(command, "B: \"" + printable(part.text) +
                                      "\" in the data is neither quoted nor a Code 128 "
                                      "function character (F1 to F4)");
            return std::nullopt;
        }
        if (part.text != "F1" || !leading_fnc1) {
            printer.warn(command, "B: function character " + part.text +
                                      " cannot be drawn: libzint places FNC1 only at the start "
                                      "of the data and between its element strings");
            return std::nullopt;
        }
        if (i > 0) elements += '\x06';
    }
    return elements;
}

// B's data: one quoted string or variable, or Code 128 data with function characters.
std::optional<std::string> barcode_data(Printer& printer, const Command& command,
                                        std::string_view code, const Field& field,
                                        std::string_view parameters, std::string& type) {
    auto parts = last_parameter_parts(parameters);
    if (parts.size() == 1 && parts[0].quoted) return parts[0].text;
    if (parts.size() <= 1) return printer.field_data(command, field);
    auto elements = with_function_characters(printer, command, code, parts);
    if (elements) type = "1E";
    return elements;
}

// Bx,y,rotation,type,narrow,wide,height,B|N,"DATA"
void barcode(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 9)) return;
    auto at = printer.position(command, *fields);
    auto rotation = printer.number(command, *fields, 2, "rotation", 0, 3);
    std::string code = fields->list[3].text;
    auto narrow = printer.number(command, *fields, 4, "narrow bar width", 1, 99);
    auto wide = printer.number(command, *fields, 5, "wide bar width", 1, 99);
    auto height = printer.number(command, *fields, 6, "bar height", 1, max_label_length_dots);
    const std::string& readable = fields->list[7].text;
    const BarcodeSelector* selector = find_barcode_selector(code);
    if (!selector) printer.warn(command, "B: unknown barcode type \"" + printable(code) + "\"");
    if (readable != "B" && readable != "N")
        printer.warn(command,
                     "B: human readable \"" + printable(readable) + "\" is neither B nor N");
    std::string type = code;
    auto data = barcode_data(printer, command, code, fields->list[8], rest, type);
    if (!at || !rotation || !narrow || !wide || !height || !data || !selector ||
        (readable != "B" && readable != "N"))
        return;
    if (!selector->undrawable.empty()) {
        printer.warn(command, "B: " + std::string(selector->name) + " (\"" + code +
                                  "\") cannot be drawn: " + std::string(selector->undrawable));
        return;
    }
    Symbol symbol = linear_barcode(type, *data, *narrow, *wide, *height);
    if (!symbol.error.empty()) {
        printer.warn(command, "B: data \"" + printable(*data) + "\" is not valid for type " + code +
                                  ": " + symbol.error);
        return;
    }
    Bitmap image = readable == "B"
                       ? with_human_readable(printer, symbol.image, symbol.human_readable)
                       : symbol.image;
    printer.place(command, image, at->x, at->y, *rotation, Paint::black);
}

constexpr CommandRow family_rows[] = {
    {"B", barcode},
};

}  // namespace

CommandRows barcode_commands() {
    return family_rows;
}

}  // namespace eplview
