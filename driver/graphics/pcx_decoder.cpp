#include "graphics/pcx_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace epl2 {

namespace {

// Header offsets of the little-endian 16-bit values the raster needs.
constexpr std::size_t header_x_min = 4;
constexpr std::size_t header_y_min = 6;
constexpr std::size_t header_x_max = 8;
constexpr std::size_t header_y_max = 10;
constexpr std::size_t header_bytes_per_line = 66;

// Count bytes have their two top bits set; the other six bits are the run length.
constexpr std::uint8_t run_marker = 0xC0;
constexpr std::uint8_t run_length_bits = 0x3F;

constexpr std::uint8_t white_byte = 0xFF;

std::uint32_t header_u16(std::span<const std::uint8_t> header, std::size_t offset) noexcept {
    return std::uint32_t{header[offset]} | (std::uint32_t{header[offset + 1]} << 8);
}

// Pixels from min to max inclusive; an extent whose maximum lies below its minimum holds none.
std::uint32_t extent(std::uint32_t min, std::uint32_t max) noexcept {
    return max >= min ? max - min + 1 : 0;
}

std::uint16_t clamp_u16(std::uint32_t value) noexcept {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF));
}

// The image pixels of a row's last byte are its top bits (the leftmost pixel is the most
// significant bit). A row that was cut short ends inside the image, so all its bits are pixels.
std::uint8_t edge_mask_of(std::uint32_t width, bool row_cut) noexcept {
    const std::uint32_t pixels_in_last_byte = width % 8;
    if (row_cut || pixels_in_last_byte == 0) return 0xFF;
    return static_cast<std::uint8_t>(0xFFu << (8 - pixels_in_last_byte));
}

}  // namespace

bool read_pcx_header(std::span<const std::uint8_t> file_start, PcxGeometry& geometry) noexcept {
    if (file_start.size() < pcx_header_size) return false;
    const std::uint32_t width =
        extent(header_u16(file_start, header_x_min), header_u16(file_start, header_x_max));
    const std::uint32_t height =
        extent(header_u16(file_start, header_y_min), header_u16(file_start, header_y_max));
    const std::uint32_t full_row_bytes = (width + 7) / 8;
    const bool row_cut = full_row_bytes > pcx_max_row_bytes;

    geometry.width = clamp_u16(width);
    // 65536 rows is the one extent the 16-bit row count cannot carry: its last row is dropped.
    geometry.height = clamp_u16(height);
    geometry.row_bytes =
        static_cast<std::uint8_t>(std::min<std::uint32_t>(full_row_bytes, pcx_max_row_bytes));
    geometry.edge_mask = edge_mask_of(width, row_cut);
    geometry.bytes_per_line = header_u16(file_start, header_bytes_per_line);
    return true;
}

// Collects decoded bytes and hands them on in blocks rather than one call per byte; everything
// is handed on by the time it goes out of scope.
class PcxDecoder::Output {
   public:
    explicit Output(RasterSink sink) noexcept : sink_(sink) {}
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() { flush(); }

    void put(std::uint8_t byte) noexcept {
        if (used_ == block_.size()) flush();
        block_[used_++] = static_cast<char>(byte);
    }
    void repeat(std::uint8_t byte, std::uint32_t count) noexcept {
        while (count > 0) {
            if (used_ == block_.size()) flush();
            const std::size_t n = std::min<std::size_t>(count, block_.size() - used_);
            std::memset(block_.data() + used_, byte, n);
            used_ += n;
            count -= static_cast<std::uint32_t>(n);
        }
    }

   private:
    void flush() noexcept {
        if (used_ > 0) sink_.write(sink_.context, block_.data(), used_);
        used_ = 0;
    }

    RasterSink sink_;
    std::array<char, 256> block_{};
    std::size_t used_ = 0;
};

void PcxDecoder::start(const PcxGeometry& geometry) noexcept {
    geometry_ = geometry;
    run_pending_ = false;
    run_count_ = 0;
    column_ = 0;
    row_ = 0;
    sent_ = 0;
}

void PcxDecoder::send_run(std::uint8_t data, std::uint32_t count, Output& out) noexcept {
    const std::uint32_t row_bytes = geometry_.row_bytes;
    // Positions of a scan line that land in the row: not beyond the row, nor beyond the line.
    const std::uint32_t image_positions = std::min(geometry_.bytes_per_line, row_bytes);
    if (row_ < geometry_.height && column_ < image_positions) {
        const std::uint32_t n = std::min(count, image_positions - column_);
        const bool reaches_edge = column_ + n == row_bytes;
        if (n > 1) out.repeat(data, reaches_edge ? n - 1 : n);
        if (reaches_edge) {
            out.put(static_cast<std::uint8_t>(data | ~geometry_.edge_mask));
        } else if (n == 1) {
            out.put(data);  // most bytes of a detailed image are single literals
        }
        sent_ += n;
    }
    // Never more than a line plus one run: the line ends below before it grows further.
    column_ += count;
}

void PcxDecoder::end_line(Output& out) noexcept {
    const std::uint32_t row_bytes = geometry_.row_bytes;
    if (row_ < geometry_.height) {
        // A scan line shorter than the row leaves the row's end without pixels: white.
        if (geometry_.bytes_per_line < row_bytes) {
            const std::uint32_t missing = row_bytes - geometry_.bytes_per_line;
            out.repeat(white_byte, missing);
            sent_ += missing;
        }
        ++row_;
    }
    column_ = 0;
}

void PcxDecoder::decode(std::span<const std::uint8_t> bytes, RasterSink sink) noexcept {
    Output out(sink);
    std::size_t i = 0;
    if (run_pending_ && i < bytes.size()) {
        send_run(bytes[i++], run_count_, out);
        run_pending_ = false;
        if (column_ >= geometry_.bytes_per_line) end_line(out);
    }
    while (i < bytes.size()) {
        const std::uint8_t b = bytes[i++];
        std::uint32_t count = 1;
        std::uint8_t data = b;
        if ((b & run_marker) == run_marker) {
            count = b & run_length_bits;
            if (i == bytes.size()) {
                // The data byte of this run starts the next chunk.
                run_count_ = count;
                run_pending_ = true;
                return;
            }
            data = bytes[i++];
        }
        send_run(data, count, out);
        if (column_ >= geometry_.bytes_per_line) end_line(out);
    }
}

void PcxDecoder::finish(RasterSink sink) noexcept {
    Output out(sink);
    const std::uint32_t announced = geometry_.raster_size();
    if (sent_ < announced) out.repeat(white_byte, announced - sent_);
    sent_ = announced;
    row_ = geometry_.height;
    run_pending_ = false;
}

}  // namespace epl2
