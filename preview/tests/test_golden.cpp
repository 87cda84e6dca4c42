// Small streams of each command, rendered and compared pixel by pixel with reviewed PNG files.
// Set EPLVIEW_UPDATE_GOLDEN=1 to write the files anew, then review them before keeping them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support.h"

namespace eplview::test {
namespace {

using namespace std::string_literals;

struct GoldenCase {
    const char* name;
    std::string body;  // between a 400x160 dot label header and P1
    int dpi = 203;
    const char* length = "Q160,24";
};

std::string golden_stream(const GoldenCase& row) {
    return driver_lines({"", "N", "q400", row.length, "R0,0", "ZT"}) + row.body +
           driver_lines({"P1"});
}

void PrintTo(const GoldenCase& row, std::ostream* out) {
    *out << row.name;
}

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, MatchesReviewedImage) {
    const GoldenCase& row = GetParam();
    Job job = run(golden_stream(row), {row.dpi, 0});
    ASSERT_EQ(job.labels.size(), 1u);
    EXPECT_EQ(warnings_text(job), "");
    std::string path = std::string(EPLVIEW_GOLDEN_DIR) + "/" + row.name + ".png";
    if (std::getenv("EPLVIEW_UPDATE_GOLDEN")) {
        ASSERT_TRUE(write_png(job.labels[0].image, row.dpi, path));
        GTEST_SKIP() << "wrote " << path;
    }
    Bitmap expected = read_png(path);
    ASSERT_GT(expected.width(), 0) << "missing golden file " << path;
    EXPECT_TRUE(expected == job.labels[0].image) << row.name << " differs from " << path;
}

const GoldenCase kGolden[] = {
    /*  0*/ {"line_black", driver_lines({"LO10,10,200,4", "LO10,10,4,100", "LO111,102,203,4"})},
    /*  1*/ {"line_invert", driver_lines({"LO10,10,200,60", "LE40,40,200,60"})},
    /*  2*/ {"line_white", driver_lines({"LO10,10,200,60", "LW40,30,100,10"})},
    /*  3*/ {"box", driver_lines({"X20,20,4,220,120", "X240,20,1,300,60"})},
    /*  4*/
    {"raster", driver_lines({"LO0,0,400,2"}) + "GW30,20,2,4,\xF0\x0F\x0F\xF0\xAA\x55\x00\xFF\r\n"s},
    /*  5*/
    {"text_fonts", driver_lines({"A5,5,0,1,1,1,N,\"Font 1\"", "A5,20,0,2,1,1,N,\"Font 2\"",
                                 "A5,40,0,3,1,1,N,\"Font 3\"", "A5,62,0,4,1,1,N,\"Font 4\"",
                                 "A5,90,0,5,1,1,N,\"F5\""})},
    /*  6*/
    {"text_rotations", driver_lines({"A200,80,0,3,1,1,N,\"R0\"", "A200,80,1,3,1,1,N,\"R1\"",
                                     "A200,80,2,3,1,1,N,\"R2\"", "A200,80,3,3,1,1,N,\"R3\""})},
    /*  7*/
    {"text_multipliers", driver_lines({"A5,5,0,2,2,3,N,\"2x3\"", "A150,5,0,1,8,9,N,\"M\""})},
    /*  8*/
    {"text_reverse", driver_lines({"A10,10,0,4,1,1,R,\"Reverse\"", "LO10,60,200,30",
                                   "A20,63,0,4,1,1,R,\"On black\""})},
    /*  9*/ {"text_escapes", driver_lines({"A10,10,0,3,1,1,N,\"say \\\"hi\\\" C:\\\\\""})},
    /* 10*/
    {"barcode_code128",
     driver_lines({"B10,10,0,1,2,4,60,B,\"EPL2-42\"", "B390,10,1,1,1,2,40,N,\"turned\""})},
    /* 11*/ {"barcode_upca", driver_lines({"B83,20,0,UA0,2,4,102,B,\"03600029145\""})},
    /* 12*/ {"pdf417", driver_lines({"b20,20,P,102,474,f0,x2,y6,r10,l5,\"Golden PDF417\""})},
    /* 13*/ {"maxicode", driver_lines({"b20,0,M,\"001,840,12345,6789,Golden\""}), 203, "Q240,24"},
    /* 14*/
    {"reference_point", driver_lines({"R50,20", "LO0,0,100,10", "A0,20,0,2,1,1,N,\"Moved\""})},
    /* 15*/
    {"direction_bottom", driver_lines({"ZB", "LO0,0,100,10", "A0,20,0,2,1,1,N,\"Turned\""})},
    /* 16*/
    {"stored_form", driver_lines({"FK\"F1\"", "FS\"F1\"", "V00,10,N,\"Name\"", "X5,5,2,395,155",
                                  "A20,20,0,3,1,1,N,V00", "FE", "FR\"F1\"", "?", "Recalled",
                                  "A20,60,0,3,1,1,N,\"Drawn over\""})},
    /* 17*/
    {"text_300dpi",
     driver_lines(
         {"A5,5,0,1,1,1,N,\"Font 1\"", "A5,30,0,3,1,1,N,\"Font 3\"", "A5,70,0,5,1,1,N,\"F5\""}),
     300},
};
INSTANTIATE_TEST_SUITE_P(Commands, Golden, testing::ValuesIn(kGolden),
                         [](const testing::TestParamInfo<GoldenCase>& row) {
                             return std::string(row.param.name);
                         });

}  // namespace
}  // namespace eplview::test

