// Text: A draws a field in one of the five resident fonts, magnified and turned.
#include "commands.h"

namespace eplview {
namespace {

// Ax,y,rotation,font,across,down,N|R,"DATA"
void text(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 8)) return;
    auto at = printer.position(command, *fields);
    auto rotation = printer.number(command, *fields, 2, "rotation", 0, 3);
    auto font = printer.number(command, *fields, 3, "font", 1, resident_fonts);
    auto h_mult = printer.number(command, *fields, 4, "horizontal multiplier", 1, 8);
    auto v_mult = printer.number(command, *fields, 5, "vertical multiplier", 1, 9);
    const std::string& reverse = fields->list[6].text;
    if (reverse != "N" && reverse != "R") {
        printer.warn(command, "A: reverse \"" + printable(reverse) + "\" is neither N nor R");
        return;
    }
    auto data = printer.field_data(command, fields->list[7]);
    if (!at || !rotation || !font || !h_mult || !v_mult || !data) return;
    // Characters past the longest label side cannot show; they are not drawn either.
    auto advance =
        static_cast<std::size_t>(resident_cell(*font, printer.summary.dpi).width * *h_mult);
    auto longest = static_cast<std::size_t>(max_text_dots) / advance;
    if (data->size() > longest) {
        printer.warn(command, "A: text of " + std::to_string(data->size()) +
                                  " characters is cut to " + std::to_string(longest));
        data->resize(longest);
    }
    printer.place(command, printer.glyphs.text(*font, printer.summary.dpi, *data), at->x, at->y,
                  *rotation, reverse == "R" ? Paint::reverse : Paint::black, {*h_mult, *v_mult});
}

constexpr CommandRow family_rows[] = {
    {"A", text},
};

}  // namespace

CommandRows text_commands() {
    return family_rows;
}

}  // namespace eplview
