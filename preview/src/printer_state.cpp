#include "printer_state.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "commands.h"

namespace eplview {

std::optional<int> to_int(std::string_view text) {
    int value = 0;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<int> variable_reference(const Field& field) {
    if (field.quoted || field.text.size() < 3 || field.text[0] != 'V') return std::nullopt;
    return to_int(std::string_view(field.text).substr(1));
}

std::string printable(std::string_view text) {
    bool cut = text.size() > max_quoted_bytes;
    if (cut) text = text.substr(0, max_quoted_bytes);
    std::string out;
    for (char byte : text) {
        auto c = static_cast<unsigned char>(byte);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (cut) out += "...";
    return out;
}

namespace {

std::string name_of(const Command& command) {
    return std::string(command_name(command.text));
}

}  // namespace

Printer::Printer(const Options& options) : as_fed(options.as_fed), memory(options.memory) {
    summary.dpi = options.dpi == 300 ? 300 : 203;
    int head = summary.dpi == 300 ? head_width_300 : head_width_203;
    summary.width = std::clamp(options.width > 0 ? options.width : head, 1, max_label_width_dots);
    summary.length_as_drawn = options.length <= 0;
    summary.length = summary.length_as_drawn ? 0 : std::min(options.length, max_label_length_dots);
    buffer = Bitmap(summary.width, summary.length);
}

// ---- warnings and parameters -------------------------------------------------------------------

void Printer::warn(std::size_t offset, std::size_t line, std::string message) {
    diagnostics.warn(offset, line, std::move(message));
}

void Printer::warn(const Command& command, std::string message) {
    warn(command.offset, command.line, std::move(message));
}

std::optional<Fields> Printer::fields_of(const Command& command, std::string_view rest) {
    Fields fields = split_fields(rest);
    if (fields.unterminated) {
        warn(command, name_of(command) + ": unterminated quoted field");
        return std::nullopt;
    }
    return fields;
}

std::optional<int> Printer::number(const Command& command, const Fields& fields, std::size_t index,
                                   std::string_view what, int low, int high) {
    if (index >= fields.list.size()) {
        warn(command, name_of(command) + ": missing " + std::string(what));
        return std::nullopt;
    }
    auto value = to_int(fields.list[index].text);
    if (!value || *value < low || *value > high) {
        warn(command, name_of(command) + ": " + std::string(what) + " \"" +
                          printable(fields.list[index].text) + "\" is not a number from " +
                          std::to_string(low) + " to " + std::to_string(high));
        return std::nullopt;
    }
    return value;
}

std::optional<Point> Printer::position(const Command& command, const Fields& fields) {
    auto x = number(command, fields, 0, "horizontal start", -65535, 65535);
    auto y = number(command, fields, 1, "vertical start", -65535, 65535);
    if (!x || !y) return std::nullopt;
    return Point{*x, *y};
}

bool Printer::expect_count(const Command& command, const Fields& fields, std::size_t count) {
    if (fields.list.size() == count) return true;
    warn(command, name_of(command) + ": expected " + std::to_string(count) + " parameters, found " +
                      std::to_string(fields.list.size()));
    return false;
}

std::optional<std::string> Printer::quoted_name(const Command& command, std::string_view rest) {
    auto fields = fields_of(command, rest);
    if (!fields) return std::nullopt;
    if (fields->list.size() != 1 || !fields->list[0].quoted) {
        warn(command, command.text.substr(0, 2) + ": expected a name in double quotes");
        return std::nullopt;
    }
    return fields->list[0].text;
}

std::optional<std::string> Printer::field_data(const Command& command, const Field& field) {
    if (field.quoted) return drawn_data.emplace_back(field.text);
    if (auto variable = variable_reference(field)) {
        if (auto value = variables.find(*variable); value != variables.end())
            return drawn_data.emplace_back(value->second);
        // A stored form reported its undeclared variables when it was stored.
        if (!replaying) warn(command, "undeclared variable " + field.text);
        return std::nullopt;
    }
    warn(command, command.text.substr(0, 1) + ": data \"" + printable(field.text) +
                      "\" is neither quoted nor a variable");
    return std::nullopt;
}

bool Printer::fits_in_memory(const Command& command, const std::string& name, std::size_t bytes,
                             std::size_t freed) {
    if (memory == 0 && !memory_full) return true;
    std::size_t used = 0;
    for (const auto& entry : forms.entries) used += entry.second.bytes;
    for (const auto& entry : graphics.entries) used += static_cast<std::size_t>(entry.second.bytes);
    const std::size_t free = memory_full ? 0 : memory - std::min(memory, used - freed);
    if (bytes <= free) return true;
    store_refused = true;
    warn(command, name_of(command) + ": \"" + printable(name) + "\" (" + std::to_string(bytes) +
                      " bytes) does not fit in the " + std::to_string(free) +
                      " bytes of memory free; not stored");
    return false;
}

// ---- image buffer ------------------------------------------------------------------------------

void Printer::clear_buffer(const Command& command) {
    if (drawn && command.text[0] != 'N')
        warn(command, name_of(command) +
                          " clears the image buffer, which holds objects not yet printed; "
                          "they do not print");
    buffer.reset(summary.width, summary.length_as_drawn ? 0 : summary.length);
    work += buffer.packed().size();
    drawn = false;
    drawn_data.clear();
}

void Printer::grow_to(int bottom) {
    if (!summary.length_as_drawn || bottom <= buffer.height()) return;
    int height = std::min(bottom, max_label_length_dots);
    work += static_cast<std::size_t>(buffer.stride()) *
            static_cast<std::size_t>(height - buffer.height());
    buffer.extend_to(height);
}

void Printer::paint(int x, int y, bool mark, Paint how) {
    drawn = true;
    ++work;
    switch (how) {
        case Paint::black:
            if (mark) buffer.set(x, y, true);
            break;
        case Paint::white:
            if (mark) buffer.set(x, y, false);
            break;
        case Paint::invert:
            if (mark) buffer.invert(x, y);
            break;
        case Paint::reverse:
            buffer.set(x, y, !mark);
            break;
    }
}

void Printer::paint_span(int y, int x0, int x1, bool mark, Paint how) {
    if (x1 <= x0) return;
    drawn = true;
    work += static_cast<std::uint64_t>(x1 - x0);
    switch (how) {
        case Paint::black:
            if (mark) buffer.set_span(y, x0, x1, true);
            break;
        case Paint::white:
            if (mark) buffer.set_span(y, x0, x1, false);
            break;
        case Paint::invert:
            if (mark) buffer.invert_span(y, x0, x1);
            break;
        case Paint::reverse:
            buffer.set_span(y, x0, x1, !mark);
            break;
    }
}

void Printer::check_inside(const Command& command, Box box) {
    if (box.x0 >= 0 && box.y0 >= 0 && box.x1 <= buffer.width() && box.y1 <= buffer.height()) return;
    warn(command, name_of(command) + ": object reaches outside the label (dots " +
                      std::to_string(box.x0) + ".." + std::to_string(box.x1 - 1) + " across, " +
                      std::to_string(box.y0) + ".." + std::to_string(box.y1 - 1) + " down; label " +
                      std::to_string(buffer.width()) + "x" + std::to_string(buffer.height()) + ")");
}

void Printer::fill(const Command& command, long x, long y, long width, long height, Paint how) {
    x += summary.reference_x;
    y += summary.reference_y;
    if (width <= 0 || height <= 0) return;
    // Far enough outside any label that clipping treats every larger value alike.
    static constexpr long far = 4L * max_label_length_dots;
    auto dots = [](long value) { return static_cast<int>(std::clamp(value, -far, far)); };
    Box box{dots(x), dots(y), dots(x + width), dots(y + height)};
    grow_to(box.y1);
    check_inside(command, box);
    const int x0 = std::max(box.x0, 0), x1 = std::min(box.x1, buffer.width());
    for (int py = std::max(box.y0, 0); py < std::min(box.y1, buffer.height()); ++py)
        paint_span(py, x0, x1, true, how);
}

namespace {

Bitmap::Combine combine_for(Paint how) {
    switch (how) {
        case Paint::white:
            return Bitmap::Combine::clear;
        case Paint::invert:
            return Bitmap::Combine::invert;
        case Paint::reverse:
            return Bitmap::Combine::replace_inverted;
        case Paint::black:
            break;
    }
    return Bitmap::Combine::set;
}

// The image dot (u, v) of an image placed at (x, y) and turned by rotation quarter turns
// clockwise, as a dot of the buffer.
std::pair<int, int> turned(int x, int y, int rotation, int u, int v) {
    switch (rotation & 3) {
        case 1:
            return {x - 1 - v, y + u};
        case 2:
            return {x - 1 - u, y - 1 - v};
        case 3:
            return {x + v, y - 1 - u};
        default:
            return {x + u, y + v};
    }
}

// [first, end) of u and of v: the part of a w x h image at (x, y), turned, that lands on a label
// of label_w x label_h dots.
std::pair<std::pair<int, int>, std::pair<int, int>> on_label(int x, int y, int rotation, int w,
                                                             int h, int label_w, int label_h) {
    auto span = [](int low, int high, int size) {
        return std::pair{std::max(low, 0), std::min(high, size)};
    };
    switch (rotation & 3) {
        case 1:
            return {span(-y, label_h - y, w), span(x - label_w, x, h)};
        case 2:
            return {span(x - label_w, x, w), span(y - label_h, y, h)};
        case 3:
            return {span(y - label_h, y, w), span(-x, label_w - x, h)};
        default:
            return {span(-x, label_w - x, w), span(-y, label_h - y, h)};
    }
}

}  // namespace

// A magnified image is never built: each dot of the label reads the image dot it comes from.
void Printer::place(const Command& command, const Bitmap& image, int x, int y, int rotation,
                    Paint how, Scale scale) {
    x += summary.reference_x;
    y += summary.reference_y;
    int w = image.width() * scale.across, h = image.height() * scale.down;
    if (w == 0 || h == 0) return;
    auto [ax, ay] = turned(x, y, rotation, 0, 0);
    auto [bx, by] = turned(x, y, rotation, w - 1, h - 1);
    Box box{std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1};
    grow_to(box.y1);
    check_inside(command, box);
    // Only the part of the image that lands on the label is visited: a field far outside it or
    // cut by its edge costs no more than what shows.
    auto [us, vs] = on_label(x, y, rotation, w, h, buffer.width(), buffer.height());
    for (int v = vs.first; v < vs.second; ++v) {
        if ((rotation & 1) == 0) {
            place_row(image, x, y, rotation, v, us, how, scale);
            continue;
        }
        for (int u = us.first; u < us.second; ++u) {
            auto [px, py] = turned(x, y, rotation, u, v);
            paint(px, py, image.black(u / scale.across, v / scale.down), how);
        }
    }
}

void Printer::place_row(const Bitmap& image, int x, int y, int rotation, int v,
                        std::pair<int, int> us, Paint how, Scale scale) {
    const int source_row = v / scale.down;
    if ((rotation & 3) == 0 && scale.across == 1) {
        // Upright at full size the row lands as it stands: combined eight dots at a time.
        if (us.second <= us.first) return;
        drawn = true;
        work += static_cast<std::uint64_t>(us.second - us.first);
        buffer.combine_row(y + v, x, image, source_row, us.first, us.second, combine_for(how));
        return;
    }
    // Runs of the source row, in image dots, magnified across into label dots.
    const int first = us.first / scale.across, last = (us.second + scale.across - 1) / scale.across;
    for (int s = first; s < last;) {
        const bool mark = image.black(s, source_row);
        const int end = image.run_end(source_row, s + 1, last, mark);
        const int u0 = std::max(s * scale.across, us.first);
        const int u1 = std::min(end * scale.across, us.second);
        if ((rotation & 3) == 0)
            paint_span(y + v, x + u0, x + u1, mark, how);
        else  // half turned: the row runs right to left, one row up from the bottom
            paint_span(y - 1 - v, x - u1, x - u0, mark, how);
        s = end;
    }
}

}  // namespace eplview
