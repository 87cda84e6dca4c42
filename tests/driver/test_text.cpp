// Text objects and text size adjustment: multipliers, the reference corner, clipping in the four
// directions, the DATA field's escaping, the pass each text belongs to, and the snapping of sizes
// and positions, byte for byte.
#include <cstring>
#include <string>
#include <vector>

#include "driver_test.h"

namespace epl2::test {
namespace {

// Host positions that map to dot 203 across and along a centred 4-inch label on a 203 dpi head.
constexpr std::int32_t x203 = 955;
constexpr std::int32_t y203 = 1000;

// One text object as the host describes it.
struct Text {
    std::int32_t x = x203, y = y203;
    const char* text = "ABC";
    std::uint32_t height = 85, width = 49;
    std::int32_t rotation = 0, font = 0, shade = 100;
    std::uint32_t mark = 0;
};

// A text and the bytes it sends.
struct TextRow {
    Text text;
    std::string bytes;
};

// A 203 dpi head 4.09 inches wide (PrinterType 2) under a 4-inch label, clip rectangle 9, 0,
// 821, 406 (the whole label), the stored form being built.
class TextObjects : public DriverTest {
   protected:
    void SetUp() override {
        job.select_model(0, 0, 1, 0, 2);
        RecordView r = rec();
        r.set(record::label_width, 4000);
        r.set(record::last_text_font, -1);
        job.call(ep().setclip, 0, 0, 4000, 2000);
        job.set_form_mode(0);
    }
    std::string draw(const Text& t) {
        EXPECT_EQ(job.call(ep().drawtext, t.x, t.y, host::word(t.text), t.height, t.width, 0x5A5A,
                           t.rotation, t.font, t.shade, 0x5A5A, 0x5A5A, t.mark),
                  0);
        return take_bytes();
    }
    template <std::size_t N>
    void expect_lines(const TextRow (&rows)[N]) {
        for (const TextRow& row : rows)
            EXPECT_EQ(draw(row.text), row.bytes) << "row " << (&row - rows);
    }
};

TEST_F(TextObjects, FontZeroAtRotationsZeroAndOne) {
    EXPECT_EQ(draw({}), line("A203,193,0,1,1,1,N,\"ABC\""));
    EXPECT_EQ(rec().get(record::last_text_font), 0);
    Text turned;
    turned.rotation = 1;
    EXPECT_EQ(draw(turned), line("A193,203,3,1,1,1,N,\"ABC\""));
    // One formatted line, then the separate CR LF.
    job.call(ep().drawtext, x203, y203, host::word("ABC"), 85, 49, 0, 0, 0, 100, 0, 0, 0);
    EXPECT_EQ(sink.calls(), (std::vector<std::string>{"A203,193,0,1,1,1,N,\"ABC\"\n", "\r\n"}));
}

TEST_F(TextObjects, OneLinePerText) {
    const TextRow rows[] = {
        /*  0*/ {{.shade = 50}, line("A203,193,0,1,1,1,N,\"ABC\"")},
        /*  1*/ {{.shade = 49}, line("A203,193,0,1,1,1,R,\"ABC\"")},
        /*  2*/ {{.shade = -1}, line("A203,193,0,1,1,1,R,\"ABC\"")},
        // Below half a cell is one cell; far above, the font's largest multipliers.
        /*  3*/ {{.height = 10, .width = 10}, line("A203,193,0,1,1,1,N,\"ABC\"")},
        /*  4*/ {{.height = 0, .width = 0}, line("A203,193,0,1,1,1,N,\"ABC\"")},
        /*  5*/ {{.height = 5000, .width = 5000}, line("A203,113,0,1,8,9,N,\"ABC\"")},
        /*  6*/ {{.height = 0xFFFFFFF0u, .width = 0x80000000u}, line("A203,193,0,1,8,1,N,\"ABC\"")},
        /*  7*/ {{.height = 255, .width = 98}, line("A203,173,0,1,2,3,N,\"ABC\"")},
        // Turned a quarter, the multipliers change roles; the advance still uses h_mult.
        /*  8*/ {{.height = 255, .width = 98, .rotation = 1}, line("A173,203,3,1,3,2,N,\"ABC\"")},
        /*  9*/ {{.rotation = 2}, line("A203,213,2,1,1,1,N,\"ABC\"")},
        /* 10*/ {{.rotation = 3}, line("A213,203,1,1,1,1,N,\"ABC\"")},
        /* 11*/ {{.height = 255, .width = 98, .rotation = 3}, line("A233,203,1,1,3,2,N,\"ABC\"")},
        // Rotations the printer does not know are passed through unclipped and unmoved.
        /* 12*/ {{.rotation = 4}, line("A203,203,0,1,1,1,N,\"ABC\"")},
        /* 13*/ {{.height = 255, .width = 98, .rotation = 5}, line("A203,203,-1,1,2,3,N,\"ABC\"")},
        // Baseline offsets of the other fonts.
        /* 14*/ {{.height = 119, .width = 59, .font = 1}, line("A203,189,0,2,1,1,N,\"ABC\"")},
        /* 15*/ {{.height = 130, .width = 69, .font = 2}, line("A203,187,0,3,1,1,N,\"ABC\"")},
        /* 16*/ {{.height = 166, .width = 78, .font = 3}, line("A203,183,0,4,1,1,N,\"ABC\"")},
        /* 17*/ {{.height = 393, .width = 179, .font = 4}, line("A203,155,0,5,1,1,N,\"ABC\"")},
        // The DATA field: a backslash before each quote and backslash.
        /* 18*/ {{.text = "a\"b\\c"}, line("A203,193,0,1,1,1,N,\"a\\\"b\\\\c\"")},
        /* 19*/ {{.text = ""}, line("A203,193,0,1,1,1,N,\"\"")},
        /* 20*/ {{.text = "\\"}, line("A203,193,0,1,1,1,N,\"\\\\\"")},
    };
    expect_lines(rows);
}

TEST_F(TextObjects, ThreeHundredDpiBaseline) {
    RecordView r = rec();
    r.set(record::resolution_code, 0);
    r.set(record::dpi_x, 300);
    r.set(record::dpi_y, 300);
    job.call(ep().setclip, 0, 0, 4000, 2000);  // 14, 0, 1214, 600
    // 48 dots and three quarters more: 84.
    EXPECT_EQ(draw({.height = 393, .width = 179, .font = 4}), line("A300,216,0,5,1,1,N,\"ABC\""));
    // Font 0, v_mult 3: 30 + 22.
    EXPECT_EQ(draw({.height = 255}), line("A300,248,0,1,1,3,N,\"ABC\""));
}

// The clip rectangle is 9, 0, 821, 406; font 0 advances 9 dots a character.
TEST_F(TextObjects, ClippingInTheFourDirections) {
    const TextRow rows[] = {
        // Rotation 0: from x 0, one cell before the edge, loses two characters.
        /*  0*/ {{.x = -45, .text = "ABCDEF"}, line("A18,193,0,1,1,1,N,\"CDEF\"")},
        // From x 800 only two characters end on or before 821.
        /*  1*/ {{.x = 3896, .text = "ABCDEF"}, line("A800,193,0,1,1,1,N,\"AB\"")},
        // All beyond the edge: the line still goes out, with an empty DATA field.
        /*  2*/ {{.x = 4000, .text = "ABCDEF"}, line("A821,193,0,1,1,1,N,\"\"")},
        /*  3*/ {{.x = -2000, .text = "ABC"}, line("A18,193,0,1,1,1,N,\"\"")},
        // Across the direction of writing, outside is not drawn at all.
        /*  4*/ {{.y = 2100, .text = "ABCDEF"}, ""},
        /*  5*/ {{.y = -100, .text = "ABCDEF"}, ""},
        // Rotation 1 writes up the label: the start cut is at the bottom edge.
        /*  6*/ {{.y = 2100, .text = "ABCDEF", .rotation = 1}, line("A193,399,3,1,1,1,N,\"DEF\"")},
        /*  7*/ {{.y = 100, .text = "ABCDEF", .rotation = 1}, line("A193,20,3,1,1,1,N,\"AB\"")},
        /*  8*/ {{.x = 4100, .text = "ABCDEF", .rotation = 1}, ""},
        // Rotation 2 writes to the left: the start cut is at the right edge.
        /*  9*/ {{.x = 4100, .text = "ABCDEF", .rotation = 2}, line("A814,213,2,1,1,1,N,\"DEF\"")},
        /* 10*/ {{.x = 100, .text = "ABCDEF", .rotation = 2}, line("A29,213,2,1,1,1,N,\"AB\"")},
        /* 11*/ {{.y = 2100, .text = "ABCDEF", .rotation = 2}, ""},
        // Rotation 3 writes down the label.
        /* 12*/ {{.y = -100, .text = "ABCDEF", .rotation = 3}, line("A213,8,1,1,1,1,N,\"DEF\"")},
        /* 13*/ {{.y = 1900, .text = "ABCDEF", .rotation = 3}, line("A213,386,1,1,1,1,N,\"AB\"")},
        /* 14*/ {{.x = -1000, .text = "ABCDEF", .rotation = 3}, ""},
        // The edges themselves are inside.
        /* 15*/ {{.y = 0, .text = "A"}, line("A203,-10,0,1,1,1,N,\"A\"")},
        /* 16*/ {{.y = 2000, .text = "A"}, line("A203,396,0,1,1,1,N,\"A\"")},
        // An escaped character counts as two cells.
        /* 17*/ {{.x = 3896, .text = "\"BCDEF"}, line("A800,193,0,1,1,1,N,\"\\\"\"")},
    };
    expect_lines(rows);
}

// PrinterType 6 has narrower cells in font 0: 8 dots a character instead of 9.
TEST_F(TextObjects, AdvanceFollowsTheRegisteredCell) {
    job.select_model(0, 0, 1, 0, 6);
    rec().set(record::label_width, 4000);
    job.call(ep().setclip, 0, 0, 4000, 2000);
    EXPECT_EQ(draw({.x = -45, .text = "ABCDEF"}), line("A16,193,0,1,1,1,N,\"CDEF\""));
    EXPECT_EQ(draw({.x = 3896, .text = "ABCDEF", .width = 80}), line("A800,193,0,1,2,1,N,\"A\""));
}

TEST_F(TextObjects, UnclippedWhenTheExtraStringsAreOn) {
    rec().set(record::extra_strings_enabled, 1);
    EXPECT_EQ(draw({.x = -45, .text = "ABCDEF"}), line("A0,193,0,1,1,1,N,\"ABCDEF\""));
    EXPECT_EQ(draw({.y = 2100, .text = "ABCDEF"}), line("A203,416,0,1,1,1,N,\"ABCDEF\""));
}

TEST_F(TextObjects, LowestRowReached) {
    struct Row {
        Text text;
        std::uint8_t form_mode;
        std::int32_t before, after;
    };
    const Row rows[] = {
        // The start of the baseline, before the move to the reference corner.
        /*  0*/ {{}, 0, 0, 203},
        /*  1*/ {{}, 0, 300, 300},
        /*  2*/ {{.rotation = 1}, 0, 0, 203},
        // Written down the label while the form is built: the whole run.
        /*  3*/ {{.rotation = 3}, 0, 0, 230},
        /*  4*/ {{.width = 98, .rotation = 3}, 0, 0, 257},
        /*  5*/ {{.y = 1900, .text = "ABCDEF", .rotation = 3}, 0, 0, 404},
        /*  6*/ {{.rotation = 3}, 0, 210, 210},
        /*  7*/ {{.rotation = 3}, 0, 203, 203},
        // At recall only the start counts, and also when nothing is sent.
        /*  8*/ {{.rotation = 3}, 3, 0, 203},
        /*  9*/ {{.rotation = 3, .mark = 1}, 3, 0, 203},
        // Not drawn: unchanged.
        /* 10*/ {{.y = 2100}, 0, 0, 0},
        /* 11*/ {{}, 1, 0, 0},
    };
    for (const Row& row : rows) {
        job.set_form_mode(row.form_mode);
        rec().set(record::max_object_bottom, row.before);
        draw(row.text);
        EXPECT_EQ(rec().get(record::max_object_bottom), row.after) << "row " << (&row - rows);
    }
}

// What each pass makes of a fixed and a variable text.
TEST_F(TextObjects, PassesFixedAndVariable) {
    struct Row {
        std::int32_t printer_type;
        std::uint8_t form_mode, variable_mode;
        std::int32_t form_store_enabled;
        std::uint32_t mark;
        const char* line;  // nullptr: nothing sent
        std::int32_t variable_count_after;
        std::int32_t last_font_after;
    };
    const char* fixed = "A203,193,0,1,1,1,N,\"ABC\"";
    const char* reference = "A203,193,0,1,1,1,N,V07";
    static const Row rows[] = {
        /*  0*/ {1, 0, 1, 1, 0, fixed, 7, 0},
        /*  1*/ {1, 0, 1, 1, 1, reference, 8, 0},
        /*  2*/ {1, 0, 1, 1, 32768, reference, 8, 0},
        /*  3*/ {1, 0, 1, 1, 65535, reference, 8, 0},
        /*  4*/ {1, 0, 1, 1, 0xFFFFFFFF, reference, 8, 0},
        /*  5*/ {1, 0, 2, 1, 1, nullptr, 7, 0},
        /*  6*/ {1, 0, 0, 1, 1, nullptr, 7, 0},
        /*  7*/ {1, 0, 1, 0, 1, nullptr, 7, 0},
        /*  8*/ {1, 3, 1, 1, 0, nullptr, 7, 0},
        /*  9*/ {1, 3, 1, 1, 1, fixed, 7, 0},
        /* 10*/ {1, 3, 2, 0, 1, fixed, 7, 0},
        /* 11*/ {1, 1, 1, 1, 1, nullptr, 7, -1},
        /* 12*/ {1, 5, 1, 1, 0, nullptr, 7, -1},
        /* 13*/ {1, 7, 1, 1, 0, nullptr, 7, -1},
        /* 14*/ {8, 3, 1, 1, 0, fixed, 7, 0},
        /* 15*/ {8, 3, 1, 1, 1, fixed, 7, 0},
        /* 16*/ {8, 0, 1, 1, 0, nullptr, 7, 0},
        /* 17*/ {8, 0, 1, 1, 1, nullptr, 7, 0},
        /* 18*/ {-1, 0, 1, 1, 1, reference, 8, 0},
    };
    for (const Row& row : rows) {
        const auto n = &row - rows;
        RecordView r = rec();
        r.set(record::printer_type, row.printer_type);
        r.set(record::variable_mode, row.variable_mode);
        r.set(record::form_store_enabled, row.form_store_enabled);
        r.set(record::variable_count, 7);
        r.set(record::last_text_font, -1);
        job.set_form_mode(row.form_mode);
        EXPECT_EQ(draw({.mark = row.mark}), row.line ? line(row.line) : "") << "row " << n;
        EXPECT_EQ(r.get(record::variable_count), row.variable_count_after) << "row " << n;
        EXPECT_EQ(r.get(record::last_text_font), row.last_font_after) << "row " << n;
    }
}

TEST_F(TextObjects, VariableNumbersHaveNoUpperBound) {
    rec().set(record::variable_mode, 1);
    rec().set(record::variable_count, 99);
    EXPECT_EQ(draw({.mark = 1}), line("A203,193,0,1,1,1,N,V99"));
    EXPECT_EQ(draw({.mark = 1}), line("A203,193,0,1,1,1,N,V100"));
}

// Text and barcodes share one count within a form: two variable texts while the form is built,
// then a variable barcode while variables are declared.
TEST_F(TextObjects, VariableNumbersAcrossTextAndBarcodes) {
    std::memcpy(rec().chars(record::form_name), "SHIPLBL", 8);
    rec().set(record::variable_mode, 1);
    rec().set(record::variable_count, 42);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), line("FK\"SHIPLBL\"") + line("FS\"SHIPLBL\""));
    EXPECT_EQ(draw({.mark = 1}), line("A203,193,0,1,1,1,N,V00"));
    EXPECT_EQ(draw({.y = 1500, .mark = 2}), line("A203,295,0,1,1,1,N,V01"));
    auto bar = job.barcode();
    bar.set(barcode_object::symbology, 14);  // Code 39
    bar.set(barcode_object::x, x203);
    bar.set(barcode_object::y, 1800);
    bar.set(barcode_object::height, 500);
    bar.set(barcode_object::narrow, 2);
    bar.set(barcode_object::ratio, 0);
    bar.set(barcode_object::variable_mark, 5);
    job.set_barcode_data("12345");
    job.set_form_mode(1);
    job.call(ep().drawbar);
    const std::string barcode_line = take_bytes();
    EXPECT_NE(barcode_line.find(",V02\n\r\n"), std::string::npos) << barcode_line;
    EXPECT_EQ(rec().get(record::variable_count), 3);
    // Once the form is recalled, variable texts carry their data.
    job.set_form_mode(3);
    EXPECT_EQ(draw({.text = "42", .mark = 1}), line("A203,193,0,1,1,1,N,\"42\""));
    EXPECT_EQ(rec().get(record::variable_count), 3);
}

