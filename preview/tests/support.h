// Helpers shared by the eplview tests: streams written the way the driver frames them (every
// command line ends in LF CR LF), interpretation, case tables read from data files, a scratch
// directory per test, and decoding with zxing-cpp.
#pragma once

#define ZX_USE_UTF8 1  // text() as UTF-8
#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "eplview/eplview.h"
#include "unescape.h"

namespace eplview::test {

namespace fs = std::filesystem;

inline std::vector<std::uint8_t> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Joins command lines the way the driver sends them: each line, LF, then CR LF.
template <class Lines = std::initializer_list<std::string_view>>
std::string driver_lines(const Lines& lines) {
    std::string stream;
    for (std::string_view line : lines) (stream += line) += "\n\r\n";
    return stream;
}

// A 203 dpi job header followed by the given body and nothing else.
inline std::string with_header(const std::string& body, std::string_view length = "Q406,24") {
    return driver_lines({"", "N"}) + driver_lines({length, "q832", "ZT", "R0,0"}) + body;
}

inline Job run(const std::string& stream, Options options = {}) {
    return interpret(bytes_of(stream), options);
}

inline std::string warnings_text(const Job& job) {
    std::string text;
    for (const auto& warning : job.warnings)
        text += std::to_string(warning.line) + ": " + warning.message + "\n";
    return text;
}

using epl2::test::unescape;

// A numbered row of a case file: "/*  3*/ HEAD" and the indented lines after it, as written.
struct CaseRow {
    std::string number, head;
    std::vector<std::string> items;
};

inline void PrintTo(const CaseRow& row, std::ostream* out) {
    *out << "row " << row.number;
}

// Rows of EPLVIEW_TEST_DATA/name; lines starting with # are comments.
inline std::vector<CaseRow> read_cases(const std::string& name) {
    std::ifstream in(std::string(EPLVIEW_TEST_DATA) + "/" + name);
    std::vector<CaseRow> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("/*", 0) == 0)
            rows.push_back(
                {line.substr(2, line.find("*/") - 2), line.substr(line.find("*/") + 3), {}});
        else if (!rows.empty() && line.rfind("    ", 0) == 0)
            rows.back().items.push_back(line.substr(line.find_first_not_of(' ')));
    }
    return rows;
}

// The value of the row's indented line "KEY: VALUE"; fallback when it has none.
inline std::string item(const CaseRow& row, const std::string& key, std::string fallback = "") {
    for (const std::string& line : row.items)
        if (line.starts_with(key + ": ")) return line.substr(key.size() + 2);
    return fallback;
}

// What eplhost print writes to its standard output; expects it to succeed.
inline std::string eplhost_print(const fs::path& label, const std::string& arguments = "") {
    std::string command =
        std::string(EPLHOST_COMMAND) + " print '" + label.string() + "' " + arguments;
    std::string stream;
    FILE* out = popen(command.c_str(), "r");
    char chunk[4096];
    for (std::size_t n; out && (n = std::fread(chunk, 1, sizeof chunk, out)) > 0;)
        stream.append(chunk, n);
    EXPECT_TRUE(out && pclose(out) == 0) << command;
    return stream;
}

// A fresh directory for each test, removed after it.
class InScratchDirectory : public testing::Test {
   protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "eplview-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr) << name;
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
};

// What zxing-cpp reads on the image; an invalid result (format None, no text) when nothing.
inline ZXing::Result decode(const Bitmap& image, ZXing::BarcodeFormats formats, bool pure = false) {
    std::vector<std::uint8_t> grey;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) grey.push_back(image.black(x, y) ? 0 : 255);
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setIsPure(pure);
    hints.setTryCode39ExtendedMode(true);
    hints.setEanAddOnSymbol(ZXing::EanAddOnSymbol::Read);
    hints.setReturnCodabarStartEnd(true);
    return ZXing::ReadBarcode(
        ZXing::ImageView(grey.data(), image.width(), image.height(), ZXing::ImageFormat::Lum),
        hints);
}

}  // namespace eplview::test
