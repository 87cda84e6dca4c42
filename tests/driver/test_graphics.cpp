// PCX images through the real module: the raster written straight into a label, the stored
// graphic with its recall, and the rewritten stored file, byte for byte as the printer gets them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver_test.h"
#include "pcx_header.h"

namespace epl2::test {
namespace {

constexpr std::int32_t pt_direct = 8;
constexpr std::int32_t pt_decoded_store = 10;
constexpr std::int32_t pt_plain_store = 2;
constexpr std::uint8_t mode_build = 0;
constexpr std::uint8_t mode_recall = 3;
constexpr std::uint8_t mode_graphics = 7;

// Host positions that the 203 dpi centred mapping below turns into dots 100 and 50.
constexpr std::int32_t x_at_100_dots = 446;
constexpr std::int32_t y_at_50_dots = 246;

using epl2::test_support::pcx_header;

std::string pcx_file(unsigned width, unsigned height, unsigned bytes_per_line, std::string lines) {
    return pcx_header(0, 0, width - 1, height - 1, bytes_per_line) + lines;
}

std::string bytes(std::initializer_list<unsigned> values) {
    std::string s;
    for (unsigned v : values) s.push_back(static_cast<char>(v));
    return s;
}

// What each of the three calls sent and answered for one image.
struct ImageRun {
    std::string begin, map, end;
    std::int32_t begin_result = 0, end_result = 0;
    std::vector<std::int32_t> map_results;
};

class Graphics : public DriverTest {
   protected:
    void SetUp() override {
        const RecordView r = rec();
        r.set(record::dpi_x, 203);
        r.set(record::dpi_y, 203);
        r.set(record::max_print_width, 4090);
        r.set(record::label_width, 4000);
        r.set(record::form_store_enabled, 1);
        // The form was opened earlier in the job, so only the graphic's own lines go out.
        r.set(record::form_begun_a, 1);
        image.view().set(pcx_object::x, x_at_100_dots);
        image.view().set(pcx_object::y, y_at_50_dots);
        image.set_name("LOGO");
    }

    void use(std::int32_t printer_type, std::uint8_t mode) {
        rec().set(record::printer_type, printer_type);
        job.set_form_mode(mode);
    }

    // Streams file in chunks of the given lengths (the rest of the file is one more chunk).
    ImageRun run(const std::string& file, std::vector<std::size_t> cuts = {}) {
        ImageRun out;
        image.view().set(pcx_object::file_size, static_cast<std::uint32_t>(file.size()));
        out.begin_result = job.call(ep().pcx_begin, image.word());
        out.begin = take_bytes();
        std::size_t at = 0;
        cuts.push_back(file.size());
        for (std::size_t cut : cuts) {
            const std::size_t n = std::min(cut, file.size() - at);
            image.set_chunk(std::string_view(file).substr(at, n), at != 0);
            out.map_results.push_back(job.call(ep().pcx_map, image.word()));
            at += n;
            if (at == file.size()) break;
        }
        out.map = take_bytes();
        out.end_result = job.call(ep().pcx_end, image.word());
        out.end = take_bytes();
        return out;
    }

    // The raster bytes of a direct image: after the "row bytes,rows," prefix, up to the closing
    // CR LF (pcx_end completes a short raster).
    std::string direct_raster(const std::string& file, std::vector<std::size_t> cuts = {}) {
        use(pt_direct, mode_recall);
        const ImageRun r = run(file, std::move(cuts));
        EXPECT_EQ(r.begin, "GW100,50,");
        EXPECT_EQ(r.end_result, 0);
        EXPECT_TRUE(r.end.ends_with("\r\n"));
        const std::size_t prefix_end = r.map.find(',', r.map.find(',') + 1) + 1;
        return r.map.substr(prefix_end) + r.end.substr(0, r.end.size() - 2);
    }