// A text that is not drawn leaves no trace of its font.
TEST_F(TextObjects, LastFontOnlyAfterATextIsFinished) {
    EXPECT_EQ(draw({.height = 166, .width = 78, .font = 3}), line("A203,183,0,4,1,1,N,\"ABC\""));
    EXPECT_EQ(rec().get(record::last_text_font), 3);
    EXPECT_EQ(draw({.y = 2100, .font = 2}), "");
    EXPECT_EQ(rec().get(record::last_text_font), 3);
    job.set_form_mode(5);
    EXPECT_EQ(draw({.font = 1}), "");
    EXPECT_EQ(rec().get(record::last_text_font), 3);
}

// Faults of the DATA field and the font table that a host or its data can provoke.

TEST_F(TextObjects, DataFieldNeverOverrunsAndNeverSplitsAnEscape) {
    rec().set(record::extra_strings_enabled, 1);  // no clipping: only the buffer limits the text
    const std::string a255(255, 'a');
    const std::string a254(254, 'a');
    std::string escaped_quotes;
    for (int i = 0; i < 127; ++i) escaped_quotes += "\\\"";
    struct Row {
        std::string text;
        std::string data;
    };
    const Row rows[] = {
        /*  0*/ {a255, a255},
        /*  1*/ {std::string(400, 'a'), a255},
        /*  2*/ {a254 + "\"", a254},  // the pair does not fit whole: left out
        /*  3*/ {a254 + "\\zz", a254},
        /*  4*/ {std::string(253, 'a') + "\"", std::string(253, 'a') + "\\\""},
        /*  5*/ {std::string(200, '"'), escaped_quotes},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(draw({.text = row.text.c_str()}), line("A203,193,0,1,1,1,N,\"" + row.data + "\""))
            << "row " << (&row - rows);
        EXPECT_EQ(rec().string(record::object_data), row.data) << "row " << (&row - rows);
    }
}

