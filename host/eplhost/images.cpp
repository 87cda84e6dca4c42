#include "images.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <limits>

#include "errors.h"
#include "letter_case.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#endif  // defined(__GNUC__)
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif  // defined(__GNUC__)

namespace epl2::eplhost {

namespace {

constexpr std::size_t pcx_header_size = 128;

unsigned u16_at(std::string_view bytes, std::size_t offset) {
    return static_cast<unsigned char>(bytes[offset]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

void put_u16(std::string& out, std::size_t offset, unsigned value) {
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Counts the rows that the run-length data decodes to, as the printer's decoder reads them.
std::size_t decoded_rows(std::string_view data, std::size_t bytes_per_line) {
    std::size_t column = 0, rows = 0;
    for (std::size_t i = 0; i < data.size();) {
        std::size_t count = 1;
        const auto b = static_cast<unsigned char>(data[i]);
        if ((b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            if (++i == data.size()) break;
        }
        ++i;
        column += count;
        if (column >= bytes_per_line) {
            ++rows;
            column = 0;
        }
    }
    return rows;
}

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        fail(ExitCode::bad_input, "image file " + file.string() + " cannot be read (missing?)");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

[[noreturn]] void png_error(const std::filesystem::path& file) {
    fail(ExitCode::bad_input,
         "image " + file.string() + " is not a readable PNG file (" + stbi_failure_reason() + ")");
}

// The size from the header alone, so that an image too big to print is refused before its
// pixels are decoded into memory.
void check_png_size(const std::filesystem::path& file, std::string_view bytes) {
    int width = 0, height = 0, channels = 0;
    if (stbi_info_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<int>(bytes.size()), &width, &height, &channels) == 0) {
        png_error(file);
    }
    if (width > max_image_width_dots) {
        fail(ExitCode::bad_input, "image " + file.string() + " is " + std::to_string(width) +
                                      " pixels wide; the printer takes at most " +
                                      std::to_string(max_image_width_dots));
    }
    if (height > max_image_height_dots) {
        fail(ExitCode::bad_input, "image " + file.string() + " is " + std::to_string(height) +
                                      " pixels high; a PCX image holds at most " +
                                      std::to_string(max_image_height_dots) + " rows");
    }
}

std::string png_to_pcx(const std::filesystem::path& file, std::string_view bytes, int threshold) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        fail(ExitCode::bad_input, "image " + file.string() + " is too large a file");
    }
    check_png_size(file, bytes);
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels =
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr) png_error(file);
    std::vector<bool> black(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < black.size(); ++i) {
        const unsigned char* p = pixels + 4 * i;
        // Transparent parts are label stock: composite over white before the threshold.
        const double alpha = p[3] / 255.0;
        const double luminance = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
        black[i] = luminance * alpha + 255.0 * (1.0 - alpha) < threshold;
    }
    stbi_image_free(pixels);
    return encode_pcx(width, height, black);
}

}  // namespace

std::string pcx_problem(std::string_view file, PcxInfo* info) {
    if (file.size() < pcx_header_size) return "it is shorter than a PCX header";
    if (static_cast<unsigned char>(file[0]) != 0x0A || file[2] != 1)
        return "it is not a run-length encoded PCX file";
    if (file[3] != 1 || file[65] != 1)
        return "it is not a one-bit, one-plane (monochrome) PCX image";
    const unsigned xmin = u16_at(file, 4), ymin = u16_at(file, 6), xmax = u16_at(file, 8),
                   ymax = u16_at(file, 10);
    if (xmax < xmin || ymax < ymin) return "its header gives a negative size";
    const int width = static_cast<int>(xmax - xmin + 1), height = static_cast<int>(ymax - ymin + 1);
    const int bytes_per_line = static_cast<int>(u16_at(file, 66));
    if (width > max_image_width_dots) {
        return "it is " + std::to_string(width) + " dots wide; the printer takes at most " +
               std::to_string(max_image_width_dots);
    }
    if (bytes_per_line < (width + 7) / 8)
        return "its bytes per line are fewer than its width needs";
    const std::size_t rows =
        decoded_rows(file.substr(pcx_header_size), static_cast<std::size_t>(bytes_per_line));
    if (rows < static_cast<std::size_t>(height)) {
        return "its image data ends after " + std::to_string(rows) + " of " +
               std::to_string(height) + " rows";
    }
    if (info != nullptr) *info = {width, height, bytes_per_line};
    return {};
}

std::string encode_pcx(int width, int height, const std::vector<bool>& black, int dpi) {
    const auto w = static_cast<std::size_t>(width);
    const std::size_t bytes_per_line = (w + 15) / 16 * 2;  // PCX lines are an even number of bytes
    std::string out(pcx_header_size, '\0');
    out[0] = 0x0A;  // ZSoft
    out[1] = 5;     // version 3.0
    out[2] = 1;     // run-length encoding
    out[3] = 1;     // bits per pixel
    put_u16(out, 8, static_cast<unsigned>(width - 1));
    put_u16(out, 10, static_cast<unsigned>(height - 1));
    put_u16(out, 12, static_cast<unsigned>(dpi));
    put_u16(out, 14, static_cast<unsigned>(dpi));
    for (std::size_t i = 19; i < 22; ++i)
        out[i] = static_cast<char>(0xFF);  // palette entry 1: white
    out[65] = 1;                           // planes
    put_u16(out, 66, static_cast<unsigned>(bytes_per_line));
    put_u16(out, 68, 1);  // monochrome palette
    std::vector<unsigned char> line(bytes_per_line);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::fill(line.begin(), line.end(), 0xFF);
        for (std::size_t x = 0; x < w; ++x) {
            if (black[y * w + x])
                line[x / 8] = static_cast<unsigned char>(line[x / 8] & ~(0x80u >> (x % 8)));
        }
        for (std::size_t i = 0; i < bytes_per_line;) {
            std::size_t run = 1;
            while (i + run < bytes_per_line && run < 63 && line[i + run] == line[i]) ++run;
            if (run > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(static_cast<char>(0xC0 | run));
            out.push_back(static_cast<char>(line[i]));
            i += run;
        }
    }
    return out;
}

std::string load_image_as_pcx(const std::filesystem::path& file, int threshold) {
    const std::string ext = lower_case(file.extension().string());
    if (ext != ".pcx" && ext != ".png") {
        fail(ExitCode::bad_input,
             "image " + file.string() + ": only .pcx and .png files are supported");
    }
    const std::string bytes = read_file(file);
    if (ext == ".png") return png_to_pcx(file, bytes, threshold);
    if (const std::string problem = pcx_problem(bytes); !problem.empty()) {
        fail(ExitCode::bad_input,
             "image " + file.string() + " is not a usable PCX file: " + problem);
    }
    return bytes;
}

}  // namespace epl2::eplhost
