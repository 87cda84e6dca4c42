// The eplview program's render and lint commands: the images render writes, and its file names,
// exit codes, warnings and the summary of settings it prints (data/cli_cases.txt).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "support.h"

namespace eplview::test {
namespace {

// The eplview program run in the scratch directory, its output in the files stdout and stderr.
class Program : public InScratchDirectory {
   protected:
    void write(const std::string& name, const std::string& stream) {
        std::ofstream(dir / name, std::ios::binary) << stream;
    }
    int eplview(const std::string& arguments) {
        std::string command = "cd '" + dir.string() + "' && " + EPLVIEW_PROGRAM + " " + arguments +
                              " >stdout 2>stderr";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// The files hold the labels' images, drawn at the resolution and width the command line chose.
TEST_F(Program, RendersEachLabelUnderTheGivenNameOrNumbered) {
    const std::string one = with_header(driver_lines({"LO10,10,100,10", "P1"}));
    const std::string two = with_header(driver_lines({"LO10,10,100,10", "P1", "N", "P3"}));
    write("one.epl", one);
    write("two.epl", two);
    write("blank.epl", "N\nP1\n");
    ASSERT_EQ(eplview("render one.epl -o out.png"), 0);
    EXPECT_TRUE(read_png((dir / "out.png").string()) == run(one).labels[0].image);
    ASSERT_EQ(eplview("render two.epl --out-dir png --dpi 300"), 0);
    EXPECT_TRUE(read_png((dir / "png/two-1.png").string()) == run(two, {300, 0}).labels[0].image);
    ASSERT_EQ(eplview("render blank.epl --width 200 --dpi 300"), 0);
    EXPECT_TRUE(read_png((dir / "blank.png").string()) == Bitmap(200, 2 * 300));
    // The library cuts a width its caller chose, which the command line refuses.
    EXPECT_EQ(run("", {203, 5000}).summary.width, max_label_width_dots);
}

class ProgramRun : public Program, public testing::WithParamInterface<CaseRow> {};

TEST_P(ProgramRun, ReportsThroughItsStatusAndOutput) {
    const CaseRow& row = GetParam();
    write("in.epl", unescape(item(row, "in")));
    int status = eplview(row.head);
    std::string errors = contents(dir / "stderr");
    EXPECT_EQ(status, std::stoi(item(row, "status"))) << errors;
    EXPECT_NE(errors.find(item(row, "stderr")), std::string::npos) << errors;
    std::string output;
    for (const std::string& line : row.items)
        if (line.starts_with("stdout: ")) output += line.substr(8) + "\n";
    if (output.empty()) return;
    EXPECT_EQ(contents(dir / "stdout"), output);
}

INSTANTIATE_TEST_SUITE_P(Commands, ProgramRun, testing::ValuesIn(read_cases("cli_cases.txt")));

}  // namespace
}  // namespace eplview::test
