// Throughput of a PCX image written straight into a label (pcx_begin, pcx_map per chunk,
// pcx_end), the driver's one bulk data path, in raster bytes per second; next to it a plain
// memcpy of the same raster bytes, so the two rates of one run can be compared.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/job.h"
#include "core/passes.h"
#include "graphics/pcx.h"
#include "native_host.h"

namespace {

using namespace epl2;
using native::NativeHost;

// A 4-inch label at 203 dpi: 812 dots (102 bytes, padded to 102 per line), 6 inches long.
constexpr unsigned image_width = 812;
constexpr unsigned image_height = 1218;
constexpr unsigned image_bytes_per_line = 102;
constexpr std::size_t host_chunk = 4096;

enum class Content { label, noise };

// One scan line in the file's run-length code: a run of equal bytes, or a byte that would read
// as a count, becomes a count byte and the data byte.
void append_encoded(std::string& out, const std::vector<std::uint8_t>& line) {
    for (std::size_t i = 0; i < line.size();) {
        std::size_t n = 1;
        while (i + n < line.size() && n < 63 && line[i + n] == line[i]) ++n;
        if (n > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(static_cast<char>(0xC0 | n));
        out.push_back(static_cast<char>(line[i]));
        i += n;
    }
}

std::string make_pcx(Content content) {
    std::string file(128, '\0');
    auto put16 = [&](std::size_t at, unsigned v) {
        file[at] = static_cast<char>(v & 0xFF);
        file[at + 1] = static_cast<char>(v >> 8);
    };
    file[0] = 0x0A;
    file[1] = 5;
    file[2] = 1;
    file[3] = 1;
    put16(8, image_width - 1);
    put16(10, image_height - 1);
    file[65] = 1;
    put16(66, image_bytes_per_line);

    std::mt19937 random(12345);
    std::vector<std::uint8_t> line(image_bytes_per_line);
    for (unsigned y = 0; y < image_height; ++y) {
        for (unsigned x = 0; x < image_bytes_per_line; ++x) {
            if (content == Content::noise) {
                line[x] = static_cast<std::uint8_t>(random());
            } else {
                // White with black boxes and bars, and a band of glyph-like detail.
                const bool bar = (x / 6 + y / 40) % 7 == 0;
                const bool detail = (y / 24) % 4 == 1 && x % 9 < 6;
                line[x] = bar ? 0x00 : detail ? static_cast<std::uint8_t>(random()) : 0xFF;
            }
        }
        append_encoded(file, line);
    }
    return file;
}

// Sends one image as a host does: pcx_begin, the file in chunks, pcx_end.
void write_image(const Job& job, std::array<std::byte, pcx_object_size>& object,
                 std::uint32_t object_word, NativeHost& host, const std::string& file) {
    const PcxObjectView view(object.data());
    pcx_begin(job, object_word);
    for (std::size_t at = 0; at < file.size(); at += host_chunk) {
        const std::size_t n = std::min(host_chunk, file.size() - at);
        view.set(pcx_object::chunk_length, static_cast<std::uint32_t>(n));
        view.set(pcx_object::chunk_continues, at == 0 ? 0 : 1);
        view.set(pcx_object::chunk_data, host.word(file.data() + at));
        pcx_map(job, object_word);
    }
    pcx_end(job, object_word);
}

struct Setup {
    NativeHost host;
    std::array<std::byte, pcx_object_size> object{};
    std::string file;
    std::uint32_t object_word = 0;

    explicit Setup(Content content) : file(make_pcx(content)) {
        const RecordView r = host.record();
        r.set(job::printer_type, direct_printer_type);
        r.set(job::form_mode, form_mode::recall);
        r.set(job::dpi_x, 203);
        r.set(job::dpi_y, 203);
        object_word = host.word(object.data());
    }
    void write() { write_image(host.job(), object, object_word, host, file); }
};

constexpr std::size_t raster_size = std::size_t{image_height} * image_bytes_per_line;

void direct_write(benchmark::State& state, Content content) {
    Setup setup(content);
    std::string out;
    for (auto _ : state) {
        setup.write();
        out = setup.host.take_output();
        benchmark::DoNotOptimize(out.data());
    }
    // "GW%d,%d," and "102,1218," before the raster, CR LF after it.
    if (out.size() < raster_size || out.size() > raster_size + 32) {
        state.SkipWithError("the image did not go out whole");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raster_size));
    state.counters["file_bytes"] = static_cast<double>(setup.file.size());
}

void plain_copy(benchmark::State& state, Content content) {
    Setup setup(content);
    setup.write();
    // The raster alone: between the command's prefix and its closing CR LF.
    const std::string out = setup.host.take_output();
    const std::string raster = out.substr(out.size() - 2 - raster_size, raster_size);
    std::string copy(raster.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), raster.data(), raster.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raster.size()));
}

BENCHMARK_CAPTURE(direct_write, label, Content::label);
BENCHMARK_CAPTURE(plain_copy, label, Content::label);
BENCHMARK_CAPTURE(direct_write, noise, Content::noise);
BENCHMARK_CAPTURE(plain_copy, noise, Content::noise);

}  // namespace

BENCHMARK_MAIN();
