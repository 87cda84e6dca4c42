// PCX files of any content, streamed in chunks cut at arbitrary points (a run split across two
// chunks, its count byte the last of one), through the decoder and through the three image entry
// points. A raster command announces rows x bytes, and the printer takes exactly that many bytes
// after it as the image: one byte too many or too few turns the rest of the label into garbage.
//
// Input: one control byte, two bytes per cut, then the PCX file.
//   control bits 0-3: number of cuts; bit 4: the first chunk holds the whole header;
//   bits 5-6: the entry-point path (GW raster, rewritten stored file, stored file, none).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/coordinates.h"
#include "fuzz_support.h"
#include "graphics/pcx.h"
#include "graphics/pcx_decoder.h"
#include "native_host.h"
#include "setup/capabilities.h"

namespace {

using epl2::fuzz::require;
using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t white = 0xFF;
// Rasters beyond this are shrunk to it before decoding: most arbitrary headers announce megabytes,
// which would cost the fuzzer its speed and find nothing new. Their geometry is checked as read.
constexpr std::uint32_t usual_raster_limit = 1u << 14;

struct Plan {
    std::vector<std::uint8_t> header_as_read;  // the file's header before any shrinking
    std::vector<std::uint8_t> file;            // as decoded: its extent shrunk
    std::vector<std::size_t> cuts;  // ascending positions in file where a new chunk starts
    bool header_whole = false;
    std::uint8_t path = 0;
};

void put_u16(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    file[at] = static_cast<std::uint8_t>(value & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint32_t get_u16(const std::vector<std::uint8_t>& file, std::size_t at) {
    return file[at] | static_cast<std::uint32_t>(file[at + 1]) << 8;
}

// Lowers Ymax so that the raster stays small; the rows kept are the file's own.
void shrink_extent(std::vector<std::uint8_t>& file) {
    epl2::PcxGeometry g;
    if (!epl2::read_pcx_header(file, g) || g.raster_size() <= usual_raster_limit) return;
    const std::uint32_t rows = usual_raster_limit / g.row_bytes;
    put_u16(file, 10, get_u16(file, 6) + rows - 1);
}

Plan plan_of(const std::uint8_t* data, std::size_t size) {
    epl2::fuzz::ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    std::vector<std::uint16_t> raw_cuts(control & 0x0Fu);
    for (auto& cut : raw_cuts) cut = in.u16();
    const std::string_view rest = in.rest();

    Plan plan;
    plan.file.assign(rest.begin(), rest.end());
    plan.header_whole = (control & 0x10u) != 0;
    plan.path = static_cast<std::uint8_t>((control >> 5) & 3u);
    if (plan.file.size() >= epl2::pcx_header_size) {
        plan.header_as_read.assign(plan.file.begin(), plan.file.begin() + epl2::pcx_header_size);
    }
    shrink_extent(plan.file);
    const std::size_t first_allowed =
        plan.header_whole ? std::min(plan.file.size(), epl2::pcx_header_size) : 0;
    const std::size_t span = plan.file.size() - first_allowed + 1;
    for (std::uint16_t cut : raw_cuts) plan.cuts.push_back(first_allowed + cut % span);
    std::sort(plan.cuts.begin(), plan.cuts.end());
    return plan;
}

std::vector<Bytes> chunks_of(Bytes file, const std::vector<std::size_t>& cuts) {
    std::vector<Bytes> chunks;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        chunks.push_back(file.subspan(from, cut - from));
        from = cut;
    }
    chunks.push_back(file.subspan(from));
    return chunks;
}

// Collects the raster and refuses, the moment it happens, a byte beyond the announced size or
// any byte after the image was finished.
struct RasterCollector {
    explicit RasterCollector(std::uint32_t announced_size) : announced(announced_size) {}

    std::uint32_t announced;
    bool finished = false;
    std::string raster;

    epl2::RasterSink sink() { return {this, &collect}; }
    static void collect(void* context, const char* bytes, std::size_t length) {
        auto* self = static_cast<RasterCollector*>(context);
        require(!self->finished, "no raster byte after finish");
        require(length > 0, "no empty raster write");
        self->raster.append(bytes, length);
        require(self->raster.size() <= self->announced, "never more than the announced raster");
    }
};

// The raster a file must give, decoded byte by byte as the format describes it: runs of a count
// byte (top two bits set) and a data byte, or a literal byte; the row takes the first row_bytes
// positions of each scan line that lie inside the line; the padding beyond is dropped, as is the
// surplus of a run that carries past a line's end; a line shorter than the row, rows the file
// never reached and a file that ends early all give white; the pixels beyond the image's width in
// a row's last byte are white.
std::string reference_raster(const epl2::PcxGeometry& g, Bytes scan_lines) {
    const std::uint32_t row_bytes = g.row_bytes;
    std::string raster;
    std::string row;
    std::uint32_t rows = 0;
    std::uint32_t column = 0;
    const auto close_row = [&] {
        if (rows < g.height) {
            row.resize(row_bytes, static_cast<char>(white));
            raster += row;
            ++rows;
        }
        row.clear();
        column = 0;
    };
    for (std::size_t i = 0; i < scan_lines.size(); ++i) {
        std::uint32_t count = 1;
        std::uint8_t data = scan_lines[i];
        if ((data & 0xC0u) == 0xC0u) {
            if (i + 1 == scan_lines.size()) break;  // a count byte without its data byte
            count = data & 0x3Fu;
            data = scan_lines[++i];
        }
        for (std::uint32_t k = 0; k < count; ++k, ++column) {
            if (column < g.bytes_per_line && column < row_bytes)
                row.push_back(static_cast<char>(data));
        }
        if (column >= g.bytes_per_line) close_row();
    }
    if (rows < g.height) raster += row;
    raster.resize(g.raster_size(), static_cast<char>(white));
    for (std::uint32_t r = 0; row_bytes > 0 && r < g.height; ++r) {
        char& last = raster[std::size_t{r} * row_bytes + row_bytes - 1];
        last = static_cast<char>(static_cast<std::uint8_t>(last) | ~g.edge_mask);
    }
    return raster;
}

// The geometry against the header's own numbers: the row holds the width in whole bytes, up to
// the printer's 255, and the edge mask marks exactly the image's pixels in the last byte.
void check_geometry(const epl2::PcxGeometry& g, const std::vector<std::uint8_t>& file) {
    const auto extent = [&](std::size_t min_at, std::size_t max_at) {
        const std::uint32_t min = get_u16(file, min_at);
        const std::uint32_t max = get_u16(file, max_at);
        return max >= min ? max - min + 1 : 0;
    };
    const std::uint32_t width = extent(4, 8);
    require(g.width == std::min<std::uint32_t>(width, 0xFFFF), "width from Xmin..Xmax");
    require(g.height == std::min<std::uint32_t>(extent(6, 10), 0xFFFF), "height from Ymin..Ymax");
    require(g.bytes_per_line == get_u16(file, 66), "bytes per line from the header");
    const std::uint32_t whole_bytes = (width + 7) / 8;
    require(g.row_bytes == std::min<std::uint32_t>(whole_bytes, epl2::pcx_max_row_bytes),
            "row holds the width, at most 255 bytes");
    const std::uint32_t pixels_in_last = whole_bytes > epl2::pcx_max_row_bytes ? 8 : width % 8;
    const auto expected_mask =
        static_cast<std::uint8_t>(pixels_in_last == 0 ? 0xFFu : 0xFFu << (8 - pixels_in_last));
    require(g.edge_mask == expected_mask, "edge mask marks the image pixels of the last byte");
}

std::string decode_in_chunks(const epl2::PcxGeometry& g, const std::vector<Bytes>& chunks) {
    RasterCollector out(g.raster_size());
    epl2::PcxDecoder decoder;
    decoder.start(g);
    for (Bytes chunk : chunks) {
        decoder.decode(chunk, out.sink());
        require(decoder.sent() == out.raster.size(), "sent() counts what the sink received");
    }
    decoder.finish(out.sink());
    require(out.raster.size() == g.raster_size(), "exactly the announced raster after finish");
    require(decoder.sent() == g.raster_size(), "sent() is the announced size after finish");
    out.finished = true;
    // A host that keeps streaming after the end has nowhere to put its bytes.
    for (Bytes chunk : chunks) decoder.decode(chunk, out.sink());
    decoder.finish(out.sink());
    return out.raster;
}

void check_decoder(const Plan& plan) {
    const Bytes file(plan.file);
    epl2::PcxGeometry g;
    epl2::PcxGeometry untouched;
    untouched.width = 0x1234;
    g = untouched;
    if (!epl2::read_pcx_header(file, g)) {
        require(file.size() < epl2::pcx_header_size, "a whole header is read");
        require(g.width == untouched.width, "geometry left alone without a header");
        return;
    }
    const Bytes scan_lines = file.subspan(epl2::pcx_header_size);
    std::vector<std::size_t> cuts;
    for (std::size_t cut : plan.cuts) {
        cuts.push_back(std::max(cut, epl2::pcx_header_size) - epl2::pcx_header_size);
    }
    const std::string whole = decode_in_chunks(g, {scan_lines});
    const std::string chunked = decode_in_chunks(g, chunks_of(scan_lines, cuts));
    require(whole == chunked, "chunking does not change the raster");
    require(whole == reference_raster(g, scan_lines), "raster as the format describes it");
}

// The host's side of one image: pcx_begin, pcx_map per chunk, pcx_end, with every call's bytes
// and results.
struct ImageCalls {
    std::string bytes;
    std::vector<std::int32_t> map_results;
    std::int32_t end_result = 0;
};

ImageCalls stream_image(epl2::native::NativeHost& host, const Plan& plan,
                        const std::vector<Bytes>& chunks) {
    const epl2::Job job = host.job();
    static const char name[] = "LOGO";
    std::array<std::byte, epl2::pcx_object_size> block{};
    const epl2::PcxObjectView object(block.data());
    object.set(epl2::pcx_object::file_size, static_cast<std::uint32_t>(plan.file.size()));
    object.set(epl2::pcx_object::graphic_name, host.word(name));
    const std::uint32_t object_word = host.word(block.data());

    ImageCalls calls;
    epl2::pcx_begin(job, object_word);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        object.set(epl2::pcx_object::chunk_continues, i == 0 ? 0 : 1);
        object.set(epl2::pcx_object::chunk_length, static_cast<std::uint32_t>(chunks[i].size()));
        object.set(epl2::pcx_object::chunk_data, host.word(chunks[i].data()));
        calls.map_results.push_back(epl2::pcx_map(job, object_word));
    }
    calls.end_result = epl2::pcx_end(job, object_word);
    calls.bytes = host.take_output();
    return calls;
}

std::string as_text(Bytes bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// What the printer must receive for the image, and what the calls must answer: a file whose first
// chunk holds no whole header is not sent, but its raster command is still closed.
void check_entry_points(const Plan& plan) {
    struct Path {
        std::int32_t printer_type;
        std::uint8_t form_mode;
    };
    constexpr Path paths[] = {{8, 3}, {10, 7}, {2, 7}};
    if (plan.path >= std::size(paths)) return;
    const Path path = paths[plan.path];

    epl2::native::NativeHost host;
    const epl2::RecordView r = host.record();
    r.set(epl2::record::printer_type, path.printer_type);
    epl2::prtsetup(host.job());
    r.set(epl2::record::form_mode, path.form_mode);
    host.take_output();

    const Bytes file(plan.file);
    const std::vector<Bytes> chunks = chunks_of(file, plan.cuts);
    const ImageCalls calls = stream_image(host, plan, chunks);

    epl2::PcxGeometry g;
    const bool has_header = epl2::read_pcx_header(chunks.front(), g);
    const bool verbatim = path.printer_type == 2;
    const bool sent = verbatim || has_header;
    std::string expected;
    if (path.printer_type == 8) {
        expected = "GW" + std::to_string(epl2::map_x(r, 0)) + "," +
                   std::to_string(epl2::map_y(r, 0)) + ",";
        expected += has_header ? std::to_string(g.row_bytes) + "," + std::to_string(g.height) +
                                     "," + reference_raster(g, file.subspan(epl2::pcx_header_size))
                               : "0,0,";
        expected += "\r\n";
    } else {
        expected = "GK\"QZLOGO\"\r\n";
        // Verbatim, the file's own size is announced; decoded, the header plus the raster, once
        // the header is known.
        if (verbatim) {
            expected += "GM\"QZLOGO\"" + std::to_string(plan.file.size()) + "\r\n" + as_text(file);
        } else if (has_header) {
            expected += "GM\"QZLOGO\"" + std::to_string(epl2::pcx_header_size + g.raster_size()) +
                        "\r\n" + as_text(file.first(epl2::pcx_header_size)) +
                        reference_raster(g, file.subspan(epl2::pcx_header_size));
        }
        expected += "\r\n\r\n";
    }
    require(calls.bytes == expected, "the image's bytes on the wire");
    for (std::size_t i = 0; i < calls.map_results.size(); ++i) {
        require(calls.map_results[i] == (sent ? 0 : -1), "pcx_map says whether the chunk went out");
    }
    require(calls.end_result == (sent ? 0 : -1), "pcx_end says whether the image went out");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Plan plan = plan_of(data, size);
    if (!plan.header_as_read.empty()) {
        epl2::PcxGeometry g;
        require(epl2::read_pcx_header(plan.header_as_read, g), "a whole header is read");
        check_geometry(g, plan.header_as_read);
    }
    check_decoder(plan);
    check_entry_points(plan);
    return 0;
}
