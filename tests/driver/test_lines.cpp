// Lines, filled rectangles and boxes: the pass they belong to, both mappings of a rectangle, the
// clip rectangle, reversed areas and the lowest row reached, byte for byte.
#include <cstring>
#include <string>

#include "driver_test.h"

namespace epl2::test {
namespace {

constexpr std::uint32_t corner_mapping = 1;

// A 203 dpi head 4.09 inches wide under a 4-inch label (centred: 9 dots of margin), the clip
// rectangle of the whole label (9, 0, 821, 406), and a stored form called SHIPLBL.
class Lines : public DriverTest {
   protected:
    void SetUp() override {
        RecordView r = rec();
        r.set(record::printer_type, 1);
        r.set(record::resolution_code, 1);
        r.set(record::dpi_x, 203);
        r.set(record::dpi_y, 203);
        r.set(record::max_print_width, 4090);
        r.set(record::label_width, 4000);
        r.set(record::form_store_enabled, 1);
        std::memcpy(r.chars(record::form_name), "SHIPLBL", 8);
        job.call(ep().setclip, 0, 0, 4000, 2000);
    }
    // The form is already open, so only the object's own bytes go out.
    void form_open() { rec().set(record::form_begun_a, 1); }

    std::string line_call(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          std::int32_t shade) {
        EXPECT_EQ(job.call(ep().drawline, x1, y1, x2, y2, 0x5A5A, shade, 0x5A5A, 0x5A5A), 0);
        return take_bytes();
    }
    std::string background_call(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                                std::int32_t shade) {
        EXPECT_EQ(job.call(ep().drawbckgnd, x1, y1, x2, y2, shade, 0x5A5A, 0x5A5A), 0);
        return take_bytes();
    }
    std::string box_call(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                         std::int32_t thickness) {
        EXPECT_EQ(job.call(ep().drawbox, x1, y1, x2, y2, thickness, 0x5A5A, 0x5A5A, 0x5A5A), 0);
        return take_bytes();
    }
};

const std::string form_opening = line("FK\"SHIPLBL\"") + line("FS\"SHIPLBL\"");

TEST_F(Lines, FirstLineOfAStoredForm) {
    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), form_opening);
    job.call(ep().setclip, 0, 0, 4000, 2000);
    EXPECT_EQ(take_bytes(), "");
    EXPECT_EQ(line_call(500, 500, 1500, 520, 100), line("LO111,102,203,4"));
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("FE"));
}

TEST_F(Lines, RectanglesOfLinesAndBackgrounds) {
    struct Row {
        std::uint32_t host_flags;
        std::int32_t x1, y1, x2, y2, shade;
        std::string bytes;
        std::int32_t bottom;  // max_object_bottom afterwards, from 0
    };
    const std::string bar = line("LO111,102,203,4");
    const Row rows[] = {
        /*  0*/ {0, 500, 500, 1500, 520, 100, bar, 106},
        /*  1*/ {0, 1500, 520, 500, 500, 100, bar, 106},  // corners in any order
        /*  2*/ {0, 500, 520, 1500, 500, 100, bar, 106},
        /*  3*/ {corner_mapping, 500, 500, 1500, 520, 100, line("LO111,102,204,5"), 106},
        /*  4*/ {0, 500, 500, 1500, 520, 49, bar + line("LE111,102,203,4"), 106},
        /*  5*/ {0, 500, 500, 1500, 520, 50, bar, 106},
        /*  6*/ {0, 500, 500, 1500, 520, -1, bar + line("LE111,102,203,4"), 106},
        /*  7*/
        {corner_mapping, 500, 500, 1500, 520, 0, line("LO111,102,204,5") + line("LE111,102,204,5"),
         106},
        // Hairlines keep one dot.
        /*  8*/ {0, 500, 500, 502, 520, 100, line("LO111,102,1,4"), 106},
        /*  9*/ {0, 500, 500, 1500, 500, 100, line("LO111,102,203,1"), 103},
        // The start moves onto the clip edge without shortening the bar; the far end is cut.
        /* 10*/ {0, -200, 500, 800, 520, 100, line("LO9,102,203,4"), 106},
        /* 11*/ {0, 3800, 500, 4200, 520, 100, line("LO781,102,40,4"), 106},
        /* 12*/ {0, 500, -100, 1500, 50, 100, line("LO111,0,203,30"), 30},
        /* 13*/ {0, 500, 1900, 1500, 2200, 100, line("LO111,386,203,20"), 406},
        /* 14*/ {corner_mapping, -200, 500, 5000, 520, 100, line("LO9,102,813,5"), 106},
        /* 15*/ {corner_mapping, 500, -100, 1500, 3000, 100, line("LO111,0,204,407"), 406},
        // Wholly outside: nothing, and no lowest row.
        /* 16*/ {0, 4500, 500, 5000, 520, 100, "", 0},
        /* 17*/ {0, -1000, 500, -400, 520, 100, "", 0},
        /* 18*/ {0, 500, 2100, 1500, 2200, 100, "", 0},
        /* 19*/ {corner_mapping, 500, -500, 1500, 0, 100, "", 0},
        /* 20*/ {corner_mapping, 4000, 500, 5000, 520, 100, "", 0},
    };
    job.set_form_mode(0);
    form_open();
    for (const Row& row : rows) {
        const auto n = &row - rows;
        rec().set(record::host_flags, row.host_flags);
        rec().set(record::max_object_bottom, 0);
        EXPECT_EQ(line_call(row.x1, row.y1, row.x2, row.y2, row.shade), row.bytes)
            << "drawline row " << n;
        EXPECT_EQ(rec().get(record::max_object_bottom), row.bottom) << "row " << n;
        rec().set(record::max_object_bottom, 0);
        EXPECT_EQ(background_call(row.x1, row.y1, row.x2, row.y2, row.shade), row.bytes)
            << "drawbckgnd row " << n;
        EXPECT_EQ(rec().get(record::max_object_bottom), row.bottom) << "row " << n;
    }
}

