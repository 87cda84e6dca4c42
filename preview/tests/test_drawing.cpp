// What eplview draws, checked against truths of its own. Small streams of each command
// (data/golden_cases.txt) are rendered and compared pixel by pixel with reviewed PNG files (a row
// may name another row's file, which its image must equal); set EPLVIEW_UPDATE_GOLDEN=1 to write
// the files anew, then review them before keeping them. Every
// symbology the driver sends (data/symbol_cases.txt) is rendered and read back with zxing-cpp: the
// decoded text must be the data of the label (the symbologies zxing-cpp cannot read are golden
// images).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

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
