// PCX files of any content, streamed in chunks cut at arbitrary points (a run split across two
// chunks, its count byte the last of one), through the decoder and through the three image entry
// points. A raster command announces rows x bytes, and the printer takes exactly that many bytes
// after it as the image: one byte too many or too few turns the rest of the label into garbage.
// What each decoding rule makes of a file, byte for byte, is pinned by the driver's graphics cases
// (and by files from an independent PCX writer); here the rules meet arbitrary headers and cuts.
//
// Input: one control byte, two bytes per cut, then the PCX file.
//   control bits 0-3: number of cuts; bit 4: the first chunk holds the whole header;
//   bits 5-6: the entry-point path (GW raster, rewritten stored file, stored file, none).
#include <algorithm>
#include <array>
#include <bit>
#include <span>
#include <vector>

#include "core/coordinates.h"
#include "fuzz_support.h"
#include "graphics/pcx.h"
#include "graphics/pcx_decoder.h"

namespace {

using epl2::fuzz::require;
using Bytes = std::span<const std::uint8_t>;

// Rasters beyond this are shrunk to it before decoding: most arbitrary headers announce megabytes,
// which would cost the fuzzer its speed and find nothing new.
constexpr std::uint32_t usual_raster_limit = 1u << 14;

struct Plan {
    std::vector<std::uint8_t> file;  // as decoded: its extent shrunk
    std::vector<std::size_t> cuts;   // ascending positions in file where a new chunk starts
    std::uint8_t path = 0;
};

// Lowers Ymax so that the raster stays small; the rows kept are the file's own.
void shrink_extent(std::vector<std::uint8_t>& file) {
    epl2::PcxGeometry g;
    if (!epl2::read_pcx_header(file, g) || g.raster_size() <= usual_raster_limit) return;
    const std::uint32_t y_min = file[6] | std::uint32_t{file[7]} << 8;
    const std::uint32_t y_max = y_min + usual_raster_limit / g.row_bytes - 1;
    file[10] = static_cast<std::uint8_t>(y_max);
    file[11] = static_cast<std::uint8_t>(y_max >> 8);
}

Plan plan_of(const std::uint8_t* data, std::size_t size) {
    epl2::fuzz::ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    std::vector<std::uint16_t> raw_cuts(control & 0x0Fu);
    for (auto& cut : raw_cuts) cut = in.u16();
    const std::string_view rest = in.rest();

    Plan plan{{rest.begin(), rest.end()}, {}, static_cast<std::uint8_t>((control >> 5) & 3u)};
    shrink_extent(plan.file);
    const std::size_t first_allowed =
        (control & 0x10u) != 0 ? std::min(plan.file.size(), epl2::pcx_header_size) : 0;
    const std::size_t span = plan.file.size() - first_allowed + 1;
    for (std::uint16_t cut : raw_cuts) plan.cuts.push_back(first_allowed + cut % span);
    std::sort(plan.cuts.begin(), plan.cuts.end());
    return plan;
}

// The file from offset on, in the chunks the cuts make of it.
std::vector<Bytes> chunks_of(Bytes file, const std::vector<std::size_t>& cuts,
                             std::size_t offset = 0) {
    std::vector<Bytes> chunks;
    std::size_t from = offset;
    for (std::size_t cut : cuts) {
        chunks.push_back(file.subspan(from, std::max(cut, offset) - from));
        from = std::max(cut, offset);
    }
    chunks.push_back(file.subspan(from));
    return chunks;
}

// The row holds the image's width in whole bytes, up to the printer's 255, and the edge mask
// marks the image's pixels of the last byte: together exactly the width, or 2040 dots of it.
void check_geometry(const epl2::PcxGeometry& g) {
    const auto edge_pixels = static_cast<std::uint32_t>(std::popcount(g.edge_mask));
    require(edge_pixels > 0 && g.edge_mask == static_cast<std::uint8_t>(0xFF00u >> edge_pixels),
            "the edge mask marks the leftmost pixels of the last byte");
    const std::uint32_t pixels = g.row_bytes == 0 ? 0 : (g.row_bytes - 1u) * 8 + edge_pixels;
    require(pixels == std::min<std::uint32_t>(g.width, epl2::pcx_max_row_bytes * 8),
            "the row holds exactly the image's pixels, at most 255 bytes of them");
}

// The raster as the decoder hands it on. A byte beyond the announced size is refused the moment
// it is written: after finish, any byte at all.
struct RasterCollector {
    std::uint32_t announced;
    std::string raster;

