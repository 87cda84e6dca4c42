#include "graphics/pcx.h"

#include <algorithm>
#include <span>

#include "core/coordinates.h"
#include "core/page_frame.h"
#include "core/passes.h"
#include "graphics/pcx_decoder.h"

namespace epl2 {

namespace {

// The one printer class whose stored graphics are rewritten: the file's header unchanged, then
// its scan lines decoded into rows.
constexpr std::int32_t decoded_store_printer_type = 10;

// How the current pass carries an image to the printer.
enum class PcxPath : std::uint8_t {
    none,            // the pass sends nothing of images
    direct,          // decoded raster inside the label (GW)
    store_decoded,   // stored in printer memory: header, then decoded rows (GK, GM)
    store_verbatim,  // stored in printer memory byte for byte (GK, GM)
    recall,          // the stored graphic is printed (GG)
};

PcxPath path_of(RecordView r) noexcept {
    const std::uint8_t mode = r.get(record::form_mode);
    if (draws_directly(r)) return mode == form_mode::recall ? PcxPath::direct : PcxPath::none;
    if (mode == form_mode::graphics) {
        return r.get(record::printer_type) == decoded_store_printer_type ? PcxPath::store_decoded
                                                                         : PcxPath::store_verbatim;
    }
    return mode == form_mode::build ? PcxPath::recall : PcxPath::none;
}

// Where the image being streamed stands. The printer takes the bytes after a GW or GM command
// as data, so no image data may go out unless its opening command did, and a raster command
// must be followed by exactly the raster it announced.
enum class PcxPhase : std::uint8_t {
    closed,         // no opening command is waiting for data
    awaiting_file,  // the opening command went out; the file's first chunk is due
    streaming,      // the header was accepted (or, stored verbatim, data is flowing)
    dropped,        // the first chunk held no complete header: the image is not sent
};

struct PcxStream {
    PcxDecoder decoder;
    PcxPhase phase = PcxPhase::closed;
};

// Module-wide, not per job: a run may continue from one chunk into the next, and the host
// streams one image at a time in the whole process.
constinit PcxStream pcx_stream{};

void send_raster(void* context, const char* bytes, std::size_t length) {
    static_cast<const Job*>(context)->send(bytes, static_cast<std::int32_t>(length));
}

RasterSink raster_sink(const Job& job) noexcept {
    return {const_cast<Job*>(&job), &send_raster};
}

std::span<const std::uint8_t> chunk_of(const Job& job, PcxObjectView object) noexcept {
    const std::byte* data = job.resolve(object.get(pcx_object::chunk_data));
    if (data == nullptr) return {};
    return {reinterpret_cast<const std::uint8_t*>(data), object.get(pcx_object::chunk_length)};
}

// Chunk bytes as they stand, in pieces whose length stays a positive byte count.
void send_verbatim(const Job& job, std::span<const std::uint8_t> bytes) noexcept {
    constexpr std::size_t piece = std::size_t{1} << 30;
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), piece);
        job.send(reinterpret_cast<const char*>(bytes.data()), static_cast<std::int32_t>(n));
        bytes = bytes.subspan(n);
    }
}

void store_geometry(RecordView r, const PcxGeometry& g) noexcept {
    r.set(record::pcx_width, g.width);
    r.set(record::pcx_height, g.height);
    r.set(record::pcx_row_bytes, g.row_bytes);
    r.set(record::pcx_edge_mask, g.edge_mask);
    r.set(record::pcx_bytes_per_line, g.bytes_per_line);
}

// Opens a stored graphic: the printer takes the next `size` bytes as its file.
bool send_store_command(const Job& job, std::string_view name, std::uint32_t size) noexcept {
    return job.send_line("GM\"QZ%s\"%lu\r\n", {name, size});
}

// A graphic stored decoded is announced only once its header is known: the printer takes exactly
// the announced count as the file, and what follows is the header plus the decoded rows, not the
// file as the host sized it. Announcing the host's file size would let the printer swallow the
// commands after the graphic, or take them for image data.
bool announce_decoded_store(const Job& job, PcxObjectView object,
                            const PcxGeometry& geometry) noexcept {
    const std::string_view name = job.resolve_string(object.get(pcx_object::graphic_name));
    const std::uint32_t stored_size =
        static_cast<std::uint32_t>(pcx_header_size) + geometry.raster_size();
    return send_store_command(job, name, stored_size);
}

// The first chunk of a decoded image: its header fixes the rows, the path's prefix goes out and
// the scan lines that follow the header in the chunk are decoded.
bool start_decoding(const Job& job, PcxPath path, PcxObjectView object,
                    std::span<const std::uint8_t> chunk) noexcept {
    PcxGeometry geometry;
    if (!read_pcx_header(chunk, geometry)) return false;
    if (path == PcxPath::store_decoded && !announce_decoded_store(job, object, geometry)) {
        return false;
    }
    store_geometry(job.record(), geometry);
    pcx_stream.decoder.start(geometry);
    if (path == PcxPath::direct) {
        job.send_line("%d,%d,", {geometry.row_bytes, geometry.height});
    } else {
        job.send(reinterpret_cast<const char*>(chunk.data()), pcx_header_size);
    }
    pcx_stream.decoder.decode(chunk.subspan(pcx_header_size), raster_sink(job));
    return true;
}