namespace eplview::test {
namespace {

// The two ways the driver frames labels: through a stored form that each label recalls before
// its variable objects draw over it, and (PrinterType 8) drawn directly and cleared after P.
TEST(DriverFlow, StoredFormIsRecalledUnderTheVariableObjects) {
    std::string stream =
        driver_lines({"", "M44,8,446", "\nN", "Q406,24", "JB", "D10", "ZT", "R8,0", "S3", "ON",
                      "FK\"SHIPLBL\"", "FS\"SHIPLBL\"", "LO111,102,203,4", "FE", "FR\"SHIPLBL\"",
                      "A203,193,0,1,1,1,N,\"ABC\"", "P1", "FK\"SHIPLBL\""});
    Job job = run(stream);
    ASSERT_EQ(job.labels.size(), 1u);
    EXPECT_EQ(warnings_text(job), "");
    const Bitmap& label = job.labels[0].image;
    // LO111,102,203,4 moved by the reference point R8,0.
    EXPECT_TRUE(label.black(119, 102) && label.black(119 + 202, 105));
    EXPECT_FALSE(label.black(118, 102) || label.black(119 + 203, 102) || label.black(119, 106));
    Job without_text = run(stream.substr(0, stream.find("A203")) + driver_lines({"P1"}));
    EXPECT_GT(label.black_count(), without_text.labels[0].image.black_count());
    EXPECT_EQ(job.summary.memory, "44,8,446");
    EXPECT_EQ(job.summary.backup, "JB");
    EXPECT_TRUE(job.summary.forms.empty());  // deleted at the end of the job
}

TEST(DriverFlow, DirectLabelsAreClearedAfterPrinting) {
    std::string stream = driver_lines({"", "\nN", "Q406,24", "ZT", "R0,0", "LO10,10,50,50", "P1",
                                       "\nN", "LO100,100,20,20", "P2", "\nN"});
    Job job = run(stream);
    ASSERT_EQ(job.labels.size(), 2u);
    EXPECT_EQ(warnings_text(job), "");
    EXPECT_EQ(job.labels[0].image.black_count(), 2500u);
    EXPECT_EQ(job.labels[1].image.black_count(), 400u);
    EXPECT_EQ(job.labels[1].copies, 2);
    EXPECT_EQ(job.summary.copies, 3);
}

TEST(DriverFlow, EachRecallStartsFromTheFormAlone) {
    std::string stream = driver_lines({"N", "FK\"F\"", "FS\"F\"", "LO0,0,10,10", "FE"});
    for (const char* number : {"LO100,0,10,10", "LO200,0,10,10"})
        stream += driver_lines({"FR\"F\"", number, "P1"});
    Job job = run(stream);
    ASSERT_EQ(job.labels.size(), 2u);
    EXPECT_EQ(warnings_text(job), "");
    EXPECT_EQ(job.labels[1].image.black_count(), 200u);
    EXPECT_FALSE(job.labels[1].image.black(100, 0));
}

TEST(DriverFlow, WithoutNTheNextLabelPrintsOverThePrevious) {
    Job job = run(driver_lines({"N", "LO10,10,50,50", "P1", "LO100,100,20,20", "P1"}));
    ASSERT_EQ(job.labels.size(), 2u);
    EXPECT_EQ(job.labels[1].image.black_count(), 2900u);
}

}  // namespace
}  // namespace eplview::test
