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
    ASSERT_EQ(eplview("render - -o - <one.epl"), 0);
    EXPECT_TRUE(read_png((dir / "stdout").string()) == run(one).labels[0].image);
    ASSERT_EQ(eplview("render blank.epl --size 1x2in --dpi 300"), 0);
    EXPECT_TRUE(read_png((dir / "blank.png").string()) == Bitmap(300, 2 * 300));
    // The library cuts a width its caller chose, which the command line refuses.
    EXPECT_EQ(run("", {203, 5000}).summary.width, max_label_width_dots);
}

// A binary PBM file (P4, as pdftoppm -mono writes it); its rows are packed as Bitmap's, 1 black.
Bitmap read_pbm(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    in.get();
    Bitmap image(magic == "P4" ? width : 0, height);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); x += 8) {
            auto byte = static_cast<unsigned>(in.get());
            for (int bit = 0; bit < 8; ++bit) image.set(x + bit, y, (byte >> (7 - bit)) & 1);
        }
    return in ? image : Bitmap();
}

// One PDF page per label at the label's size on paper, its dots embedded as they are: poppler's
// pdftoppm reads each page back at the label's resolution as exactly the label's PNG image. The
// stream has no Q, so its labels differ in length; the second prints ZB.
TEST_F(Program, WritesEachLabelAsAPdfPageDotForDot) {
    ASSERT_EQ(std::system("pdftoppm -v >/dev/null 2>&1"), 0)
        << "pdftoppm is missing: install Debian poppler-utils (scripts/install-deps.sh)";
    write("in.epl",
          "N\nq401\nA5,5,0,3,1,1,N,\"PDF\"\nLO390,0,11,97\nP2\nN\nZB\nX3,3,2,300,211\nP1\n");
    for (std::string dpi : {"203", "300"}) {
        SCOPED_TRACE(dpi);
        ASSERT_EQ(eplview("render in.epl -o out.pdf --dpi " + dpi), 0);
        ASSERT_EQ(eplview("render in.epl -o out.png --dpi " + dpi), 0);
        ASSERT_EQ(eplview("render in.epl -o - --format pdf --dpi " + dpi), 0);
        EXPECT_EQ(contents(dir / "stdout"), contents(dir / "out.pdf"));
        fs::remove_all(dir / "pages");
        fs::create_directory(dir / "pages");
        std::string pages = "pdftoppm -mono -r " + dpi + " '" + (dir / "out.pdf").string() + "' '" +
                            (dir / "pages/page").string() + "'";
        ASSERT_EQ(std::system(pages.c_str()), 0) << pages;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "pages"), {}), 2);
        for (std::string page : {"1", "2"}) {
            Bitmap png = read_png((dir / ("out-" + page + ".png")).string());
            EXPECT_EQ(png.height(), page == "1" ? 97 : 211);
            EXPECT_TRUE(read_pbm(dir / ("pages/page-" + page + ".pbm")) == png) << "page " << page;
        }
    }
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
