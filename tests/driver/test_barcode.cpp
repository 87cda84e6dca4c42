// Linear barcodes through drawbar: printer codes, anchors, the passes that send them, and data
// that must not reach the printer as it came.
#include <string>
#include <vector>

#include "barcode_fixture.h"

namespace epl2::test {
namespace {

// Host positions that the label's mapping puts on whole dots.
constexpr std::int32_t x_dot_100 = 446;
constexpr std::int32_t x_dot_300 = 1433;
constexpr std::int32_t y_dot_300 = 1478;

struct Linear {
    std::int32_t symbology = 0;
    std::string data;
    std::int32_t rotation = 0;
    std::int32_t narrow = 2;
    std::int32_t ratio = 0;
    std::int32_t human_readable = 1;
    std::int32_t addon = 0;
    std::int32_t x = x_dot_300;
    std::int32_t y = y_dot_300;
    std::int32_t height = 500;  // 102 dots
    std::uint32_t mark = 0;
};

class LinearBarcode : public BarcodeTest {
   protected:
    void set(const Linear& b) {
        const BarcodeObjectView o = bar();
        o.set(barcode_object::symbology, b.symbology);
        o.set(barcode_object::x, b.x);
        o.set(barcode_object::y, b.y);
        o.set(barcode_object::height, b.height);
        o.set(barcode_object::rotation, b.rotation);
        o.set(barcode_object::human_readable, b.human_readable);
        o.set(barcode_object::ratio, b.ratio);
        o.set(barcode_object::narrow, b.narrow);
        o.set(barcode_object::addon, b.addon);
        o.set(barcode_object::variable_mark, b.mark);
        job.set_barcode_data(b.data);
    }
    // The fixed barcode, drawn while the form is built.
    std::string fixed(const Linear& b) {
        set(b);
        return draw_in(0);
    }

