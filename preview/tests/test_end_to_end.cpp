// eplview end to end with eplhost and the real driver module: labels printed by eplhost, rendered
// by eplview, and every barcode and symbol read back with zxing-cpp; eplhost printing to the
// virtual printer. Needs the eplhost program (the cache variable EPLHOST_COMMAND, which may start
// with an emulator such as qemu-i386) and is skipped without it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "server.h"
#include "stream.h"
#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

#define REQUIRE_EPLHOST()                                                                    \
    if (std::string(EPLHOST_COMMAND).empty())                                                \
    GTEST_SKIP() << "EPLHOST_COMMAND is not set: configure with -DEPLHOST_COMMAND=<eplhost>" \
                    " to print through the driver module"

const fs::path work = fs::temp_directory_path() / ("eplview-e2e-" + std::to_string(getpid()));

int eplhost_print(const fs::path& label, const std::string& arguments) {
    std::string command = std::string(EPLHOST_COMMAND) + " print '" + label.string() + "' " +
                          arguments + " >/dev/null";
    return std::system(command.c_str());
}

// The stream eplhost prints for a label, "" when it fails.
std::string printed(const fs::path& label, const std::string& arguments = "") {
    fs::create_directories(work);
    fs::path out = work / "out.epl";
    fs::remove(out);
    if (eplhost_print(label, arguments + " --output '" + out.string() + "'") != 0) return "";
    std::ifstream in(out, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Renders each barcode and symbol command of a printed stream on a label of its own and reads
// it; returns how many it read.
int expect_every_symbol_reads_back(const std::string& stream) {
    Diagnostics ignored;
    Summary summary = run(stream).summary;
    std::string frame = "N\nq" + std::to_string(summary.width) + "\nQ" +
                        std::to_string(summary.length) + ",24\nR" +
                        std::to_string(summary.reference_x) + ",0\n";
    int symbols = 0;
    for (const Command& command : split_commands(bytes_of(stream), ignored)) {
        Fields fields = split_fields(std::string_view(command.text).substr(1));
        const Field& data = fields.list.back();
        if ((command.text[0] != 'B' && command.text[0] != 'b') || !data.quoted) continue;
        SCOPED_TRACE(command.text);
        Job alone = run(frame + command.text + "\nP1\n");
        EXPECT_EQ(alone.labels.size(), 1u);
        if (alone.labels.empty() || (command.text[0] == 'B' && fields.list[3].text == "P"))
            continue;
        ++symbols;  // Postnet is left out: zxing-cpp reads no Postnet; the bar count test covers it
        const Bitmap& image = alone.labels[0].image;
        if (command.text[0] == 'B') {
            // A UPC/EAN reader adds the check digit the data may leave out.
            std::string read = decode(image, ZXing::BarcodeFormat::LinearCodes).text();
            std::erase(read, ' ');
            EXPECT_TRUE(read.starts_with(data.text)) << "read \"" << read << "\"";
        } else if (fields.list[2].text == "M") {
            EXPECT_TRUE(decode(image, ZXing::BarcodeFormat::MaxiCode, true)
                            .text()
                            .ends_with(data.text.substr(data.text.rfind(',') + 1)));
        } else {
            EXPECT_EQ(decode(image, ZXing::BarcodeFormat::PDF417).text(), data.text);
        }
    }
    return symbols;
}

// Each printed label as a whole: the barcode a reader finds on it carries the data of a B command
// of the stream, so no label prints over the data of an earlier one.
void expect_whole_labels_read_back(const std::string& stream, const Job& job) {
    for (const Label& label : job.labels) {
        // One read per label: zxing-cpp 1.4 asserts when it compares several linear results.
        std::string read = decode(label.image, ZXing::BarcodeFormat::LinearCodes).text();
        std::erase(read, ' ');
        EXPECT_NE(stream.find("\"" + read.substr(0, std::min<std::size_t>(read.size(), 11))),
                  std::string::npos)
            << "read \"" << read << "\", which no B command carries";
    }
}

// A label with variable fields comes with its records beside it, named after it
// (asset-tag.json, asset-tags.csv).
std::string records_for(const fs::path& label) {
    for (const auto& entry : fs::directory_iterator(label.parent_path()))
        if (entry.path().extension() == ".csv" &&
            entry.path().stem().string().starts_with(label.stem().string()))
            return "--data '" + entry.path().string() + "'";
    return "";
}

TEST(EndToEnd, EveryExampleLabelRendersAndItsSymbolsReadBack) {
    REQUIRE_EPLHOST();
    int labels = 0;
    for (const auto& entry : fs::directory_iterator(EPL2_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().string());
        std::string stream = printed(entry.path(), records_for(entry.path()));
        Job job = run(stream);
        EXPECT_GE(job.labels.size(), 1u) << warnings_text(job);
        EXPECT_EQ(warnings_text(job), "");
        EXPECT_GE(expect_every_symbol_reads_back(stream), 1);
        expect_whole_labels_read_back(stream, job);
        ++labels;
    }
    EXPECT_GE(labels, 3);
}

TEST(EndToEnd, VirtualPrinterRendersAJobFromEplhost) {
    REQUIRE_EPLHOST();
    fs::path label = fs::path(EPL2_EXAMPLES_DIR) / "shipping-4x6.json", dir = work / "served";
    fs::create_directories(dir);
    ServeOptions options;
    options.port = 0;
    options.out_dir = dir.string();
    VirtualPrinter printer(options, nullptr);
    std::string error;
    ASSERT_TRUE(printer.listen(error)) << error;
    std::thread serving([&] { printer.run(); });
    int status = eplhost_print(label, "--to tcp://127.0.0.1:" + std::to_string(printer.port()));
    for (int i = 0; i < 1000 && printer.jobs_done() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    printer.stop();
    serving.join();
    ASSERT_EQ(status, 0);
    Job expected = run(printed(label));
    ASSERT_GE(expected.labels.size(), 1u);
    for (std::size_t i = 0; i < expected.labels.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "job-000001-%zu.png", i + 1);
        EXPECT_TRUE(read_png((dir / name).string()) == expected.labels[i].image) << name;
    }
}

}  // namespace
}  // namespace eplview::test