    host::PcxObject image;
};

TEST_F(Graphics, DirectWriteOfTwelveByTwoImage) {
    use(pt_direct, mode_recall);
    const ImageRun r = run(pcx_file(12, 2, 2, bytes({0x5A, 0x30, 0x81, 0x00})));
    EXPECT_EQ(r.begin_result, 0);
    EXPECT_EQ(r.begin, "GW100,50,");
    EXPECT_EQ(r.map_results, std::vector<std::int32_t>{0});
    EXPECT_EQ(r.map, "2,2," + bytes({0x5A, 0x3F, 0x81, 0x0F}));
    EXPECT_EQ(r.end_result, 0);
    EXPECT_EQ(r.end, "\r\n");

    const RecordView rv = rec();
    EXPECT_EQ(rv.get(record::pcx_width), 12);
    EXPECT_EQ(rv.get(record::pcx_height), 2);
    EXPECT_EQ(rv.get(record::pcx_row_bytes), 2);
    EXPECT_EQ(rv.get(record::pcx_edge_mask), 0xF0);
    EXPECT_EQ(rv.get(record::pcx_bytes_per_line), 2u);
}

TEST_F(Graphics, StoredLogoIsDownloadedThenRecalled) {
    std::string file = pcx_file(16, 2, 2, bytes({0xC4, 0x12}));
    file.resize(1234, '\x7E');
    for (std::size_t i = 130; i < file.size(); i += 7) file[i] = static_cast<char>(i);

    use(pt_plain_store, mode_graphics);
    const ImageRun stored = run(file, {100, 500});
    EXPECT_EQ(stored.begin_result, 0);
    EXPECT_EQ(stored.begin, "GK\"QZLOGO\"\r\nGM\"QZLOGO\"1234\r\n");
    EXPECT_EQ(stored.map_results, (std::vector<std::int32_t>{0, 0, 0}));
    EXPECT_EQ(stored.map, file);
    EXPECT_EQ(stored.end_result, 0);
    EXPECT_EQ(stored.end, "\r\n\r\n");

    rec().set(record::max_object_bottom, 20);
    use(pt_plain_store, mode_build);
    const ImageRun recalled = run(file);
    EXPECT_EQ(recalled.begin_result, 0);
    EXPECT_EQ(recalled.begin, "GG100,50,\"QZLOGO\"\r\n");
    EXPECT_EQ(recalled.map_results, std::vector<std::int32_t>{-1});
    EXPECT_EQ(recalled.map, "");
    EXPECT_EQ(recalled.end_result, -1);
    EXPECT_EQ(recalled.end, "");
    EXPECT_EQ(rec().get(record::max_object_bottom), 50);

    // A lower object bottom already reached stays.
    rec().set(record::max_object_bottom, 80);
    job.call(ep().pcx_begin, image.word());
    EXPECT_EQ(rec().get(record::max_object_bottom), 80);
}

TEST_F(Graphics, RecallOpensTheStoredFormFirstWhenNothingElseHas) {
    rec().set(record::form_begun_a, 0);
    std::snprintf(rec().chars(record::form_name), 9, "SHIPLBL");
    use(pt_plain_store, mode_build);
    EXPECT_EQ(job.call(ep().pcx_begin, image.word()), 0);
    EXPECT_EQ(take_bytes(),
              line("FK\"SHIPLBL\"") + line("FS\"SHIPLBL\"") + "GG100,50,\"QZLOGO\"\r\n");
}

// Passes that carry no image: nothing is sent and the data calls answer -1.
TEST_F(Graphics, PassesWithoutImagesSendNothing) {
    struct Row {
        std::int32_t printer_type;
        std::uint8_t mode;
    };
    const Row rows[] = {
        /*  1*/ {pt_direct, mode_build},
        /*  2*/ {pt_direct, mode_graphics},
        /*  3*/ {pt_direct, 5},
        /*  4*/ {pt_plain_store, mode_recall},
        /*  5*/ {pt_plain_store, 1},
        /*  6*/ {pt_decoded_store, mode_recall},
        /*  7*/ {-1, 5},
    };
    const std::string file = pcx_file(8, 1, 2, bytes({0x00, 0x00}));
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "printer type " << row.printer_type << " mode " << int{row.mode});
        use(row.printer_type, row.mode);
        const ImageRun r = run(file);
        EXPECT_EQ(r.begin_result, 0);
        EXPECT_EQ(r.begin + r.map + r.end, "");
        EXPECT_EQ(r.map_results, std::vector<std::int32_t>{-1});
        EXPECT_EQ(r.end_result, -1);
    }
}