std::int32_t map_decoded(const Job& job, PcxPath path, PcxObjectView object) noexcept {
    const bool first_chunk = object.get(pcx_object::chunk_continues) == 0;
    const auto chunk = chunk_of(job, object);
    if (first_chunk && pcx_stream.phase == PcxPhase::awaiting_file) {
        const bool started = start_decoding(job, path, object, chunk);
        pcx_stream.phase = started ? PcxPhase::streaming : PcxPhase::dropped;
        return started ? 0 : -1;
    }
    // Later chunks continue an accepted file; anything else (a second first chunk, a chunk of a
    // dropped image, a chunk before any header) has no announced room to go into.
    if (first_chunk || pcx_stream.phase != PcxPhase::streaming) return -1;
    pcx_stream.decoder.decode(chunk, raster_sink(job));
    return 0;
}

std::int32_t map_verbatim(const Job& job, PcxObjectView object) noexcept {
    if (pcx_stream.phase != PcxPhase::awaiting_file && pcx_stream.phase != PcxPhase::streaming) {
        return -1;
    }
    pcx_stream.phase = PcxPhase::streaming;
    send_verbatim(job, chunk_of(job, object));
    return 0;
}

// Sends the announced raster of an image in full; an image whose file never gave a header
// closes its raster command as an empty graphic instead, so nothing after it is taken for data.
// Returns whether the image went out.
bool complete_raster(const Job& job, PcxPath path) noexcept {
    if (pcx_stream.phase == PcxPhase::streaming) {
        pcx_stream.decoder.finish(raster_sink(job));
        return true;
    }
    if (path == PcxPath::direct && pcx_stream.phase != PcxPhase::closed) job.send("0,0,");
    return false;
}

void begin_stored(const Job& job, PcxPath path, std::string_view name,
                  std::uint32_t file_size) noexcept {
    job.send_line("GK\"QZ%s\"\r\n", {name});
    // A decoded store announces its size from the header, with the first chunk.
    const bool announced =
        path == PcxPath::store_decoded || send_store_command(job, name, file_size);
    pcx_stream.phase = announced ? PcxPhase::awaiting_file : PcxPhase::closed;
}

void recall_stored(const Job& job, std::int32_t x, std::int32_t y, std::string_view name) noexcept {
    form_preamble(job);
    if (job.send_line("GG%d,%d,\"QZ%s\"\r\n", {x, y, name})) {
        raise_object_bottom(job.record(), y);
    }
}

}  // namespace

std::int32_t pcx_begin(const Job& job, std::uint32_t pcx_object) noexcept {
    std::byte* block = job.resolve(pcx_object);
    if (block == nullptr) return 0;
    const PcxObjectView object(block);
    const RecordView r = job.record();
    const std::int32_t x = map_x(r, object.get(pcx_object::x));
    const std::int32_t y = map_y(r, object.get(pcx_object::y));
    const std::string_view name = job.resolve_string(object.get(pcx_object::graphic_name));
    switch (const PcxPath path = path_of(r)) {
        case PcxPath::direct:
            form_preamble(job);
            pcx_stream.phase =
                job.send_line("GW%d,%d,", {x, y}) ? PcxPhase::awaiting_file : PcxPhase::closed;
            break;
        case PcxPath::store_decoded:
        case PcxPath::store_verbatim:
            begin_stored(job, path, name, object.get(pcx_object::file_size));
            break;
        case PcxPath::recall:
            recall_stored(job, x, y, name);
            break;
        case PcxPath::none:
            break;
    }
    return 0;
}

std::int32_t pcx_map(const Job& job, std::uint32_t pcx_object) noexcept {
    std::byte* block = job.resolve(pcx_object);
    if (block == nullptr) return -1;
    const PcxObjectView object(block);
    switch (const PcxPath path = path_of(job.record())) {
        case PcxPath::direct:
        case PcxPath::store_decoded:
            return map_decoded(job, path, object);
        case PcxPath::store_verbatim:
            return map_verbatim(job, object);
        case PcxPath::recall:
        case PcxPath::none:
            break;
    }
    return -1;
}

std::int32_t pcx_end(const Job& job, std::uint32_t) noexcept {
    const PcxPath path = path_of(job.record());
    bool sent_image = false;
    switch (path) {
        case PcxPath::direct:
            sent_image = complete_raster(job, path);
            job.send_crlf();
            break;
        case PcxPath::store_decoded:
            sent_image = complete_raster(job, path);
            job.send("\r\n\r\n");
            break;
        case PcxPath::store_verbatim:
            sent_image = pcx_stream.phase == PcxPhase::streaming;
            job.send("\r\n\r\n");
            break;
        case PcxPath::recall:
        case PcxPath::none:
            return -1;
    }
    pcx_stream.phase = PcxPhase::closed;
    return sent_image ? 0 : -1;
}

}  // namespace epl2
