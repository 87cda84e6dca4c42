// Random labels printed through the real module (by epl2_randlabels, for every PrinterType) give
// streams that eplview lints without a warning: known commands with their fields, closed quoted
// fields, binary data of the announced size, every object on the label. The bytes of each raster
// are checked exactly by the PCX decoder's fuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "eplview/eplview.h"
#include "programs.h"

namespace epl2::wellformed {
namespace {

// The stream's line that holds byte `offset`, at most 120 bytes of it, control bytes as dots.
std::string line_at(const std::string& stream, std::size_t offset) {
    const std::size_t start = offset == 0 ? 0 : stream.rfind('\n', offset - 1) + 1;
    std::string line =
        stream.substr(start, std::min<std::size_t>(stream.find('\n', offset) - start, 120));
    std::replace_if(
        line.begin(), line.end(), [](unsigned char c) { return c < 0x20; }, '.');
    return line;
}

// Jobs per PrinterType: enough for every object kind in every rotation on every printer class,
// few enough to lint in seconds under the sanitizers.
constexpr int jobs_per_printer_type = 48;

TEST(RandomLabels, EveryStreamLintsClean) {
    ASSERT_CONFIGURED(EPL2_RANDLABELS_COMMAND);
    const fs::path dir = scratch_directory("epl2-randlabels");
    const ProgramRun run = run_program(EPL2_RANDLABELS_COMMAND " " + dir.string() + " " +
                                       std::to_string(jobs_per_printer_type));
    ASSERT_EQ(run.exit_status, 0);
    std::size_t files = 0, labels = 0;
    for (const fs::path& file : fs::directory_iterator(dir)) {
        SCOPED_TRACE(file.filename().string());
        ++files;
        const std::string stream = read_file(file);
        // Named pt<type>-<printer>-<dpi>dpi.epl: the stream itself does not say its resolution.
        const int dpi = file.stem().string().ends_with("300dpi") ? 300 : 203;
        const eplview::Job job = eplview::interpret(
            {reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()}, {.dpi = dpi});
        for (const eplview::Warning& w : job.warnings) {
            ADD_FAILURE() << "line " << w.line << ": " << w.message << "\n    "
                          << line_at(stream, w.offset);
        }
        EXPECT_GT(job.labels.size(), 0u);
        labels += job.labels.size();
    }
    // Three printers of each of the sixteen PrinterTypes.
    EXPECT_EQ(files, 48u);
    EXPECT_GT(labels, 1000u);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epl2::wellformed
