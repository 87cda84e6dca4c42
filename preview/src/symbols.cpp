// The B command's linear barcodes: each selector of the printer's bar code table, the libzint
// symbology that draws it and how the command's data becomes that symbology's input.
#include <algorithm>
#include <cmath>
#include <vector>

#include "symbol_cache.h"
#include "symbols_zint.h"

namespace eplview {

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

namespace {

enum class Widths { modules, narrow_wide };

// How the command's data becomes the encoder's input.
enum class Input {
    plain,
    code128_c,    // digits only
    sscc,         // the serial shipping container code behind application identifier 00
    gs1,          // application identifiers and their data
    codabar,      // start and stop characters added when missing
    upc_ean,      // the add-on digits close the data
    postal,       // hyphens separate groups for the reader of the data and are dropped
    japan_post,   // the printer keeps the first 20 characters
    german_post,  // Identcode up to 11 digits, Leitcode beyond
    none,         // libzint cannot draw it
};

struct Symbology {
    BarcodeSelector selector;
    int zint;
    int check;  // libzint's option_2: the check digit the printer adds, and whether it is shown
    int addon_digits;
    Widths widths;
    Input input;
};

// libzint 2.11 chooses Code 128's code sets itself (1B keeps it from code set C), so 1A and 1C
// read the same as the printer's symbol though their bars may encode it through another set.
// Interleaved 2 of 5 with a check digit hides it from the interpretation line unless 2D asks
// for it. Plessey (MSI-1) and MSI-3 are both MSI with a modulo 10 check digit.
// clang-format off
constexpr Symbology symbologies[] = {
    {{"3", "Code 39", ""},
     BARCODE_EXCODE39, 0, 0, Widths::narrow_wide, Input::plain},
    {{"3C", "Code 39 with check digit", ""},
     BARCODE_EXCODE39, 1, 0, Widths::narrow_wide, Input::plain},
    {{"9", "Code 93", ""},
     BARCODE_CODE93, 0, 0, Widths::modules, Input::plain},
    {{"0", "Code 128 UCC serial shipping container code", ""},
     BARCODE_GS1_128, 0, 0, Widths::modules, Input::sscc},
    {{"1", "Code 128", ""},
     BARCODE_CODE128, 0, 0, Widths::modules, Input::plain},
    {{"1A", "Code 128 mode A", ""},
     BARCODE_CODE128, 0, 0, Widths::modules, Input::plain},
    {{"1B", "Code 128 mode B", ""},
     BARCODE_CODE128B, 0, 0, Widths::modules, Input::plain},
    {{"1C", "Code 128 mode C", ""},
     BARCODE_CODE128, 0, 0, Widths::modules, Input::code128_c},
    {{"1D", "Deutsche Post Code 128", "libzint has no Deutsche Post check digit"},
     0, 0, 0, Widths::modules, Input::none},
    {{"1E", "UCC/EAN-128", ""},
     BARCODE_GS1_128, 0, 0, Widths::modules, Input::gs1},
    {{"K", "Codabar", ""},
     BARCODE_CODABAR, 0, 0, Widths::narrow_wide, Input::codabar},
    {{"E80", "EAN-8", ""},
     BARCODE_EANX, 0, 0, Widths::modules, Input::upc_ean},
    {{"E82", "EAN-8 2 digit add-on", ""},
     BARCODE_EANX, 0, 2, Widths::modules, Input::upc_ean},
    {{"E85", "EAN-8 5 digit add-on", ""},
     BARCODE_EANX, 0, 5, Widths::modules, Input::upc_ean},
    {{"E30", "EAN-13", ""},
     BARCODE_EANX, 0, 0, Widths::modules, Input::upc_ean},
    {{"E32", "EAN-13 2 digit add-on", ""},
     BARCODE_EANX, 0, 2, Widths::modules, Input::upc_ean},
    {{"E35", "EAN-13 5 digit add-on", ""},
     BARCODE_EANX, 0, 5, Widths::modules, Input::upc_ean},
    {{"2G", "German Post Code", ""},
     BARCODE_DPIDENT, 0, 0, Widths::narrow_wide, Input::german_post},
    {{"2", "Interleaved 2 of 5", ""},
     BARCODE_C25INTER, 0, 0, Widths::narrow_wide, Input::plain},
    {{"2C", "Interleaved 2 of 5 with mod 10 check digit", ""},
     BARCODE_C25INTER, 2, 0, Widths::narrow_wide, Input::plain},
    {{"2D", "Interleaved 2 of 5 with human readable check digit", ""},
     BARCODE_C25INTER, 1, 0, Widths::narrow_wide, Input::plain},
    {{"P", "Postnet", ""},
     BARCODE_POSTNET, 0, 0, Widths::modules, Input::postal},
    {{"PL", "Planet", ""},
     BARCODE_PLANET, 0, 0, Widths::modules, Input::postal},
    {{"J", "Japanese Postnet", ""},
     BARCODE_JAPANPOST, 0, 0, Widths::modules, Input::japan_post},
    {{"UA0", "UPC-A", ""},
     BARCODE_UPCA, 0, 0, Widths::modules, Input::upc_ean},
    {{"UA2", "UPC-A 2 digit add-on", ""},
     BARCODE_UPCA, 0, 2, Widths::modules, Input::upc_ean},
    {{"UA5", "UPC-A 5 digit add-on", ""},
     BARCODE_UPCA, 0, 5, Widths::modules, Input::upc_ean},
    {{"UE0", "UPC-E", ""},
     BARCODE_UPCE, 0, 0, Widths::modules, Input::upc_ean},
    {{"UE2", "UPC-E 2 digit add-on", ""},
     BARCODE_UPCE, 0, 2, Widths::modules, Input::upc_ean},
    {{"UE5", "UPC-E 5 digit add-on", ""},
     BARCODE_UPCE, 0, 5, Widths::modules, Input::upc_ean},
    {{"2U", "UPC Interleaved 2 of 5", ""},
     BARCODE_ITF14, 0, 0, Widths::narrow_wide, Input::plain},
    {{"L", "Plessey (MSI-1) with mod 10 check digit", ""},
     BARCODE_MSI_PLESSEY, 1, 0, Widths::narrow_wide, Input::plain},
    {{"M", "MSI-3 with mod 10 check digit", ""},
     BARCODE_MSI_PLESSEY, 1, 0, Widths::narrow_wide, Input::plain},
    // RSS-14 Truncated has the bars of RSS-14; only its height, which the command gives,
    // differs.
    {{"R14", "RSS-14", ""},
     BARCODE_DBAR_OMN, 0, 0, Widths::modules, Input::plain},
    {{"RL", "RSS-14 Limited", ""},
     BARCODE_DBAR_LTD, 0, 0, Widths::modules, Input::plain},
    {{"RS", "RSS-14 Stacked", ""},
     BARCODE_DBAR_STK, 0, 0, Widths::modules, Input::plain},
    {{"RT", "RSS-14 Truncated", ""},
     BARCODE_DBAR_OMN, 0, 0, Widths::modules, Input::plain},
};
// clang-format on

const Symbology* find_symbology(std::string_view code) {
    for (const auto& symbology : symbologies)
        if (symbology.selector.code == code) return &symbology;
    return nullptr;
}

// What libzint is given: the symbology (some selectors choose one by their data), its input mode
// and the data; or why the data cannot be drawn.
struct EncoderInput {
    int symbology = 0;
    int mode = DATA_MODE;
    std::string data;
    std::string error;
};

bool all_digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One element string of UCC/EAN-128: its first two digits taken as the application identifier.
// GS1-128 marks a variable-length element's end the same way whatever the identifier's length,
// so the bars are the printer's even for longer identifiers.
void append_gs1_element(std::string& input, std::string_view element) {
    if (element.size() < 2) {
        input.append(element);
        return;
    }
    input.append("[").append(element.substr(0, 2)).append("]").append(element.substr(2));
}

// Elements are separated by ASCII 06, which the printer turns into the FNC1 that ends a
// variable-length element. Check digits are the sender's business, so they are not verified.
EncoderInput gs1_input(std::string_view data) {
    EncoderInput input{BARCODE_GS1_128, GS1_MODE | GS1NOCHECK_MODE, "", ""};
    for (std::size_t start = 0; start <= data.size();) {
        auto end = std::min(data.find('\x06', start), data.size());
        append_gs1_element(input.data, data.substr(start, end - start));
        start = end + 1;
    }
    return input;
}

// The serial shipping container code behind application identifier 00, which the data may repeat.
// Its 17 digits without the modulo 10 check digit get the check digit from libzint (NVE-18).
EncoderInput sscc_input(std::string_view data) {
    if ((data.size() == 19 || data.size() == 20) && data.starts_with("00")) data.remove_prefix(2);
    if (data.size() == 17 && all_digits(data))
        return {BARCODE_NVE18, DATA_MODE, std::string(data), ""};
    return {BARCODE_GS1_128, GS1_MODE | GS1NOCHECK_MODE, "[00]" + std::string(data), ""};
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

// EAN data may end in its check digit (8 or 13 digits before the add-on); the plain encoder would
// take 8 digits for an EAN-13 to be padded.
EncoderInput upc_ean_input(const Symbology& symbology, std::string_view data) {
    auto digits = static_cast<std::size_t>(symbology.addon_digits);
    std::string_view main =
        digits == 0 || data.size() <= digits ? data : data.substr(0, data.size() - digits);
    EncoderInput input{symbology.zint, DATA_MODE, std::string(main), ""};
    if (main.size() < data.size()) input.data.append("+").append(data.substr(main.size()));
    if (symbology.zint == BARCODE_EANX && (main.size() == 8 || main.size() == 13))
        input.symbology = BARCODE_EANX_CHK;
    return input;
}

EncoderInput encoder_input(const Symbology& symbology, std::string_view data) {
    EncoderInput plain{symbology.zint, DATA_MODE, std::string(data), ""};
    switch (symbology.input) {
        case Input::plain:
        case Input::none:
            return plain;
        case Input::code128_c:
            if (!all_digits(data)) plain.error = "Code 128 mode C encodes digits only";
            return plain;
        case Input::sscc:
            return sscc_input(data);
        case Input::gs1:
            return gs1_input(data);
        case Input::codabar:
            return {symbology.zint, DATA_MODE, codabar_input(data), ""};
        case Input::upc_ean:
            return upc_ean_input(symbology, data);
        case Input::postal:
            std::erase(plain.data, '-');
            return plain;
        case Input::japan_post:
            plain.data.resize(std::min<std::size_t>(plain.data.size(), 20));
            return plain;
        case Input::german_post:
            if (data.size() > 11) plain.symbology = BARCODE_DPLEIT;
            return plain;
    }
    return plain;
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

// Rows of a multi-row symbol (the tall and short halves of postal bars, the rows of a stacked
// symbol) share the bar height in proportion to the encoder's row heights.
void draw_rows(const zint_symbol& symbol, Widths widths, int narrow, int wide, Bitmap& image) {
    int height = image.height();
    float total_rows = 0;
    for (int row = 0; row < symbol.rows; ++row)
        total_rows += std::max(symbol.row_height[row], 1.0f);
    float top = 0;
    for (int row = 0; row < symbol.rows; ++row) {
        float share = std::max(symbol.row_height[row], 1.0f) / total_rows;
        int y0 = static_cast<int>(std::lround(top * static_cast<float>(height)));
        top += share;
        int y1 = row + 1 == symbol.rows
                     ? height
                     : static_cast<int>(std::lround(top * static_cast<float>(height)));
        int x = 0;
        for (const auto& element : row_elements(symbol, row, widths, narrow, wide)) {
            if (element.black)
                for (int y = y0; y < y1; ++y) image.set_span(y, x, x + element.dots, true);
            x += element.dots;
        }
    }
}

// The widest row, so that a huge symbol is refused before its image is allocated.
int symbol_width_dots(const zint_symbol& symbol, Widths widths, int narrow, int wide) {
    int widest = 0;
    for (int row = 0; row < symbol.rows; ++row) {
        int width = 0;
        for (const auto& element : row_elements(symbol, row, widths, narrow, wide))
            width += element.dots;
        widest = std::max(widest, width);
    }
    return widest;
}

}  // namespace

const BarcodeSelector* find_barcode_selector(std::string_view code) {
    const Symbology* symbology = find_symbology(code);
    return symbology ? &symbology->selector : nullptr;
}

namespace {

Symbol encode_linear_barcode(std::string_view code, std::string_view data, int narrow, int wide,
                             int height) {
    Symbol result;
    const Symbology* symbology = find_symbology(code);
    if (!symbology || symbology->zint == 0) {
        result.error = "libzint cannot draw barcode type " + std::string(code);
        return result;
    }
    EncoderInput input = encoder_input(*symbology, data);
    if (result.error = input.error; !result.error.empty()) return result;
    auto symbol = new_symbol(input.symbology);
    symbol->input_mode = input.mode;
    symbol->option_2 = symbology->check;
    if (result.error = encode(*symbol, input.data); !result.error.empty()) return result;
    int width = symbol_width_dots(*symbol, symbology->widths, narrow, wide);
    if (width > max_symbol_width_dots || height > max_label_length_dots) {
        result.error = "barcode of " + std::to_string(width) + " dots is too large to draw";
        return result;
    }
    result.image = Bitmap(width, height);
    draw_rows(*symbol, symbology->widths, narrow, wide, result.image);
    result.human_readable = reinterpret_cast<const char*>(symbol->text);
    if (result.human_readable.empty()) result.human_readable = std::string(data);
    return result;
}

}  // namespace

Symbol linear_barcode(std::string_view code, std::string_view data, int narrow, int wide,
                      int height) {
    return cached_symbol(SymbolKey() << "B" << code << data << narrow << wide << height,
                         [&] { return encode_linear_barcode(code, data, narrow, wide, height); });
}

}  // namespace eplview
