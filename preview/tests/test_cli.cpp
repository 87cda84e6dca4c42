// The eplview program's render and lint commands: file names, resolution, exit codes, and the
// summary of settings that render prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

class Program : public testing::Test {
   protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& stream) {
        std::ofstream(dir / name, std::ios::binary) << stream;
        return dir / name;
    }
    int eplview(const std::string& arguments) {
        std::string command = std::string(EPLVIEW_PROGRAM) + " " + arguments + " >" +
                              (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output(const char* stream) {
        std::ifstream in(dir / stream);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir = fs::temp_directory_path() / ("eplview-cli-" + std::to_string(getpid()));
};

const std::string one_label = with_header(driver_lines({"LO10,10,100,10", "P1"}));
const std::string faulty = with_header(driver_lines({"LO10,10,100", "P1"}));

TEST_F(Program, RendersEachLabelUnderTheGivenNameOrNumbered) {
    ASSERT_EQ(eplview("render " + write("one.epl", one_label).string() + " -o " +
                      (dir / "out.png").string()),
              0);
    EXPECT_TRUE(read_png((dir / "out.png").string()) == run(one_label).labels[0].image);
    auto two = write("two.epl", with_header(driver_lines({"LO10,10,100,10", "P1", "N", "P3"})));
    ASSERT_EQ(
        eplview("render " + two.string() + " --out-dir " + (dir / "png").string() + " --dpi 300"),
        0);
    EXPECT_EQ(read_png((dir / "png" / "two-1.png").string()).width(), 832);
    EXPECT_NE(output("stdout").find("two-2.png (3 copies)"), std::string::npos) << output("stdout");
    EXPECT_NE(output("stdout").find("resolution: 300 dpi"), std::string::npos);
    ASSERT_EQ(
        eplview("render " + write("label.epl", "N\nP1\n").string() + " --width 200 --dpi 300"), 0);
    Bitmap image = read_png((dir / "label.png").string());
    EXPECT_EQ(image.width(), 200);
    EXPECT_EQ(image.height(), 2 * 300);
}

struct ExitCase {
    const char* arguments;  // {} stands for the input file
    const std::string* stream;
    int status;
    const char* stderr_part;
};

void PrintTo(const ExitCase& row, std::ostream* out) {
    *out << row.arguments;
}

class ProgramExit : public Program, public testing::WithParamInterface<ExitCase> {};

TEST_P(ProgramExit, ReportsThroughItsStatus) {
    const ExitCase& row = GetParam();
    auto in = write("in.epl", row.stream ? *row.stream : std::string());
    std::string arguments = row.arguments;
    if (auto at = arguments.find("{}"); at != std::string::npos)
        arguments.replace(at, 2, in.string());
    EXPECT_EQ(eplview(arguments), row.status) << output("stderr");
    EXPECT_NE(output("stderr").find(row.stderr_part), std::string::npos) << output("stderr");
}

const ExitCase exit_cases[] = {
    /*  0*/ {"lint {} --strict", &one_label, 0, ""},
    /*  1*/ {"lint {} --strict", &faulty, 1, ":13: warning (byte 36): LO: expected 4 parameters"},
    /*  2*/ {"lint {}", &faulty, 0, "LO: expected 4 parameters"},
    /*  3*/ {"render {} --dpi 250", &one_label, 2, "usage:"},
    /*  4*/ {"render", nullptr, 2, "usage:"},
    /*  5*/ {"render /nonexistent/in.epl", nullptr, 1, "cannot read"},
    /*  6*/ {"render {} -o /nonexistent/dir/out.png", &one_label, 1, "cannot write"},
    /*  7*/ {"serve --listen 127.0.0.1:99999 --out /tmp", nullptr, 2, "usage:"},
    /*  8*/ {"print {}", &one_label, 2, "usage:"},
};
INSTANTIATE_TEST_SUITE_P(Commands, ProgramExit, testing::ValuesIn(exit_cases));

// A stored graphic of one row of 8 black dots: a 128-byte PCX header and one byte of data.
const char* small_graphic =
    "GM\"G\"129\n\\x0A\\x05\\x01\\x01{\\x00*4}\\x07{\\x00*56}\\x01\\x01{\\x00*61}\\x00";

TEST(Summary, ReportsTheSettingsTheStreamChose) {
    Job job =
        run("N\nM44,8,446\nQ406,B24+3\nq600\nR8,4\nZB\nD10\nS3\nOD,Fr\nJB\nj136\nFS\"A\"\nLO0,0,1,"
            "1\nFE\n" +
            unescape(small_graphic) + "\nGG0,0,\"G\"\nP2,3\nP1\n");
    EXPECT_EQ(warnings_text(job), "");
    EXPECT_EQ(
        summary_text(job.summary),
        "resolution: 203 dpi\nlabel: 600 x 406 dots, black mark gap 24+3\n"
        "reference point: 8,4\nprint direction: ZB\n"
        "darkness: 10, speed: 3, options: D,Fr, backup: JB, feed adjust: 136, memory: 44,8,446\n"
        "form \"A\": 1 commands\ngraphic \"G\": 129 bytes\nlabels: 2, copies: 7\n");
    EXPECT_EQ(summary_text(run("Q100,16\n", {300, 0}).summary),
              "resolution: 300 dpi\nlabel: 1248 x 100 dots, gap 16\nreference point: 0,0\n"
              "print direction: ZT\ndarkness: -, speed: -, options: -, backup: -, feed adjust: -, "
              "memory: -\nlabels: 0, copies: 0\n");
    EXPECT_EQ(run("", {203, 5000}).summary.width, 2400);
    EXPECT_EQ(run("", {203, 0}).summary.length, 406);
}

}  // namespace
}  // namespace eplview::test
