// The linter: each kind of fault in a stream gives a warning that names its line and byte offset,
// and a well-formed driver stream gives none.
#include <gtest/gtest.h>

#include <random>

#include "pcx_header.h"
#include "support.h"

namespace eplview::test {
namespace {

using namespace std::string_literals;

struct Expected {
    std::size_t line;
    const char* message;  // a part of the warning text
};

struct LintCase {
    std::string stream;
    std::vector<Expected> warnings;
    std::size_t labels = 1;
};

void PrintTo(const LintCase& row, std::ostream* out) {
    *out << row.warnings.size() << " warnings";
}

class Lint : public testing::TestWithParam<LintCase> {};

TEST_P(Lint, WarnsAtTheFaultyCommand) {
    const LintCase& row = GetParam();
    Job job = run(row.stream);
    ASSERT_EQ(job.warnings.size(), row.warnings.size()) << warnings_text(job);
    for (std::size_t i = 0; i < row.warnings.size(); ++i) {
        EXPECT_EQ(job.warnings[i].line, row.warnings[i].line) << job.warnings[i].message;
        EXPECT_NE(job.warnings[i].message.find(row.warnings[i].message), std::string::npos)
            << job.warnings[i].message;
    }
    EXPECT_EQ(job.labels.size(), row.labels);
}

// Line numbers count every line feed, so a driver line "X\n\r\n" takes two lines.
const LintCase kLint[] = {
    /*  0*/ {driver_lines({"", "M44,8,446", "\nN", "Q406,24", "JB", "D10", "ZT", "R8,0", "S3", "ON",
                           "FK\"SHIPLBL\"", "FS\"SHIPLBL\"", "LO111,102,203,4", "FE",
                           "FR\"SHIPLBL\"", "P1", "FK\"SHIPLBL\""}),
             {}},
    /*  1*/ {"N\r\n\r\r\n\nQ406,B24+0\nq832\nJF\nj136\nOC,D,S\nOD\nO\nP1\n", {}},
    // The raster may also follow a line end after the fourth parameter.
    /*  2*/ {"N\nGW0,0,1,2\r\n\x0A\x0D\r\nP1\n"s, {}},
    /*  3*/
    {"N\nLO0,0,5,5\nQ406,0\nP1\n",
     {{3, "Q clears the image buffer, which holds objects not yet printed"}}},
    /*  2*/ {"N\nY10,10\nP1\n", {{2, "unknown command \"Y10,10\""}}},
    /*  3*/ {"N\nLO10,x,5,5\nP1\n", {{2, "LO: vertical start \"x\" is not a number"}}},
    /*  4*/ {"N\nLO10,10,5\nP1\n", {{2, "LO: expected 4 parameters, found 3"}}},
    /*  5*/ {"N\nA10,10,0,1,1,1,N,\"open\nP1\n", {{2, "unterminated quoted field"}}},
    /*  6*/
    {"N\nA10,10,4,1,1,1,N,\"x\"\nA10,10,0,6,1,1,N,\"x\"\nA10,10,0,1,1,1,Q,\"x\"\nP1\n",
     {{2, "rotation \"4\""}, {3, "font \"6\""}, {4, "reverse \"Q\""}}},
    /*  7*/
    {"N\nGW0,0,2,2,\x01\x02"s,
     {{2, "GW data is shorter than announced: 4 bytes announced, 2 present"}},
     0},
    /*  8*/
    {"N\nGW0,0,2,2,\x01\x02\r\nP1\r\n"s,
     {{2, "GW data is shorter than announced: 4 bytes announced, 2 present"}}},
    /*  9*/
    {"N\nGW0,0,1,1,\x00\xFF\xFF\r\nP1\r\n"s, {{2, "GW data is longer than announced: 2 bytes"}}},
    /*  0*/ {"N\nFR\"NONE\"\nP1\n", {{2, "recall of unknown form \"NONE\""}}},
    /*  1*/ {"N\nGG0,0,\"QZLOGO\"\nP1\n", {{2, "recall of unknown graphic \"QZLOGO\""}}},
    /*  2*/
    {"N\nFS\"F\"\nV00,5,N,\"a\"\nA0,0,0,1,1,1,N,V01\nFE\nFR\"F\"\n?\nabc\nP1\n",
     {{4, "undeclared variable V01"}}},
    /*  3*/
    {"N\nA0,0,0,1,1,1,N,V00\nB10,10,0,1,2,4,20,N,V01\nP1\n",
     {{2, "undeclared variable V00"}, {3, "undeclared variable V01"}}},
    /*  4*/
    {"N\nq832\nQ406,24\nLO800,10,100,10\nA10,400,0,3,1,1,N,\"low\"\nP1\n",
     {{4, "outside the label (dots 800..899 across"}, {5, "outside the label"}}},
    /*  5*/
    {"N\nB10,10,0,UA0,2,4,50,B,\"ABC\"\nB10,10,0,Z9,2,4,50,B,\"1\"\nP1\n",
     {{2, "not valid for type UA0"}, {3, "unknown barcode type \"Z9\""}}},
    /*  6*/ {"N\nFE\nP1\n", {{2, "FE without a form being stored"}}},
    /*  7*/
    {"N\nP0\nP-1\nPx\n", {{2, "prints nothing"}, {3, "prints nothing"}, {4, "no label count"}}, 0},
    /*  8*/
    {"N\nQ406\nZX\nD99\nS\nJQ\n",
     {{2, "Q: expected 2 parameters"},
      {3, "Z: direction \"X\""},
      {4, "D: \"99\""},
      {5, "S: \"\""},
      {6, "J: \"Q\""}},
     0},
    /*  9*/
    {"N\nFS\"F\"\nV00,5,N,\"a\"\nA0,0,0,1,1,1,N,V00\nFE\nFR\"F\"\nP1\n",
     {{6, "declares 1 variables but 0 data lines follow"}}},
    /* 10*/ {"N\nFS\"F\"\nLO0,0,5,5\n", {{2, "form \"F\" is not closed with FE"}}, 0},
    /* 11*/
    {"N\nX10,10,0,50,50\nb10,10,M,\"01,840,123,x\"\nb10,10,Q,\"x\"\nP1\n",
     {{2, "thickness 0 draws nothing"},
      {3, "is not class,country,postal code,message"},
      {4, "unknown symbol type \"Q\""}}},
    /* 12*/
    {"N\nV00,5,N,\"a\"\n?\nP1\n",
     {{2, "declared inside a stored form"}, {3, "without a form recall"}}},
    /* 13*/ {"N\nGM\"QZX\"3\r\nabc\r\nP1\n", {{2, "shorter than its 128-byte header"}}},
    /* 14*/
    {"N\nGM\"QZX\"\nP1\nGW0,0,2,2",
     {{2, "GM: expected a name"}, {4, "raster must follow the fourth parameter"}}},
    // A form that recalls itself is kept, but its recall does not recall it again.
    /* 15*/
    {"N\nFS\"F\"\nFR\"F\"\nLO0,0,5,5\nFE\nFR\"F\"\nP1\n",
     {{3, "FR inside the form being stored (F) is stored, not carried out"}}},
    /* 16*/
    {"N\nb10,10,P,100,100,o7,q1,\"x\"\nP1\n",
     {{2, "PDF417 option \"o7\""}, {2, "PDF417 option \"q1\""}}},
};
INSTANTIATE_TEST_SUITE_P(Streams, Lint, testing::ValuesIn(kLint));

TEST(LintPosition, NamesTheByteOffsetOfTheCommand) {
    Job job = run("N\r\n\r\nQ406,24\nYY\n");
    ASSERT_EQ(job.warnings.size(), 1u);
    EXPECT_EQ(job.warnings[0].offset, 13u);
    EXPECT_EQ(job.warnings[0].line, 4u);
}

TEST(LintPosition, ReplayedFormsWarnOnceAtTheStoredCommand) {
    Job job = run("N\nFS\"F\"\nLO900,0,5,5\nFE\nFR\"F\"\nP1\nFR\"F\"\nP1\n");
    ASSERT_EQ(job.warnings.size(), 1u) << warnings_text(job);
    EXPECT_EQ(job.warnings[0].line, 3u);
    EXPECT_EQ(job.labels.size(), 2u);
}

struct CapCase {
    std::string stream;
    const char* message;
    int labels = -1;  // labels still printed, when the row checks them
};

void PrintTo(const CapCase& row, std::ostream* out) {
    *out << row.message;
}

class Caps : public testing::TestWithParam<CapCase> {};

// A monochrome PCX header announcing a picture as large as a label, with no picture data after
// it: 128 bytes of file for 3.6 MB of image.
std::string huge_pcx_header() {
    return epl2::test_support::pcx_header(0, 0, kMaxLabelWidthDots - 1, kMaxLabelLengthDots - 1,
                                          kMaxLabelWidthDots / 8);
}

std::string stored_huge_pictures(int count) {
    std::string stream = "N\n";
    for (int i = 0; i < count; ++i)
        stream += "GM\"P" + std::to_string(i) + "\"128\n" + huge_pcx_header() + "\n";
    return stream;
}

std::string forms_of(std::size_t forms, std::size_t commands) {
    std::string stream;
    for (std::size_t i = 0; i < forms; ++i) {
        stream += "FS\"F" + std::to_string(i) + "\"\n";
        for (std::size_t c = 0; c < commands; ++c) stream += "N\n";
        stream += "FE\n";
    }
    return stream;
}

// Each N clears a 3.6 MB image buffer; then a label that would print.
std::string clears_of_the_largest_label(std::size_t count) {
    std::string stream = "q" + std::to_string(kMaxLabelWidthDots) + "\nQ" +
                         std::to_string(kMaxLabelLengthDots) + ",24\n";
    for (std::size_t i = 0; i < count; ++i) stream += "N\n";
    return stream + "LO0,0,10,10\nP1\n";
}

std::string largest_labels(std::size_t count) {
    std::string stream = "N\nq" + std::to_string(kMaxLabelWidthDots) + "\nQ" +
                         std::to_string(kMaxLabelLengthDots) + ",24\n";
    for (std::size_t i = 0; i < count; ++i) stream += "P1\n";
    return stream;
}

TEST_P(Caps, RefuseWithAWarningInsteadOfAllocating) {
    Job job = run(GetParam().stream);
    ASSERT_FALSE(job.warnings.empty());
    EXPECT_NE(warnings_text(job).find(GetParam().message), std::string::npos) << warnings_text(job);
    if (GetParam().labels >= 0) {
        EXPECT_EQ(job.labels.size(), static_cast<std::size_t>(GetParam().labels));
    }
}

const CapCase kCaps[] = {
    /*  0*/ {"N\nQ65535,24\nP1\n", "is cut to 12000 dots"},
    /*  1*/ {"N\nq9000\nP1\n", "is cut to 2400 dots"},
    /*  2*/ {"N\nGW0,0,60000,60000,\r\nP1\n", "bytes per row \"60000\""},
    /*  3*/ {"N\nB0,0,0,1,99,99,50,N,\"" + std::string(50, 'x') + "\"\nP1\n", "too large to draw"},
    /*  4*/ {"N\nGM\"QZBIG\"99999999\r\nxx", "shorter than announced"},
    /*  5*/ {"N\nA0,0,0,5,8,9,N,\"" + std::string(100000, 'W') + "\"\nP1\n", "cut to 93"},
    /*  6*/
    {"N\nA0,0,0,1,9,1,N,\"x\"\n", "horizontal multiplier \"9\" is not a number from 1 to 8"},
    /*  7*/
    {"N\nA0,0,0,1,1,10,N,\"x\"\n", "vertical multiplier \"10\" is not a number from 1 to 9"},
    /*  8*/ {"N\nb0,0,P,100,100,x99,l10,\"DATA\"\n", "PDF417 symbol is too large to draw"},
    /*  9*/
    {"N\nGM\"BIG\"4194305\n" + std::string(4194305, 'x') + "\n",
     "larger than the 4194304-byte limit; not stored"},
    /* 10*/ {stored_huge_pictures(5), "GM: graphic \"P4\" would take stored graphics beyond"},
    /* 11*/ {forms_of(11, kMaxFormCommands), "stored forms hold more than 100000 commands"},
    /* 12*/
    {forms_of(1, kMaxFormCommands + 1), "holds more than 10000 commands; the rest is dropped"},
    /* 13*/ {largest_labels(38), "label images beyond 134217728 bytes; this one is not kept"},
    /* 14*/
    {"N" + std::string(5000, 'x') + "\n",
     "N: unexpected parameters "
     "\"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""},
    /* 15*/
    {"N\nGW0,0,4294967296,4294967296,\x01\n",
     "GW data is shorter than announced: 18446744073709551615 bytes announced, 2 present"},
    /* 16*/
    {"N\nB0,0,0,1,1,1,10,N,\"" + std::string(70000, '7') + "\"\n",
     "data of 70000 bytes is longer than any symbol holds"},
    /* 17*/
    {clears_of_the_largest_label(400),
     "the stream draws more than 1073741824 dots; the rest of it is not interpreted", 0},
};
INSTANTIATE_TEST_SUITE_P(Limits, Caps, testing::ValuesIn(kCaps));

TEST(Caps, RefusedItemsAreNotKept) {
    Job pictures = run(stored_huge_pictures(5));
    EXPECT_EQ(pictures.summary.graphics.size(), 4u);
    EXPECT_EQ(pictures.summary.graphics.count("P4"), 0u);
    Job forms = run(forms_of(11, kMaxFormCommands));
    EXPECT_EQ(forms.summary.forms.size(), 11u);
    EXPECT_EQ(forms.summary.forms["F10"], 0);
    Job labels = run(largest_labels(38));
    EXPECT_EQ(labels.labels.size(), 37u);
    EXPECT_EQ(labels.summary.labels, 37);
}

// Replacing a stored graphic frees what the old one held, so the same name can be stored again
// and again; a refused replacement leaves the old one in place.
TEST(Caps, ReplacingAGraphicReusesItsRoom) {
    Job again = run(stored_huge_pictures(1) + stored_huge_pictures(1) + stored_huge_pictures(1) +
                    stored_huge_pictures(1) + stored_huge_pictures(1));
    EXPECT_EQ(again.summary.graphics.size(), 1u);
    EXPECT_EQ(warnings_text(again).find("would take"), std::string::npos) << warnings_text(again);
}

// Deleting a form or storing one anew under its name gives its commands' room back.
TEST(Caps, DeletedAndReplacedFormsGiveTheirRoomBack) {
    std::string stream =
        forms_of(10, kMaxFormCommands) + "FK\"F3\"\n" + forms_of(10, kMaxFormCommands);
    Job job = run(stream + "FK\"*\"\n" + forms_of(1, 5));
    EXPECT_EQ(warnings_text(job).find("hold more than"), std::string::npos) << warnings_text(job);
    EXPECT_EQ(job.summary.forms.size(), 1u);
    EXPECT_EQ(job.summary.forms["F0"], 5);
}

TEST(Caps, KeepAtMostTheLabelLimit) {
    std::string stream = "N\nq8\nQ8,0\n";
    for (std::size_t i = 0; i <= kMaxLabels; ++i) stream += "P1\n";
    Job job = run(stream);
    EXPECT_EQ(job.labels.size(), kMaxLabels);
    EXPECT_NE(warnings_text(job).find("this one is not kept"), std::string::npos);
}

TEST(Robustness, GarbageNeverCrashesAndAlwaysWarns) {
    std::mt19937 random(42);
    const std::string alphabet = "ABbGWMKLOEXFSRPQqNV?,\"\\0123456789\r\n\xC0\xFF";
    for (int round = 0; round < 300; ++round) {
        std::string stream;
        auto length = random() % 600;
        for (std::size_t i = 0; i < length; ++i)
            stream += round % 2 ? static_cast<char>(random() & 0xFF)
                                : alphabet[random() % alphabet.size()];
        Job job = run(stream);
        EXPECT_LE(job.labels.size(), kMaxLabels);
    }
}

}  // namespace
}  // namespace eplview::test