    static Linear upc_a() {
        Linear b;
        b.data = "01234567890";
        b.x = x_dot_100;
        return b;
    }
};

TEST_F(LinearBarcode, UpcAFixedAndVariable) {
    EXPECT_EQ(fixed(upc_a()), line("B83,198,0,UA0,2,4,102,B,\"01234567890\""));

    Linear variable = upc_a();
    variable.mark = 1;
    set(variable);
    rec().set(record::variable_count, 3);
    EXPECT_EQ(draw_in(1), line("B83,198,0,UA0,2,4,102,B,V03"));
    EXPECT_EQ(rec().get(record::variable_count), 4);
    EXPECT_EQ(bar().get(barcode_object::variable_mark), 0xFFFFu);
    // In the recall pass the variable barcode carries its current data.
    job.set_barcode_data("99999999999");
    EXPECT_EQ(draw_in(3), line("B83,198,0,UA0,2,4,102,B,\"99999999999\""));
}

TEST_F(LinearBarcode, PassesThatSendALine) {
    using enum Sent;
    const PassRow rows[] = {
        /*  0*/ {1, 0, 0, 1, 1, data},
        /*  1*/ {1, 0, 0, 1, 0, data},  // fixed barcodes need no enabled forms
        /*  2*/ {1, 1, 0, 1, 1, none},
        /*  3*/ {1, 3, 0, 1, 1, none},
        /*  4*/ {1, 5, 0, 1, 1, none},
        /*  5*/ {1, 0, 1, 1, 1, none},
        /*  6*/ {1, 1, 1, 1, 1, reference},
        /*  7*/ {1, 1, 32768, 1, 1, reference},
        /*  8*/ {1, 1, 65535, 2, 1, none},
        /*  9*/ {1, 1, 65535, 1, 0, none},
        /* 10*/ {1, 3, 7, 2, 0, data},
        /* 11*/ {1, 7, 7, 1, 1, none},
        /* 12*/ {8, 0, 0, 1, 1, none},
        /* 13*/ {8, 1, 1, 1, 1, none},
        /* 14*/ {8, 3, 0, 1, 1, data},
        /* 15*/ {8, 3, 1, 1, 1, data},
        /* 16*/ {-1, 0, 0, 1, 1, data},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const PassRow& row = rows[i];
        enter(row, 0);
        Linear b = upc_a();
        b.mark = row.mark;
        set(b);
        const std::string expected = row.sent == none ? ""
                                     : row.sent == data
                                         ? line("B83,198,0,UA0,2,4,102,B,\"01234567890\"")
                                         : line("B83,198,0,UA0,2,4,102,B,V00");
        EXPECT_EQ(draw_in(row.form_mode), expected) << "row " << i;
        EXPECT_EQ(rec().get(record::variable_count), row.sent == reference ? 1 : 0) << "row " << i;
        EXPECT_EQ(bar().get(barcode_object::variable_mark), row.mark == 0 ? 0u : 0xFFFFu)
            << "row " << i;
    }
}

TEST_F(LinearBarcode, SymbologiesRotationsAndAnchors) {
    struct Row {
        Linear bar;
        const char* expected;
    };
    const Row rows[] = {
        // Code 39 turned a quarter: printer rotation 3, X moves back by the bar height, no
        // human-readable line outside the UPC/EAN family, wide bars 5 x 3 / 2.
        /*  0*/ {{.symbology = 14, .data = "AB$/+%", .rotation = 1, .narrow = 3, .ratio = 1},
                 "B198,300,3,3,3,7,102,N,\"AB$/+%\""},
        /*  1*/
        {{.symbology = 6, .data = "123456789012", .rotation = 2, .addon = 2},
         "B317,402,2,E35,2,4,102,B,\"123456789012\""},
        /*  2*/
        {{.symbology = 6, .data = "123456789012", .rotation = 3, .addon = 1},
         "B402,283,1,E32,2,4,102,B,\"123456789012\""},
        /*  3*/
        {{.symbology = 0, .data = "0123456789", .rotation = 1, .narrow = 3},
         "B198,325,3,UA0,3,6,102,B,\"0123456789\""},
        /*  4*/
        {{.symbology = 5, .data = "0123456", .human_readable = 0},
         "B283,198,0,UE0,2,4,102,N,\"0123456\""},
        /*  5*/
        {{.symbology = 7, .data = "1234567", .ratio = 2, .addon = 2},
         "B283,198,0,E85,2,6,102,B,\"1234567\""},
        /*  6*/ {{.symbology = 12, .data = "A123A"}, "B300,198,0,K,2,4,102,N,\"A123A\""},
        /*  7*/ {{.symbology = 13, .data = "1234"}, "B300,198,0,2,2,4,102,N,\"1234\""},
        /*  8*/ {{.symbology = 16, .data = "C93"}, "B300,198,0,9,2,4,102,N,\"C93\""},
        /*  9*/ {{.symbology = 8, .data = "ABC"}, "B300,198,0,1,2,4,102,N,\"ABC\""},
        /* 10*/ {{.symbology = 14, .data = "X", .rotation = 2}, "B300,402,2,3,2,4,102,N,\"X\""},
        /* 11*/ {{.symbology = 14, .data = "X", .rotation = 3}, "B402,300,1,3,2,4,102,N,\"X\""},
        // Quarter turns beyond a full turn count on.
        /* 12*/ {{.symbology = 14, .data = "X", .rotation = 5}, "B198,300,3,3,2,4,102,N,\"X\""},
        /* 13*/
        {{.symbology = 14, .data = "", .narrow = 1, .ratio = 1, .height = 1000},
         "B300,97,0,3,1,2,203,N,\"\""},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(fixed(rows[i].bar), line(rows[i].expected)) << "row " << i;
    }
}

TEST_F(LinearBarcode, UccEanMarkerChoosesTheCode128Form) {
    const std::string digits20 = "00123456789012345678";
    struct Row {
        std::int32_t symbology;
        std::string data;
        const char* code;
        std::string sent;
    };
    const std::vector<Row> rows = {
        /*  0*/ {8, "\x86" + digits20, "0", digits20},
        /*  1*/
        {8,
         "\x86"
         "1234567890123",
         "1E", "1234567890123"},
        /*  2*/ {8, "1234567890123", "1", "1234567890123"},
        /*  3*/ {10, "\x86" + digits20, "0", digits20},
        /*  4*/
        {11,
         "\x86"
         "12",
         "1E", "12"},
        /*  5*/ {11, "\x86" + digits20 + "9", "1E", digits20 + "9"},
        /*  6*/ {8, "\x86", "1E", ""},
        // The marker is only special for the Code 128 entries.
        /*  7*/
        {20,
         "\x86"
         "123",
         "1E",
         "\x86"
         "123"},
        // The container code is recognised on the data as given: 21 bytes, the quote among them.
        /*  8*/
        {8,
         "\x86"
         "0012345678901234567\"",
         "0", "0012345678901234567\\\""},
        // Line breaks are not data: they neither count nor go out.
        /*  9*/ {8, "\x86" + digits20.substr(0, 10) + "\r\n" + digits20.substr(10), "0", digits20},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Linear b{.symbology = rows[i].symbology, .data = rows[i].data};
        EXPECT_EQ(fixed(b), line(std::string("B300,198,0,") + rows[i].code + ",2,4,102,N,\"" +
                                 rows[i].sent + "\""))
            << "row " << i;
    }
}

TEST_F(LinearBarcode, PostnetIsAZipOrANineDigitZipPlusFour) {
    const std::pair<const char*, const char*> rows[] = {
        /*  0*/ {"12345", "12345"},
        /*  1*/ {"1234", "1234"},
        /*  2*/ {"123456", "123456000"},
        /*  3*/ {"12345678", "123456780"},
        /*  4*/ {"123456789", "123456789"},
        /*  5*/ {"12345678901", "123456789"},
        /*  6*/ {"12345\r\n", "12345"},
        /*  7*/ {"1234\r\n56", "123456000"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Linear b{.symbology = 21, .data = rows[i].first};
        EXPECT_EQ(fixed(b), line(std::string("B300,198,0,P,2,4,102,N,\"") + rows[i].second + "\""))
            << "row " << i;
    }
}

TEST_F(LinearBarcode, DataIsEscapedAndLineBreaksDropped) {
    const std::pair<std::string, std::string> rows[] = {
        /*  0*/ {"A\"B", "A\\\"B"},
        /*  1*/ {"C:\\X", "C:\\\\X"},
        /*  2*/ {"AB\r\nCD\n", "ABCD"},
        /*  3*/ {"\r\n", ""},
        /*  4*/ {"\"\\", "\\\"\\\\"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        Linear b{.symbology = 14, .data = rows[i].first};
        EXPECT_EQ(fixed(b), line("B300,198,0,3,2,4,102,N,\"" + rows[i].second + "\""))
            << "row " << i;
    }
}

TEST_F(LinearBarcode, DataThatDoesNotFitWholeIsNotSent) {
    struct Row {
        std::string data;
        bool sent;
    };
    const Row rows[] = {
        /*  0*/ {std::string(255, '7'), true},
        /*  1*/ {std::string(256, '7'), false},
        /*  2*/ {std::string(127, '"') + "7", true},  // 255 bytes once escaped
        /*  3*/ {std::string(128, '"'), false},
        /*  4*/ {std::string(255, '7') + "\r\n", true},
        /*  5*/ {std::string(2000, '7'), false},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        rec().set(record::max_object_bottom, 0);
        Linear b{.symbology = 14, .data = rows[i].data};
        const std::string out = fixed(b);
        EXPECT_EQ(out.empty(), !rows[i].sent) << "row " << i;
        EXPECT_EQ(rec().get(record::max_object_bottom), rows[i].sent ? 198 : 0) << "row " << i;
    }
    // Nor is the variable reference of such a barcode: its data could never be printed.
    Linear b{.symbology = 14, .data = std::string(300, '7'), .mark = 1};
    set(b);
    EXPECT_EQ(draw_in(1), "");
    EXPECT_EQ(rec().get(record::variable_count), 0);
}

TEST_F(LinearBarcode, SelectorsWithoutAPrinterMeaningSendNothing) {
    const Linear rows[] = {
        /*  0*/ {.symbology = -1, .data = "1"},
        /*  1*/ {.symbology = 1, .data = "1"},
        /*  2*/ {.symbology = 9, .data = "1"},
        /*  3*/ {.symbology = 100, .data = "1"},
        /*  4*/ {.symbology = -2, .data = "1"},
        /*  5*/ {.symbology = 0, .data = "1", .addon = 3},
        /*  6*/ {.symbology = 6, .data = "1", .addon = -1},
        /*  7*/ {.symbology = 14, .data = "1", .ratio = 3},
        /*  8*/ {.symbology = 14, .data = "1", .ratio = -1},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(fixed(rows[i]), "") << "row " << i;
    }
    // The mark is normalised all the same.
    Linear none{.symbology = -1, .data = "", .mark = 5};
    set(none);
    EXPECT_EQ(draw_in(0), "");
    EXPECT_EQ(bar().get(barcode_object::variable_mark), 0xFFFFu);
}

TEST_F(LinearBarcode, LowestEdgeIsRaisedOnlyBySentLines) {
    rec().set(record::max_object_bottom, 150);
    fixed(upc_a());  // Y 198
    EXPECT_EQ(rec().get(record::max_object_bottom), 198);
    Linear higher = upc_a();
    higher.y = 1000;
    fixed(higher);
    EXPECT_EQ(rec().get(record::max_object_bottom), 198);
    Linear lower = upc_a();
    lower.y = 3000;  // Y 609 - 102
    set(lower);
    EXPECT_EQ(draw_in(3), "");
    EXPECT_EQ(rec().get(record::max_object_bottom), 198);
    lower.mark = 1;
    set(lower);
    EXPECT_EQ(draw_in(1), line("B83,507,0,UA0,2,4,102,B,V00"));
    EXPECT_EQ(rec().get(record::max_object_bottom), 507);
}

TEST_F(LinearBarcode, VariablesAreNumberedInDrawingOrder) {
    Linear b = upc_a();
    b.mark = 1;
    set(b);
    rec().set(record::variable_count, 99);
    EXPECT_EQ(draw_in(1), line("B83,198,0,UA0,2,4,102,B,V99"));
    EXPECT_EQ(draw_in(1), line("B83,198,0,UA0,2,4,102,B,V100"));
    EXPECT_EQ(rec().get(record::variable_count), 101);
}

TEST_F(LinearBarcode, MissingObjectOrDataIsHarmless) {
    // A handle without a barcode object: nothing to draw.
    const std::uint32_t handle = job.handle();
    std::byte* block = reinterpret_cast<std::byte*>(static_cast<std::uintptr_t>(handle));
    const std::uint32_t saved = load_le<std::uint32_t>(block + 16);
    store_le<std::uint32_t>(block + 16, 0);
    job.set_form_mode(0);
    EXPECT_EQ(drawbar(), 0);
    store_le(block + 16, saved);
    EXPECT_EQ(take_bytes(), "");
    // A null data pointer is empty data.
    set(upc_a());
    bar().set(barcode_object::data, 0u);
    EXPECT_EQ(draw_in(0), line("B83,198,0,UA0,2,4,102,B,\"\""));
}

}  // namespace
}  // namespace epl2::test
