// What eplview draws, checked against truths of its own. Small streams of each command
// (data/golden_cases.txt) are rendered and compared pixel by pixel with reviewed PNG files (a row
// may name another row's file, which its image must equal); set EPLVIEW_UPDATE_GOLDEN=1 to write
// the files anew, then review them before keeping them. Every
// symbology the driver sends (data/symbol_cases.txt) is rendered and read back with zxing-cpp: the
// decoded text must be the data of the label (the symbologies zxing-cpp cannot read are golden
// images). Text steps by the pitch the EPL2 reference gives each font (data/pitch_cases.txt), and
// a byte prints the character its code page's table gives it (data/code_page_cases.txt).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "glyphs.h"
#include "support.h"

namespace eplview::test {
namespace {

class Golden : public testing::TestWithParam<CaseRow> {};

TEST_P(Golden, MatchesReviewedImage) {
    std::istringstream head(GetParam().head);
    std::string name, length, flag;
    int dpi = 0;
    head >> name >> dpi >> length;
    Options options{dpi, 0};
    std::string golden = name;
    while (head >> flag) {
        if (flag == "as-fed") options.as_fed = true;
        if (flag.starts_with("=")) golden = flag.substr(1);
    }
    std::vector<std::string> body;
    for (const auto& line : GetParam().items) body.push_back(unescape(line));
    Job job = run(driver_lines({"", "N", "q400", length, "R0,0", "ZT"}) + driver_lines(body) +
                      driver_lines({"P1"}),
                  options);
    EXPECT_EQ(warnings_text(job), "");
    ASSERT_FALSE(job.labels.empty());
    for (std::size_t i = 0; i < job.labels.size(); ++i) {
        std::string path = std::string(EPLVIEW_GOLDEN_DIR) + "/" + golden +
                           (i ? "-" + std::to_string(i + 1) : "") + ".png";
        if (std::getenv("EPLVIEW_UPDATE_GOLDEN") && golden == name)
            EXPECT_TRUE(write_png(job.labels[i].image, dpi, path)) << path;
        else
            EXPECT_TRUE(read_png(path) == job.labels[i].image) << name << " differs from " << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, Golden, testing::ValuesIn(read_cases("golden_cases.txt")),
                         [](const testing::TestParamInfo<CaseRow>& row) {
                             return row.param.head.substr(0, row.param.head.find(' '));
                         });

// Each resident font prints ten strokes ("|") in a row; the centre of each must lie a whole number
// of pitches from the text's start, plus half a cell. The pitch is the reference's: the whole dots
// nearest to dpi over its characters per inch, times the horizontal multiplier.
class Pitch : public testing::TestWithParam<CaseRow> {};

TEST_P(Pitch, StrokesStepByTheReferencePitch) {
    std::istringstream head(GetParam().head);
    int font = 0, dpi = 0, cell = 0, across = 0;
    double cpi = 0;
    head >> font >> dpi >> cpi >> cell >> across;
    constexpr int left = 20, strokes = 10;
    Job job =
        run(with_header(driver_lines({"A" + std::to_string(left) + ",20,0," + std::to_string(font) +
                                          "," + std::to_string(across) + ",1,N,\"||||||||||\"",
                                      "P1"})),
            {dpi, 0});
    ASSERT_EQ(job.labels.size(), 1u);
    const Bitmap& label = job.labels[0].image;
    auto inked = [&](int x) {
        for (int y = 0; y < label.height(); ++y)
            if (label.black(x, y)) return true;
        return false;
    };
    std::vector<double> centres;
    for (int x = 0; x < label.width(); ++x) {
        if (!inked(x)) continue;
        int first = x;
        while (x + 1 < label.width() && inked(x + 1)) ++x;
        centres.push_back((first + x) / 2.0);
    }
    ASSERT_EQ(centres.size(), static_cast<std::size_t>(strokes));
    int pitch = static_cast<int>(std::lround(dpi / cpi)) * across;
    for (int k = 0; k < strokes; ++k)
        EXPECT_NEAR(centres[static_cast<std::size_t>(k)],
                    left + k * pitch + (cell * across - 1) / 2.0, across)
            << "stroke " << k;
}

INSTANTIATE_TEST_SUITE_P(ResidentFonts, Pitch, testing::ValuesIn(read_cases("pitch_cases.txt")));

// A byte prints the character the selected page's table gives it: the cell drawn from the stream
// equals that character's glyph (nothing for none).
class PageCharacter : public testing::TestWithParam<CaseRow> {};

TEST_P(PageCharacter, ByteDrawsThePageCharacter) {
    std::istringstream head(GetParam().head);
    std::string select, byte, character;
    head >> select >> byte >> character;
    char data = static_cast<char>(std::stoi(byte, nullptr, 16));
    std::vector<std::string> lines{"A10,10,0,3,1,1,N,\"" + std::string(1, data) + "\"", "P1"};
    for (std::size_t at = 0; select != "-" && at <= select.size();) {
        std::size_t end = std::min(select.find(';', at), select.size());
        lines.insert(lines.end() - 2, select.substr(at, end - at));
        at = end + 1;
    }
    Job job = run(with_header(driver_lines(lines)));
    ASSERT_EQ(job.labels.size(), 1u);
    GlyphRenderer glyphs;
    std::u32string expected(1, static_cast<char32_t>(std::stoul(character, nullptr, 16)));
    Bitmap glyph = glyphs.text(3, 203, expected);
    EXPECT_EQ(glyph.black_count() == 0, expected[0] == 0);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            ASSERT_EQ(job.labels[0].image.black(10 + x, 10 + y), glyph.black(x, y))
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Pages, PageCharacter,
                         testing::ValuesIn(read_cases("code_page_cases.txt")));

// The glyphs compiled into eplview are the ones the font draws, in every font at both resolutions.
TEST(Glyphs, DrawnAheadMatchTheFont) {
    GlyphRenderer built_in, from_font(false);
    std::u32string printable;
    for (char32_t c = 0x1F; c <= 0x80; ++c) printable += c;
    for (int dpi : {203, 300})
        for (int font = 1; font <= resident_fonts; ++font)
            ASSERT_EQ(built_in.text(font, dpi, printable), from_font.text(font, dpi, printable))
                << "font " << font << " at " << dpi;
}

std::string replaced(std::string text, const std::string& key, const std::string& value) {
    if (auto at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
    return text;
}

class Symbology : public testing::TestWithParam<CaseRow> {};

TEST_P(Symbology, DecodesToItsData) {
    const std::string& head = GetParam().head;
    auto format = ZXing::BarcodeFormatFromString(head.substr(0, head.find(' ')));
    std::string command = unescape(head.substr(head.find(' ') + 1));
    const char* origins[] = {"60,60", "700,60", "760,700", "60,760", "60,60"};
    bool linear = command[0] == 'B';
    for (int pass = 0; pass < (linear ? 5 : 2); ++pass) {
        SCOPED_TRACE(pass);
        std::string drawn = replaced(command, "{at}", origins[pass]);
        drawn = replaced(drawn, "{rotation}", std::to_string(pass % 4));
        drawn = replaced(drawn, "{widths}", pass < 4 ? "2,5" : "3,7");
        Options options{linear || pass == 0 ? 203 : 300, 0};
        Job job = run(with_header(driver_lines({drawn, "P1"}), "Q900,24"), options);
        ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
        EXPECT_EQ(warnings_text(job), "");
        auto read = decode(job.labels[0].image, format, format == ZXing::BarcodeFormat::MaxiCode);
        EXPECT_EQ(read.text(), unescape(GetParam().items[0]));
        EXPECT_EQ(read.format(), format);
    }
}

INSTANTIATE_TEST_SUITE_P(Symbologies, Symbology, testing::ValuesIn(read_cases("symbol_cases.txt")));

}  // namespace
}  // namespace eplview::test
