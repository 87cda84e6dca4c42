// MaxiCode and PDF417 through drawbar: the carrier header, the PDF417 options and rotations, the
// passes, and data that must not reach the printer as it came.
#include <string>

#include "barcode_fixture.h"

namespace epl2::test {
namespace {

struct Symbol {
    std::int32_t symbology = 107;
    std::string data;
    std::int32_t rotation = 0;
    std::int32_t narrow = 2;
    std::int32_t security_level = 0;
    std::uint32_t shape_limits = 10 + (5 << 8);  // 10 rows, 5 columns
    std::uint32_t mark = 0;
    // Top edge y - height = 1000 and x = 1000 both map to dot 203 / 212.
    std::int32_t x = 1000;
    std::int32_t y = 1500;
    std::int32_t height = 500;
    std::int32_t width = 1000;
};

class Symbol2d : public BarcodeTest {
   protected:
    void set(const Symbol& s) {
        const BarcodeObjectView o = bar();
        o.set(barcode_object::symbology, s.symbology);
        o.set(barcode_object::x, s.x);
        o.set(barcode_object::y, s.y);
        o.set(barcode_object::height, s.height);
        o.set(barcode_object::width, s.width);
        o.set(barcode_object::rotation, s.rotation);
        o.set(barcode_object::narrow, s.narrow);
        o.set(barcode_object::security_level, s.security_level);
        o.set(barcode_object::shape_limits, s.shape_limits);
        o.set(barcode_object::variable_mark, s.mark);
        job.set_barcode_data(s.data);
    }
    std::string fixed(const Symbol& s) {
        set(s);
        return draw_in(0);
    }
    static Symbol maxicode(std::string data) { return {.data = std::move(data)}; }
    static Symbol pdf417(std::int32_t rotation = 0, std::int32_t security_level = 0) {
        return {.symbology = 101,
                .data = "PDF DATA",
                .rotation = rotation,
                .security_level = security_level};
    }
};

TEST_F(Symbol2d, MaxiCodeCarrierHeader) {
    struct Row {
        std::string data;
        std::string fields;  // empty: nothing is sent
    };
    const Row rows[] = {
        // Layout A: ZIP code, extension, country, class.
        /*  0*/ {"12345 6789 840 001 MESSAGE", "001,840,12345,6789,MESSAGE"},
        /*  1*/ {"12345 6789 840 001 ", "001,840,12345,6789,"},
        /*  2*/ {"12345 6789 840 001 A B,C", "001,840,12345,6789,A B,C"},
        // Layout B: six-character postal code, no extension.
        /*  3*/ {"A1B2C3 124 002 MSG", "002,124,A1B2C3,MSG"},
        /*  4*/ {"AB12   840 001 MSG", "001,840,AB12,MSG"},
        /*  5*/ {"       840 001 MSG", "001,840, ,MSG"},
        // Layout A columns with a space where the extension starts read as layout B.
        /*  6*/ {"12345  789 840 001 MSG", "840,789,12345,001 MSG"},
        // The class is any three characters.
        /*  7*/ {"123456 840 x-Z MSG", "x-Z,840,123456,MSG"},
        // Not acceptable: a letter in the country, neither layout, data shorter than its header.
        /*  8*/ {"12345 6789 84A 001 MSG", ""},
        /*  9*/ {"A1B2C3 8 0 001 MSG", ""},
        /* 10*/ {"1234567890 840 001 MSG", ""},
        /* 11*/ {"12345 6789 840 001", ""},
        /* 12*/ {"123456 840 001", ""},
        /* 13*/ {"12345 ", ""},
        /* 14*/ {"", ""},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::string expected =
            rows[i].fields.empty() ? "" : line("b212,203,M,\"" + rows[i].fields + "\"");
        EXPECT_EQ(fixed(maxicode(rows[i].data)), expected) << "row " << i;
    }
}

TEST_F(Symbol2d, Pdf417WorkedExampleAndItsRotations) {
    struct Row {
        Symbol symbol;
        const char* expected;
    };
    const Row rows[] = {
        /*  0*/ {pdf417(), "b212,203,P,102,474,f0,x3,y13,r10,l5,\"PDF DATA\""},
        /*  1*/ {pdf417(1), "b22,383,P,102,474,f0,x2,y7,r10,l5,o3,\"PDF DATA\""},
        /*  2*/ {pdf417(2), "b212,203,P,102,474,f0,x2,y7,r10,l5,o2,\"PDF DATA\""},
        /*  3*/ {pdf417(3), "b402,373,P,102,474,f0,x2,y7,r10,l5,o1,\"PDF DATA\""},
        /*  4*/ {pdf417(0, 5), "b212,203,P,102,474,s5,f0,x3,y13,r10,l5,\"PDF DATA\""},
        /*  5*/ {pdf417(1, 3), "b22,383,P,102,474,s3,f0,x2,y7,r10,l5,o3,\"PDF DATA\""},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(fixed(rows[i].symbol), line(rows[i].expected)) << "row " << i;
    }
}

TEST_F(Symbol2d, Pdf417SizesGoThroughThePositionMappings) {
    // The whole shape word enters the second size: the two upper bytes too.
    Symbol s = pdf417();
    s.shape_limits = 10 + (5 << 8) + (1 << 16);  // 1290 + 65536
    s.narrow = 4;
    EXPECT_EQ(fixed(s), line("b212,203,P,102,13778,f0,x5,y15,r10,l5,\"PDF DATA\""));
    // Right-aligned labels move the sizes with the offsets.
    rec().set(record::model_class, 2);
    rec().set(record::left_offset, 50);
    rec().set(record::top_offset, 50);
    EXPECT_EQ(fixed(pdf417()), line("b231,193,P,91,493,f0,x3,y13,r10,l5,\"PDF DATA\""));
}

TEST_F(Symbol2d, PassesThatSendALine) {
    using enum Sent;
    const PassRow rows[] = {
        /*  0*/ {1, 0, 0, 1, 1, data},
        /*  1*/ {1, 0, 0, 1, 0, none},  // unlike linear barcodes
        /*  2*/ {1, 1, 0, 1, 1, none},
        /*  3*/ {1, 3, 0, 1, 1, none},
        /*  4*/ {1, 0, 9, 1, 1, none},
        /*  5*/ {1, 1, 9, 1, 1, reference},
        /*  6*/ {1, 1, 9, 2, 1, none},
        /*  7*/ {1, 1, 9, 1, 0, none},
        /*  8*/ {1, 3, 9, 1, 1, data},
        /*  9*/ {1, 5, 9, 1, 1, none},
        /* 10*/ {8, 0, 0, 1, 1, none},
        /* 11*/ {8, 1, 9, 1, 1, none},
        /* 12*/ {8, 3, 0, 1, 1, data},
        /* 13*/ {8, 3, 9, 1, 1, data},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const PassRow& row = rows[i];
        enter(row, 5);
        for (Symbol s : {maxicode("12345 6789 840 001 M"), pdf417()}) {
            s.mark = row.mark;
            set(s);
            const std::string expected =
                row.sent != data     ? ""
                : s.symbology == 107 ? line("b212,203,M,\"001,840,12345,6789,M\"")
                                     : line("b212,203,P,102,474,f0,x3,y13,r10,l5,\"PDF DATA\"");
            EXPECT_EQ(draw_in(row.form_mode), expected) << "row " << i << " " << s.symbology;
            EXPECT_EQ(bar().get(barcode_object::variable_mark), row.mark == 0 ? 0u : 0xFFFFu);
        }
        // The variable pass sends no line but keeps each symbol's number.
        EXPECT_EQ(rec().get(record::variable_count), row.sent == reference ? 7 : 5) << "row " << i;
        EXPECT_EQ(rec().get(record::max_object_bottom), 0) << "row " << i;
    }
}

TEST_F(Symbol2d, DataIsEscapedAndLineBreaksDropped) {
    EXPECT_EQ(fixed(maxicode("12345 6789 840 001 say \"hi\"\r\n C:\\")),
              line("b212,203,M,\"001,840,12345,6789,say \\\"hi\\\" C:\\\\\""));
    EXPECT_EQ(fixed(maxicode("A\"B\\C  840 \"\\x MSG")),
              line("b212,203,M,\"\\\"\\\\x,840,A\\\"B\\\\C,MSG\""));
    Symbol s = pdf417();
    s.data = "a\"b\\c\nd\r";
    EXPECT_EQ(fixed(s), line("b212,203,P,102,474,f0,x3,y13,r10,l5,\"a\\\"b\\\\cd\""));
}

TEST_F(Symbol2d, ParameterStringsThatDoNotFitAreNotSent) {
    // MaxiCode: 19 bytes of fields and commas before the message.
    const std::string header = "12345 6789 840 001 ";
    EXPECT_NE(fixed(maxicode(header + std::string(236, 'm'))), "");
    EXPECT_EQ(fixed(maxicode(header + std::string(237, 'm'))), "");
    EXPECT_NE(fixed(maxicode(header + std::string(118, '"'))), "");
    EXPECT_EQ(fixed(maxicode(header + std::string(119, '"'))), "");
    // PDF417: "102,474,f0,x3,y13,r10,l5," and two quotes take 27 bytes.
    Symbol s = pdf417();
    s.data = std::string(228, 'p');
    EXPECT_NE(fixed(s), "");
    s.data = std::string(229, 'p');
    EXPECT_EQ(fixed(s), "");
    // A variable symbol whose data cannot be sent keeps no variable number either.
    s.mark = 1;
    set(s);
    EXPECT_EQ(draw_in(1), "");
    EXPECT_EQ(rec().get(record::variable_count), 0);
}

TEST_F(Symbol2d, OtherTwoDimensionalIndicesSendNothing) {
    for (std::int32_t index : {102, 106, 108, 200}) {
        Symbol s = pdf417();
        s.symbology = index;
        s.mark = 3;
        EXPECT_EQ(fixed(s), "") << index;
        EXPECT_EQ(bar().get(barcode_object::variable_mark), 0xFFFFu);
    }
}

}  // namespace
}  // namespace epl2::test
