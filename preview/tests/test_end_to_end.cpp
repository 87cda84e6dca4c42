// eplview end to end with eplhost and the real driver module: labels printed by eplhost, rendered
// by eplview, and every barcode and symbol read back with zxing-cpp; eplhost printing to the
// virtual printer. Needs the eplhost program (the cache variable EPLHOST_COMMAND, which may start
// with an emulator such as qemu-i386; scripts/build.sh i386 native sets it) and fails without it.
#include <gtest/gtest.h>

#include <cstdio>

#include "printer_fixtures.h"
#include "stream.h"

namespace eplview::test {
namespace {

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
        ++symbols;  // Postnet is left out: zxing-cpp reads no Postnet; a golden image covers it
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
        EXPECT_NE(stream.find("\"" + read.substr(0, 11)), std::string::npos)
            << "read \"" << read << "\", which no B command carries";
    }
}

// A label with variable fields comes with its records beside it, named after it
// (asset-tag.json, asset-tags.csv).
std::string records_for(const fs::path& label) {
    fs::path records = label.parent_path() / (label.stem().string() + "s.csv");
    return fs::exists(records) ? "--data '" + records.string() + "'" : "";
}

// Tests never pass for want of eplhost: without it they fail at the start.
class EndToEnd : public Loopback {
   protected:
    void SetUp() override {
        Loopback::SetUp();
        ASSERT_STRNE(EPLHOST_COMMAND, "")
            << "EPLHOST_COMMAND is not set: build the i386 tree and configure this one with "
               "-DEPLHOST_COMMAND=<eplhost> (scripts/build.sh i386 native does both)";
    }
};

TEST_F(EndToEnd, EveryExampleLabelRendersAndItsSymbolsReadBack) {
    int examples = 0;
    for (const auto& entry : fs::directory_iterator(EPL2_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().string());
        std::string stream = eplhost_print(entry.path(), records_for(entry.path()));
        Job job = run(stream);
        EXPECT_GE(job.labels.size(), 1u);
        EXPECT_EQ(warnings_text(job), "");
        EXPECT_GE(expect_every_symbol_reads_back(stream), 1);
        expect_whole_labels_read_back(stream, job);
        ++examples;
    }
    EXPECT_GE(examples, 3);
}

TEST_F(EndToEnd, VirtualPrinterRendersAJobFromEplhost) {
    fs::path label = fs::path(EPL2_EXAMPLES_DIR) / "shipping-4x6.json";
    start();
    eplhost_print(label, "--to tcp://127.0.0.1:" + std::to_string(port));
    ASSERT_FALSE(HasFailure());
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    Job expected = run(eplhost_print(label));
    ASSERT_GE(expected.labels.size(), 1u);
    EXPECT_EQ(labels_logged, expected.labels.size());
    for (std::size_t i = 0; i < expected.labels.size(); ++i)
        EXPECT_TRUE(read_png(job_file(1, i + 1)) == expected.labels[i].image) << i + 1;
}

}  // namespace
}  // namespace eplview::test