TEST_F(TextObjects, ClipNeverLeavesHalfAnEscape) {
    const TextRow rows[] = {
        // From x 790 three cells fit: the third is the backslash of a pair, which goes with it.
        /*  0*/ {{.x = 3845, .text = "AB\"CD"}, line("A790,193,0,1,1,1,N,\"AB\"")},
        /*  1*/ {{.x = 3845, .text = "AB\\CD"}, line("A790,193,0,1,1,1,N,\"AB\"")},
        /*  2*/ {{.x = 3845, .text = "A\"BCD"}, line("A790,193,0,1,1,1,N,\"A\\\"\"")},
        // From x -10 three cells are cut: the third opens a pair, so the quote goes too and the
        // text starts one cell later.
        /*  3*/ {{.x = -97, .text = "AB\"CD"}, line("A26,193,0,1,1,1,N,\"CD\"")},
        /*  4*/ {{.x = -97, .text = "AB\\\\D"}, line("A26,193,0,1,1,1,N,\"\\\\D\"")},
        /*  5*/ {{.x = -97, .text = "AB\"\""}, line("A26,193,0,1,1,1,N,\"\\\"\"")},
        // The same along the other directions.
        /*  6*/ {{.y = 2100, .text = "AB\"CD", .rotation = 1}, line("A193,390,3,1,1,1,N,\"CD\"")},
        /*  7*/ {{.x = 4100, .text = "AB\"CD", .rotation = 2}, line("A805,213,2,1,1,1,N,\"CD\"")},
        /*  8*/ {{.y = -100, .text = "AB\"CD", .rotation = 3}, line("A213,17,1,1,1,1,N,\"CD\"")},
        /*  9*/ {{.y = 1900, .text = "A\"", .rotation = 3}, line("A213,386,1,1,1,1,N,\"A\"")},
        /* 10*/ {{.y = 1990, .text = "A\"", .rotation = 3}, line("A213,404,1,1,1,1,N,\"\"")},
    };
    expect_lines(rows);
}

