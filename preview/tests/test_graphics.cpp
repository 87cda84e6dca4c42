// Graphics: a PCX file stored with GM and printed with GG, and the same image sent as a GW raster,
// must both reproduce the source image dot for dot. golden/logo.pcx was written by ImageMagick 6
// from golden/logo.pbm, negated and passed through GIF so that it keeps one bit per pixel:
// ImageMagick writes the set bits as ink while the header palette it writes names index 1 white,
// and the palette's reading (set bit = white) is the one the printer and the GW raster share.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "pcx.h"
#include "support.h"

namespace eplview::test {
namespace {

using namespace std::string_literals;

std::string read_file(const std::string& name) {
    std::ifstream in(std::string(EPLVIEW_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Binary PBM (P4): a set bit is black.
Bitmap read_pbm(const std::string& file) {
    std::size_t pos = 2;
    auto next_number = [&] {
        while (pos < file.size() && std::isspace(static_cast<unsigned char>(file[pos]))) ++pos;
        std::size_t end = file.find_first_of(" \n", pos);
        int value = std::stoi(file.substr(pos, end - pos));
        pos = end;
        return value;
    };
    int width = next_number(), height = next_number();
    ++pos;
    Bitmap image(width, height);
    int stride = (width + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((static_cast<unsigned char>(
                     file[pos + static_cast<std::size_t>(y * stride + x / 8)]) >>
                 (7 - x % 8)) &
                1)
                image.set(x, y, true);
    return image;
}

// The printer's raster convention: a clear bit is a black dot; bits past the width stay set.
std::string raster_of(const Bitmap& image) {
    std::string bytes;
    int stride = (image.width() + 7) / 8;
    for (int y = 0; y < image.height(); ++y)
        for (int column = 0; column < stride; ++column) {
            unsigned byte = 0xFF;
            for (int bit = 0; bit < 8; ++bit)
                if (image.black(column * 8 + bit, y)) byte &= ~(0x80u >> bit);
            bytes += static_cast<char>(byte);
        }
    return bytes;
}

Bitmap crop(const Bitmap& image, int x0, int y0, int width, int height) {
    Bitmap part(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) part.set(x, y, image.black(x0 + x, y0 + y));
    return part;
}

class Logo : public testing::Test {
   protected:
    Bitmap source = read_pbm(read_file("logo.pbm"));
    std::string pcx = read_file("logo.pcx");
};

TEST_F(Logo, StoredPcxAndRasterMatchTheSource) {
    ASSERT_EQ(source.width(), 37);
    ASSERT_EQ(source.height(), 23);
    // As the driver sends a stored graphic: GK and GM lines end in CR LF, the file follows, and
    // CR LF CR LF closes it; GG recalls it in the label.
    std::string stored = "GK\"QZLOGO\"\r\nGM\"QZLOGO\"" + std::to_string(pcx.size()) + "\r\n" +
                         pcx + "\r\n\r\n" + with_header(driver_lines({"GG10,20,\"QZLOGO\"", "P1"}));
    // As PrinterType 8 writes it directly: GW, the raster, CR LF.
    std::string direct =
        with_header("GW10,20,5,23," + raster_of(source) + "\r\n" + driver_lines({"P1"}));
    Job from_pcx = run(stored);
    Job from_raster = run(direct);
    ASSERT_EQ(from_pcx.labels.size(), 1u) << warnings_text(from_pcx);
    ASSERT_EQ(from_raster.labels.size(), 1u) << warnings_text(from_raster);
    EXPECT_EQ(warnings_text(from_pcx), "");
    EXPECT_EQ(warnings_text(from_raster), "");
    EXPECT_TRUE(crop(from_pcx.labels[0].image, 10, 20, 37, 23) == source);
    EXPECT_TRUE(crop(from_raster.labels[0].image, 10, 20, 37, 23) == source);
    EXPECT_TRUE(from_pcx.labels[0].image == from_raster.labels[0].image);
    EXPECT_EQ(from_pcx.labels[0].image.black_count(), source.black_count());
    EXPECT_EQ(from_pcx.summary.graphics.at("QZLOGO"), static_cast<int>(pcx.size()));
}

TEST_F(Logo, DeletedGraphicIsUnknown) {
    std::string stream = "GM\"QZLOGO\"" + std::to_string(pcx.size()) + "\r\n" + pcx + "\r\n" +
                         driver_lines({"GK\"QZLOGO\"", "N", "GG10,20,\"QZLOGO\"", "P1"});
    Job job = run(stream);
    EXPECT_NE(warnings_text(job).find("recall of unknown graphic"), std::string::npos);
}

// A 12-dot wide, 2-row image with 2 bytes per line, built by hand to reach the decoder's corners.
std::string pcx_file(const std::string& scan_lines, int width = 12, int height = 2, int bits = 1,
                     int bytes_per_line = 2) {
    std::string header(128, '\0');
    header[0] = 0x0A;
    header[1] = 5;
    header[2] = 1;
    header[3] = static_cast<char>(bits);
    header[8] = static_cast<char>(width - 1);
    header[10] = static_cast<char>(height - 1);
    header[65] = 1;
    header[66] = static_cast<char>(bytes_per_line);
    return header + scan_lines;
}

// The header palette with white first: set bits are then the black ones.
std::string white_first(std::string file) {
    file.replace(16, 6, "\xFF\xFF\xFF\x00\x00\x00"s);
    return file;
}

struct PcxCase {
    std::string file;
    std::vector<std::string> rows;  // '#' black, '.' white
    const char* error;
};

void PrintTo(const PcxCase& row, std::ostream* out) {
    *out << row.file.size() << " bytes";
}

class PcxDecoder : public testing::TestWithParam<PcxCase> {};

TEST_P(PcxDecoder, DecodesOrRefuses) {
    const PcxCase& row = GetParam();
    DecodedPcx decoded = decode_pcx(bytes_of(row.file));
    EXPECT_NE(decoded.error.find(row.error), std::string::npos) << decoded.error;
    for (int y = 0; y < static_cast<int>(row.rows.size()); ++y)
        for (int x = 0; x < static_cast<int>(row.rows[static_cast<std::size_t>(y)].size()); ++x)
            EXPECT_EQ(decoded.image.black(x, y),
                      row.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
                << x << "," << y;
}

const PcxCase kPcx[] = {
    /*  0*/ {pcx_file("\x0F\xC1\xF0\xC1\xF0\x0F"s), {"####........", "....########"}, ""},
    /*  1*/ {pcx_file("\xC2\x00\xC2\xFF"s), {"############", "............"}, ""},
    // A run of count 0 consumes its data byte and draws nothing.
    /*  2*/ {pcx_file("\xC0\x55\xC2\x00\xC2\xFF"s), {"############", "............"}, ""},
    // A run that would cross into the next line ends at the line; its surplus is padding.
    /*  3*/ {pcx_file("\xC3\x00\xC2\xFF"s), {"############", "............"}, ""},
    /*  4*/ {pcx_file("\x00"s), {}, "PCX data ends in row 0"},
    /*  5*/ {pcx_file("", 12, 2, 8), {}, "not monochrome"},
    /*  6*/ {pcx_file("", 30, 2, 1, 2), {}, "do not cover its width"},
    /*  7*/ {"\x0A\x05"s, {}, "shorter than its 128-byte header"},
    /*  8*/ {std::string(128, 'x'), {}, "not a PCX file"},
    /*  9*/
    {white_first(pcx_file("\x0F\xC1\xF0\xC1\xF0\x0F"s)), {"....########", "####........"}, ""},
};
INSTANTIATE_TEST_SUITE_P(Files, PcxDecoder, testing::ValuesIn(kPcx));

}  // namespace
}  // namespace eplview::test