    static void collect(void* context, const char* bytes, std::size_t length) {
        auto& self = *static_cast<RasterCollector*>(context);
        require(length > 0, "no empty raster write");
        self.raster.append(bytes, length);
        require(self.raster.size() <= self.announced, "never more than the announced raster");
    }
};

std::string decode_in_chunks(const epl2::PcxGeometry& g, const std::vector<Bytes>& chunks) {
    RasterCollector out{g.raster_size(), {}};
    const epl2::RasterSink sink{&out, &RasterCollector::collect};
    epl2::PcxDecoder decoder;
    decoder.start(g);
    for (Bytes chunk : chunks) decoder.decode(chunk, sink);
    decoder.finish(sink);
    require(out.raster.size() == g.raster_size(), "exactly the announced raster after finish");
    // A host that keeps streaming after the end has nowhere to put its bytes.
    for (Bytes chunk : chunks) decoder.decode(chunk, sink);
    decoder.finish(sink);
    return out.raster;
}

// The raster as scan lines of its own, one per row without padding: each byte repeated up to 63
// times as one run, a byte with both top bits set always as a run, and every line's last run
// carried past the line's end, where its surplus must be dropped.
std::vector<std::uint8_t> run_length_coded(std::string_view raster, std::size_t row_bytes) {
    std::vector<std::uint8_t> lines;
    for (std::size_t at = 0; at < raster.size();) {
        const std::size_t line_end = (at / row_bytes + 1) * row_bytes;
        std::size_t n = 1;
        while (n < 63 && at + n < line_end && raster[at + n] == raster[at]) ++n;
        const std::size_t count = at + n == line_end ? std::min<std::size_t>(n + 2, 63) : n;
        const auto byte = static_cast<std::uint8_t>(raster[at]);
        if (count > 1 || byte >= 0xC0) lines.push_back(static_cast<std::uint8_t>(0xC0 | count));
        lines.push_back(byte);
        at += n;
    }
    return lines;
}

// The same raster whatever the cuts, the pixels beyond the image's width white (1), and the
// raster coded again decodes to itself.
void check_decoder(const Plan& plan) {
    const Bytes file(plan.file);
    epl2::PcxGeometry g;
    g.width = 0x1234;
    const bool has_header = epl2::read_pcx_header(file, g);
    require(has_header || (file.size() < epl2::pcx_header_size && g.width == 0x1234),
            "only a file shorter than a header has none, and leaves the geometry alone");
    if (!has_header) return;
    check_geometry(g);
    const std::string whole = decode_in_chunks(g, {file.subspan(epl2::pcx_header_size)});
    require(whole == decode_in_chunks(g, chunks_of(file, plan.cuts, epl2::pcx_header_size)),
            "chunking does not change the raster");
    for (std::size_t end = g.row_bytes; end > 0 && end <= whole.size(); end += g.row_bytes) {
        require((static_cast<std::uint8_t>(whole[end - 1]) | g.edge_mask) == 0xFF,
                "pixels beyond the image's width are white");
    }
    epl2::PcxGeometry unpadded = g;
    unpadded.bytes_per_line = g.row_bytes;
    require(decode_in_chunks(unpadded, {run_length_coded(whole, g.row_bytes)}) == whole,
            "the raster coded again decodes to itself");
}

// One image through pcx_begin, pcx_map per chunk and pcx_end on one of three paths. Each raster
// or stored file announces exactly the bytes that follow: the decoder's raster, the file as it
// is, or its header and raster once the header is known. A file whose first chunk holds no whole
// header is not sent, but its raster command is still closed; every call says whether it went out.
void check_entry_points(const Plan& plan) {
    constexpr std::int32_t printer_types[] = {8, 10, 2};
    if (plan.path >= std::size(printer_types)) return;
    const std::int32_t printer_type = printer_types[plan.path];
    epl2::native::NativeHost host;
    epl2::fuzz::begin_pass(host, printer_type, printer_type == 8 ? 3 : 7);

    const std::vector<Bytes> chunks = chunks_of(plan.file, plan.cuts);
    std::array<std::byte, epl2::pcx_object_size> block{};
    const epl2::PcxObjectView object(block.data());
    object.set(epl2::pcx_object::file_size, static_cast<std::uint32_t>(plan.file.size()));
    object.set(epl2::pcx_object::graphic_name, host.word("LOGO"));
    const std::uint32_t object_word = host.word(block.data());
    std::vector<std::int32_t> results;
    epl2::pcx_begin(host.job(), object_word);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        object.set(epl2::pcx_object::chunk_continues, i == 0 ? 0 : 1);
        object.set(epl2::pcx_object::chunk_length, static_cast<std::uint32_t>(chunks[i].size()));
        object.set(epl2::pcx_object::chunk_data, host.word(chunks[i].data()));
        results.push_back(epl2::pcx_map(host.job(), object_word));
    }
    results.push_back(epl2::pcx_end(host.job(), object_word));

    epl2::PcxGeometry g;  // without a header: no rows of no bytes
    const bool has_header = epl2::read_pcx_header(chunks.front(), g);
    const std::string raster =
        has_header ? decode_in_chunks(g, {Bytes(plan.file).subspan(epl2::pcx_header_size)}) : "";
    const std::string file(plan.file.begin(), plan.file.end());
    const bool verbatim = printer_type == 2;
    const bool sent = verbatim || has_header;
    std::string expected;
    if (printer_type == 8) {
        const epl2::RecordView r = host.record();
        expected = "GW" + std::to_string(epl2::map_x(r, 0)) + "," +
                   std::to_string(epl2::map_y(r, 0)) + "," + std::to_string(g.row_bytes) + "," +
                   std::to_string(g.height) + "," + raster + "\r\n";
    } else {
        const std::string stored = verbatim ? file : file.substr(0, epl2::pcx_header_size) + raster;
        expected = "GK\"QZLOGO\"\r\n" +
                   (sent ? "GM\"QZLOGO\"" + std::to_string(stored.size()) + "\r\n" + stored : "") +
                   "\r\n\r\n";
    }
    require(host.take_output() == expected, "the image's bytes on the wire");
    require(std::ranges::all_of(results, [&](std::int32_t r) { return r == (sent ? 0 : -1); }),
            "every call says whether the image went out");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Plan plan = plan_of(data, size);
    check_decoder(plan);
    check_entry_points(plan);
    return 0;
}
