// Graphics: GM stores a monochrome PCX file under a name, GG prints it, GK deletes it (GK"*"
// all); GW draws a raster sent inline. GI (list graphics) is accepted and changes nothing.
#include <algorithm>

#include "commands.h"
#include "pcx.h"

namespace eplview {
namespace {

// A small file may announce a large picture, so a graphic weighs what it holds in memory when
// that is more than its file.
std::size_t footprint(const Graphic& graphic) {
    return std::max(static_cast<std::size_t>(graphic.bytes), graphic.image.packed().size());
}

// GK"NAME"
void delete_graphic(Printer& printer, const Command& command, std::string_view rest) {
    printer.delete_stored(command, rest, printer.graphics);
}

// GM"NAME"size, then the file (the splitter took it into the command's payload).
void store_graphic(Printer& printer, const Command& command, std::string_view rest) {
    auto close = rest.rfind('"');
    if (!command.binary || rest.size() < 2 || rest[0] != '"' || close == 0 ||
        close == std::string_view::npos) {
        printer.warn(command, "GM: expected a name in double quotes and the file size");
        return;
    }
    std::string name(rest.substr(1, close - 1));
    auto size = to_int(rest.substr(close + 1));
    if (!size) {
        printer.warn(command,
                     "GM: file size \"" + printable(rest.substr(close + 1)) + "\" is not a number");
        return;
    }
    if (*size < 0 || static_cast<std::size_t>(*size) > max_raster_bytes) {
        printer.warn(command, "GM: graphic \"" + printable(name) + "\" is larger than the " +
                                  std::to_string(max_raster_bytes) + "-byte limit; not stored");
        return;
    }
    if (command.payload.size() < static_cast<std::size_t>(*size)) return;  // reported as short
    DecodedPcx decoded = decode_pcx(command.payload);
    if (!decoded.error.empty()) {
        printer.warn(command, "GM: graphic \"" + printable(name) + "\": " + decoded.error);
        if (decoded.image.width() == 0) return;
    }
    Graphic graphic{std::move(decoded.image), *size, 0};
    graphic.memory = footprint(graphic);
    auto replaced = printer.graphics.entries.find(name);
    std::size_t freed = replaced == printer.graphics.entries.end() ? 0 : replaced->second.memory;
    if (printer.graphics.total - freed + graphic.memory > max_stored_bytes) {
        printer.warn(command, "GM: graphic \"" + printable(name) +
                                  "\" would take stored graphics beyond " +
                                  std::to_string(max_stored_bytes) + " bytes; not stored");
        return;
    }
    std::size_t freed_bytes = replaced == printer.graphics.entries.end()
                                  ? 0
                                  : static_cast<std::size_t>(replaced->second.bytes);
    if (!printer.fits_in_memory(command, name, static_cast<std::size_t>(*size), freed_bytes))
        return;
    printer.graphics.put(name, std::move(graphic));
}

// GGx,y,"NAME"
void print_graphic(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 3)) return;
    auto at = printer.position(command, *fields);
    if (!at) return;
    const std::string& name = fields->list[2].text;
    auto graphic = printer.graphics.entries.find(name);
    if (graphic == printer.graphics.entries.end()) {
        printer.warn(command, "GG: recall of unknown graphic \"" + printable(name) + "\"");
        return;
    }
    printer.place(command, graphic->second.image, at->x, at->y, 0, Paint::black);
}

// GWx,y,bytes_per_row,rows, then the rows; a clear bit is a black dot.
void raster(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 4)) return;
    auto at = printer.position(command, *fields);
    auto row_bytes =
        printer.number(command, *fields, 2, "bytes per row", 1, max_label_width_dots / 8);
    auto rows = printer.number(command, *fields, 3, "rows", 1, max_label_length_dots);
    if (!at || !row_bytes || !rows) return;
    if (!command.binary) {
        printer.warn(command, "GW: the raster must follow the fourth parameter and its comma");
        return;
    }
    Bitmap image(*row_bytes * 8, *rows);
    const auto& data = command.payload;
    auto stride = static_cast<std::size_t>(*row_bytes);
    // A raster bit of 0 prints black.
    for (std::size_t i = 0; i < data.size() && i < stride * static_cast<std::size_t>(*rows); ++i)
        image.put_byte(static_cast<int>(i / stride), static_cast<int>(i % stride),
                       static_cast<std::uint8_t>(~data[i]));
    printer.place(command, image, at->x, at->y, 0, Paint::black);
}

constexpr CommandRow family_rows[] = {
    {"GK", delete_graphic}, {"GM", store_graphic}, {"GG", print_graphic},
    {"GI", accepted},       {"GW", raster},
};

}  // namespace

CommandRows graphic_commands() {
    return family_rows;
}

}  // namespace eplview
