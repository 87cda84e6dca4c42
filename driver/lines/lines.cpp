#include "lines/lines.h"

#include <algorithm>
#include <utility>

#include "core/arith.h"
#include "core/coordinates.h"
#include "core/page_frame.h"
#include "core/passes.h"

namespace epl2 {

namespace {

// Below this shade a filled area is drawn black and then inverted, so it ends white.
constexpr std::int32_t reverse_shade_limit = 50;

// Bit 0 of host_flags: the host wants both corners of a line mapped like positions instead of
// one corner and a scaled size.
constexpr std::uint32_t host_flag_corner_mapping = 1u;

// Line art belongs to the stored form; a printer without forms draws it in the recall pass.
// Building the form may need to open it first, so the first line of a job can start the form.
bool line_art_pass(const Job& job) noexcept {
    const RecordView r = job.record();
    const std::uint8_t mode = r.get(record::form_mode);
    if (draws_directly(r)) return mode == form_mode::recall;
    if (mode != form_mode::build) return false;
    form_preamble(job);
    return true;
}

// A rectangle in dots from its top-left to its bottom-right corner.
struct DotCorners {
    std::int32_t x1, y1, x2, y2;
};

DotCorners map_corners(RecordView r, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                       std::int32_t y2) noexcept {
    return {map_x(r, x1), map_y(r, y1), map_x(r, x2), map_y(r, y2)};
}

// Drops a rectangle that lies wholly outside the clip rectangle; otherwise moves each edge that
// sticks out onto the clip edge.
bool clip_corners(DotCorners& c, const ClipRect& clip) noexcept {
    if (c.x1 >= clip.right || c.x2 <= clip.left || c.y1 >= clip.bottom || c.y2 <= clip.top) {
        return false;
    }
    c.x1 = std::max(c.x1, clip.left);
    c.x2 = std::min(c.x2, clip.right);
    c.y1 = std::max(c.y1, clip.top);
    c.y2 = std::min(c.y2, clip.bottom);
    return true;
}

// A bar as the LO and LE commands take it: top-left corner, width and height in dots.
struct DotBar {
    std::int32_t x, y, width, height;
};

// Both corners mapped as positions: the far edge is inclusive, hence the extra dot.
bool bar_from_corners(RecordView r, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                      std::int32_t y2, DotBar& bar) noexcept {
    DotCorners c = map_corners(r, x1, y1, x2, y2);
    if (!clip_corners(c, clip_rect(r))) return false;
    raise_object_bottom(r, c.y2);
    bar = {c.x1, c.y1, wrap_add(wrap_sub(c.x2, c.x1), 1), wrap_add(wrap_sub(c.y2, c.y1), 1)};
    return true;
}

// A bar never vanishes: a hairline thinner than half a dot still prints one dot wide.
std::int32_t at_least_one_dot(std::int32_t dots) noexcept {
    return dots == 0 ? 1 : dots;
}

// Moves the start of one side of a bar onto the clip edge without shortening it, then cuts
// what runs past the far edge.
void clip_span(std::int32_t& start, std::int32_t& length, std::int32_t low,
               std::int32_t high) noexcept {
    if (start <= low) start = low;
    if (wrap_add(start, length) >= high) length = wrap_sub(high, start);
}

// One corner mapped as a position and the extent scaled as a length (the usual mapping).
bool bar_from_origin_and_size(RecordView r, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                              std::int32_t y2, DotBar& bar) noexcept {
    bar.x = map_x(r, x1);
    bar.y = map_y(r, y1);
    bar.width = at_least_one_dot(scale_x_length(r, wrap_sub(x2, x1)));
    bar.height = at_least_one_dot(scale_y_length(r, wrap_sub(y2, y1)));
    const ClipRect clip = clip_rect(r);
    if (bar.x >= clip.right || wrap_add(bar.x, bar.width) <= clip.left || bar.y >= clip.bottom ||
        wrap_add(bar.y, bar.height) <= clip.top) {
        return false;
    }
    clip_span(bar.x, bar.width, clip.left, clip.right);
    clip_span(bar.y, bar.height, clip.top, clip.bottom);
    bar.width = at_least_one_dot(bar.width);
    bar.height = at_least_one_dot(bar.height);
    raise_object_bottom(r, wrap_add(bar.y, bar.height));
    return true;
}

void send_bar(const Job& job, std::string_view templ, const DotBar& bar) noexcept {
    job.send_line_crlf(templ, {bar.x, bar.y, bar.width, bar.height});
}

// drawline and drawbckgnd: a filled rectangle between two corners given in any order.
std::int32_t draw_filled_rectangle(const Job& job, std::int32_t x1, std::int32_t y1,
                                   std::int32_t x2, std::int32_t y2, std::int32_t shade) noexcept {
    if (!line_art_pass(job)) return 0;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const RecordView r = job.record();
    DotBar bar{};
    const bool corner_mapping = (r.get(record::host_flags) & host_flag_corner_mapping) != 0;
    if (!(corner_mapping ? bar_from_corners(r, x1, y1, x2, y2, bar)
                         : bar_from_origin_and_size(r, x1, y1, x2, y2, bar))) {
        return 0;
    }
    send_bar(job, "LO%ld,%ld,%ld,%ld\n", bar);
    if (shade < reverse_shade_limit) send_bar(job, "LE%ld,%ld,%ld,%ld\n", bar);
    return 0;
}

}  // namespace

std::int32_t drawbckgnd(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                        std::int32_t y2, std::int32_t shade) noexcept {
    return draw_filled_rectangle(job, x1, y1, x2, y2, shade);
}

std::int32_t drawline(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                      std::int32_t y2, std::int32_t shade) noexcept {
    return draw_filled_rectangle(job, x1, y1, x2, y2, shade);
}

// The host centres the border on the rectangle it gives; the X command wants the outer edge, so
// the rectangle grows by half the border on every side. Its corners are taken as given.
std::int32_t drawbox(const Job& job, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                     std::int32_t y2, std::int32_t thickness) noexcept {
    if (!line_art_pass(job)) return 0;
    const RecordView r = job.record();
    const std::int32_t half = trunc_div(thickness, 2);
    DotCorners c = map_corners(r, wrap_sub(x1, half), wrap_sub(y1, half), wrap_add(x2, half),
                               wrap_add(y2, half));
    if (!clip_corners(c, clip_rect(r))) return 0;
    const std::int32_t border = scale_x_length(r, thickness);
    raise_object_bottom(r, c.y2);
    job.send_line_crlf("X%ld,%ld,%ld,%ld,%ld\n", {c.x1, c.y1, border, c.x2, c.y2});
    return 0;
}

}  // namespace epl2
