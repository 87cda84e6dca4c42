// The linter: each kind of fault in a stream gives a warning that names its line and byte offset,
// and a well-formed driver stream gives none.
#include <gtest/gtest.h>

#include <random>

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
};

void PrintTo(const CapCase& row, std::ostream* out) {
    *out << row.message;
}

class Caps : public testing::TestWithParam<CapCase> {};

TEST_P(Caps, RefuseWithAWarningInsteadOfAllocating) {
    Job job = run(GetParam().stream);
    ASSERT_FALSE(job.warnings.empty());
    EXPECT_NE(warnings_text(job).find(GetParam().message), std::string::npos) << warnings_text(job);
}

const CapCase kCaps[] = {
    /*  0*/ {"N\nQ65535,24\nP1\n", "is cut to 12000 dots"},
    /*  1*/ {"N\nq9000\nP1\n", "is cut to 2400 dots"},
    /*  2*/ {"N\nGW0,0,60000,60000,\r\nP1\n", "bytes per row \"60000\""},
    /*  3*/ {"N\nB0,0,0,1,99,99,50,N,\"" + std::string(50, 'x') + "\"\nP1\n", "too large to draw"},
    /*  4*/ {"N\nGM\"QZBIG\"99999999\r\nxx", "shorter than announced"},
    /*  5*/ {"N\nA0,0,0,5,8,9,N,\"" + std::string(100000, 'W') + "\"\nP1\n", "cut to 93"},
};
INSTANTIATE_TEST_SUITE_P(Limits, Caps, testing::ValuesIn(kCaps));

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
