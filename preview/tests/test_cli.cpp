// The eplview program's render and lint commands: file names, resolution, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

class Program : public testing::Test {
   protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& stream) {
        fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << stream;
        return path;
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

const std::string kOneLabel = with_header(driver_lines({"LO10,10,100,10", "P1"}));
const std::string kTwoLabels = with_header(driver_lines({"LO10,10,100,10", "P1", "N", "P3"}));
const std::string kFaulty = with_header(driver_lines({"LO10,10,100", "P1"}));

TEST_F(Program, RendersOneLabelUnderTheGivenName) {
    auto in = write("one.epl", kOneLabel);
    ASSERT_EQ(eplview("render " + in.string() + " -o " + (dir / "out.png").string()), 0);
    Bitmap image = read_png((dir / "out.png").string());
    EXPECT_TRUE(image == run(kOneLabel).labels[0].image);
    EXPECT_NE(output("stdout").find("labels: 1, copies: 1"), std::string::npos);
}

TEST_F(Program, NumbersSeveralLabels) {
    auto in = write("two.epl", kTwoLabels);
    ASSERT_EQ(eplview("render " + in.string() + " -o " + (dir / "out.png").string()), 0);
    EXPECT_TRUE(fs::exists(dir / "out-1.png"));
    EXPECT_TRUE(fs::exists(dir / "out-2.png"));
    EXPECT_FALSE(fs::exists(dir / "out.png"));
    EXPECT_NE(output("stdout").find("out-2.png (3 copies)"), std::string::npos) << output("stdout");
}

TEST_F(Program, WritesIntoAnOutputDirectoryAtEitherResolution) {
    auto in = write("label.epl", driver_lines({"N", "LO0,0,10,10", "P1"}));
    ASSERT_EQ(
        eplview("render " + in.string() + " --out-dir " + (dir / "png").string() + " --dpi 300"),
        0);
    Bitmap image = read_png((dir / "png" / "label.png").string());
    EXPECT_EQ(image.width(), kHeadWidth300);
    EXPECT_EQ(image.height(), 2 * 300);
    ASSERT_EQ(eplview("render " + in.string() + " --width 200"), 0);
    EXPECT_EQ(read_png((dir / "label.png").string()).width(), 200);
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

const ExitCase kExits[] = {
    /*  0*/ {"lint {} --strict", &kOneLabel, 0, ""},
    /*  1*/ {"lint {} --strict", &kFaulty, 1, ":13: warning (byte 36): LO: expected 4 parameters"},
    /*  2*/ {"lint {}", &kFaulty, 0, "LO: expected 4 parameters"},
    /*  3*/ {"render {} --dpi 250", &kOneLabel, 2, "usage:"},
    /*  4*/ {"render", nullptr, 2, "usage:"},
    /*  5*/ {"render /nonexistent/in.epl", nullptr, 1, "cannot read"},
    /*  6*/ {"render {} -o /nonexistent/dir/out.png", &kOneLabel, 1, "cannot write"},
    /*  7*/ {"serve --listen 127.0.0.1:99999 --out /tmp", nullptr, 2, "usage:"},
    /*  8*/ {"print {}", &kOneLabel, 2, "usage:"},
};
INSTANTIATE_TEST_SUITE_P(Commands, ProgramExit, testing::ValuesIn(kExits));

}  // namespace
}  // namespace eplview::test