// The decoder on the direct path: runs, padding, edge bits and chunk boundaries.
TEST_F(Graphics, RasterDecoding) {
    struct Row {
        const char* what;
        std::string file;
        std::vector<std::size_t> cuts;
        std::string raster;
    };
    const Row rows[] = {
        /*  1*/ {"count byte ends a chunk, its data byte starts the next",
                 pcx_file(16, 2, 2, bytes({0x11, 0xC1, 0x22, 0xC2, 0x33})),
                 {128 + 2},
                 bytes({0x11, 0x22, 0x33, 0x33})},
        /*  2*/
        {"same run split after the header chunk",
         pcx_file(16, 1, 2, bytes({0xC2, 0x44})),
         {129},
         bytes({0x44, 0x44})},
        /*  3*/
        {"every byte its own chunk",
         pcx_file(12, 2, 2, bytes({0xC2, 0x00, 0xC1, 0x80, 0x3C})),
         {128, 1, 1, 1, 1},
         bytes({0x00, 0x0F, 0x80, 0x3F})},
        /*  4*/
        {"count 0 consumes its data byte and sends nothing",
         pcx_file(16, 1, 2, bytes({0xC0, 0x55, 0x12, 0x34})),
         {},
         bytes({0x12, 0x34})},
        /*  5*/
        {"padded lines lose their padding",
         pcx_file(12, 2, 4, bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08})),
         {},
         bytes({0x01, 0x0F, 0x05, 0x0F})},
        /*  6*/
        {"width a multiple of 8 keeps the last byte",
         pcx_file(24, 1, 4, bytes({0x00, 0x10, 0x20, 0x3F})),
         {},
         bytes({0x00, 0x10, 0x20})},
        /*  7*/
        {"a run past the line end is not split: the next line starts at 0",
         pcx_file(16, 2, 2, bytes({0xC3, 0x00, 0x3A, 0x3B})),
         {},
         bytes({0x00, 0x00, 0x3A, 0x3B})},
        /*  8*/
        {"a run over padding drops the padding part",
         pcx_file(9, 2, 4, bytes({0x01, 0xC5, 0x00, 0x02, 0x03, 0x04, 0x05})),
         {},
         bytes({0x01, 0x7F, 0x02, 0x7F})},
        /*  9*/
        {"one-dot-wide image keeps only the top bit",
         pcx_file(1, 2, 2, bytes({0x00, 0x00, 0x3F, 0x00})),
         {},
         bytes({0x7F, 0x7F})},
        /* 10*/
        {"a file that ends early is completed with white",
         pcx_file(12, 3, 2, bytes({0x12, 0x34, 0x20})),
         {},
         bytes({0x12, 0x3F, 0x20, 0xFF, 0xFF, 0xFF})},
        /* 11*/
        {"a file that ends inside a run's count byte",
         pcx_file(8, 2, 2, bytes({0x11, 0x00, 0xC2})),
         {},
         bytes({0x11, 0xFF})},
        /* 12*/
        {"lines beyond the last row are dropped",
         pcx_file(8, 1, 1, bytes({0x11, 0x22, 0xC4, 0x33})),
         {},
         bytes({0x11})},
        /* 13*/
        {"lines shorter than the row are completed with white, rows stay aligned",
         pcx_file(24, 2, 2, bytes({0x01, 0x02, 0x03, 0x04})),
         {},
         bytes({0x01, 0x02, 0xFF, 0x03, 0x04, 0xFF})},
        /* 14*/
        {"a zero line length gives white rows",
         pcx_file(8, 2, 0, bytes({0x01, 0x02, 0x03})),
         {},
         bytes({0xFF, 0xFF})},
        /* 15*/
        {"an extent with its maximum below its minimum is empty",
         pcx_header(10, 0, 2, 1, 2) + bytes({0x01, 0x02}),
         {},
         ""},
        /* 16*/
        {"a file of a header alone is all white", pcx_file(8, 2, 1, ""), {}, bytes({0xFF, 0xFF})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(direct_raster(row.file, row.cuts), row.raster);
    }
}

TEST_F(Graphics, PrefixCarriesRowBytesAndRows) {
    use(pt_direct, mode_recall);
    EXPECT_EQ(run(pcx_header(3, 7, 14, 9, 2) + bytes({0x00})).map.substr(0, 4), "2,3,");
    EXPECT_EQ(rec().get(record::pcx_width), 12);
    EXPECT_EQ(rec().get(record::pcx_height), 3);
    EXPECT_EQ(run(pcx_header(10, 0, 2, 1, 2)).map, "0,2,");
    EXPECT_EQ(run(pcx_header(0, 5, 7, 4, 2)).map, "1,0,");
}

