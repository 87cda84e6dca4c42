// Throughput of a PCX image written straight into a label (pcx_begin, pcx_map per chunk,
// pcx_end), the driver's one bulk data path, in raster bytes per second; next to it a plain
// memcpy of the same raster bytes, so the two rates of one run can be compared.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/job.h"
#include "core/passes.h"
#include "graphics/pcx.h"
#include "native_host.h"
#include "pcx_images.h"

namespace {

using namespace epl2;
using native::NativeHost;
using namespace epl2::bench;

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
        r.set(record::printer_type, direct_printer_type);
        r.set(record::form_mode, form_mode::recall);
        r.set(record::dpi_x, 203);
        r.set(record::dpi_y, 203);
        object_word = host.word(object.data());
    }
    void write() { write_image(host.job(), object, object_word, host, file); }
};

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
