// Random labels printed through the real module (by epl2_randlabels, for every PrinterType) give
// streams that eplview lints without a warning: known commands with their fields, closed quoted
// fields, binary data of the announced size, every object on the label. The bytes of each raster
// are checked exactly by the PCX decoder's fuzzer.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "eplview/eplview.h"

namespace epl2::wellformed {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::span<const std::uint8_t> bytes_of(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The line of the stream that holds byte `offset`, printable.
std::string line_at(const std::string& stream, std::size_t offset) {
    const std::size_t begin = stream.rfind('\n', offset == 0 ? 0 : offset - 1);
    const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
    std::string text =
        stream.substr(from, std::min<std::size_t>(stream.find('\n', offset) - from, 120));
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = '.';
    }
    return text;
}

// Files are named pt<type>-<printer>-<dpi>dpi.epl: the stream itself does not say its resolution.
int dpi_of(const fs::path& file) {
    const std::string name = file.stem().string();
    return name.ends_with("300dpi") ? 300 : 203;
}

// Jobs per PrinterType: enough for every object kind in every rotation on every printer class,
// few enough to lint in seconds under the sanitizers.
constexpr int jobs_per_printer_type = 48;

TEST(RandomLabels, EveryStreamLintsClean) {
    const std::string command = EPL2_RANDLABELS_COMMAND;
    ASSERT_FALSE(command.empty()) << "EPL2_RANDLABELS_COMMAND is not set: build the i386 tree "
                                     "first, then configure this one with scripts/build.sh";
    const fs::path dir =
        fs::temp_directory_path() / ("epl2-randlabels-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const std::string run =
        command + " " + dir.string() + " " + std::to_string(jobs_per_printer_type) + " > /dev/null";
    ASSERT_EQ(std::system(run.c_str()), 0) << run;
    std::size_t files = 0, labels = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const fs::path& file = entry.path();
        SCOPED_TRACE(file.filename().string());
        ++files;
        const std::string stream = read_file(file);
        const eplview::Job job = eplview::interpret(bytes_of(stream), {.dpi = dpi_of(file)});
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
