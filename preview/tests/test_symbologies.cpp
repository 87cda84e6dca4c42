// Every symbology the driver sends, rendered and read back with zxing-cpp: the decoded text must
// be the data of the label. The commands and what they read as are rows of
// data/symbol_cases.txt.
#include <gtest/gtest.h>

#include "support.h"

namespace eplview::test {
namespace {

std::string replaced(std::string text, const std::string& key, const std::string& value) {
    if (auto at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
    return text;
}

class Symbology : public testing::TestWithParam<CaseRow> {};

TEST_P(Symbology, DecodesToItsData) {
    const std::string& head = GetParam().head;
    auto format = ZXing::BarcodeFormatFromString(head.substr(0, head.find(' ')));
    std::string command = head.substr(head.find(' ') + 1);
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

TEST(Postnet, DrawsFiveBarsPerDigitBetweenFrameBars) {
    // zxing-cpp has no Postnet reader: count the bars instead. Nine digits and the check digit
    // make ten groups of five bars, framed by two full bars.
    Job job = run(with_header(driver_lines({"B50,50,0,P,2,4,40,N,\"123456789\"", "P1"})));
    ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
    const Bitmap& image = job.labels[0].image;
    int bars = 0, tall = 0;
    for (int x = 1; x < image.width(); ++x)
        if (image.black(x, 89) && !image.black(x - 1, 89)) {
            ++bars;
            tall += image.black(x, 51);
        }
    EXPECT_EQ(bars, 52);
    EXPECT_EQ(tall, 2 + 2 * 10);  // frame bars and two tall bars per digit
}

}  // namespace
}  // namespace eplview::test
