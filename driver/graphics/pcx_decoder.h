// The raster of a monochrome PCX file: its header (the image's extent and the length of its
// decoded lines) and the run-length decoding of its scan lines into printer rows. Knows nothing
// of jobs or hosts, so it runs unchanged on any pointer width and under any harness.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace epl2 {

// Every PCX file starts with this many header bytes; the scan lines follow.
inline constexpr std::size_t pcx_header_size = 128;

// A printer row holds at most this many bytes (2040 dots): the row length is one byte wide in
// the record and in the raster command.
inline constexpr std::uint32_t pcx_max_row_bytes = 255;

// The shape of the raster the printer receives, derived from a file's header.
struct PcxGeometry {
    std::uint16_t width = 0;           // dots, as the header gives it
    std::uint16_t height = 0;          // rows sent
    std::uint8_t row_bytes = 0;        // bytes sent per row
    std::uint8_t edge_mask = 0;        // 1-bits: the image pixels of a row's last byte
    std::uint32_t bytes_per_line = 0;  // decoded bytes per scan line of the file, padding included

    // Raster bytes a command for this image announces, and so must carry.
    [[nodiscard]] constexpr std::uint32_t raster_size() const noexcept {
        return std::uint32_t{row_bytes} * height;
    }
};

// Reads the extent and line length of the header at the start of a file. Returns false, and
// leaves geometry alone, when fewer than the header's bytes are there.
//
// One plane of one bit per pixel is assumed (no other header field is read). An extent whose
// maximum lies below its minimum is empty; a row wider than the printer takes is cut to its first
// pcx_max_row_bytes bytes, all of them image bytes.
bool read_pcx_header(std::span<const std::uint8_t> file_start, PcxGeometry& geometry) noexcept;

// Where decoded raster bytes go, in order; a pointer pair rather than a virtual interface so the
// module needs no C++ runtime support.
struct RasterSink {
    void* context;
    void (*write)(void* context, const char* bytes, std::size_t length);
};

// Decodes one image's scan lines, chunk by chunk, into exactly geometry.raster_size() bytes:
// each row holds the first row_bytes bytes of one scan line, the pixels beyond the image width
// in its last byte forced to white (1), and the line's padding dropped. A run that would carry
// past the end of a line is not split: its surplus is padding. A line shorter than the row is
// completed with white; lines beyond the last row are dropped; finish() completes a file that
// ended early. Data bits go out as they stand (1 is white in both formats).
//
// The state between chunks (a count byte at the end of one chunk takes its data byte from the
// next) is all in this object, which has no constructor that runs code, so it can live in
// constant-initialised storage. Callers keep the order start, decode..., finish.
class PcxDecoder {
   public:
    constexpr PcxDecoder() noexcept = default;

    // Starts an image: geometry from its header, no run pending, first row.
    void start(const PcxGeometry& geometry) noexcept;
    [[nodiscard]] const PcxGeometry& geometry() const noexcept { return geometry_; }

    // Decodes the next bytes of the scan lines; nothing is held back once it returns.
    void decode(std::span<const std::uint8_t> bytes, RasterSink sink) noexcept;
    // Sends white bytes up to the announced raster size; the image then takes no more bytes.
    void finish(RasterSink sink) noexcept;

   private:
    class Output;

    void send_run(std::uint8_t data, std::uint32_t count, Output& out) noexcept;
    void end_line(Output& out) noexcept;

    PcxGeometry geometry_{};
    bool run_pending_ = false;  // a count byte was read; its data byte comes next
    std::uint32_t run_count_ = 0;
    std::uint32_t column_ = 0;  // position within the current scan line
    std::uint32_t row_ = 0;     // rows completed
    std::uint32_t sent_ = 0;    // raster bytes sent for this image
};

}  // namespace epl2
