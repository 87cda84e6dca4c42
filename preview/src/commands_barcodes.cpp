// Barcodes and two-dimensional symbols: B draws a linear barcode, b a MaxiCode or PDF417 symbol.
// libzint encodes them (symbols.cpp); this file reads the commands and places the result.
#include <algorithm>
#include <map>
#include <vector>

#include "commands.h"
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
    for (int y = 0; y < bars.height(); ++y)
        for (int x = 0; x < bars.width(); ++x)
            if (bars.black(x, y)) block.set(x, y, true);
    int left = (bars.width() - line.width()) / 2;
    for (int y = 0; y < line.height(); ++y)
        for (int x = 0; x < line.width(); ++x)
            if (line.black(x, y)) block.set(left + x, bars.height() + gap_dots + y, true);
    return block;
}

// Bx,y,rotation,type,narrow,wide,height,B|N,"DATA"
void barcode(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 9)) return;
    auto at = printer.position(command, *fields);
    auto rotation = printer.number(command, *fields, 2, "rotation", 0, 3);
    const std::string& code = fields->list[3].text;
    auto narrow = printer.number(command, *fields, 4, "narrow bar width", 1, 99);
    auto wide = printer.number(command, *fields, 5, "wide bar width", 1, 99);
    auto height = printer.number(command, *fields, 6, "bar height", 1, max_label_length_dots);
    const std::string& readable = fields->list[7].text;
    if (!known_barcode_code(code))
        printer.warn(command, "B: unknown barcode type \"" + printable(code) + "\"");
    if (readable != "B" && readable != "N")
        printer.warn(command,
                     "B: human readable \"" + printable(readable) + "\" is neither B nor N");
    auto data = printer.field_data(command, fields->list[8]);
    if (!at || !rotation || !narrow || !wide || !height || !data || !known_barcode_code(code) ||
        (readable != "B" && readable != "N"))
        return;
    Symbol symbol = linear_barcode(code, *data, *narrow, *wide, *height);
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

// The parts of a MaxiCode's data: class,country,postal code[,extension],message.
std::vector<std::string> carrier_parts(const std::string& data) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        auto comma = data.find(',', start);
        if (comma == std::string::npos) break;
        parts.push_back(data.substr(start, comma - start));
        start = comma + 1;
    }
    parts.push_back(data.substr(start));
    return parts;
}

bool all_digits(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void maxicode_symbol(Printer& printer, const Command& command, const std::vector<Field>& options,
                     Point at, const std::string& data) {
    for (const auto& option : options)
        printer.warn(command, "b: unknown MaxiCode option \"" + printable(option.text) + "\"");
    std::vector<std::string> parts = carrier_parts(data);
    if (parts.size() < 4 || parts[0].size() != 3 || parts[1].size() != 3 || !all_digits(parts[1]) ||
        parts[2].empty()) {
        printer.warn(command, "b: MaxiCode data \"" + printable(data) +
                                  "\" is not class,country,postal code,message");
        return;
    }
    CarrierMessage carrier{parts[0], parts[1], parts[2], parts[3]};
    // A five-digit postal code may carry its four-digit extension as a field of its own.
    if (parts.size() == 5) {
        if (parts[2].size() == 5 && all_digits(parts[2]) && parts[3].size() == 4 &&
            all_digits(parts[3])) {
            carrier.postal_code += parts[3];
            carrier.message = parts[4];
        } else {
            carrier.message = parts[3] + "," + parts[4];
        }
    }
    Symbol symbol = maxicode(carrier, printer.summary.dpi);
    if (!symbol.error.empty()) {
        printer.warn(command, "b: MaxiCode cannot be encoded: " + symbol.error);
        return;
    }
    printer.place(command, symbol.image, at.x, at.y, 0, Paint::black);
}

// One PDF417 option after the width and height limits: sN security, xN module width, yN row height,
// rN rows, lN columns, t truncated, oN rotation; f and c are accepted and change nothing here.
void pdf417_option(Printer& printer, const Command& command, const std::string& option,
                   Pdf417Options& pdf, int& rotation) {
    auto value = option.size() > 1 ? to_int(std::string_view(option).substr(1)) : std::nullopt;
    char letter = option.empty() ? '\0' : option[0];
    if (letter == 't' && option.size() == 1) {
        pdf.truncated = true;
        return;
    }
    if (!value || *value < 0) {
        printer.warn(command, "b: PDF417 option \"" + printable(option) + "\" is malformed");
        return;
    }
    static const std::map<char, int Pdf417Options::*> sizes = {{'s', &Pdf417Options::security},
                                                               {'x', &Pdf417Options::module_width},
                                                               {'y', &Pdf417Options::row_height},
                                                               {'r', &Pdf417Options::rows},
                                                               {'l', &Pdf417Options::columns}};
    if (auto size = sizes.find(letter); size != sizes.end())
        pdf.*(size->second) = *value;
    else if (letter == 'o' && *value <= 3)
        rotation = *value;
    else if (letter != 'f' && letter != 'c')
        printer.warn(command,
                     "b: unknown or out-of-range PDF417 option \"" + printable(option) + "\"");
}

// width,height,options...
void pdf417_symbol(Printer& printer, const Command& command, const std::vector<Field>& options,
                   Point at, const std::string& data) {
    if (options.size() < 2 || !to_int(options[0].text) || !to_int(options[1].text)) {
        printer.warn(command, "b: PDF417 needs its width and height limits before the options");
        return;
    }
    Pdf417Options pdf;
    int rotation = 0;
    for (std::size_t i = 2; i < options.size(); ++i)
        pdf417_option(printer, command, options[i].text, pdf, rotation);
    if (pdf.module_width < 1 || pdf.module_width > 99 || pdf.row_height < 1 ||
        pdf.row_height > 999) {
        printer.warn(command, "b: PDF417 module width or row height out of range");
        return;
    }
    Symbol symbol = pdf417(data, pdf);
    if (!symbol.error.empty()) {
        printer.warn(command, "b: PDF417 cannot be encoded: " + symbol.error);
        return;
    }
    printer.place(command, symbol.image, at.x, at.y, rotation, Paint::black);
}

// bx,y,type,options...,"DATA"
void symbol(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields) return;
    if (fields->list.size() < 4) {
        printer.warn(command, "b: expected position, type, options and data");
        return;
    }
    auto at = printer.position(command, *fields);
    auto data = printer.field_data(command, fields->list.back());
    if (!at || !data) return;
    const std::string& type = fields->list[2].text;
    std::vector<Field> options(fields->list.begin() + 3, fields->list.end() - 1);
    if (type == "M")
        maxicode_symbol(printer, command, options, *at, *data);
    else if (type == "P")
        pdf417_symbol(printer, command, options, *at, *data);
    else
        printer.warn(command, "b: unknown symbol type \"" + printable(type) + "\"");
}

constexpr CommandRow family_rows[] = {
    {"B", barcode},
    {"b", symbol},
};

}  // namespace

CommandRows barcode_commands() {
    return family_rows;
}

}  // namespace eplview
