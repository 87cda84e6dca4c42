// Direct PCX decoding through the real driver module, loaded by name as a host loads it: the time
// of the pcx_map calls that decode a 4 x 6 in image into a GW raster, split into what the module
// spends decoding and what the hand-over of its bytes to the host (_store_bin into a sink that
// copies them) costs, next to a plain memcpy of the same raster in the same process.
//
// Prints one line per image content, key=value pairs, for bench/run.sh:
//   content=label file_bytes=... raster_bytes=... store_calls=... module_s=... handover_s=...
//   memcpy_s=...
// Times are processor seconds per image, the median of several rounds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <time.h>

#include "host_job.h"
#include "module.h"
#include "pcx_images.h"
#include "services.h"

extern "C" void _store_bin(std::uint32_t handle, const char* bytes, std::int32_t length);

namespace {

using namespace epl2;
using namespace epl2::bench;

// Processor time of this thread: the machine may be shared with other work, whose load would
// show in wall-clock time but not here.
double cpu_seconds() noexcept {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

constexpr std::int32_t direct_printer_type = 8;
constexpr std::uint8_t recall_pass = 3;
constexpr int rounds = 7;
constexpr double seconds_per_round = 0.15;

// Copies every byte the module hands over into one buffer, as a host that collects a job does,
// and can keep the length of each call so that the same hand-over can be replayed on its own.
class CollectingSink : public host::Sink {
   public:
    explicit CollectingSink(std::size_t capacity) : buffer_(capacity) {}
    void write(std::string_view bytes) override {
        const std::size_t n = std::min(bytes.size(), buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, bytes.data(), n);
        used_ += n;
        if (keep_lengths_) lengths_.push_back(static_cast<std::int32_t>(bytes.size()));
    }
    void restart(bool keep_lengths) {
        used_ = 0;
        keep_lengths_ = keep_lengths;
        lengths_.clear();
    }
    [[nodiscard]] std::string_view bytes() const { return {buffer_.data(), used_}; }
    [[nodiscard]] const std::vector<std::int32_t>& lengths() const { return lengths_; }

   private:
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool keep_lengths_ = false;
    std::vector<std::int32_t> lengths_;
};

// Runs `once`, which answers the seconds it timed, often enough to fill a round, for several
// rounds; answers the median time of one run.
template <class F>
double median_seconds(F once) {
    const double first = once();
    const int per_round = std::max(1, static_cast<int>(seconds_per_round / std::max(first, 1e-9)));
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        double sum = 0;
        for (int i = 0; i < per_round; ++i) sum += once();
        times.push_back(sum / per_round);
    }
    std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
    return times[rounds / 2];
}

// Times a piece of work that answers nothing.
template <class F>
double timed(F work) {
    const double start = cpu_seconds();
    work();
    return cpu_seconds() - start;
}

struct Figures {
    std::size_t raster_bytes = 0;
    std::size_t store_calls = 0;
    double module_s = 0;
    double handover_s = 0;
    double memcpy_s = 0;
};

class DirectImage {
   public:
    DirectImage(const host::Module& module, CollectingSink& sink, std::string file)
        : sink_(sink), job_(module, sink), file_(std::move(file)) {
        job_.select_model(0, 0, -1, -1, direct_printer_type);
        job_.set_label_name("BENCH");
        job_.call(job_.entry().maininit);
        job_.set_form_mode(recall_pass);
        image_.view().set(pcx_object::file_size, static_cast<std::uint32_t>(file_.size()));
    }

