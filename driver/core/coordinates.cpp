#include "core/coordinates.h"

#include "core/arith.h"

namespace epl2 {

namespace {

constexpr std::int32_t model_class_right_aligned = 2;
constexpr std::int32_t printer_type_always_centred = 13;

// (value x dpi + 500) / 1000: thousandths of an inch to dots, rounding half up for positive
// values and toward zero for negative ones, as the host's own rounding does.
std::int32_t thousandths_to_dots(std::int32_t value, std::int32_t dpi) noexcept {
    return trunc_div(wrap_add(wrap_mul(value, dpi), 500), 1000);
}

}  // namespace

std::int32_t map_x(RecordView record, std::int32_t x) noexcept {
    const std::int32_t spare =
        wrap_sub(record.get(record::max_print_width), record.get(record::label_width));
    const std::int32_t dpi = record.get(record::dpi_x);
    if (record.get(record::model_class) == model_class_right_aligned &&
        record.get(record::printer_type) != printer_type_always_centred) {
        return thousandths_to_dots(wrap_add(wrap_add(x, record.get(record::left_offset)), spare),
                                   dpi);
    }
    // Half the spare width, rounded toward minus infinity (an arithmetic shift), centres the label.
    const std::int32_t half_spare = spare >> 1;
    return thousandths_to_dots(wrap_add(x, half_spare), dpi);
}

std::int32_t map_y(RecordView record, std::int32_t y) noexcept {
    return thousandths_to_dots(wrap_sub(y, record.get(record::top_offset)),
                               record.get(record::dpi_y));
}

std::int32_t scale_length(std::int32_t length, std::int32_t dpi) noexcept {
    return thousandths_to_dots(length, dpi);
}

std::int32_t scale_x_length(RecordView record, std::int32_t length) noexcept {
    return scale_length(length, record.get(record::dpi_x));
}

std::int32_t scale_y_length(RecordView record, std::int32_t length) noexcept {
    return scale_length(length, record.get(record::dpi_y));
}

MillimetreGrid snap_to_millimetre_grid(std::int32_t x, std::int32_t dpi_x) noexcept {
    constexpr std::int32_t dots_per_millimetre = 8;
    const std::int32_t dots = scale_length(x, dpi_x);
    const std::int32_t nearer = wrap_add(dots, dots_per_millimetre / 2);
    const std::int32_t grid_dots = wrap_sub(nearer, trunc_rem(nearer, dots_per_millimetre));
    return {dots, grid_dots, trunc_div(wrap_mul(grid_dots, 10000), 2032)};
}

ClipRect clip_rect(RecordView record) noexcept {
    return {record.get(record::clip_left), record.get(record::clip_top),
            record.get(record::clip_right), record.get(record::clip_bottom)};
}

void raise_object_bottom(RecordView record, std::int32_t bottom) noexcept {
    if (bottom > record.get(record::max_object_bottom))
        record.set(record::max_object_bottom, bottom);
}

std::int32_t setclip(const Job& job, std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom) noexcept {
    const RecordView r = job.record();
    r.set(record::clip_left, map_x(r, left));
    r.set(record::clip_top, map_y(r, top));
    r.set(record::clip_right, map_x(r, right));
    r.set(record::clip_bottom, map_y(r, bottom));
    return 0;
}

}  // namespace epl2
