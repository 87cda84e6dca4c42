#include "barcode/symbol2d.h"

#include "barcode/barcode_passes.h"
#include "barcode/carrier_header.h"
#include "barcode/quoted_data.h"
#include "core/arith.h"
#include "core/coordinates.h"
#include "text/variable_fields.h"

namespace epl2 {

namespace {

constexpr std::string_view maxicode_code = "M";
constexpr std::string_view pdf417_code = "P";
// MaxiCode's parameters are one quoted field; PDF417's already end in their quoted data.
constexpr std::string_view maxicode_line = "b%ld,%ld,%s,\"%s\"\n";
constexpr std::string_view pdf417_line = "b%ld,%ld,%s,%s\n";

// Where the printer's corner of a turned PDF417 symbol lies from the host's, in dots.
constexpr DotPoint pdf417_shift_quarter = {190, 170};
constexpr DotPoint pdf417_shift_three_quarters = {-190, 180};

void put_field(BoundedWriter& out, std::string_view text) noexcept {
    put_quoted_data(out, text);
    out.put(',');
}

struct Symbol2dLine {
    std::string_view printer_code;
    std::string_view line_template;
    DotPoint at;
};

}  // namespace

bool write_maxicode_parameters(std::span<char> out, std::string_view data) noexcept {
    CarrierHeader header;
    if (!parse_carrier_header(data, header)) return false;
    BoundedWriter writer(out);
    put_field(writer, header.service_class);
    put_field(writer, header.country);
    put_field(writer, header.postal_code);
    if (!header.extension.empty()) put_field(writer, header.extension);
    put_quoted_data(writer, header.message(data));
    return writer.complete();
}

bool write_pdf417_parameters(std::span<char> out, const Pdf417Options& o,
                             std::string_view data) noexcept {
    BoundedWriter writer(out);
    format_to(writer, "%d,%d,", {o.first_size, o.second_size});
    if (o.security_level != 0) format_to(writer, "s%d,", {o.security_level});
    // A turned symbol takes its module sizes from the narrow width alone and names its
    // orientation; an upright one grows its row height with the row limit.
    if (o.rotation > 0) {
        format_to(writer, "f0,x%d,y%d,r%d,l%d,o%d,",
                  {o.narrow, wrap_add(wrap_mul(3, o.narrow), 1), o.rows, o.columns, o.rotation});
    } else {
        format_to(
            writer, "f0,x%d,y%d,r%d,l%d,",
            {wrap_add(o.narrow, 1), wrap_add(wrap_add(o.narrow, o.rows), 1), o.rows, o.columns});
    }
    writer.put('"');
    put_quoted_data(writer, data);
    writer.put('"');
    return writer.complete();
}

DotPoint pdf417_anchor(DotPoint at, std::int32_t rotation) noexcept {
    const DotPoint shift = rotation == 1   ? pdf417_shift_quarter
                           : rotation == 3 ? pdf417_shift_three_quarters
                                           : DotPoint{0, 0};
    return {wrap_add(at.x, shift.x), wrap_add(at.y, shift.y)};
}

std::int32_t draw_symbol2d(const Job& job, BarcodeObjectView object) noexcept {
    const std::uint32_t mark = take_variable_mark(object);
    const RecordView r = job.record();
    const std::int32_t height = object.get(barcode_object::height);
    const DotPoint top_left = {map_x(r, object.get(barcode_object::x)),
                               map_y(r, wrap_sub(object.get(barcode_object::y), height))};
    const std::string_view data = job.resolve_string(object.get(barcode_object::data));
    const std::span<char> parameters = object_data_buffer(r);

    Symbol2dLine line{};
    switch (object.get(barcode_object::symbology)) {
        case symbology::maxicode:
            if (!write_maxicode_parameters(parameters, data)) return 0;
            line = {maxicode_code, maxicode_line, top_left};
            break;
        case symbology::pdf417: {
            const std::uint32_t shape = object.get(barcode_object::shape_limits);
            // The size values go through the position mappings, offsets included, and the whole
            // shape word enters the second one: labels laid out for this driver are sized by
            // exactly these values.
            Pdf417Options options;
            options.first_size = map_y(r, height);
            options.second_size = map_x(
                r, wrap_add(object.get(barcode_object::width), static_cast<std::int32_t>(shape)));
            options.security_level = object.get(barcode_object::security_level);
            options.narrow = object.get(barcode_object::narrow);
            options.rows = static_cast<std::int32_t>(shape & 0xFFu);
            options.columns = static_cast<std::int32_t>((shape >> 8) & 0xFFu);
            options.rotation = printer_rotation(object.get(barcode_object::rotation));
            if (!write_pdf417_parameters(parameters, options, data)) return 0;
            line = {pdf417_code, pdf417_line, pdf417_anchor(top_left, options.rotation)};
            break;
        }
        default:
            return 0;  // no printer symbology for it
    }

    switch (barcode_output(r, mark, true)) {
        case BarcodeOutput::data_line:
            job.send_line_crlf(line.line_template, {line.at.x, line.at.y, line.printer_code,
                                                    r.string(record::object_data)});
            break;
        case BarcodeOutput::variable_reference:
            // The number is reserved so that later variables of the form keep their numbers;
            // the printer is given no declaration line for a symbol.
            take_variable_number(r);
            break;
        case BarcodeOutput::nothing:
            break;
    }
    return 0;
}

}  // namespace epl2