TEST_F(TextObjects, LineBreaksNeverReachTheWire) {
    EXPECT_EQ(draw({.text = "AB\r\nP9999\r\nC\n"}), line("A203,193,0,1,1,1,N,\"ABP9999C\""));
    EXPECT_EQ(draw({.text = "\r\n"}), line("A203,193,0,1,1,1,N,\"\""));
}

TEST_F(TextObjects, FontsWithoutAnEntrySendNothing) {
    for (std::int32_t font : {-1, 5, 6, 24, 25, 1000, -2147483647 - 1}) {
        EXPECT_EQ(draw({.font = font}), "") << font;
        EXPECT_EQ(rec().get(record::last_text_font), -1) << font;
    }
    // An entry the capability registration never filled has no font selector.
    rec().set(record::font_table, 2, font_entry::printer_font, 0);
    EXPECT_EQ(draw({.font = 2}), "");
}

TEST_F(TextObjects, FontsWithoutSizesDoNotDivideByZero) {
    // Cell width 4: 4 x 203 / 1000 is an advance of 0 dots.
    rec().set(record::font_table, 1, font_entry::cell_width, 4);
    EXPECT_EQ(draw({.height = 119, .width = 4, .font = 1}), line("A203,189,0,2,1,1,N,\"ABC\""));
    // Every character stands on the start: all of them share its side of an edge.
    EXPECT_EQ(draw({.x = -45, .height = 119, .width = 4, .font = 1}),
              line("A0,189,0,2,1,1,N,\"\""));
    EXPECT_EQ(draw({.x = 4100, .height = 119, .width = 4, .font = 1}),
              line("A841,189,0,2,1,1,N,\"\""));
    EXPECT_EQ(draw({.y = -100, .height = 119, .width = 4, .rotation = 3, .font = 1}),
              line("A217,-19,1,2,1,1,N,\"\""));
    // No cell sizes at all: multiplier 1.
    rec().set(record::font_table, 1, font_entry::cell_width, 0);
    rec().set(record::font_table, 1, font_entry::cell_height, 0);
    EXPECT_EQ(draw({.height = 5000, .width = 5000, .font = 1}), line("A203,189,0,2,1,1,N,\"ABC\""));
}

