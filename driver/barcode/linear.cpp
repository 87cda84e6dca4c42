#include "barcode/linear.h"

#include <array>

#include "barcode/barcode.h"
#include "barcode/barcode_passes.h"
#include "barcode/quoted_data.h"
#include "barcode/symbol2d.h"
#include "core/arith.h"
#include "core/coordinates.h"
#include "core/format.h"
#include "core/host_objects.h"
#include "text/variable_fields.h"

namespace epl2 {

namespace {

enum class Family : std::uint8_t { plain, upc_ean, code128, postnet };

struct LinearEntry {
    std::int32_t index;
    Family family;
    // UPC/EAN: by add-on selector; every other family uses the first.
    std::array<std::string_view, 3> codes;
};

// Code 128 with the marker: the shipping container code, or UCC/EAN-128 for any other length.
constexpr std::string_view sscc_code = "0";
constexpr std::string_view ucc_ean_code = "1E";

// Postnet: up to five digits are a ZIP code and go out as they are; anything longer is a ZIP+4
// code of exactly nine digits.
constexpr std::size_t zip_length = 5;
constexpr std::size_t zip4_length = 9;

constexpr std::array<LinearEntry, 13> linear_entries{{
    {symbology::upc_a, Family::upc_ean, {"UA0", "UA2", "UA5"}},
    {symbology::upc_e, Family::upc_ean, {"UE0", "UE2", "UE5"}},
    {symbology::ean13, Family::upc_ean, {"E30", "E32", "E35"}},
    {symbology::ean8, Family::upc_ean, {"E80", "E82", "E85"}},
    {symbology::code128, Family::code128, {"1"}},
    {symbology::code128_second, Family::code128, {"1"}},
    {symbology::code128_third, Family::code128, {"1"}},
    {symbology::codabar, Family::plain, {"K"}},
    {symbology::interleaved_2_of_5, Family::plain, {"2"}},
    {symbology::code39, Family::plain, {"3"}},
    {symbology::code93, Family::plain, {"9"}},
    // The marker byte means nothing special here: it is sent like any other byte.
    {symbology::ucc_ean128, Family::plain, {ucc_ean_code}},
    {symbology::postnet, Family::postnet, {"P"}},
}};

const LinearEntry* find_entry(std::int32_t index) noexcept {
    for (const LinearEntry& e : linear_entries) {
        if (e.index == index) return &e;
    }
    return nullptr;
}

LinearSymbol code128_symbol(std::string_view data) noexcept {
    if (data.empty() || data.front() != ucc_ean_marker) return {"1", data};
    const std::string_view code = sent_length(data) == sscc_length ? sscc_code : ucc_ean_code;
    return {code, slice(data, 1)};
}

constexpr std::string_view data_line_template = "B%ld,%ld,%d,%s,%d,%d,%ld,%c,\"%s\"\n";
constexpr std::string_view reference_line_template = "B%ld,%ld,%d,%s,%d,%d,%ld,%c,V%02d\n";

}  // namespace

LinearSymbol linear_symbol(std::int32_t index, std::int32_t addon, std::string_view data) noexcept {
    const LinearEntry* entry = find_entry(index);
    if (entry == nullptr) return {};
    switch (entry->family) {
        case Family::upc_ean:
            if (addon < 0 || addon > 2) return {};
            return {entry->codes[static_cast<std::size_t>(addon)], data, true};
        case Family::code128:
            return code128_symbol(data);
        case Family::postnet:
            return {entry->codes[0], data, false, true};
        case Family::plain:
            break;
    }
    return {entry->codes[0], data};
}

bool write_linear_data(std::span<char> out, const LinearSymbol& symbol) noexcept {
    BoundedWriter writer(out);
    if (symbol.postnet && sent_length(symbol.data) > zip_length) {
        for (std::size_t n = put_quoted_data(writer, symbol.data, zip4_length); n < zip4_length;
             ++n) {
            writer.put('0');
        }
    } else {
        put_quoted_data(writer, symbol.data);
    }
    return writer.complete();
}

char human_readable_letter(std::int32_t index, std::int32_t human_readable) noexcept {
    // The printer draws the digits under the bars only for the UPC/EAN family.
    const bool readable =
        index >= symbology::upc_a && index <= symbology::ean8 && human_readable != 0;
    return readable ? 'B' : 'N';
}

std::int32_t printer_rotation(std::int32_t host_rotation) noexcept {
    // Modulo 4 that stays in 0..3 for any host value.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wrap_sub(4, host_rotation)) & 3u);
}

bool wide_bar_width(std::int32_t ratio, std::int32_t narrow, std::int32_t& wide) noexcept {
    switch (ratio) {
        case 0:
            wide = wrap_mul(2, narrow);
            return true;
        case 1:
            wide = trunc_div(wrap_mul(5, narrow), 2);
            return true;
        case 2:
            wide = wrap_mul(3, narrow);
            return true;
        default:
            return false;
    }
}

DotPoint printer_anchor(DotPoint host, std::int32_t rotation, std::int32_t bar_height,
                        std::int32_t ean_shift) noexcept {
    switch (rotation) {
        case 1:
            return {wrap_add(host.x, bar_height), wrap_sub(host.y, ean_shift)};
        case 2:
            return {wrap_add(host.x, ean_shift), wrap_add(host.y, bar_height)};
        case 3:
            return {wrap_sub(host.x, bar_height), wrap_add(host.y, ean_shift)};
        default:
            return {wrap_sub(host.x, ean_shift), wrap_sub(host.y, bar_height)};
    }
}

std::int32_t drawbar(const Job& job, std::uint32_t barcode_object_word) noexcept {
    std::byte* object_bytes = job.resolve(barcode_object_word);
    if (object_bytes == nullptr) return 0;
    const BarcodeObjectView object(object_bytes);
    const std::int32_t index = object.get(barcode_object::symbology);
    if (index > symbology::last_linear) return draw_symbol2d(job, object);

    const std::uint32_t mark = take_variable_mark(object);
    if (index == symbology::none) return 0;

    const RecordView r = job.record();
    const std::string_view data = job.resolve_string(object.get(barcode_object::data));
    const LinearSymbol symbol = linear_symbol(index, object.get(barcode_object::addon), data);
    const std::int32_t narrow = object.get(barcode_object::narrow);
    std::int32_t wide = 0;
    // Selectors the printer has no meaning for, and data that does not fit whole, send nothing
    // rather than a barcode that would scan as something else.
    if (symbol.printer_code.empty() ||
        !wide_bar_width(object.get(barcode_object::ratio), narrow, wide) ||
        !write_linear_data(object_data_buffer(r), symbol)) {
        return 0;
    }

    const std::int32_t bar_height = scale_y_length(r, object.get(barcode_object::height));
    const std::int32_t rotation = printer_rotation(object.get(barcode_object::rotation));
    const std::int32_t ean_shift = symbol.upc_ean ? wrap_add(wrap_mul(8, narrow), 1) : 0;
    const DotPoint at = printer_anchor(
        {map_x(r, object.get(barcode_object::x)), map_y(r, object.get(barcode_object::y))},
        rotation, bar_height, ean_shift);
    const char letter = human_readable_letter(index, object.get(barcode_object::human_readable));

    bool sent = false;
    switch (barcode_output(r, mark, false)) {
        case BarcodeOutput::data_line:
            sent = job.send_line_crlf(data_line_template,
                                      {at.x, at.y, rotation, symbol.printer_code, narrow, wide,
                                       bar_height, letter, r.string(record::object_data)});
            break;
        case BarcodeOutput::variable_reference:
            sent = job.send_line_crlf(reference_line_template,
                                      {at.x, at.y, rotation, symbol.printer_code, narrow, wide,
                                       bar_height, letter, take_variable_number(r)});
            break;
        case BarcodeOutput::nothing:
            break;
    }
    if (sent) raise_object_bottom(r, at.y);
    return 0;
}

}  // namespace epl2
