// Two-dimensional symbols: b draws MaxiCode, PDF417, QR Code, Data Matrix or Aztec. libzint encodes
// them (symbols_2d.cpp); this file reads the command's options and places the result.
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "data_parts.h"
#include "symbol_options.h"
#include "symbols.h"

namespace eplview {
namespace {

// bx,y,type,options...,"DATA"
struct SymbolCommand {
    Point at;
    std::string type;
    std::vector<std::string> options;
    std::string data;
};

// QR Code's options may stand before the data's opening quote without a comma; they are read
// with the others.
std::optional<SymbolCommand> read_symbol_command(Printer& printer, const Command& command,
                                                 std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields) return std::nullopt;
    if (fields->list.size() < 4) {
        printer.warn(command, "b: expected position, type, options and data");
        return std::nullopt;
    }
    auto at = printer.position(command, *fields);
    SymbolCommand symbol{{0, 0}, fields->list[2].text, {}, ""};
    for (std::size_t i = 3; i + 1 < fields->list.size(); ++i)
        symbol.options.push_back(fields->list[i].text);
    auto parts = last_parameter_parts(rest);
    bool options_first = parts.size() == 2 && !parts[0].quoted && parts[1].quoted;
    if (options_first) symbol.options.push_back(parts[0].text);
    std::optional<std::string> data;
    if (parts.size() > 1 && !options_first)
        printer.warn(command, "b: data \"" + printable(fields->list.back().text) +
                                  "\" is not one quoted string");
    else if (!parts.empty() && parts.back().quoted)
        data = parts.back().text;
    else
        data = printer.field_data(command, fields->list.back());
    if (!at || !data) return std::nullopt;
    symbol.at = *at;
    symbol.data = std::move(*data);
    return symbol;
}

void place_symbol(Printer& printer, const Command& command, std::string_view name,
                  const Symbol& symbol, Point at, int rotation) {
    if (!symbol.error.empty()) {
        printer.warn(command, "b: " + std::string(name) + " cannot be encoded: " + symbol.error);
        return;
    }
    printer.place(command, symbol.image, at.x, at.y, rotation, Paint::black);
}

// ---- MaxiCode

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

std::optional<CarrierMessage> carrier_message(Printer& printer, const Command& command,
                                              const std::string& data, int mode) {
    std::vector<std::string> parts = carrier_parts(data);
    if (parts.size() < 4 || parts[0].size() != 3 || parts[1].size() != 3 || !all_digits(parts[1]) ||
        parts[2].empty()) {
        printer.warn(command, "b: MaxiCode data \"" + printable(data) +
                                  "\" is not class,country,postal code,message");
        return std::nullopt;
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
    if (mode == 2 && !all_digits(carrier.postal_code)) {
        printer.warn(command, "b: MaxiCode mode 2 takes a numeric postal code, not \"" +
                                  printable(carrier.postal_code) + "\"");
        return std::nullopt;
    }
    // Mode 3, chosen or taken for a postal code that is not numeric, keeps its first 6 characters.
    if (mode == 3 || (mode == 0 && !all_digits(carrier.postal_code)))
        carrier.postal_code.resize(std::min<std::size_t>(carrier.postal_code.size(), 6));
    return carrier;
}

// [m2|m3|m4|m6,][x,y,]: the mode (chosen by the postal code without it) and the symbol's number
// among up to 8 linked ones.
std::optional<MaxiCodeOptions> maxicode_options(Printer& printer, const Command& command,
                                                const std::vector<std::string>& options) {
    MaxiCodeOptions maxi;
    std::size_t next = 0;
    if (!options.empty() && options[0].size() == 2 &&
        (options[0][0] == 'm' || options[0][0] == 'M')) {
        maxi.mode = options[0][1] - '0';
        if (maxi.mode != 2 && maxi.mode != 3 && maxi.mode != 4 && maxi.mode != 6) {
            printer.warn(command, "b: MaxiCode mode \"" + printable(options[0]) +
                                      "\" is not m2, m3, m4 or m6");
            return std::nullopt;
        }
        next = 1;
    }
    if (options.size() == next + 2) {
        auto index = to_int(options[next]), count = to_int(options[next + 1]);
        if (!index || !count || *index < 1 || *count > 8 || *index > *count) {
            printer.warn(command, "b: MaxiCode symbol \"" + printable(options[next]) + "," +
                                      printable(options[next + 1]) + "\" is not x,y of 1..8");
            return std::nullopt;
        }
        if (*count > 1) maxi.append = {*index, *count};
        next += 2;
    }
    for (; next < options.size(); ++next)
        printer.warn(command, "b: unknown MaxiCode option \"" + printable(options[next]) + "\"");
    return maxi;
}

void maxicode_symbol(Printer& printer, const Command& command, const SymbolCommand& symbol) {
    auto maxi = maxicode_options(printer, command, symbol.options);
    if (!maxi) return;
    CarrierMessage carrier{"", "", "", symbol.data};
    if (maxi->mode != 4 && maxi->mode != 6) {
        auto message = carrier_message(printer, command, symbol.data, maxi->mode);
        if (!message) return;
        carrier = *message;
    }
    place_symbol(printer, command, "MaxiCode", maxicode(carrier, *maxi, printer.summary.dpi),
                 symbol.at, 0);
}

// ---- PDF417

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
void pdf417_symbol(Printer& printer, const Command& command, const SymbolCommand& symbol) {
    const auto& options = symbol.options;
    if (options.size() < 2 || !to_int(options[0]) || !to_int(options[1])) {
        printer.warn(command, "b: PDF417 needs its width and height limits before the options");
        return;
    }
    Pdf417Options pdf;
    int rotation = 0;
    for (std::size_t i = 2; i < options.size(); ++i)
        pdf417_option(printer, command, options[i], pdf, rotation);
    if (pdf.module_width < 1 || pdf.module_width > 99 || pdf.row_height < 1 ||
        pdf.row_height > 999) {
        printer.warn(command, "b: PDF417 module width or row height out of range");
        return;
    }
    place_symbol(printer, command, "PDF417", pdf417(symbol.data, pdf), symbol.at, rotation);
}

// ---- QR Code

// D's structured append: cNN of dNN symbols, pHH the parity of the whole data they share.
void qr_append(Printer& printer, const Command& command, const Option& option, QrOptions& qr) {
    std::string_view text = option.value;
    std::size_t index_end = scan_digits(text, 1), count_end = scan_digits(text, index_end + 1);
    bool shaped = text.starts_with('c') && index_end < text.size() && text[index_end] == 'd' &&
                  count_end + 1 < text.size() && text[count_end] == 'p';
    auto index = shaped ? to_int(text.substr(1, index_end - 1)) : std::nullopt;
    auto count =
        shaped ? to_int(text.substr(index_end + 1, count_end - index_end - 1)) : std::nullopt;
    if (!index || !count || *index < 1 || *count > 16 || *index > *count) {
        printer.warn(command, "b: QR Code option \"" + printable(option.text) +
                                  "\" is not DcNNdNNpHH of up to 16 symbols");
        return;
    }
    if (*count > 1) qr.append = {*index, *count};
    qr.parity = std::stoi(std::string(text.substr(count_end + 1)), nullptr, 16);
}

// mN model, sN dots per module, eL|M|Q|H error correction, iA|iM automatic or manual data,
// D structured append. Model 1 is what libzint cannot draw: nullopt after a warning.
std::optional<QrOptions> qr_options(Printer& printer, const Command& command,
                                    const std::vector<std::string>& fields, bool& manual) {
    QrOptions qr;
    for (const Option& option : prefixed_options(printer, command, "QR Code", fields,
                                                 {{'m', Value::number},
                                                  {'s', Value::number},
                                                  {'e', Value::letter},
                                                  {'i', Value::letter},
                                                  {'D', Value::append}})) {
        char value =
            option.value.empty()
                ? '\0'
                : static_cast<char>(std::toupper(static_cast<unsigned char>(option.value[0])));
        if (option.letter == 'm' && option.value == "1") {
            printer.warn(
                command,
                "b: QR Code model 1 (\"m1\") cannot be drawn: libzint encodes model 2 only");
            return std::nullopt;
        } else if (option.letter == 'm') {
            option_number(printer, command, "QR Code", option, 1, 2);
        } else if (option.letter == 's') {
            qr.module =
                option_number(printer, command, "QR Code", option, 1, 99).value_or(qr.module);
        } else if (option.letter == 'e' &&
                   std::string_view("LMQH").find(value) != std::string_view::npos) {
            qr.correction = value;
        } else if (option.letter == 'i' && (value == 'A' || value == 'M')) {
            manual = value == 'M';
        } else if (option.letter == 'D') {
            qr_append(printer, command, option, qr);
        } else {
            printer.warn(command, "b: QR Code option \"" + printable(option.text) +
                                      "\" is not eL, eM, eQ, eH, iA or iM");
        }
    }
    return qr;
}

// Manual data input: the first character names the data's mode (N numeric, A alphanumeric, K
// Kanji in Shift JIS, B binary with its four-digit byte count). libzint chooses the modes itself,
// so only Kanji, which it compacts when told, and the byte count change what it is given.
bool manual_qr_data(Printer& printer, const Command& command, std::string& data, QrOptions& qr) {
    char mode = data.empty() ? '\0' : data[0];
    if (mode != 'N' && mode != 'A' && mode != 'K' && mode != 'B') {
        printer.warn(command, "b: QR Code data in manual mode starts with N, A, K or B, not \"" +
                                  printable(data.substr(0, 1)) + "\"");
        return false;
    }
    data.erase(0, 1);
    qr.kanji = mode == 'K';
    if (mode == 'B' && data.size() >= 4 && scan_digits(data, 0) >= 4) {
        auto count = static_cast<std::size_t>(std::stoi(data.substr(0, 4)));
        data.erase(0, 4);
        if (count > data.size())
            printer.warn(command, "b: QR Code binary data announces " + std::to_string(count) +
                                      " bytes, " + std::to_string(data.size()) + " present");
        data.resize(std::min(count, data.size()));
    }
    return true;
}

void qr_symbol(Printer& printer, const Command& command, const SymbolCommand& symbol) {
    bool manual = false;
    auto qr = qr_options(printer, command, symbol.options, manual);
    std::string data = symbol.data;
    if (!qr || (manual && !manual_qr_data(printer, command, data, *qr))) return;
    place_symbol(printer, command, "QR Code", qr_code(data, *qr), symbol.at, 0);
}

// ---- Data Matrix and Aztec

// cN columns, rN rows, hN dots per module, v inverse.
void data_matrix_symbol(Printer& printer, const Command& command, const SymbolCommand& symbol) {
    DataMatrixOptions dm;
    for (const Option& option : prefixed_options(printer, command, "Data Matrix", symbol.options,
                                                 {{'c', Value::number},
                                                  {'r', Value::number},
                                                  {'h', Value::number},
                                                  {'v', Value::number}})) {
        if (option.letter == 'v') {
            dm.inverse = option_on(option);
            continue;
        }
        auto value = option_number(printer, command, "Data Matrix", option, 1,
                                   option.letter == 'h' ? 40 : 144);
        if (!value) continue;
        (option.letter == 'c' ? dm.columns : option.letter == 'r' ? dm.rows : dm.module) = *value;
    }
    place_symbol(printer, command, "Data Matrix", data_matrix(symbol.data, dm), symbol.at, 0);
}

bool valid_aztec_level(int level) {
    return (level >= 0 && level <= 99) || (level >= 101 && level <= 104) ||
           (level >= 201 && level <= 232) || level == 300;
}

// dN dots per module, eN error correction or layers, f FLG(n) escapes, m menu symbol, r inverse.
void aztec_symbol(Printer& printer, const Command& command, const SymbolCommand& symbol) {
    AztecOptions az;
    bool escapes = false;
    for (const Option& option : prefixed_options(printer, command, "Aztec", symbol.options,
                                                 {{'d', Value::number},
                                                  {'e', Value::number},
                                                  {'f', Value::number},
                                                  {'m', Value::number},
                                                  {'r', Value::number}})) {
        if (option.letter == 'd') {
            az.module = option_number(printer, command, "Aztec", option, 1, 55).value_or(az.module);
        } else if (option.letter == 'e') {
            auto level = to_int(option.value);
            if (level && valid_aztec_level(*level))
                az.level = *level;
            else
                printer.warn(command, "b: Aztec option \"" + printable(option.text) +
                                          "\" is not e0..e99, e101..e104, e201..e232 or e300");
        } else {
            (option.letter == 'f'   ? escapes
             : option.letter == 'm' ? az.menu
                                    : az.inverse) = option_on(option);
        }
    }
    if (escapes && symbol.data.find('\x1B') != std::string::npos) {
        printer.warn(command,
                     "b: Aztec FLG(n) escapes (option f) cannot be drawn: libzint takes "
                     "no FLG(n) within the data");
        return;
    }
    place_symbol(printer, command, "Aztec", aztec(symbol.data, az), symbol.at, 0);
}

void symbol(Printer& printer, const Command& command, std::string_view rest) {
    auto symbol = read_symbol_command(printer, command, rest);
    if (!symbol) return;
    using SymbolHandler = void (*)(Printer&, const Command&, const SymbolCommand&);
    static const std::map<std::string, SymbolHandler, std::less<>> handlers = {
        {"M", maxicode_symbol},
        {"P", pdf417_symbol},
        {"Q", qr_symbol},
        {"D", data_matrix_symbol},
        {"A", aztec_symbol}};
    if (auto handler = handlers.find(symbol->type); handler != handlers.end())
        handler->second(printer, command, *symbol);
    else if (symbol->type == "AZ")
        printer.warn(command, "b: Aztec Mesa (\"AZ\") cannot be drawn: libzint has no Aztec Mesa");
    else
        printer.warn(command, "b: unknown symbol type \"" + printable(symbol->type) + "\"");
}

constexpr CommandRow family_rows[] = {
    {"b", symbol},
};

}  // namespace

CommandRows symbol_commands() {
    return family_rows;
}

}  // namespace eplview
