// PNG input and output through libpng. The file keeps the printer's convention on paper: black dots
// are 0 in the greyscale sample, white paper is 1.
#include <png.h>
#include <zlib.h>

#include <cstdio>

#include "eplview/eplview.h"
#include "whole_file.h"

namespace eplview {
namespace {

constexpr double inches_per_metre = 39.3700787;

void append_to(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

// libpng reports errors by longjmp back into this function, so nothing in it owns a destructor;
// the caller owns the output and the row buffer.
bool write_rows(std::vector<std::uint8_t>& out, const Bitmap& image, int dpi, png_byte* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, append_to, flush_nothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    auto per_metre = static_cast<png_uint_32>(dpi * inches_per_metre + 0.5);
    png_set_pHYs(png, info, per_metre, per_metre, PNG_RESOLUTION_METER);
    // A label is long runs of one value: filters gain nothing on one-bit rows, and the fastest
    // deflate level finds the runs at a fraction of the default search's cost. Memory level 6
    // (16 KiB hash table and symbol buffer, not 64) compresses a label as small and touches 24
    // fewer pages of fresh memory, which a one-shot render pays for one by one.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_set_compression_mem_level(png, 6);
    png_write_info(png, info);
    const std::uint8_t* packed = image.packed().data();
    auto stride = static_cast<std::size_t>(image.stride());
    for (int y = 0; y < image.height(); ++y) {
        for (std::size_t i = 0; i < stride; ++i)
            row[i] = static_cast<png_byte>(~packed[static_cast<std::size_t>(y) * stride + i]);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::vector<std::uint8_t> encode_png(const Bitmap& image, int dpi) {
    std::vector<std::uint8_t> out;
    if (image.width() == 0 || image.height() == 0) return out;
    std::vector<png_byte> row(static_cast<std::size_t>(image.stride()));
    if (!write_rows(out, image, dpi, row.data())) out.clear();
    return out;
}

bool write_png(const Bitmap& image, int dpi, const std::string& path) {
    std::vector<std::uint8_t> bytes = encode_png(image, dpi);
    return !bytes.empty() && write_whole_file(path, [&bytes](const std::string& temporary) {
        return write_bytes(bytes, temporary);
    });
}

Bitmap read_png(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return {};
    png.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return {};
    }
    Bitmap image(static_cast<int>(png.width), static_cast<int>(png.height));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.set(
                x, y,
                pixels[static_cast<std::size_t>(y) * png.width + static_cast<std::size_t>(x)] <
                    128);
    return image;
}

}  // namespace eplview
