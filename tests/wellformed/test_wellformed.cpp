// Random labels printed through the real module (by epl2_randlabels, for every PrinterType) give
// streams that eplview lints without a warning and that hold only known commands, closed quoted
// fields and binary data of exactly the announced size.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "eplview/eplview.h"
#include "stream_check.h"

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

// The checker finds each kind of fault it looks for, at its line.
struct CheckRow {
    std::string stream;
    std::size_t faults;
    std::size_t line;  // of the first fault
    const char* message;
};

TEST(StreamCheck, FindsEachFault) {
    using namespace std::string_literals;
    const CheckRow rows[] = {
        /*  0*/ {"N\n\r\nA1,2,0,1,1,1,N,\"a\\\"b\\\\\"\n\r\nGW1,2,1,2,\xC0\xFF\r\nP1\n\r\n"s, 0, 0,
                 ""},
        /*  1*/ {"N\nA1,2,0,1,1,1,N,\"open\n\r\nP1\n"s, 1, 2, "unterminated"},
        /*  2*/ {"N\nA1,2,0,1,1,1,N,\"ends in a backslash\\\"\nP1\n"s, 1, 2, "unterminated"},
        /*  3*/ {"N\nGW1,2,2,2,\x01\x02\x03\r\nP1\n"s, 1, 2, "GW data"},
        /*  4*/ {"N\nGW1,2,1,1,\x01\x02\r\nP1\n"s, 1, 2, "GW data"},
        /*  5*/ {"N\nY10\nLW1,1,1,1\nP1\n"s, 2, 2, "unknown command \"Y10\""},
        /*  6*/ {"GK\"QZA\"\r\nGM\"QZA\"3\r\nabc\r\n\r\nGG1,1,\"QZA\"\r\n"s, 0, 0, ""},
        /*  7*/ {"GM\"QZA\"3\r\nab\r\n\r\nP1\n"s, 1, 2, "GM data"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const StreamShape shape = check_stream(rows[i].stream);
        ASSERT_EQ(shape.faults.size(), rows[i].faults);
        if (rows[i].faults == 0) continue;
        EXPECT_EQ(shape.faults[0].line, rows[i].line);
        EXPECT_NE(shape.faults[0].message.find(rows[i].message), std::string::npos)
            << shape.faults[0].message;
    }
    EXPECT_EQ(check_stream("N\nP1\n\r\nP12,1\nPA\n").print_commands, 2u);
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
        const StreamShape shape = check_stream(stream);
        for (const StreamFault& f : shape.faults)
            ADD_FAILURE() << "line " << f.line << ": " << f.message;
        EXPECT_GT(job.labels.size(), 0u);
        EXPECT_EQ(shape.print_commands, job.labels.size());
        labels += job.labels.size();
    }
    // Three printers of each of the sixteen PrinterTypes.
    EXPECT_EQ(files, 48u);
    EXPECT_GT(labels, 1000u);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epl2::wellformed
