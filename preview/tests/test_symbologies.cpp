// Every symbology the driver sends, rendered and read back with zxing-cpp: the decoded text must
// be the data of the label.
#include <gtest/gtest.h>

#include "support.h"

namespace eplview::test {
namespace {

using ZXing::BarcodeFormat;

struct LinearCase {
    const char* code;
    const char* data;
    BarcodeFormat format;
    const char* decoded;  // what a scanner reads for that data
};

void PrintTo(const LinearCase& row, std::ostream* out) {
    *out << row.code << " " << row.data;
}

class LinearBarcode : public testing::TestWithParam<LinearCase> {};

std::string barcode_label(const LinearCase& row, int rotation, int narrow, int wide) {
    // Rotated symbols start at the corner that keeps them on the label.
    const char* origin[] = {"60,60", "700,60", "760,700", "60,760"};
    return with_header(
        driver_lines({std::string("B") + origin[rotation] + "," + std::to_string(rotation) + "," +
                          row.code + "," + std::to_string(narrow) + "," + std::to_string(wide) +
                          ",100,B,\"" + row.data + "\"",
                      "P1"}),
        "Q832,24");
}

TEST_P(LinearBarcode, DecodesToItsDataInEveryRotation) {
    const LinearCase& row = GetParam();
    for (int rotation = 0; rotation < 4; ++rotation) {
        SCOPED_TRACE(rotation);
        Job job = run(barcode_label(row, rotation, 2, 5));
        ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
        EXPECT_EQ(job.warnings.size(), 0u) << warnings_text(job);
        Decoded decoded = decode(job.labels[0].image, row.format);
        EXPECT_EQ(decoded.text, row.decoded);
        EXPECT_EQ(decoded.format, row.format);
    }
}

TEST_P(LinearBarcode, DecodesWithOtherElementWidths) {
    const LinearCase& row = GetParam();
    Job job = run(barcode_label(row, 0, 3, 7));
    ASSERT_EQ(job.labels.size(), 1u);
    EXPECT_EQ(decode(job.labels[0].image, row.format).text, row.decoded);
}

const LinearCase kLinear[] = {
    /*  0*/ {"UA0", "036000291452", BarcodeFormat::UPCA, "036000291452"},
    /*  1*/ {"UA2", "03600029145212", BarcodeFormat::UPCA, "036000291452 12"},
    /*  2*/ {"UA5", "03600029145212345", BarcodeFormat::UPCA, "036000291452 12345"},
    /*  3*/ {"UE0", "01234565", BarcodeFormat::UPCE, "01234565"},
    /*  4*/ {"UE2", "0123456512", BarcodeFormat::UPCE, "01234565 12"},
    /*  5*/ {"UE5", "0123456512345", BarcodeFormat::UPCE, "01234565 12345"},
    /*  6*/ {"E30", "5901234123457", BarcodeFormat::EAN13, "5901234123457"},
    /*  7*/ {"E32", "590123412345712", BarcodeFormat::EAN13, "5901234123457 12"},
    /*  8*/ {"E35", "590123412345712345", BarcodeFormat::EAN13, "5901234123457 12345"},
    /*  9*/ {"E80", "96385074", BarcodeFormat::EAN8, "96385074"},
    /* 10*/ {"E82", "9638507412", BarcodeFormat::EAN8, "96385074 12"},
    /* 11*/ {"E85", "9638507412345", BarcodeFormat::EAN8, "96385074 12345"},
    /* 12*/ {"0", "00123456789012345675", BarcodeFormat::Code128, "00123456789012345675"},
    /* 13*/ {"1", "Label-42 abc", BarcodeFormat::Code128, "Label-42 abc"},
    /* 14*/ {"1E", "0112345678901231", BarcodeFormat::Code128, "0112345678901231"},
    /* 15*/ {"2", "12345670", BarcodeFormat::ITF, "12345670"},
    /* 16*/ {"3", "CODE39-$/+%", BarcodeFormat::Code39, "CODE39-$/+%"},
    /* 17*/ {"3", "Mixed c", BarcodeFormat::Code39, "Mixed c"},
    /* 18*/ {"9", "CODE 93", BarcodeFormat::Code93, "CODE 93"},
    /* 19*/ {"K", "A40156B", BarcodeFormat::Codabar, "A40156B"},
};
INSTANTIATE_TEST_SUITE_P(Symbologies, LinearBarcode, testing::ValuesIn(kLinear));

TEST(Postnet, DrawsFiveBarsPerDigitBetweenFrameBars) {
    // zxing-cpp has no Postnet reader: count the bars instead. Nine digits and the check digit
    // make ten groups of five bars, framed by two full bars.
    Job job = run(with_header(driver_lines({"B50,50,0,P,2,4,40,N,\"123456789\"", "P1"})));
    ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
    const Bitmap& image = job.labels[0].image;
    int bars = 0;
    int tall = 0;
    for (int x = 0; x < image.width(); ++x) {
        bool bottom = image.black(x, 89);
        if (bottom && !image.black(x - 1, 89)) {
            ++bars;
            if (image.black(x, 51)) ++tall;
        }
    }
    EXPECT_EQ(bars, 52);
    EXPECT_EQ(tall, 2 + 2 * 10);  // frame bars and two tall bars per digit
}

struct SymbolCase {
    const char* command;
    BarcodeFormat format;
    const char* decoded;
};

void PrintTo(const SymbolCase& row, std::ostream* out) {
    *out << row.command;
}

class TwoDimensional : public testing::TestWithParam<SymbolCase> {};

TEST_P(TwoDimensional, DecodesToItsData) {
    const SymbolCase& row = GetParam();
    for (int dpi : {203, 300}) {
        SCOPED_TRACE(dpi);
        Job job = run(with_header(driver_lines({row.command, "P1"}), "Q900,24"), {dpi, 0});
        ASSERT_EQ(job.labels.size(), 1u);
        EXPECT_EQ(job.warnings.size(), 0u) << warnings_text(job);
        EXPECT_EQ(
            decode(job.labels[0].image, row.format, row.format == BarcodeFormat::MaxiCode).text,
            row.decoded);
    }
}

const SymbolCase kSymbols[] = {
    /*  0*/ {"b212,203,P,102,474,f0,x3,y13,r10,l5,\"PDF417 label data\"", BarcodeFormat::PDF417,
             "PDF417 label data"},
    /*  1*/
    {"b212,203,P,102,474,s3,f0,x2,y8,r12,l4,\"Security 3\"", BarcodeFormat::PDF417, "Security 3"},
    /*  2*/ {"b400,400,P,102,474,f0,x2,y7,r10,l5,o3,\"Turned\"", BarcodeFormat::PDF417, "Turned"},
    /*  3*/
    {"b100,100,M,\"001,840,12345,6789,Parcel one\"", BarcodeFormat::MaxiCode,
     "123456789\x1d"
     "840\x1d"
     "001\x1dParcel one"},
    /*  4*/
    {"b100,100,M,\"002,826,EC1A1B,To London\"", BarcodeFormat::MaxiCode,
     "EC1A1B\x1d"
     "826\x1d"
     "002\x1dTo London"},
};
INSTANTIATE_TEST_SUITE_P(Symbols, TwoDimensional, testing::ValuesIn(kSymbols));

}  // namespace
}  // namespace eplview::test
