// Graphics: a PCX file stored with GM and printed with GG, and the same image sent as a GW raster,
// must both reproduce the source image dot for dot. golden/logo.pcx was written by ImageMagick 6
// from golden/logo.pbm, negated and passed through GIF so that it keeps one bit per pixel:
// ImageMagick writes the set bits as ink while the header palette it writes names index 1 white,
// and the palette's reading (set bit = white) is the one the printer and the GW raster share.
// The decoder's corners are rows of data/pcx_cases.txt.
#include <gtest/gtest.h>

#include "pcx.h"
#include "support.h"

namespace eplview::test {
namespace {

// The label the logo prints on at 10,20: golden/logo.pbm is a binary PBM (P4) of 37 x 23 dots,
// 5 bytes a row, in which a set bit is black.
Bitmap logo_label(const std::string& pbm, int width, int height) {
    Bitmap label(width, height);
    const char* rows = pbm.data() + pbm.size() - 5 * 23;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            label.set(10 + x, 20 + y,
                      (static_cast<unsigned char>(rows[5 * y + x / 8]) >> (7 - x % 8)) & 1);
    return label;
}

TEST(Logo, StoredPcxAndRasterMatchTheSource) {
    std::string pcx = contents(fs::path(EPLVIEW_GOLDEN_DIR) / "logo.pcx");
    std::string pbm = contents(fs::path(EPLVIEW_GOLDEN_DIR) / "logo.pbm");
    // As the driver sends a stored graphic: GK and GM lines end in CR LF, the file follows, and
    // CR LF CR LF closes it; GG recalls it in the label.
    std::string stored = "GK\"QZLOGO\"\r\nGM\"QZLOGO\"" + std::to_string(pcx.size()) + "\r\n" +
                         pcx + "\r\n\r\n" + with_header(driver_lines({"GG10,20,\"QZLOGO\"", "P1"}));
    // As PrinterType 8 writes it directly: GW, the raster, CR LF. In the raster a clear bit is a
    // black dot, the PBM's inverse; its padding bits past the width are clear, so they print white.
    std::string raster = pbm.substr(pbm.size() - 5 * 23);
    for (char& byte : raster) byte = static_cast<char>(~byte);
    std::string direct = with_header("GW10,20,5,23," + raster + "\r\n" + driver_lines({"P1"}));
    for (const Job& job : {run(stored), run(direct)}) {
        ASSERT_EQ(job.labels.size(), 1u) << warnings_text(job);
        EXPECT_EQ(warnings_text(job), "");
        EXPECT_TRUE(job.labels[0].image == logo_label(pbm, 832, 406));
    }
    EXPECT_EQ(run(stored).summary.graphics.at("QZLOGO"), static_cast<int>(pcx.size()));
}

class PcxDecoder : public testing::TestWithParam<CaseRow> {};

TEST_P(PcxDecoder, DecodesOrRefuses) {
    DecodedPcx decoded = decode_pcx(bytes_of(unescape(GetParam().head)));
    std::vector<std::string> rows;
    for (int y = 0; decoded.error.empty() && y < decoded.image.height(); ++y) {
        rows.emplace_back();
        for (int x = 0; x < decoded.image.width(); ++x)
            rows.back() += decoded.image.black(x, y) ? '#' : '.';
    }
    if (!decoded.error.empty()) rows.push_back("error: " + decoded.error);
    EXPECT_EQ(rows, GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(Files, PcxDecoder, testing::ValuesIn(read_cases("pcx_cases.txt")));

}  // namespace
}  // namespace eplview::test