TEST_F(Lines, BoxesGrowByHalfTheirBorder) {
    struct Row {
        std::int32_t x1, y1, x2, y2, thickness;
        std::string bytes;
        std::int32_t bottom;
    };
    const Row rows[] = {
        /*  0*/ {500, 500, 1500, 1000, 20, line("X109,99,4,316,205"), 205},
        /*  1*/ {500, 500, 1500, 1000, 2, line("X110,101,0,314,203"), 203},  // no minimum border
        /*  2*/ {500, 500, 1500, 1000, 21, line("X109,99,4,316,205"), 205},  // half of 21 is 10
        /*  3*/ {-500, 500, 5000, 3000, 20, line("X9,99,4,821,406"), 406},
        /*  4*/ {5000, 500, 6000, 1000, 20, "", 0},
        /*  5*/ {500, 3000, 1500, 4000, 20, "", 0},
    };
    job.set_form_mode(0);
    form_open();
    for (const Row& row : rows) {
        rec().set(record::max_object_bottom, 0);
        EXPECT_EQ(box_call(row.x1, row.y1, row.x2, row.y2, row.thickness), row.bytes)
            << "row " << (&row - rows);
        EXPECT_EQ(rec().get(record::max_object_bottom), row.bottom) << "row " << (&row - rows);
    }
}

TEST_F(Lines, LowestRowOnlyRises) {
    job.set_form_mode(0);
    form_open();
    rec().set(record::max_object_bottom, 300);
    line_call(500, 500, 1500, 520, 100);
    box_call(500, 500, 1500, 1000, 20);
    EXPECT_EQ(rec().get(record::max_object_bottom), 300);
}

// Line art belongs to the stored form: drawn while the form is built (and able to open it), or
// at recall on the printer class without forms; never in any other pass.
TEST_F(Lines, PassesAndTheStoredForm) {
    struct Row {
        std::int32_t printer_type;
        std::uint8_t form_mode;
        bool draws;
        bool opens_form;
    };
    static const Row rows[] = {
        /*  0*/ {1, 0, true, true},   /*  1*/ {1, 1, false, false},
        /*  2*/ {1, 3, false, false},
        /*  3*/ {1, 5, false, false}, /*  4*/ {1, 7, false, false},
        /*  5*/ {8, 0, false, false},
        /*  6*/ {8, 1, false, false}, /*  7*/ {8, 3, true, false},
        /*  8*/ {8, 5, false, false},
        /*  9*/ {-1, 0, true, true},  /* 10*/ {30, 3, false, false},
    };
    enum Kind { line_kind, background_kind, box_kind };
    for (const Row& row : rows) {
        for (Kind kind : {line_kind, background_kind, box_kind}) {
            const auto n = &row - rows;
            rec().set(record::printer_type, row.printer_type);
            rec().set(record::form_begun_a, 0);
            rec().set(record::form_begun_b, 0);
            job.set_form_mode(row.form_mode);
            std::string object;
            std::string bytes;
            switch (kind) {
                case line_kind:
                    object = line("LO111,102,203,4");
                    bytes = line_call(500, 500, 1500, 520, 100);
                    break;
                case background_kind:
                    object = line("LO111,102,203,4");
                    bytes = background_call(500, 500, 1500, 520, 100);
                    break;
                case box_kind:
                    object = line("X109,99,4,316,205");
                    bytes = box_call(500, 500, 1500, 1000, 20);
                    break;
            }
            const std::string expected =
                (row.opens_form ? form_opening : "") + (row.draws ? object : "");
            EXPECT_EQ(bytes, expected) << "row " << n << " kind " << kind;
        }
    }
}

TEST_F(Lines, ObjectOutsideTheClipStillOpensTheForm) {
    job.set_form_mode(0);
    EXPECT_EQ(line_call(4500, 500, 5000, 520, 100), form_opening);
    EXPECT_EQ(rec().get(record::form_begun_a), 1);
    // Once per job: the next object finds the form open.
    EXPECT_EQ(box_call(5000, 500, 6000, 1000, 20), "");
    EXPECT_EQ(line_call(500, 500, 1500, 520, 100), line("LO111,102,203,4"));
}

TEST_F(Lines, ExtremeCoordinatesWrapInsteadOfTrapping) {
    job.set_form_mode(0);
    form_open();
    const std::int32_t lowest = -2147483647 - 1;
    const std::int32_t highest = 2147483647;
    for (std::uint32_t flags : {0u, corner_mapping}) {
        rec().set(record::host_flags, flags);
        line_call(lowest, lowest, highest, highest, 0);
        line_call(highest, 0, lowest, 0, 100);
        box_call(lowest, lowest, highest, highest, lowest);
        box_call(0, 0, 1000, 1000, highest);
    }
    SUCCEED();  // the sanitizers of the test build fail the test on any overflow trap
}

}  // namespace
}  // namespace epl2::test