TEST_F(TextObjects, ExtremeValuesWrapInsteadOfTrapping) {
    const std::int32_t lowest = -2147483647 - 1;
    const std::int32_t highest = 2147483647;
    rec().set(record::dpi_x, highest);
    for (std::int32_t rotation : {0, 1, 2, 3, lowest, highest}) {
        for (std::int32_t at : {lowest, -1, 0, highest}) {
            draw({.x = at,
                  .y = at,
                  .text = "AB\"CD",
                  .height = 0xFFFFFFFFu,
                  .width = 0xFFFFFFFFu,
                  .rotation = rotation});
        }
    }
    SUCCEED();  // the sanitizers of the test build fail the test on any overflow trap
}

class TextSizeAdjustment : public TextObjects {
   protected:
    struct Values {
        std::int32_t x;
        std::uint32_t height, width;
    };
    std::int32_t adjust(std::int32_t font, Values& v) {
        return job.call(ep().adjfontvar, font, &v.x, 0x5A5A, &v.height, &v.width, 0, 0, 0, 0, 0, 0);
    }
};

TEST_F(TextSizeAdjustment, SnapsSizesAndPositions) {
    struct Row {
        std::int32_t font;
        Values in, out;
        std::int32_t result;
    };
    static const Row rows[] = {
        /*  0*/ {0, {1000, 500, 100}, {984, 340, 98}, 1},  // size and position all move
        // Whole cells of 1, 2, 3, 4 or 8 on the 8-dot grid: nothing to do.
        /*  1*/ {0, {985, 85, 49}, {985, 85, 49}, 0},
        /*  2*/ {0, {0, 170, 98}, {0, 170, 98}, 0},
        /*  3*/ {0, {985, 255, 196}, {985, 255, 196}, 0},
        /*  4*/ {0, {985, 680, 392}, {985, 680, 392}, 0},
        // 5 and 6 cells become 4, 7 and more 8, under half a cell 1.
        /*  5*/ {0, {985, 425, 49}, {985, 340, 49}, 1},
        /*  6*/ {0, {985, 510, 49}, {985, 340, 49}, 1},
        /*  7*/ {0, {985, 595, 49}, {985, 680, 49}, 1},
        /*  8*/ {0, {985, 5000, 49}, {985, 680, 49}, 1},
        /*  9*/ {0, {985, 42, 24}, {985, 85, 49}, 1},
        /* 10*/ {0, {985, 0, 0}, {985, 85, 49}, 1},
        /* 11*/ {0, {985, 0x80000000u, 49}, {985, 680, 49}, 1},
        /* 12*/ {4, {985, 1000, 400}, {985, 1179, 358}, 1},
        // 4 dots past the grid move up, 3 move down; negative positions round towards zero.
        /* 13*/ {0, {1003, 85, 49}, {1023, 85, 49}, 1},  // dot 204 to 208
        /* 14*/ {0, {-68, 85, 49}, {-39, 85, 49}, 1},    // dot -13 to -8
        /* 15*/ {0, {-30, 85, 49}, {0, 85, 49}, 1},      // dot -5 to 0
        // Dot 799 is rewritten with the value it had: still reported.
        /* 16*/ {0, {3937, 85, 49}, {3937, 85, 49}, 1},
    };
    for (const Row& row : rows) {
        Values v = row.in;
        EXPECT_EQ(adjust(row.font, v), row.result) << "row " << (&row - rows);
        EXPECT_EQ(v.x, row.out.x) << "row " << (&row - rows);
        EXPECT_EQ(v.height, row.out.height) << "row " << (&row - rows);
        EXPECT_EQ(v.width, row.out.width) << "row " << (&row - rows);
    }
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(TextSizeAdjustment, GridIsInPrinterDotsOfTheHead) {
    rec().set(record::dpi_x, 300);
    Values v{1000, 85, 49};  // dot 300 to 304, written back at 203.2 dots per inch
    EXPECT_EQ(adjust(0, v), 1);
    EXPECT_EQ(v.x, 1496);
}

TEST_F(TextSizeAdjustment, FontsWithoutCellsAdjustNothing) {
    for (std::int32_t font : {-1, 5, 25, -2147483647 - 1}) {
        Values v{1000, 500, 100};
        EXPECT_EQ(adjust(font, v), 0) << font;
        EXPECT_EQ(v.x, 1000);
        EXPECT_EQ(v.height, 500u);
        EXPECT_EQ(v.width, 100u);
    }
    rec().set(record::font_table, 3, font_entry::cell_height, 0);
    Values v{1000, 500, 100};
    EXPECT_EQ(adjust(3, v), 0);
    EXPECT_EQ(v.x, 1000);
    EXPECT_EQ(job.call(ep().adjfontvar, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);
}

}  // namespace
}  // namespace epl2::test
