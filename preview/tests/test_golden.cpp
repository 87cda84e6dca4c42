// Small streams of each command (data/golden_cases.txt), rendered and compared pixel by pixel
// with reviewed PNG files. Set EPLVIEW_UPDATE_GOLDEN=1 to write the files anew, then review them
// before keeping them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support.h"

namespace eplview::test {
namespace {

class Golden : public testing::TestWithParam<CaseRow> {};

TEST_P(Golden, MatchesReviewedImage) {
    std::istringstream head(GetParam().head);
    std::string name, length;
    int dpi = 0;
    head >> name >> dpi >> length;
    std::vector<std::string> body;
    for (const auto& item : GetParam().items) body.push_back(unescape(item));
    Job job = run(driver_lines({"", "N", "q400", length, "R0,0", "ZT"}) + driver_lines(body) +
                      driver_lines({"P1"}),
                  {dpi, 0});
    EXPECT_EQ(warnings_text(job), "");
    ASSERT_FALSE(job.labels.empty());
    for (std::size_t i = 0; i < job.labels.size(); ++i) {
        std::string path = std::string(EPLVIEW_GOLDEN_DIR) + "/" + name +
                           (i ? "-" + std::to_string(i + 1) : "") + ".png";
        if (std::getenv("EPLVIEW_UPDATE_GOLDEN")) {
            EXPECT_TRUE(write_png(job.labels[i].image, dpi, path)) << path;
            continue;
        }
        EXPECT_TRUE(read_png(path) == job.labels[i].image) << name << " differs from " << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, Golden, testing::ValuesIn(read_cases("golden_cases.txt")),
                         [](const testing::TestParamInfo<CaseRow>& row) {
                             return row.param.head.substr(0, row.param.head.find(' '));
                         });

}  // namespace
}  // namespace eplview::test
