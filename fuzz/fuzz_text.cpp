// Text of any content, escaped into the DATA field, cut at any clip rectangle in any direction,
// and drawn through drawtext: the A line must stay one line with one closed quoted field, whatever
// quotes, backslashes and line breaks the user typed, and must carry the user's characters only.
//
// Input: control values (see Controls), then the text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "native_host.h"
#include "setup/capabilities.h"
#include "text/text.h"
#include "text/text_layout.h"

namespace {

using epl2::fuzz::read_quoted_content;
using epl2::fuzz::require;

constexpr std::size_t object_data_size = epl2::record::object_data.width;
// Positions and advances within these bounds cannot wrap, so where the kept characters stand can
// be checked against the clip rectangle.
constexpr std::int64_t position_bound = 1 << 20;
constexpr std::int64_t advance_bound = 1 << 10;
constexpr char untouched = 0x5A;

struct Controls {
    std::size_t escape_capacity;
    epl2::TextPosition at;  // dots
    std::int32_t advance;
    std::int32_t rotation;
    epl2::ClipRect clip;
    std::int32_t printer_type;
    std::uint8_t form_mode;
    std::uint8_t flags;  // variable mode, form store, no clipping, variable mark
    std::int32_t host_x, host_y;
    std::uint32_t height, width;
    std::int32_t font;
    std::int32_t shade;
};

Controls controls_of(epl2::fuzz::ByteReader& in) {
    Controls c{};
    c.escape_capacity = in.byte() + std::size_t{1};
    c.at = {in.coordinate(), in.coordinate()};
    const std::uint8_t advance_choice = in.byte();
    c.advance = advance_choice < 200 ? advance_choice % 40 - 4 : in.coordinate();
    c.rotation = in.byte() % 6 - 1;
    c.clip = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    c.printer_type = in.byte() % 16 - 1;
    // Mostly the two passes that draw text, form building (0) and recall (3).
    const std::uint8_t mode = in.byte();
    c.form_mode =
        mode < 200 ? static_cast<std::uint8_t>(mode % 2 * 3) : static_cast<std::uint8_t>(mode % 8);
    c.flags = in.byte();
    c.host_x = in.coordinate();
    c.host_y = in.coordinate();
    c.height = in.u16();
    c.width = in.u16();
    c.font = in.byte() % 7 - 1;
    c.shade = in.byte();
    return c;
}

bool is_prefix_of(std::string_view whole, std::string_view part) {
    return whole.substr(0, part.size()) == part;
}

// The escaped text keeps the longest prefix that fits, never half an escape pair, never a line
// break.
void check_escaping(std::string_view text, std::size_t capacity) {
    std::vector<char> out(capacity, untouched);
    const std::size_t length = epl2::escape_text(out, text);
    require(length < capacity && out[length] == '\0',
            "escaped text ends in a NUL inside its buffer");
    std::string plain;
    require(read_quoted_content({out.data(), length}, plain), "escaped text is one whole field");
    const std::string sendable = epl2::fuzz::without_line_breaks(text);
    require(is_prefix_of(sendable, plain), "escaped text is a prefix of the text");
    if (plain.size() < sendable.size()) {
        const std::string_view next(&sendable[plain.size()], 1);
        require(length + epl2::fuzz::escaped_length(next) > capacity - 1,
                "a text is cut only where the next character does not fit");
    }
}

bool within(std::int64_t value, std::int32_t low, std::int32_t high) {
    return low <= value && value <= high;
}

bool bounded(const Controls& c) {
    const auto small = [](std::int64_t v) { return -position_bound <= v && v <= position_bound; };
    return small(c.at.x) && small(c.at.y) && small(c.clip.left) && small(c.clip.top) &&
           small(c.clip.right) && small(c.clip.bottom) && c.advance > 0 &&
           c.advance <= advance_bound;
}

// Where the kept characters stand along the direction of writing: they start on or after the
// low edge and end on or before the high one, and a text wholly inside keeps every character.
void check_kept_place(const Controls& c, std::string_view escaped, std::string_view kept,
                      epl2::TextPosition moved) {
    const bool along_y = c.rotation == 1 || c.rotation == 3;
    const bool backward = c.rotation == 1 || c.rotation == 2;
    const std::int64_t from = along_y ? c.at.y : c.at.x;
    const std::int64_t to = along_y ? moved.y : moved.x;
    const std::int32_t low = along_y ? c.clip.top : c.clip.left;
    const std::int32_t high = along_y ? c.clip.bottom : c.clip.right;
    const std::int64_t step = backward ? -c.advance : c.advance;
    const std::int64_t whole_end = from + step * static_cast<std::int64_t>(escaped.size());
    if (within(from, low, high) && within(whole_end, low, high)) {
        require(kept == escaped, "a text inside the clip rectangle is kept whole");
    }
    require((to - from) % step == 0 && (to - from) / step >= 0,
            "the start moves by whole cells along the direction of writing");
    if (kept.empty()) return;
    const auto first = static_cast<std::size_t>((to - from) / step);
    require(first + kept.size() <= escaped.size() && escaped.substr(first, kept.size()) == kept,
            "the start names the first character kept");
    std::string plain;
    require(read_quoted_content(escaped.substr(0, first), plain),
            "the cut keeps escape pairs whole");
    const std::int64_t kept_end = to + step * static_cast<std::int64_t>(kept.size());
    require(within(to, low, high) && within(kept_end, low, high),
            "kept characters lie inside the clip rectangle");
}

void check_clipping(const Controls& c, std::string_view text) {
    std::array<char, object_data_size> escaped_buffer{};
    const std::size_t escaped_length = epl2::escape_text(escaped_buffer, text);
    const std::string_view escaped(escaped_buffer.data(), escaped_length);

    std::array<char, object_data_size> object_data;
    object_data.fill(untouched);
    epl2::TextPosition moved = c.at;
    if (!epl2::clip_text(moved, c.advance, c.rotation, escaped, object_data, c.clip)) {
        require(moved.x == c.at.x && moved.y == c.at.y, "a text not drawn keeps its position");
        require(std::all_of(object_data.begin(), object_data.end(),
                            [](char b) { return b == untouched; }),
                "a text not drawn leaves object_data alone");
        const std::int32_t across = c.rotation == 1 || c.rotation == 3 ? c.at.x : c.at.y;
        const bool inside = c.rotation == 1 || c.rotation == 3
                                ? within(across, c.clip.left, c.clip.right)
                                : within(across, c.clip.top, c.clip.bottom);
        require(c.rotation >= 0 && c.rotation <= 3 && !inside,
                "only a text beside the clip rectangle is not drawn");
        return;
    }
    const void* end = std::memchr(object_data.data(), '\0', object_data.size());
    require(end != nullptr, "the kept text ends in a NUL inside object_data");
    const std::string_view kept(
        object_data.data(),
        static_cast<std::size_t>(static_cast<const char*>(end) - object_data.data()));
    std::string plain;
    require(read_quoted_content(kept, plain), "the kept text is one whole field");
    require(escaped.find(kept) != std::string_view::npos, "the kept text is a piece of the text");
    if (c.rotation < 0 || c.rotation > 3) {
        require(kept == escaped && moved.x == c.at.x && moved.y == c.at.y,
                "an unknown direction is not cut");
    } else if (bounded(c)) {
        check_kept_place(c, escaped, kept, moved);
    }
}

// The A line of drawtext: one line, its DATA field closed and holding only the user's
// characters, whole when clipping is off and the text fits.
void check_text_line(const Controls& c, std::string_view text) {
    epl2::native::NativeHost host;
    const epl2::RecordView r = host.record();
    r.set(epl2::record::printer_type, c.printer_type);
    epl2::prtsetup(host.job());
    r.set(epl2::record::form_mode, c.form_mode);
    r.set(epl2::record::variable_mode, static_cast<std::uint8_t>(c.flags & 1u));
    r.set(epl2::record::form_store_enabled, (c.flags >> 1) & 1);
    const bool unclipped = (c.flags & 4u) != 0;
    r.set(epl2::record::extra_strings_enabled, unclipped ? 1 : 0);
    r.set(epl2::record::clip_left, c.clip.left);
    r.set(epl2::record::clip_top, c.clip.top);
    r.set(epl2::record::clip_right, c.clip.right);
    r.set(epl2::record::clip_bottom, c.clip.bottom);
    host.take_output();

    const std::string host_text(text);
    epl2::drawtext(host.job(), c.host_x, c.host_y, host.word(host_text.c_str()), c.height, c.width,
                   c.rotation, c.font, c.shade, (c.flags & 8u) != 0 ? 1u : 0u);
    const std::string line = host.take_output();
    if (line.empty()) return;

    const std::string_view ending = "\n\r\n";
    require(line.ends_with(ending), "the line ends in LF CR LF");
    const std::string_view body(line.data(), line.size() - ending.size());
    require(body.size() < epl2::record::line_buffer.width, "the line fits the LineBuffer");
    require(body.find_first_of("\r\n") == std::string_view::npos, "no line break inside the line");
    require(body.starts_with("A"), "an A line");
    std::size_t data_at = 0;
    for (int comma = 0; comma < 7; ++comma) {
        data_at = body.find(',', data_at);
        require(data_at != std::string_view::npos, "seven parameters before the data");
        ++data_at;
    }
    const std::string_view data = body.substr(data_at);
    if (data.starts_with("V")) {
        require(
            data.size() >= 3 && data.find_first_not_of("0123456789", 1) == std::string_view::npos,
            "a variable reference is V and its number");
        return;
    }
    require(data.size() >= 2 && data.starts_with("\"") && data.ends_with("\""),
            "the data is one quoted field");
    std::string plain;
    require(read_quoted_content(data.substr(1, data.size() - 2), plain), "the field stays closed");
    const std::string sendable = epl2::fuzz::without_line_breaks(text);
    require(sendable.find(plain) != std::string::npos,
            "the field holds only the text's characters");
    if (unclipped || c.rotation < 0 || c.rotation > 3) {
        require(is_prefix_of(sendable, plain), "an uncut text starts with its first character");
        if (epl2::fuzz::escaped_length(sendable) < object_data_size) {
            require(plain == sendable, "an uncut text that fits goes out whole");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    epl2::fuzz::ByteReader in(data, size);
    const Controls c = controls_of(in);
    const std::string_view text = epl2::fuzz::host_string(in.rest());
    check_escaping(text, c.escape_capacity);
    check_clipping(c, text);
    check_text_line(c, text);
    return 0;
}
