// The b command's two-dimensional symbols: PDF417, MaxiCode, QR Code, Data Matrix and Aztec,
// encoded by libzint and drawn module by module at the printer's dot sizes (MaxiCode, whose
// hexagons have no dot grid, at the printer's fixed size).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "symbol_cache.h"
#include "symbols_zint.h"

namespace eplview {
namespace {

// Every module module_width by module_height dots, inside a white quiet zone of quiet modules on
// every side; inverse prints the modules white on black, the quiet zone included.
Symbol modules_image(const zint_symbol& symbol, int module_width, int module_height, int quiet,
                     bool inverse, std::string_view name) {
    Symbol result;
    long width = static_cast<long>(symbol.width + 2 * quiet) * module_width;
    long height = static_cast<long>(symbol.rows + 2 * quiet) * module_height;
    if (width > max_symbol_width_dots || height > max_label_length_dots) {
        result.error = std::string(name) + " symbol is too large to draw";
        return result;
    }
    Bitmap& image = result.image = Bitmap(static_cast<int>(width), static_cast<int>(height));
    // One row of dots per row of modules, each module a span; the module's other rows copy it.
    for (int y = 0; y < image.height(); y += module_height) {
        int row = y / module_height - quiet;
        for (int column = -quiet; column < symbol.width + quiet; ++column) {
            bool mark = row >= 0 && row < symbol.rows && column >= 0 && column < symbol.width &&
                        module_set(symbol, row, column);
            int x = (column + quiet) * module_width;
            if (mark != inverse) image.set_span(y, x, x + module_width, true);
        }
        for (int copy = 1; copy < module_height; ++copy) image.copy_row(y, y + copy);
    }
    return result;
}

void link(zint_symbol& symbol, const Append& append) {
    symbol.structapp.index = append.index;
    symbol.structapp.count = append.count;
}

// Data Matrix ECC 200 symbol sizes as rows by columns, in libzint's order of its size option.
constexpr std::array<std::array<int, 2>, 30> data_matrix_sizes = {{
    {10, 10}, {12, 12}, {14, 14}, {16, 16}, {18, 18},   {20, 20},   {22, 22},   {24, 24},
    {26, 26}, {32, 32}, {36, 36}, {40, 40}, {44, 44},   {48, 48},   {52, 52},   {64, 64},
    {72, 72}, {80, 80}, {88, 88}, {96, 96}, {104, 104}, {120, 120}, {132, 132}, {144, 144},
    {8, 18},  {8, 32},  {12, 26}, {12, 36}, {16, 36},   {16, 48},
}};

// libzint's size options that have the rows and columns asked for (0: any), smallest first.
std::vector<int> data_matrix_candidates(int rows, int columns) {
    std::vector<int> options;
    for (std::size_t i = 0; i < data_matrix_sizes.size(); ++i)
        if ((rows == 0 || data_matrix_sizes[i][0] == rows) &&
            (columns == 0 || data_matrix_sizes[i][1] == columns))
            options.push_back(static_cast<int>(i) + 1);
    std::sort(options.begin(), options.end(), [](int a, int b) {
        auto area = [](int option) {
            const auto& size = data_matrix_sizes[static_cast<std::size_t>(option) - 1];
            return size[0] * size[1];
        };
        return area(a) < area(b);
    });
    return options;
}

std::string data_matrix_shape(int rows, int columns) {
    std::string shape = rows ? std::to_string(rows) + " rows" : "";
    if (rows && columns) shape += " and ";
    return columns ? shape + std::to_string(columns) + " columns" : shape;
}

// libzint's Aztec error correction levels hold 10, 23, 36 and 50 percent of check words: the
// printer's percentage gets the first level that holds at least as many.
int aztec_correction(int percent) {
    constexpr int levels[] = {10, 23, 36, 50};
    for (int level = 0; level < 4; ++level)
        if (percent <= levels[level]) return level + 1;
    return 4;
}

}  // namespace

static Symbol encode_pdf417(std::string_view data, const Pdf417Options& options) {
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
    return modules_image(*symbol, std::max(1, options.module_width),
                         std::max(1, options.row_height), 0, false, "PDF417");
}

// The dots of row y whose centres lie between from and to.
static void fill_between(Bitmap& image, int y, double from, double to, bool black) {
    image.set_span(y, static_cast<int>(std::ceil(from - 0.5)),
                   static_cast<int>(std::floor(to - 0.5)) + 1, black);
}

// The dots whose centres fall inside a regular hexagon of the given circumradius centred on
// (cx, cy), its corners up and down as zint lays out an unturned symbol, a span per row: a row
// at distance d from the centre spans the flats' width until the slanted sides close it in.
static void fill_hexagon(Bitmap& image, double cx, double cy, double radius) {
    const double half_flat = radius * std::sqrt(3.0) / 2;  // centre to a flat side
    for (int y = static_cast<int>(std::floor(cy - radius));
         y <= static_cast<int>(std::ceil(cy + radius)); ++y) {
        double half = std::min(half_flat, (radius - std::abs(y + 0.5 - cy)) * std::sqrt(3.0));
        if (half >= 0) fill_between(image, y, cx - half, cx + half, true);
    }
}

// The dots whose centres lie between the circles of radius inner and outer around (cx, cy),
// black or (black false) white.
static void fill_ring(Bitmap& image, double cx, double cy, double inner, double outer, bool black) {
    for (int y = static_cast<int>(std::floor(cy - outer));
         y <= static_cast<int>(std::ceil(cy + outer)); ++y) {
        double d = y + 0.5 - cy;
        if (std::abs(d) > outer) continue;
        double out = std::sqrt(outer * outer - d * d);
        if (std::abs(d) >= inner) {
            fill_between(image, y, cx - out, cx + out, black);
            continue;
        }
        double in = std::sqrt(inner * inner - d * d);
        fill_between(image, y, cx - out, cx - in, black);
        fill_between(image, y, cx + in, cx + out, black);
    }
}

static Symbol encode_maxicode(const CarrierMessage& carrier, const MaxiCodeOptions& options,
                              int dpi) {
    Symbol result;
    auto symbol = new_symbol(BARCODE_MAXICODE);
    bool numeric_postal = !carrier.postal_code.empty() &&
                          std::all_of(carrier.postal_code.begin(), carrier.postal_code.end(),
                                      [](char c) { return c >= '0' && c <= '9'; });
    // Mode 2 carries a numeric postal code of up to 9 digits, mode 3 up to 6 other characters.
    symbol->option_1 = options.mode != 0 ? options.mode : numeric_postal ? 2 : 3;
    link(*symbol, options.append);
    if (symbol->option_1 <= 3) {
        std::string primary = carrier.postal_code + carrier.country + carrier.service_class;
        if (primary.size() >= sizeof(symbol->primary)) {
            result.error = "MaxiCode carrier fields are too long";
            return result;
        }
        std::copy(primary.begin(), primary.end(), symbol->primary);
        symbol->primary[primary.size()] = '\0';
    }
    if (result.error = encode(*symbol, carrier.message); !result.error.empty()) return result;
    // zint lays the hexagons and the bullseye out as shapes; they are drawn here straight at the
    // printed size, 1.11 in wide, rather than rasterised by zint at its own size and resampled.
    if (ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector ||
        symbol->vector->width <= 0) {
        result.error = symbol->errtxt;
        return result;
    }
    const zint_vector& shapes = *symbol->vector;
    const double scale = std::round(1.11 * dpi) / static_cast<double>(shapes.width);
    result.image = Bitmap(static_cast<int>(std::lround(shapes.width * scale)),
                          static_cast<int>(std::lround(shapes.height * scale)));
    for (const zint_vector_hexagon* h = shapes.hexagons; h; h = h->next)
        fill_hexagon(result.image, h->x * scale, h->y * scale, h->diameter * scale / 2);
    for (const zint_vector_circle* c = shapes.circles; c; c = c->next) {
        double radius = c->diameter * scale / 2, half_width = c->width * scale / 2;
        fill_ring(result.image, c->x * scale, c->y * scale, c->width > 0 ? radius - half_width : 0,
                  radius + half_width, c->colour == 0);
    }
    return result;
}

static Symbol encode_qr_code(std::string_view data, const QrOptions& options) {
    auto symbol = new_symbol(BARCODE_QRCODE);
    constexpr std::string_view levels = "LMQH";
    symbol->option_1 = static_cast<int>(levels.find(options.correction)) + 1;
    if (options.kanji) symbol->option_3 = ZINT_FULL_MULTIBYTE;
    link(*symbol, options.append);
    if (options.append.count > 0)
        std::snprintf(symbol->structapp.id, sizeof symbol->structapp.id, "%d", options.parity);
    Symbol result;
    if (result.error = encode(*symbol, data); !result.error.empty()) return result;
    return modules_image(*symbol, options.module, options.module, 0, false, "QR Code");
}

// Without rows or columns the printer chooses a square symbol; with them, the smallest symbol
// of that shape the data fits.
static Symbol encode_data_matrix(std::string_view data, const DataMatrixOptions& options) {
    Symbol result;
    ZintSymbol symbol;
    if (options.rows == 0 && options.columns == 0) {
        symbol = new_symbol(BARCODE_DATAMATRIX);
        symbol->option_3 = DM_SQUARE;
        result.error = encode(*symbol, data);
    } else {
        auto candidates = data_matrix_candidates(options.rows, options.columns);
        result.error =
            "no Data Matrix symbol has " + data_matrix_shape(options.rows, options.columns);
        for (int size : candidates) {
            symbol = new_symbol(BARCODE_DATAMATRIX);
            symbol->option_2 = size;
            if (result.error = encode(*symbol, data); result.error.empty()) break;
        }
    }
    if (!result.error.empty()) return result;
    return modules_image(*symbol, options.module, options.module, 1, options.inverse,
                         "Data Matrix");
}

static Symbol encode_aztec(std::string_view data, const AztecOptions& options) {
    auto symbol = new_symbol(options.level == 300 ? BARCODE_AZRUNE : BARCODE_AZTEC);
    if (options.level >= 1 && options.level <= 99)
        symbol->option_1 = aztec_correction(options.level);
    else if (options.level >= 101 && options.level <= 104)
        symbol->option_2 = options.level - 100;
    else if (options.level >= 201 && options.level <= 232)
        symbol->option_2 = options.level - 200 + 4;  // libzint counts the 4 compact sizes first
    if (options.menu) symbol->output_options |= READER_INIT;
    Symbol result;
    if (result.error = encode(*symbol, data); !result.error.empty()) return result;
    return modules_image(*symbol, options.module, options.module, 0, options.inverse, "Aztec");
}

Symbol pdf417(std::string_view data, const Pdf417Options& options) {
    const auto& o = options;
    return cached_symbol(SymbolKey() << "P" << data << o.module_width << o.row_height << o.security
                                     << o.rows << o.columns << (o.truncated ? 1 : 0),
                         [&] { return encode_pdf417(data, options); });
}

Symbol maxicode(const CarrierMessage& carrier, const MaxiCodeOptions& options, int dpi) {
    const auto& c = carrier;
    return cached_symbol(SymbolKey()
                             << "M" << c.service_class << c.country << c.postal_code << c.message
                             << options.mode << options.append.index << options.append.count << dpi,
                         [&] { return encode_maxicode(carrier, options, dpi); });
}

Symbol qr_code(std::string_view data, const QrOptions& options) {
    const auto& o = options;
    return cached_symbol(SymbolKey()
                             << "Q" << data << o.module << int{o.correction} << (o.kanji ? 1 : 0)
                             << o.append.index << o.append.count << o.parity,
                         [&] { return encode_qr_code(data, options); });
}

Symbol data_matrix(std::string_view data, const DataMatrixOptions& options) {
    const auto& o = options;
    return cached_symbol(
        SymbolKey() << "D" << data << o.module << o.rows << o.columns << (o.inverse ? 1 : 0),
        [&] { return encode_data_matrix(data, options); });
}

Symbol aztec(std::string_view data, const AztecOptions& options) {
    const auto& o = options;
    return cached_symbol(SymbolKey() << "A" << data << o.module << o.level << (o.menu ? 1 : 0)
                                     << (o.inverse ? 1 : 0),
                         [&] { return encode_aztec(data, options); });
}

}  // namespace eplview
