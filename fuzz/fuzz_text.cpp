// Text of any content, escaped into the DATA field, cut at any clip rectangle in any direction,
// and drawn through drawtext: the A line must stay one line with one closed quoted field, whatever
// quotes, backslashes and line breaks the user typed, and must carry the user's characters only.
//
// Input: the size of the escaping buffer, control values (see Controls), then the text.
#include <algorithm>
#include <array>
#include <vector>

#include "fuzz_support.h"
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
    epl2::TextPosition at;  // dots
    std::int32_t advance, rotation, printer_type;
    epl2::ClipRect clip;
    std::uint8_t form_mode, flags;  // flags: variable mode, form store, no clipping, variable mark
    epl2::TextPosition host_at;     // thousandths of an inch
    std::uint32_t height, width;
    std::int32_t font, shade;
};

Controls controls_of(epl2::fuzz::ByteReader& in) {
    Controls c{};
    c.at = {in.coordinate(), in.coordinate()};
    const std::uint8_t advance_choice = in.byte();
    c.advance = advance_choice < 200 ? advance_choice % 40 - 4 : in.coordinate();
    c.rotation = in.byte() % 6 - 1;
    c.clip = {in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate()};
    c.printer_type = in.byte() % 16 - 1;
    // Mostly the two passes that draw text, form building (0) and recall (3).
    const std::uint8_t mode = in.byte();
    c.form_mode = static_cast<std::uint8_t>(mode < 200 ? mode % 2 * 3 : mode % 8);
    c.flags = in.byte();
    c.host_at = {in.coordinate(), in.coordinate()};
    c.height = in.u16();
    c.width = in.u16();
    c.font = in.byte() % 7 - 1;
    c.shade = in.byte();
    return c;
}

// Rotations 1 and 3 write along y; a rotation beyond 0 to 3 is one the printer does not know.
bool writes_along_y(std::int32_t rotation) {
    return rotation == 1 || rotation == 3;
}
bool known_rotation(std::int32_t rotation) {
    return rotation >= 0 && rotation <= 3;
}

bool within(std::int64_t value, std::int32_t low, std::int32_t high) {
    return low <= value && value <= high;
}

// The escaped text keeps the longest prefix that fits, never half an escape pair, never a line
// break.
void check_escaping(std::string_view text, std::size_t capacity) {
    std::vector<char> out(capacity, untouched);
    const std::size_t length = epl2::escape_text(out, text);
    std::string plain;
    const std::string sendable = epl2::fuzz::without_line_breaks(text);
    require(length < capacity && out[length] == '\0' &&
                read_quoted_content({out.data(), length}, plain) && sendable.starts_with(plain),
            "escaped text ends in a NUL inside its buffer, one whole field, a prefix of the text");
    require(plain.size() == sendable.size() ||
                length + epl2::fuzz::escaped_length({&sendable[plain.size()], 1}) >= capacity,
            "a text is cut only where the next character does not fit");
}

bool bounded(const Controls& c) {
    const auto small = [](std::int64_t v) { return -position_bound <= v && v <= position_bound; };
    return small(c.at.x) && small(c.at.y) && small(c.clip.left) && small(c.clip.top) &&
           small(c.clip.right) && small(c.clip.bottom) && c.advance > 0 &&
           c.advance <= advance_bound;
}

// Where the kept characters stand along the direction of writing: they start on or after the
// low edge and end on or before the high one, the cut falls between whole cells and whole escape
// pairs, and a text wholly inside keeps every character.
void check_kept_place(const Controls& c, std::string_view escaped, std::string_view kept,
                      epl2::TextPosition moved) {
    const bool along_y = writes_along_y(c.rotation);
    const std::int64_t from = along_y ? c.at.y : c.at.x;
    const std::int64_t to = along_y ? moved.y : moved.x;
    const std::int32_t low = along_y ? c.clip.top : c.clip.left;
    const std::int32_t high = along_y ? c.clip.bottom : c.clip.right;
    const std::int64_t step = c.rotation == 1 || c.rotation == 2 ? -c.advance : c.advance;
    const bool inside =
        within(from, low, high) && within(from + step * std::ssize(escaped), low, high);
    require(!inside || kept == escaped, "a text inside the clip rectangle is kept whole");
    require((to - from) % step == 0 && (to - from) / step >= 0,
            "the start moves by whole cells along the direction of writing");
    if (kept.empty()) return;
    const auto first = static_cast<std::size_t>((to - from) / step);
    std::string plain;
    require(first <= escaped.size() && escaped.substr(first).starts_with(kept) &&
                read_quoted_content(escaped.substr(0, first), plain),
            "the start names the first character kept, after whole escape pairs");
    require(within(to, low, high) && within(to + step * std::ssize(kept), low, high),
            "kept characters lie inside the clip rectangle");
}

