// End to end through the real driver module: labels printed by eplhost, rendered by eplview, and
// every barcode and symbol read back with zxing-cpp. Needs the eplhost program (the cache variable
// EPLHOST_COMMAND, which may start with an emulator such as qemu-i386) and is skipped without it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "server.h"
#include "stream.h"
#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

std::string eplhost() {
    return EPLHOST_COMMAND;
}

#define REQUIRE_EPLHOST()                                                                    \
    if (eplhost().empty())                                                                   \
    GTEST_SKIP() << "EPLHOST_COMMAND is not set: configure with -DEPLHOST_COMMAND=<eplhost>" \
                    " to print through the driver module"

fs::path work_dir() {
    fs::path dir = fs::temp_directory_path() / ("eplview-e2e-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int print_label(const fs::path& label, const std::string& target) {
    std::string command = eplhost() + " print '" + label.string() + "' " + target + " >/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ZXing::BarcodeFormat format_of(const std::string& code) {
    using F = ZXing::BarcodeFormat;
    if (code.starts_with("UA")) return F::UPCA;
    if (code.starts_with("UE")) return F::UPCE;
    if (code.starts_with("E3")) return F::EAN13;
    if (code.starts_with("E8")) return F::EAN8;
    if (code == "0" || code == "1" || code == "1E") return F::Code128;
    if (code == "2") return F::ITF;
    if (code == "3") return F::Code39;
    if (code == "9") return F::Code93;
    if (code == "K") return F::Codabar;
    return F::None;
}

std::string without_spaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

// What a scanner reads for the data of a B command: UPC/EAN readers add the check digit the data
// may leave out; Interleaved 2 of 5 carries an even count of digits; Codabar shows its guards.
bool reads_as(const std::string& code, const std::string& data, const std::string& decoded) {
    if (code[0] == 'U' || code[0] == 'E') {
        std::size_t addon = code.back() == '2' ? 2 : code.back() == '5' ? 5 : 0;
        std::string main = data.substr(0, data.size() - addon), read = without_spaces(decoded);
        return read.size() >= addon && read.starts_with(main) &&
               read.substr(read.size() - addon) == data.substr(data.size() - addon);
    }
    if (code == "2") return decoded == data || decoded == "0" + data;
    if (code == "K") return decoded == data || decoded == "A" + data + "A";
    return decoded == data;
}

// Renders each barcode and symbol command of a printed stream on a label of its own and reads it.
void expect_every_symbol_reads_back(const std::string& stream) {
    Diagnostics ignored;
    Job whole = interpret(bytes_of(stream));
    std::string frame = "N\nq" + std::to_string(whole.summary.width) + "\nQ" +
                        std::to_string(whole.summary.length) + ",24\nR" +
                        std::to_string(whole.summary.reference_x) + ",0\n";
    int symbols = 0;
    for (const Command& command : split_commands(bytes_of(stream), ignored)) {
        if (command.text.empty() || (command.text[0] != 'B' && command.text[0] != 'b')) continue;
        Fields fields = split_fields(std::string_view(command.text).substr(1));
        const std::string& data = fields.list.back().text;
        if (!fields.list.back().quoted) continue;  // a variable reference; its data comes later
        Job alone = interpret(bytes_of(frame + command.text + "\nP1\n"));
        ASSERT_EQ(alone.labels.size(), 1u);
        SCOPED_TRACE(command.text);
        ++symbols;
        if (command.text[0] == 'B') {
            const std::string& code = fields.list[3].text;
            if (code == "P") continue;  // zxing-cpp reads no Postnet; the bar count test covers it
            std::string decoded = decode(alone.labels[0].image, format_of(code)).text;
            EXPECT_TRUE(reads_as(code, data, decoded)) << "read \"" << decoded << "\"";
        } else if (fields.list[2].text == "M") {
            std::string decoded =
                decode(alone.labels[0].image, ZXing::BarcodeFormat::MaxiCode, true).text;
            EXPECT_NE(decoded.find(data.substr(data.rfind(',') + 1)), std::string::npos) << decoded;
        } else {
            EXPECT_EQ(decode(alone.labels[0].image, ZXing::BarcodeFormat::PDF417).text, data);
        }
    }
    testing::Test::RecordProperty("symbols", symbols);
}

// Each printed label as a whole: every barcode a reader finds on it carries the data of a B
// command of the stream, so no label prints over the data of an earlier one.
void expect_whole_labels_read_back(const std::string& stream) {
    Diagnostics ignored;
    std::vector<std::string> printed;
    for (const Command& command : split_commands(bytes_of(stream), ignored)) {
        if (command.text.empty() || command.text[0] != 'B') continue;
        Fields fields = split_fields(std::string_view(command.text).substr(1));
        if (fields.list.size() == 9 && fields.list[3].text != "P")
            printed.push_back(without_spaces(fields.list[8].text));
    }
    Job job = interpret(bytes_of(stream));
    for (const Label& label : job.labels) {
        // One read per label: zxing-cpp 1.4 asserts when it compares several linear results.
        Decoded read = decode(label.image, ZXing::BarcodeFormat::LinearCodes);
        if (printed.empty()) continue;
        std::string text = without_spaces(read.text);
        EXPECT_FALSE(text.empty()) << "no barcode reads on a label";
        bool known = std::any_of(printed.begin(), printed.end(), [&](const std::string& data) {
            return text.starts_with(data) || data.starts_with(text.substr(0, text.size() - 1));
        });
        EXPECT_TRUE(known) << "read \"" << text << "\", which no B command carries";
    }
}

// A label with variable fields comes with its records beside it, named after it
// (asset-tag.json, asset-tags.csv).
std::string records_for(const fs::path& label) {
    for (const auto& entry : fs::directory_iterator(label.parent_path()))
        if (entry.path().extension() == ".csv" &&
            entry.path().stem().string().starts_with(label.stem().string()))
            return "--data '" + entry.path().string() + "' ";
    return "";
}

TEST(EndToEnd, EveryExampleLabelRendersAndItsSymbolsReadBack) {
    REQUIRE_EPLHOST();
    fs::path examples = EPL2_EXAMPLES_DIR;
    int labels = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().string());
        fs::path out = work_dir() / (entry.path().stem().string() + ".epl");
        ASSERT_EQ(print_label(entry.path(),
                              records_for(entry.path()) + "--output '" + out.string() + "'"),
                  0);
        std::string stream = read_bytes(out);
        Job job = interpret(bytes_of(stream));
        EXPECT_GE(job.labels.size(), 1u) << warnings_text(job);
        expect_every_symbol_reads_back(stream);
        expect_whole_labels_read_back(stream);
        ++labels;
    }
    if (labels == 0) GTEST_SKIP() << "no example labels in " << examples;
}

