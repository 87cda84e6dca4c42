// Label and printer settings: Q label length and gap, q label width, R reference point, Z print
// direction, D darkness, S speed, O options, J backup, j feed adjustment, M memory split, I
// character set. Q, q and M lay the image buffer out anew, which clears it.
#include <algorithm>
#include <set>

#include "commands.h"

namespace eplview {
namespace {

// Qlength,gap: the gap may be B (black mark) plus dots, and an offset after + or -.
void label_length(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 2)) return;
    auto length = printer.number(command, *fields, 0, "label length", 1, 65535);
    std::string gap_text = fields->list[1].text;
    bool black_mark = !gap_text.empty() && gap_text[0] == 'B';
    if (black_mark) gap_text.erase(0, 1);
    auto sign = gap_text.find_first_of("+-");
    std::string offset = sign == std::string::npos ? "" : gap_text.substr(sign);
    auto gap = to_int(gap_text.substr(0, sign));
    if (!gap || *gap < 0 || (!offset.empty() && !to_int(offset.substr(1)))) {
        printer.warn(command, "Q: gap \"" + printable(fields->list[1].text) + "\" is malformed");
        return;
    }
    if (!length) return;
    if (*length > max_label_length_dots)
        printer.warn(command, "Q: label length " + std::to_string(*length) + " is cut to " +
                                  std::to_string(max_label_length_dots) + " dots");
    Summary& summary = printer.summary;
    summary.length = std::min(*length, max_label_length_dots);
    summary.length_as_drawn = false;
    summary.gap = *gap;
    summary.black_mark = black_mark;
    summary.gap_offset = offset;
    printer.clear_buffer(command);
}

void label_width(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 1)) return;
    auto width = printer.number(command, *fields, 0, "label width", 1, 65535);
    if (!width) return;
    if (*width > max_label_width_dots)
        printer.warn(command, "q: label width " + std::to_string(*width) + " is cut to " +
                                  std::to_string(max_label_width_dots) + " dots");
    printer.summary.width = std::min(*width, max_label_width_dots);
    printer.clear_buffer(command);
}

void reference(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 2)) return;
    auto x = printer.number(command, *fields, 0, "horizontal reference", 0, max_label_width_dots);
    auto y = printer.number(command, *fields, 1, "vertical reference", 0, max_label_length_dots);
    if (!x || !y) return;
    printer.summary.reference_x = *x;
    printer.summary.reference_y = *y;
}

void direction(Printer& printer, const Command& command, std::string_view rest) {
    if (rest == "T" || rest == "B") {
        printer.summary.top_first = rest == "T";
        return;
    }
    printer.warn(command, "Z: direction \"" + printable(rest) + "\" is neither T nor B");
}

// A setting that is one number from 0 to high, kept as sent.
void setting(Printer& printer, const Command& command, std::string_view rest, int high,
             std::string& kept) {
    auto value = to_int(rest);
    if (!value || *value < 0 || *value > high) {
        printer.warn(command, command.text.substr(0, 1) + ": \"" + printable(rest) +
                                  "\" is not a number from 0 to " + std::to_string(high));
        return;
    }
    kept = std::string(rest);
}

void darkness(Printer& printer, const Command& command, std::string_view rest) {
    setting(printer, command, rest, 15, printer.summary.darkness);
}
void speed(Printer& printer, const Command& command, std::string_view rest) {
    setting(printer, command, rest, 6, printer.summary.speed);
}
void feed_adjust(Printer& printer, const Command& command, std::string_view rest) {
    setting(printer, command, rest, 65535, printer.summary.feed_adjust);
}

void hardware(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields) return;
    for (const auto& field : fields->list) {
        static const std::set<std::string> options = {"",  "C",  "D",  "N",  "P",
                                                      "S", "Cp", "Fr", "Fi", "f"};
        if (!options.count(field.text) && field.text.rfind("C", 0) != 0 &&
            field.text.rfind("F", 0) != 0)
            printer.warn(command, "O: unknown option \"" + printable(field.text) + "\"");
    }
    printer.summary.options = rest.empty() ? "O" : std::string(rest);
}

void backup(Printer& printer, const Command& command, std::string_view rest) {
    if (rest == "F" || rest == "B") {
        printer.summary.backup = std::string("J").append(rest);
        return;
    }
    printer.warn(command, "J: \"" + printable(rest) + "\" is neither F nor B");
}

void memory(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields || !printer.expect_count(command, *fields, 3)) return;
    for (std::size_t i = 0; i < 3; ++i)
        if (!printer.number(command, *fields, i, "memory size", 0, 65535)) return;
    printer.summary.memory = std::string(rest);
    printer.clear_buffer(command);
}

// Ip1[,p2[,p3]]: p1 the data bits, 8 or 7; p2 the 8-bit code page (0 to 13: DOS pages, A to F:
// Windows pages) or, with 7-bit data, the country (0 to 8); p3 the country code of the keyboard
// display unit, which only that unit reads. A page the printer does not have leaves the one in use.
void character_set(Printer& printer, const Command& command, std::string_view rest) {
    auto fields = printer.fields_of(command, rest);
    if (!fields) return;
    if (fields->list.empty() || fields->list.size() > 3) {
        printer.warn(command,
                     "I: expected 1 to 3 parameters, found " + std::to_string(fields->list.size()));
        return;
    }
    const std::string& bits = fields->list[0].text;
    if (bits != "8" && bits != "7") {
        printer.warn(command, "I: data bits \"" + printable(bits) + "\" is neither 8 nor 7");
        return;
    }
    if (fields->list.size() == 3 && !printer.number(command, *fields, 2, "country code", 0, 999))
        return;
    bool has_page = fields->list.size() > 1;
    if (bits == "7") {
        if (!has_page || printer.number(command, *fields, 1, "7-bit country", 0, 8))
            printer.code_page = &seven_bit_data();
        return;
    }
    std::string_view selector = has_page ? fields->list[1].text : default_code_page().selector;
    const CodePage* page = find_code_page(selector);
    if (!page) {
        printer.warn(command, "I: unknown code page \"" + printable(selector) + "\"; " +
                                  std::string(printer.code_page->name) + " stays in use");
        return;
    }
    printer.code_page = page;
}

constexpr CommandRow family_rows[] = {
    {"Q", label_length}, {"q", label_width}, {"R", reference},     {"Z", direction},
    {"D", darkness},     {"S", speed},       {"O", hardware},      {"J", backup},
    {"j", feed_adjust},  {"M", memory},      {"I", character_set},
};

}  // namespace

CommandRows setting_commands() {
    return family_rows;
}

}  // namespace eplview
