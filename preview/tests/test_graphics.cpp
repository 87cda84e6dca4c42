// Graphics: a PCX file stored with GM and printed with GG, and the same image sent as a GW raster,
// must both reproduce the source image dot for dot. golden/logo.pcx was written by ImageMagick 6
// from golden/logo.pbm, negated and passed through GIF so that it keeps one bit per pixel:
// ImageMagick writes the set bits as ink while the header palette it writes names index 1 white,
// and the palette's reading (set bit = white) is the one the printer and the GW raster share.
// The decoder's corners are rows of data/pcx_cases.txt.
#include <gtest/gtest.h>

#include <iterator>

#include "pcx.h"
#include "support.h"

namespace eplview::test {
namespace {

std::string read_file(const std::string& name) {
    std::ifstream in(std::string(EPLVIEW_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Binary PBM (P4) of 37 x 23 dots: a set bit is black.
Bitmap logo() {
    std::string file = read_file("logo.pbm");
    std::size_t pos = file.size() - 5 * 23;
    Bitmap image(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.set(x, y,
                      (static_cast<unsigned char>(file[pos + 5 * y + x / 8]) >> (7 - x % 8)) & 1);
    return image;
}

// The printer's raster convention: a clear bit is a black dot; bits past the width stay set.
std::string raster_of(const Bitmap& image) {
    std::string bytes(5 * 23, '\xFF');
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            if (image.black(x, y))
                bytes[5 * y + x / 8] = static_cast<char>(bytes[5 * y + x / 8] & ~(0x80 >> (x % 8)));
    return bytes;
}

Bitmap crop(const Bitmap& image, int x0, int y0) {
    Bitmap part(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) part.set(x, y, image.black(x0 + x, y0 + y));
    return part;
}

TEST(Logo, StoredPcxAndRasterMatchTheSource) {
    Bitmap source = logo();
    std::string pcx = read_file("logo.pcx");
    // As the driver sends a stored graphic: GK and GM lines end in CR LF, the file follows, and
    // CR LF CR LF closes it; GG recalls it in the label.
    std::string stored = "GK\"QZLOGO\"\r\nGM\"QZLOGO\"" + std::to_string(pcx.size()) + "\r\n" +
                         pcx + "\r\n\r\n" + with_header(driver_lines({"GG10,20,\"QZLOGO\"", "P1"}));
    // As PrinterType 8 writes it directly: GW, the raster, CR LF.
    std::string direct =
        with_header("GW10,20,5,23," + raster_of(source) + "\r\n" + driver_lines({"P1"}));
    for (const Job& job : {run(stored), run(direct)}) {
        ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
        EXPECT_EQ(warnings_text(job), "");
        EXPECT_TRUE(crop(job.labels[0].image, 10, 20) == source);
        EXPECT_EQ(job.labels[0].image.black_count(), source.black_count());
    }
    EXPECT_EQ(run(stored).summary.graphics.at("QZLOGO"), static_cast<int>(pcx.size()));
}

class PcxDecoder : public testing::TestWithParam<CaseRow> {};

TEST_P(PcxDecoder, DecodesOrRefuses) {
    DecodedPcx decoded = decode_pcx(bytes_of(unescape(GetParam().head)));
    const auto& items = GetParam().items;
    if (items[0].rfind("error: ", 0) == 0) {
        EXPECT_NE(decoded.error.find(items[0].substr(7)), std::string::npos) << decoded.error;
        return;
    }
    EXPECT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.image.height(), static_cast<int>(items.size()));
    for (int y = 0; y < decoded.image.height(); ++y) {
        std::string row;
        for (int x = 0; x < decoded.image.width(); ++x)
            row += decoded.image.black(x, y) ? '#' : '.';
        EXPECT_EQ(row, items[static_cast<std::size_t>(y)]) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, PcxDecoder, testing::ValuesIn(read_cases("pcx_cases.txt")));

}  // namespace
}  // namespace eplview::test