struct GeneratedCase {
    const char* symbology;
    const char* data;
    int addon;
};

void PrintTo(const GeneratedCase& row, std::ostream* out) {
    *out << row.symbology << " " << row.data;
}

class GeneratedLabel : public testing::TestWithParam<GeneratedCase> {};

TEST_P(GeneratedLabel, PrintsThroughTheModuleAndReadsBack) {
    REQUIRE_EPLHOST();
    const GeneratedCase& row = GetParam();
    std::ostringstream label;
    label
        << R"({"name": "SYMBOL", "width": 4000, "height": 3000, "objects": [)"
        << R"({"type": "barcode", "x": 500, "y": 1500, "height": 600, "narrow": 2, "symbology": ")"
        << row.symbology << R"(", "data": ")" << row.data << "\"";
    if (row.addon) label << ", \"addon\": " << row.addon;
    label
        << R"(}, {"type": "maxicode", "x": 500, "y": 1700, "postal_code": "12345", "country": "840",)"
        << R"( "service_class": "001", "message": "E2E"}]})";
    fs::path file = work_dir() / "generated.json";
    std::ofstream(file) << label.str();
    fs::path out = work_dir() / "generated.epl";
    ASSERT_EQ(print_label(file, "--output '" + out.string() + "'"), 0);
    expect_every_symbol_reads_back(read_bytes(out));
}

const GeneratedCase kGenerated[] = {
    /*  0*/ {"UPC-A", "03600029145", 0},
    /*  1*/ {"UPC-A", "0360002914512", 2},
    /*  2*/ {"UPC-E", "0123456", 0},
    /*  3*/ {"EAN-13", "590123412345", 0},
    /*  4*/ {"EAN-13", "59012341234512345", 5},
    /*  5*/ {"EAN-8", "9638507", 0},
    /*  6*/ {"Code 128", "eplview e2e", 0},
    /*  7*/ {"SSCC", "00123456789012345675", 0},
    /*  8*/ {"GS1-128", "0112345678901231", 0},
    /*  9*/ {"Codabar", "A40156B", 0},
    /* 10*/ {"Interleaved 2 of 5", "12345670", 0},
    /* 11*/ {"Code 39", "CODE39", 0},
    /* 12*/ {"Code 93", "CODE93", 0},
    /* 13*/ {"Postnet", "123456789", 0},
};
INSTANTIATE_TEST_SUITE_P(Symbologies, GeneratedLabel, testing::ValuesIn(kGenerated));

TEST(EndToEnd, VirtualPrinterRendersAJobFromEplhost) {
    REQUIRE_EPLHOST();
    fs::path label;
    for (const auto& entry : fs::directory_iterator(fs::path(EPL2_EXAMPLES_DIR)))
        if (entry.path().extension() == ".json") label = entry.path();
    if (label.empty()) GTEST_SKIP() << "no example labels in " << EPL2_EXAMPLES_DIR;
    fs::path dir = work_dir() / "served";
    fs::create_directories(dir);
    ServeOptions options;
    options.port = 0;
    options.out_dir = dir.string();
    VirtualPrinter printer(options, nullptr);
    std::string error;
    ASSERT_TRUE(printer.listen(error)) << error;
    std::thread serving([&] { printer.run(); });
    int status = print_label(label, "--to tcp://127.0.0.1:" + std::to_string(printer.port()));
    for (int i = 0; i < 1000 && printer.jobs_done() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    printer.stop();
    serving.join();
    ASSERT_EQ(status, 0);
    fs::path file = work_dir() / "served.epl";
    ASSERT_EQ(print_label(label, "--output '" + file.string() + "'"), 0);
    Job expected = interpret(bytes_of(read_bytes(file)));
    ASSERT_GE(expected.labels.size(), 1u);
    for (std::size_t i = 0; i < expected.labels.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "job-000001-%zu.png", i + 1);
        EXPECT_TRUE(read_png((dir / name).string()) == expected.labels[i].image) << name;
    }
}

}  // namespace
}  // namespace eplview::test
