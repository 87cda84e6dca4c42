#include "symbols.h"

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace eplview {
namespace {

struct ZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using ZintSymbol = std::unique_ptr<zint_symbol, ZintDeleter>;

enum class Widths { modules, narrow_wide };

struct Symbology {
    std::string_view code;
    int zint;
    int addon_digits;
    Widths widths;
};

// UPC/EAN codes end in the add-on digits (0, 2 or 5), which close the data.
constexpr Symbology symbologies[] = {
    {"UA0", BARCODE_UPCA, 0, Widths::modules},
    {"UA2", BARCODE_UPCA, 2, Widths::modules},
    {"UA5", BARCODE_UPCA, 5, Widths::modules},
    {"UE0", BARCODE_UPCE, 0, Widths::modules},
    {"UE2", BARCODE_UPCE, 2, Widths::modules},
    {"UE5", BARCODE_UPCE, 5, Widths::modules},
    {"E30", BARCODE_EANX, 0, Widths::modules},
    {"E32", BARCODE_EANX, 2, Widths::modules},
    {"E35", BARCODE_EANX, 5, Widths::modules},
    {"E80", BARCODE_EANX, 0, Widths::modules},
    {"E82", BARCODE_EANX, 2, Widths::modules},
    {"E85", BARCODE_EANX, 5, Widths::modules},
    {"0", BARCODE_GS1_128, 0, Widths::modules},
    {"1", BARCODE_CODE128, 0, Widths::modules},
    {"1E", BARCODE_GS1_128, 0, Widths::modules},
    {"2", BARCODE_C25INTER, 0, Widths::narrow_wide},
    // The printer's Code 39 takes full ASCII: $, /, + and % before a letter become the pairs of
    // extended Code 39, so the extended encoder is the one that matches it.
    {"3", BARCODE_EXCODE39, 0, Widths::narrow_wide},
    {"9", BARCODE_CODE93, 0, Widths::modules},
    {"K", BARCODE_CODABAR, 0, Widths::narrow_wide},
    {"P", BARCODE_POSTNET, 0, Widths::modules},
};

const Symbology* find_symbology(std::string_view code) {
    for (const auto& symbology : symbologies)
        if (symbology.code == code) return &symbology;
    return nullptr;
}

bool module_set(const zint_symbol& symbol, int row, int column) {
    return (symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

ZintSymbol new_symbol(int symbology) {
    ZintSymbol symbol(ZBarcode_Create());
    if (symbol) symbol->symbology = symbology;
    return symbol;
}

// zint takes the length as an int, and a length it cannot take would make it measure the data
// itself: longer data is refused first.
std::string encode(zint_symbol& symbol, std::string_view data) {
    if (data.size() > max_symbol_data_bytes)
        return "data of " + std::to_string(data.size()) + " bytes is longer than any symbol holds";
    int result = ZBarcode_Encode(&symbol, reinterpret_cast<const unsigned char*>(data.data()),
                                 static_cast<int>(data.size()));
    if (result >= ZINT_ERROR) return symbol.errtxt[0] ? symbol.errtxt : "cannot be encoded";
    return {};
}

// The data a GS1 encoder takes: the serial shipping container code behind its application
// identifier 00; other UCC/EAN-128 data starts with a two-digit identifier. Check digits are the
// sender's business, so they are not verified.
std::string gs1_input(std::string_view code, std::string_view data) {
    if (code == "0" && data.starts_with("00")) data.remove_prefix(2);
    std::string_view identifier =
        code == "0" ? "00" : data.substr(0, std::min<std::size_t>(2, data.size()));
    if (code != "0") data.remove_prefix(identifier.size());
    if (identifier.size() < 2) return std::string(identifier);
    std::string input = "[";
    input.append(identifier).append("]").append(data);
    return input;
}

// Codabar needs its start and stop characters; the printer adds A when they are missing.
std::string codabar_input(std::string_view data) {
    auto is_guard = [](char c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); };
    if (data.size() >= 2 && is_guard(data.front()) && is_guard(data.back()))
        return std::string(data);
    std::string input = "A";
    input.append(data).append("A");
    return input;
}

std::string upc_ean_input(const Symbology& symbology, std::string_view data) {
    auto digits = static_cast<std::size_t>(symbology.addon_digits);
    if (digits == 0 || data.size() <= digits) return std::string(data);
    return std::string(data.substr(0, data.size() - digits)) + "+" +
           std::string(data.substr(data.size() - digits));
}

struct Element {
    bool black;
    int dots;
};

std::vector<Element> row_elements(const zint_symbol& symbol, int row, Widths widths, int narrow,
                                  int wide) {
    std::vector<Element> elements;
    for (int column = 0; column < symbol.width;) {
        bool black = module_set(symbol, row, column);
        int run = 1;
        while (column + run < symbol.width && module_set(symbol, row, column + run) == black) ++run;
        int dots = widths == Widths::modules ? run * narrow : (run == 1 ? narrow : wide);
        elements.push_back({black, dots});
        column += run;
    }
    return elements;
}

}  // namespace

bool known_barcode_code(std::string_view code) {
    return find_symbology(code) != nullptr;
}

Symbol linear_barcode(std::string_view code, std::string_view data, int narrow, int wide,
                      int height) {
    Symbol result;
    const Symbology* symbology = find_symbology(code);
    if (!symbology) {
        result.error = "unknown barcode type " + std::string(code);
        return result;
    }
    auto symbol = new_symbol(symbology->zint);
    std::string input(data);
    if (symbology->zint == BARCODE_GS1_128) {
        symbol->input_mode = GS1_MODE | GS1NOCHECK_MODE;
        input = gs1_input(code, data);
    } else if (symbology->zint == BARCODE_CODABAR) {
        input = codabar_input(data);
    } else if (symbology->zint == BARCODE_UPCA || symbology->zint == BARCODE_UPCE ||
               symbology->zint == BARCODE_EANX) {
        input = upc_ean_input(*symbology, data);
        // EAN data may end in its check digit (8 or 13 digits); the plain encoder would take
        // 8 digits for an EAN-13 to be padded.
        auto main_length = input.find('+') == std::string::npos ? input.size() : input.find('+');
        if (symbology->zint == BARCODE_EANX && (main_length == 8 || main_length == 13))
            symbol->symbology = BARCODE_EANX_CHK;
    }
    if (result.error = encode(*symbol, input); !result.error.empty()) return result;
    // Width first, so that a huge symbol is refused before its image is allocated.
    int total_width = 0;
    for (const auto& element :
         row_elements(*symbol, symbol->rows - 1, symbology->widths, narrow, wide))
        total_width += element.dots;
    if (total_width > max_symbol_width_dots || height > max_label_length_dots) {
        result.error = "barcode of " + std::to_string(total_width) + " dots is too large to draw";
        return result;
    }
    result.image = Bitmap(total_width, height);
    // Rows of a multi-row linear symbol (the tall and short halves of Postnet bars) share the bar
    // height in proportion to the encoder's row heights.
    float total_rows = 0;
    for (int row = 0; row < symbol->rows; ++row)
        total_rows += std::max(symbol->row_height[row], 1.0f);
    float top = 0;
    for (int row = 0; row < symbol->rows; ++row) {
        float share = std::max(symbol->row_height[row], 1.0f) / total_rows;
        int y0 = static_cast<int>(std::lround(top * static_cast<float>(height)));
        top += share;
        int y1 = row + 1 == symbol->rows
                     ? height
                     : static_cast<int>(std::lround(top * static_cast<float>(height)));
        int x = 0;
        for (const auto& element : row_elements(*symbol, row, symbology->widths, narrow, wide)) {
            if (element.black)
                for (int y = y0; y < y1; ++y)
                    for (int dx = 0; dx < element.dots; ++dx) result.image.set(x + dx, y, true);
            x += element.dots;
        }
    }
    result.human_readable = reinterpret_cast<const char*>(symbol->text);
    if (result.human_readable.empty()) result.human_readable = std::string(data);
    return result;
}

Symbol pdf417(std::string_view data, const Pdf417Options& options) {
    Symbol result;
    auto symbol = new_symbol(options.truncated ? BARCODE_PDF417COMP : BARCODE_PDF417);
    symbol->option_1 = options.security >= 0 && options.security <= 8 ? options.security : -1;
    symbol->option_2 = options.columns >= 1 && options.columns <= 30 ? options.columns : 0;
    symbol->option_3 = options.rows >= 3 && options.rows <= 90 ? options.rows : 0;
    result.error = encode(*symbol, data);
    if (!result.error.empty() && symbol->option_3 != 0) {
        // The row count is a limit; when the data does not fit it, the encoder chooses.
        symbol = new_symbol(symbol->symbology);
        symbol->option_1 = options.security >= 0 && options.security <= 8 ? options.security : -1;
        symbol->option_2 = options.columns >= 1 && options.columns <= 30 ? options.columns : 0;
        result.error = encode(*symbol, data);
    }
    if (!result.error.empty()) return result;
    int module = std::max(1, options.module_width);
    int row_height = std::max(1, options.row_height);
    if (symbol->width * module > max_symbol_width_dots ||
        symbol->rows * row_height > max_label_length_dots) {
        result.error = "PDF417 symbol is too large to draw";
        return result;
    }
    result.image = Bitmap(symbol->width * module, symbol->rows * row_height);
    for (int row = 0; row < symbol->rows; ++row)
        for (int column = 0; column < symbol->width; ++column)
            if (module_set(*symbol, row, column))
                for (int y = 0; y < row_height; ++y)
                    for (int x = 0; x < module; ++x)
                        result.image.set(column * module + x, row * row_height + y, true);
    return result;
}

Symbol maxicode(const CarrierMessage& carrier, int dpi) {
    Symbol result;
    auto symbol = new_symbol(BARCODE_MAXICODE);
    bool numeric_postal = !carrier.postal_code.empty() &&
                          std::all_of(carrier.postal_code.begin(), carrier.postal_code.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
    // Mode 2 carries a numeric postal code of up to 9 digits, mode 3 up to 6 other characters.
    symbol->option_1 = numeric_postal ? 2 : 3;
    std::string primary = carrier.postal_code + carrier.country + carrier.service_class;
    if (primary.size() >= sizeof(symbol->primary)) {
        result.error = "MaxiCode carrier fields are too long";
        return result;
    }
    std::copy(primary.begin(), primary.end(), symbol->primary);
    symbol->primary[primary.size()] = '\0';
    if (result.error = encode(*symbol, carrier.message); !result.error.empty()) return result;
    // The printed symbol is 1.11 in wide; zint draws MaxiCode at a fixed size per unit of scale.
    symbol->scale = 1.0f;
    if (ZBarcode_Buffer(symbol.get(), 0) >= ZINT_ERROR || symbol->bitmap_width <= 0) {
        result.error = symbol->errtxt;
        return result;
    }
    int target_width = static_cast<int>(std::lround(1.11 * dpi));
    int target_height = static_cast<int>(std::lround(static_cast<double>(target_width) *
                                                     symbol->bitmap_height / symbol->bitmap_width));
    result.image = Bitmap(target_width, target_height);
    for (int y = 0; y < target_height; ++y)
        for (int x = 0; x < target_width; ++x) {
            int sx = x * symbol->bitmap_width / target_width;
            int sy = y * symbol->bitmap_height / target_height;
            const unsigned char* rgb =
                symbol->bitmap + 3 * (static_cast<long>(sy) * symbol->bitmap_width + sx);
            if (rgb[0] < 128) result.image.set(x, y, true);
        }
    return result;
}

}  // namespace eplview
