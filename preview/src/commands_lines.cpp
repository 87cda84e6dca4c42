// Lines and boxes: LO draws black, LE exclusive or, LW white bars; X draws a box inside its
// corners.
#include <algorithm>
#include <utility>

#include "commands.h"

namespace eplview {
namespace {

// LOx,y,width,height (and LE, LW).
void line(Printer& printer, const Command& command, std::string_view rest, Paint how) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 4)) return;
    auto at = printer.position(command, *fields);
    auto width = printer.number(command, *fields, 2, "width", 1, 65535);
    auto height = printer.number(command, *fields, 3, "height", 1, 65535);
    if (at && width && height) printer.fill(command, at->x, at->y, *width, *height, how);
}

void line_black(Printer& printer, const Command& command, std::string_view rest) {
    line(printer, command, rest, Paint::black);
}
void line_invert(Printer& printer, const Command& command, std::string_view rest) {
    line(printer, command, rest, Paint::invert);
}
void line_white(Printer& printer, const Command& command, std::string_view rest) {
    line(printer, command, rest, Paint::white);
}

// Xx1,y1,thickness,x2,y2: four bars inside the corners.
void box(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 5)) return;
    auto start = printer.position(command, *fields);
    auto thickness = printer.number(command, *fields, 2, "line thickness", 0, 65535);
    auto x2 = printer.number(command, *fields, 3, "horizontal end", -65535, 65535);
    auto y2 = printer.number(command, *fields, 4, "vertical end", -65535, 65535);
    if (!start || !thickness || !x2 || !y2) return;
    int x1 = start->x, y1 = start->y;
    if (*thickness == 0) {
        printer.warn(command, "X: line thickness 0 draws nothing");
        return;
    }
    if (*x2 < x1 || *y2 < y1) {
        printer.warn(command, "X: end corner lies above or left of the start corner");
        if (*x2 < x1) std::swap(x1, *x2);
        if (*y2 < y1) std::swap(y1, *y2);
    }
    long w = *x2 - x1, h = *y2 - y1, t = *thickness;
    printer.fill(command, x1, y1, w, std::min(t, h), Paint::black);
    printer.fill(command, x1, *y2 - std::min(t, h), w, std::min(t, h), Paint::black);
    printer.fill(command, x1, y1, std::min(t, w), h, Paint::black);
    printer.fill(command, *x2 - std::min(t, w), y1, std::min(t, w), h, Paint::black);
}

constexpr CommandRow family_rows[] = {
    {"LO", line_black},
    {"LE", line_invert},
    {"LW", line_white},
    {"X", box},
};

}  // namespace

CommandRows line_commands() {
    return family_rows;
}

}  // namespace eplview