// A text beside the clip rectangle is not drawn and changes nothing; one that is drawn keeps a
// whole field, a piece of the text, and an unknown direction is not cut.
void check_clipping(const Controls& c, std::string_view text) {
    std::array<char, object_data_size> escaped_buffer{};
    const std::string_view escaped(escaped_buffer.data(), epl2::escape_text(escaped_buffer, text));
    std::array<char, object_data_size> object_data;
    object_data.fill(untouched);
    epl2::TextPosition moved = c.at;
    if (!epl2::clip_text(moved, c.advance, c.rotation, escaped, object_data, c.clip)) {
        require(moved.x == c.at.x && moved.y == c.at.y &&
                    std::ranges::all_of(object_data, [](char b) { return b == untouched; }),
                "a text not drawn keeps its position and leaves object_data alone");
        const bool beside = writes_along_y(c.rotation) ? !within(c.at.x, c.clip.left, c.clip.right)
                                                       : !within(c.at.y, c.clip.top, c.clip.bottom);
        require(known_rotation(c.rotation) && beside,
                "only a text beside the clip rectangle is not drawn");
        return;
    }
    // Without a NUL inside object_data the kept text would be longer than any escaped text.
    const std::string_view kept = epl2::fuzz::host_string({object_data.data(), object_data_size});
    std::string plain;
    require(read_quoted_content(kept, plain) && escaped.find(kept) != std::string_view::npos,
            "the kept text is one whole field and a piece of the text");
    require(
        known_rotation(c.rotation) || (kept == escaped && moved.x == c.at.x && moved.y == c.at.y),
        "an unknown direction is not cut");
    if (known_rotation(c.rotation) && bounded(c)) check_kept_place(c, escaped, kept, moved);
}

// The A line of drawtext: one line that fits the LineBuffer, its DATA field a variable
// reference or closed and holding only the user's characters, whole when clipping is off and the
// text fits.
void check_text_line(const Controls& c, std::string_view text) {
    epl2::native::NativeHost host;
    epl2::fuzz::begin_pass(host, c.printer_type, c.form_mode);
    const epl2::RecordView r = host.record();
    r.set(epl2::record::variable_mode, static_cast<std::uint8_t>(c.flags & 1u));
    r.set(epl2::record::form_store_enabled, (c.flags >> 1) & 1);
    const bool unclipped = (c.flags & 4u) != 0;
    r.set(epl2::record::extra_strings_enabled, unclipped);
    r.set(epl2::record::clip_left, c.clip.left);
    r.set(epl2::record::clip_top, c.clip.top);
    r.set(epl2::record::clip_right, c.clip.right);
    r.set(epl2::record::clip_bottom, c.clip.bottom);
    const std::string host_text(text);
    epl2::drawtext(host.job(), c.host_at.x, c.host_at.y, host.word(host_text.c_str()), c.height,
                   c.width, c.rotation, c.font, c.shade, (c.flags & 8u) != 0 ? 1u : 0u);
    const std::string line = host.take_output();
    if (line.empty()) return;

    const std::string_view ending = "\n\r\n";
    require(line.ends_with(ending), "the line ends in LF CR LF");
    const std::string_view body(line.data(), line.size() - ending.size());
    require(body.starts_with("A") && body.size() < epl2::record::line_buffer.width &&
                body.find_first_of("\r\n") == body.npos,
            "one A line that fits the LineBuffer");
    // The data is the last parameter: a quoted field, or a variable reference after the last comma.
    const std::size_t quote = body.find('"');
    const std::string_view data = body.substr(quote == body.npos ? body.rfind(',') + 1 : quote);
    // A variable reference, V and its number, carries none of the text.
    if (data.size() >= 3 && data.starts_with("V") &&
        data.find_first_not_of("0123456789", 1) == data.npos)
        return;
    std::string plain;
    require(data.size() >= 2 && data.starts_with("\"") && data.ends_with("\"") &&
                read_quoted_content(data.substr(1, data.size() - 2), plain),
            "the data is a variable reference or one closed quoted field");
    const std::string sendable = epl2::fuzz::without_line_breaks(text);
    require(sendable.find(plain) != std::string::npos,
            "the field holds only the text's characters");
    if (unclipped || !known_rotation(c.rotation)) {
        require(sendable.starts_with(plain) &&
                    (plain == sendable || epl2::fuzz::escaped_length(sendable) >= object_data_size),
                "an uncut text keeps its start, and all of it when it fits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    epl2::fuzz::ByteReader in(data, size);
    const std::size_t escape_capacity = in.byte() + std::size_t{1};
    const Controls c = controls_of(in);
    const std::string_view text = epl2::fuzz::host_string(in.rest());
    check_escaping(text, escape_capacity);
    check_clipping(c, text);
    check_text_line(c, text);
    return 0;
}
