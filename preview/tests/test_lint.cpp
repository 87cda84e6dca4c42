// The linter: each kind of fault in a stream gives a warning that names its line and byte offset,
// each cap refuses with a warning instead of allocating, and a well-formed stream gives none. The
// streams and their warnings are rows of data/lint_cases.txt.
#include <gtest/gtest.h>

#include "pcx_header.h"
#include "support.h"

namespace eplview::test {
namespace {

class Lint : public testing::TestWithParam<CaseRow> {};

TEST_P(Lint, WarnsAtTheFaultyCommand) {
    const CaseRow& row = GetParam();
    Job job = run(unescape(row.head));
    std::size_t next = 0;
    for (const std::string& expected : row.items) {
        auto colon = expected.find(": ");
        if (!std::isdigit(static_cast<unsigned char>(expected[0]))) continue;
        ASSERT_LT(next, job.warnings.size()) << "missing warning " << expected;
        const Warning& found = job.warnings[next++];
        std::string at = std::to_string(found.line);
        if (expected.find('@') < colon) at += "@" + std::to_string(found.offset);
        EXPECT_EQ(at, expected.substr(0, colon)) << found.message;
        EXPECT_NE(found.message.find(expected.substr(colon + 2)), std::string::npos)
            << found.message;
    }
    if (std::ranges::find(row.items, "...") == row.items.end()) {
        EXPECT_EQ(next, job.warnings.size()) << warnings_text(job);
    }
    EXPECT_EQ(job.labels.size(), std::stoul(item(row, "labels", "1")));
    if (std::string copies = item(row, "copies"); !copies.empty()) {
        EXPECT_EQ(job.summary.copies, std::stol(copies));
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, Lint, testing::ValuesIn(read_cases("lint_cases.txt")));

// count monochrome PCX headers, each announcing a picture as large as a label with no picture
// data after it: 128 bytes of file for 3.6 MB of image.
std::string huge_pictures(int first, int count) {
    const std::string header = epl2::test_support::pcx_header(
        0, 0, max_label_width_dots - 1, max_label_length_dots - 1, max_label_width_dots / 8);
    std::string stream;
    for (int i = first; i < first + count; ++i)
        stream += "GM\"P" + std::to_string(i) + "\"128\n" + header + "\n";
    return stream;
}

std::string forms_of(std::size_t forms, std::size_t commands) {
    std::string stream;
    for (std::size_t i = 0; i < forms; ++i)
        stream += "FS\"F" + std::to_string(i) + "\"\n" +
                  unescape("\\{" + std::to_string(commands) + ":N\\n}") + "FE\n";
    return stream;
}

// Beyond the caps of all stored graphics and all stored forms, the entry being stored is refused
// and the others are kept. Replacing or deleting entries gives their room back.
TEST(Stores, RefuseBeyondTheirCapsAndGiveBackTheRoomOfReplacedEntries) {
    Job pictures = run(huge_pictures(0, 5));
    EXPECT_NE(warnings_text(pictures).find(
                  "GM: graphic \"P4\" would take stored graphics beyond 16777216 bytes"),
              std::string::npos);
    EXPECT_EQ(pictures.summary.graphics.size(), 4u);
    Job forms = run(forms_of(11, max_form_commands));
    EXPECT_NE(warnings_text(forms).find(
                  "stored forms hold more than 100000 commands together; the rest of form \"F10\""),
              std::string::npos);
    EXPECT_EQ(forms.summary.forms.size(), 11u);
    EXPECT_EQ(forms.summary.forms["F10"], 0);
    // The pictures warn that their data ends early, but they are stored.
    Job pictures_again = run(huge_pictures(0, 4) + huge_pictures(0, 4) + "GK\"P0\"\n" +
                             huge_pictures(9, 1) + "GK\"*\"\n" + huge_pictures(4, 4));
    EXPECT_EQ(warnings_text(pictures_again).find("would take"), std::string::npos);
    EXPECT_EQ(pictures_again.summary.graphics.size(), 4u);
    Job forms_again = run(forms_of(10, max_form_commands) + "FK\"F3\"\n" +
                          forms_of(10, max_form_commands) + "FK\"*\"\n" + forms_of(1, 5));
    EXPECT_EQ(warnings_text(forms_again), "");
    EXPECT_EQ(forms_again.summary.forms.size(), 1u);
    EXPECT_EQ(forms_again.summary.forms["F0"], 5);
}

}  // namespace
}  // namespace eplview::test