    // pcx_begin, then the timed pcx_map calls, one per host chunk, then pcx_end. Keeps what the
    // pcx_map calls handed over, call by call, when asked to.
    double write(bool keep_calls) {
        const auto& ep = job_.entry();
        job_.call(ep.pcx_begin, image_.word());
        sink_.restart(keep_calls);
        const double start = cpu_seconds();
        for (std::size_t at = 0; at < file_.size(); at += host_chunk) {
            const std::size_t n = std::min(host_chunk, file_.size() - at);
            image_.set_chunk(std::string_view(file_).substr(at, n), at != 0);
            job_.call(ep.pcx_map, image_.word());
        }
        const double seconds = cpu_seconds() - start;
        if (keep_calls) {
            handed_ = sink_.bytes();
            lengths_ = sink_.lengths();
        }
        job_.call(ep.pcx_end, image_.word());
        return seconds;
    }

    [[nodiscard]] const std::string& handed() const { return handed_; }
    [[nodiscard]] const std::vector<std::int32_t>& lengths() const { return lengths_; }

    // The kept calls with the same lengths, made by the host itself: the hand-over alone.
    void replay() {
        sink_.restart(false);
        const char* at = handed_.data();
        for (const std::int32_t n : lengths_) {
            _store_bin(job_.handle(), at, n);
            at += n;
        }
    }

   private:
    CollectingSink& sink_;
    host::HostJob job_;
    host::PcxObject image_;
    std::string file_;
    std::string handed_;
    std::vector<std::int32_t> lengths_;
};

// Streams the image once and makes sure the module handed over exactly the raster the printer
// must get, so that what is timed is a correct decode.
Figures first_pass(DirectImage& image, Content content) {
    image.write(true);
    const std::string& handed = image.handed();
    const std::vector<std::int32_t>& lengths = image.lengths();
    const std::string expected = expected_raster(content);
    // The first call of the first chunk is the "bytes per row,rows," text, the rest raster.
    const std::string_view all(handed);
    const std::string_view prefix = all.substr(0, lengths.empty() ? 0 : lengths[0]);
    const std::string_view raster = all.substr(prefix.size());
    const std::string announced =
        std::to_string(image_bytes_per_line) + "," + std::to_string(image_height) + ",";
    if (prefix != announced || raster != expected) {
        throw std::runtime_error("the module's raster differs from the image (" +
                                 std::to_string(raster.size()) + " bytes after \"" +
                                 std::string(prefix) + "\")");
    }
    Figures f;
    f.raster_bytes = raster.size();
    f.store_calls = lengths.size();
    return f;
}

Figures measure(const host::Module& module, Content content, bool timing) {
    CollectingSink sink(2 * raster_size + 4096);
    DirectImage image(module, sink, make_pcx(content));
    Figures f = first_pass(image, content);
    if (!timing) return f;

    f.module_s = median_seconds([&] { return image.write(false); });
    f.handover_s = median_seconds([&] { return timed([&] { image.replay(); }); });

    const std::string raster = expected_raster(content);
    std::vector<char> copy(raster.size());
    f.memcpy_s = median_seconds([&] {
        return timed([&] {
            std::memcpy(copy.data(), raster.data(), raster.size());
            asm volatile("" : : "r"(copy.data()) : "memory");
        });
    });
    return f;
}

}  // namespace

// epl2_pcx_bench [--check] [MODULE]: --check decodes each image once and compares, no timing.
int main(int argc, char** argv) {
    try {
        const bool timing = !(argc > 1 && std::string_view(argv[1]) == "--check");
        const int module_arg = timing ? 1 : 2;
        const std::string path =
            argc > module_arg ? argv[module_arg] : host::default_module_path(argv[0]);
        const host::Module module(path);
        for (const auto& [name, content] :
             {std::pair{"label", Content::label}, std::pair{"noise", Content::noise}}) {
            const Figures f = measure(module, content, timing);
            std::printf(
                "content=%s file_bytes=%zu raster_bytes=%zu store_calls=%zu module_s=%.9f "
                "handover_s=%.9f memcpy_s=%.9f\n",
                name, make_pcx(content).size(), f.raster_bytes, f.store_calls, f.module_s,
                f.handover_s, f.memcpy_s);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "epl2_pcx_bench: %s\n", e.what());
        return 1;
    }
}
