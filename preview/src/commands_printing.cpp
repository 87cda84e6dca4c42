// The image buffer and printing: N clears the buffer, P prints it.
#include <algorithm>

#include "commands.h"

namespace eplview {
namespace {

void clear(Printer& printer, const Command& command, std::string_view rest) {
    if (!rest.empty())
        printer.warn(command, "N: unexpected parameters \"" + printable(rest) + "\"");
    printer.clear_buffer(command);
}

// ZB prints the buffer from its bottom end first and turns it, so the label reads upright as
// under ZT; in feed order (as_fed) it is the buffer turned half a turn.
Bitmap turned_half(const Bitmap& image) {
    Bitmap turned(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.black(x, y)) turned.set(image.width() - 1 - x, image.height() - 1 - y, true);
    return turned;
}

// Without a label length the label ends at the lowest object drawn; one dot when there is none,
// as a label is never empty.
void measure_as_drawn(Printer& printer, const Command& command) {
    if (!printer.summary.length_as_drawn) return;
    printer.grow_to(1);
    int length = printer.buffer.height();
    auto& lengths = printer.lengths_as_drawn;
    if (!lengths) lengths = LengthsAsDrawn{command.offset, command.line, length, length};
    lengths->shortest = std::min(lengths->shortest, length);
    lengths->longest = std::max(lengths->longest, length);
}

// The copies a P command asks for, or none with a warning. A print prefix or suffix chosen by
// the user may stand around the count; the count is the first run of digits, optionally followed
// by a copy count after a comma.
std::optional<long> print_count(Printer& printer, const Command& command, std::string_view rest) {
    auto digits = rest.find_first_of("0123456789");
    if (digits == std::string_view::npos) {
        printer.warn(command, "P: no label count in \"" + printable(rest) + "\"; nothing printed");
        return std::nullopt;
    }
    bool negative = digits > 0 && rest[digits - 1] == '-';
    auto end = rest.find_first_not_of("0123456789", digits);
    auto sets = to_int(rest.substr(digits, end == std::string_view::npos ? end : end - digits));
    long copies = 1;
    if (end != std::string_view::npos && rest[end] == ',') {
        auto after = rest.substr(end + 1);
        auto copy_end = after.find_first_not_of("0123456789");
        if (auto each = to_int(after.substr(0, copy_end)); each && *each > 0) copies = *each;
    }
    if (!sets || negative || *sets <= 0) {
        printer.warn(command, "P: label count \"" + printable(rest) + "\" prints nothing");
        return std::nullopt;
    }
    return std::min<long>(*sets * copies, max_copies);
}

// P n[,m]: one image, n x m copies.
void print(Printer& printer, const Command& command, std::string_view rest) {
    auto copies = print_count(printer, command, rest);
    if (!copies) return;
    measure_as_drawn(printer, command);
    if (printer.labels.size() >= max_labels) {
        printer.warn(command,
                     "more than " + std::to_string(max_labels) + " labels; this one is not kept");
        return;
    }
    const Bitmap& buffer = printer.buffer;
    if (printer.label_bytes + buffer.packed().size() > max_label_image_bytes) {
        printer.warn(command, "label images beyond " + std::to_string(max_label_image_bytes) +
                                  " bytes; this one is not kept");
        return;
    }
    bool turned = !printer.summary.top_first && printer.as_fed;
    printer.label_bytes += buffer.packed().size();
    printer.work += turned ? static_cast<std::size_t>(buffer.width()) *
                                 static_cast<std::size_t>(buffer.height())
                           : buffer.packed().size();
    Label label;
    // Not one conditional expression: with the buffer a const lvalue, its result would be a const
    // copy, copied once more into the label.
    if (turned)
        label.image = turned_half(buffer);
    else
        label.image = buffer;
    label.data = printer.drawn_data;
    label.copies = static_cast<int>(*copies);
    label.offset = command.offset;
    label.line = command.line;
    printer.labels.push_back(std::move(label));
    printer.drawn = false;
    ++printer.summary.labels;
    printer.summary.copies += printer.labels.back().copies;
}

constexpr CommandRow family_rows[] = {
    {"N", clear},
    {"P", print},
};

}  // namespace

CommandRows printing_commands() {
    return family_rows;
}

void finish_printing(Printer& printer) {
    const auto& lengths = printer.lengths_as_drawn;
    if (!lengths) return;
    if (printer.summary.length_as_drawn) printer.summary.length = lengths->longest;
    std::string text = lengths->shortest == lengths->longest
                           ? "the label is as long as what was drawn, " +
                                 std::to_string(lengths->longest) + " dots; give --size to set it"
                           : "each label is as long as what was drawn on it, " +
                                 std::to_string(lengths->shortest) + " to " +
                                 std::to_string(lengths->longest) +
                                 " dots; give --size to set the length";
    printer.diagnostics.note(lengths->offset, lengths->line, "no Q command: " + text);
}

}  // namespace eplview