// Rows wider than 255 bytes are cut to their first 255, all of which are image bytes.
TEST_F(Graphics, WideImageRowsAreCut) {
    const unsigned width = 2100;  // 263 bytes
    std::string line;
    for (unsigned i = 0; i < 264; ++i) line += bytes({0xC1, i & 0xFF});  // one padding byte
    const std::string raster = direct_raster(pcx_file(width, 2, 264, line + line));
    ASSERT_EQ(raster.size(), 2u * 255);
    std::string row;
    for (unsigned i = 0; i < 255; ++i) row.push_back(static_cast<char>(i));
    EXPECT_EQ(raster, row + row);
    EXPECT_EQ(rec().get(record::pcx_row_bytes), 255);
    EXPECT_EQ(rec().get(record::pcx_edge_mask), 0xFF);
    EXPECT_EQ(rec().get(record::pcx_width), width);
}

TEST_F(Graphics, DecodedStoreSendsHeaderThenRows) {
    use(pt_decoded_store, mode_graphics);
    const std::string header = pcx_header(0, 0, 11, 1, 4);
    const ImageRun r = run(header + bytes({0xC4, 0x00, 0x01, 0x02, 0x03, 0x04}), {130});
    // The file has 134 bytes; what is stored is the header and two rows of two bytes.
    EXPECT_EQ(r.begin, "GK\"QZLOGO\"\r\n");
    EXPECT_EQ(r.map_results, (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ(r.map, "GM\"QZLOGO\"132\r\n" + header + bytes({0x00, 0x0F, 0x01, 0x0F}));
    EXPECT_EQ(r.end_result, 0);
    EXPECT_EQ(r.end, "\r\n\r\n");
}

// Without a whole header the decoded size is unknown: nothing is announced, so the printer
// takes none of the following commands for graphic data.
TEST_F(Graphics, DecodedStoreWithoutHeaderAnnouncesNothing) {
    use(pt_decoded_store, mode_graphics);
    const ImageRun r = run(pcx_header(0, 0, 11, 1, 4).substr(0, 100), {});
    EXPECT_EQ(r.begin, "GK\"QZLOGO\"\r\n");
    EXPECT_EQ(r.map_results, (std::vector<std::int32_t>{-1}));
    EXPECT_EQ(r.map, "");
    EXPECT_EQ(r.end_result, -1);
    EXPECT_EQ(r.end, "\r\n\r\n");
}

// A first chunk without the whole header: nothing of the image goes out, later chunks are
// ignored, and the raster command is closed as an empty graphic.
TEST_F(Graphics, FirstChunkShorterThanHeaderDropsTheImage) {
    const std::string file = pcx_file(8, 1, 1, bytes({0x11}));
    use(pt_direct, mode_recall);
    ImageRun r = run(file, {127});
    EXPECT_EQ(r.begin, "GW100,50,");
    EXPECT_EQ(r.map_results, (std::vector<std::int32_t>{-1, -1}));
    EXPECT_EQ(r.map, "");
    EXPECT_EQ(r.end_result, -1);
    EXPECT_EQ(r.end, "0,0,\r\n");

    use(pt_decoded_store, mode_graphics);
    r = run(file, {0});
    EXPECT_EQ(r.map_results, (std::vector<std::int32_t>{-1, -1}));
    EXPECT_EQ(r.map, "");
    EXPECT_EQ(r.end_result, -1);
    EXPECT_EQ(r.end, "\r\n\r\n");

    // The next image starts afresh.
    use(pt_direct, mode_recall);
    EXPECT_EQ(run(file).map, "1,1," + bytes({0x11}));
}

// Image data only ever follows its own opening command, once.
TEST_F(Graphics, DataWithoutItsOpeningCommandIsRefused) {
    const std::string file = pcx_file(8, 1, 1, bytes({0x11}));
    use(pt_direct, mode_recall);
    image.set_chunk(file, false);
    EXPECT_EQ(job.call(ep().pcx_map, image.word()), -1);  // no pcx_begin
    EXPECT_EQ(job.call(ep().pcx_end, image.word()), -1);
    EXPECT_EQ(take_bytes(), "\r\n");

    job.call(ep().pcx_begin, image.word());
    image.set_chunk(std::string_view(file).substr(128), true);  // scan lines before any header
    EXPECT_EQ(job.call(ep().pcx_map, image.word()), -1);
    image.set_chunk(file, false);
    EXPECT_EQ(job.call(ep().pcx_map, image.word()), 0);
    EXPECT_EQ(job.call(ep().pcx_map, image.word()), -1);  // a second file into the same command
    EXPECT_EQ(job.call(ep().pcx_end, image.word()), 0);
    EXPECT_EQ(take_bytes(), "GW100,50,1,1," + bytes({0x11}) + "\r\n");

    use(pt_plain_store, mode_graphics);
    EXPECT_EQ(job.call(ep().pcx_map, image.word()), -1);  // stored file without its GM line
    EXPECT_EQ(take_bytes(), "");
}

// A name too long for the LineBuffer cannot announce the stored file: its bytes must not reach
// the printer as commands.
TEST_F(Graphics, StoredFileWithoutRoomForItsNameIsNotSent) {
    use(pt_plain_store, mode_graphics);
    image.set_name(std::string(4090, 'N'));
    const ImageRun r = run(pcx_file(8, 1, 1, bytes({0x11})));
    EXPECT_EQ(r.begin.find("GM"), std::string::npos);
    EXPECT_EQ(r.map_results, std::vector<std::int32_t>{-1});
    EXPECT_EQ(r.map, "");
    EXPECT_EQ(r.end_result, -1);
}

// A real file from an independent writer, decoded and compared with the writer's own reading of
// its pixels.
class ImageMagickPcx : public Graphics {
   protected:
    static std::string shell(const std::string& command) {
        std::string out;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
            if (::pclose(p) != 0) out.clear();
        }
        return out;
    }
};

TEST_F(ImageMagickPcx, DecodedRasterMatchesTheToolsPixels) {
    if (std::system("convert -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick absent";
    struct Row {
        unsigned width, height;
        std::size_t chunk;
    };
    const Row rows[] = {
        /*  1*/ {37, 5, 3},
        /*  2*/ {64, 6, 5},
        /*  3*/ {130, 40, 64},
        /*  4*/ {1, 3, 1},
    };
    const std::string path =
        ::testing::TempDir() + "graphics_im_" + std::to_string(::getpid()) + ".pcx";
    for (const Row& row : rows) {
        const std::string size = std::to_string(row.width) + "x" + std::to_string(row.height);
        SCOPED_TRACE(size);
        // Random pixels, made a two-colour palette image (GIF) so that the PCX writer stores one
        // bit per pixel.
        const std::string make = "convert -seed 5 -size " + size +
                                 " xc: +noise Random -colorspace Gray -threshold 50% gif:- | "
                                 "convert gif:- PCX:" +
                                 path;
        ASSERT_EQ(std::system(make.c_str()), 0);
        const std::string file = shell("cat " + path);
        ASSERT_GE(file.size(), 128u);
        ASSERT_EQ(file[3], 1) << "not a one-bit file";
        const std::string pbm = shell("convert " + path + " pbm:-");
        const std::string pbm_head =
            "P4\n" + std::to_string(row.width) + " " + std::to_string(row.height) + "\n";
        ASSERT_EQ(pbm.substr(0, pbm_head.size()), pbm_head);
        const std::string pixels = pbm.substr(pbm_head.size());

        // The header's chunk, then chunks of the row's length.
        std::vector<std::size_t> cuts{128};
        for (std::size_t at = 128; at < file.size(); at += row.chunk) cuts.push_back(row.chunk);
        const std::string raster = direct_raster(file, cuts);

        // ImageMagick writes and reads a one-bit PCX with a 1 for each black pixel (as PBM does),
        // and the raster carries the file's bits unchanged; pixels beyond the width are white (1).
        const std::size_t row_bytes = (row.width + 7) / 8;
        ASSERT_EQ(raster.size(), row_bytes * row.height);
        ASSERT_EQ(pixels.size(), raster.size());
        for (unsigned y = 0; y < row.height; ++y) {
            for (unsigned x = 0; x < row_bytes * 8; ++x) {
                const std::size_t at = y * row_bytes + x / 8;
                const int bit = 7 - static_cast<int>(x % 8);
                const bool sent = (static_cast<unsigned char>(raster[at]) >> bit) & 1;
                const bool tool = (static_cast<unsigned char>(pixels[at]) >> bit) & 1;
                ASSERT_EQ(sent, x < row.width ? tool : true) << "pixel " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace epl2::test
