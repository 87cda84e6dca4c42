#include "barcode/barcode_adjust.h"

#include <algorithm>
#include <array>

#include "barcode/barcode.h"
#include "barcode/linear.h"
#include "core/arith.h"
#include "core/bytes.h"
#include "core/coordinates.h"

namespace epl2 {

namespace {

constexpr std::int32_t min_bar_height = 10;
constexpr std::int32_t max_bar_height = 2940;
constexpr std::int32_t min_narrow = 5;
constexpr std::int32_t max_narrow = 58;
constexpr std::int32_t max_upc_ean_narrow = 15;

bool is_upc_ean(std::int32_t index) noexcept {
    return index == symbology::upc_a || index == symbology::upc_e || index == symbology::ean13 ||
           index == symbology::ean8;
}

// One host value behind a pointer word.
class HostValue {
   public:
    explicit HostValue(std::byte* at) noexcept : at_(at), before_(get()) {}
    [[nodiscard]] std::int32_t get() const noexcept { return load_le<std::int32_t>(at_); }
    void set(std::int32_t value) const noexcept { store_le(at_, value); }
    [[nodiscard]] bool changed() const noexcept { return get() != before_; }

   private:
    std::byte* at_;
    std::int32_t before_;
};

}  // namespace

std::int32_t clamp_bar_height(std::int32_t height) noexcept {
    return std::clamp(height, min_bar_height, max_bar_height);
}

std::int32_t clamp_narrow_width(std::int32_t index, std::int32_t narrow) noexcept {
    narrow = std::clamp(narrow, min_narrow, max_narrow);
    return is_upc_ean(index) ? std::min(narrow, max_upc_ean_narrow) : narrow;
}

std::int32_t adjbarvar(const Job& job, std::int32_t index, std::uint32_t x_word,
                       std::uint32_t height_word, std::uint32_t extra_word,
                       std::uint32_t narrow_word) noexcept {
    std::byte* const at[] = {job.resolve(height_word), job.resolve(narrow_word),
                             job.resolve(extra_word), job.resolve(x_word)};
    // Without all four values there is nothing to compare; nothing is changed.
    if (std::find(std::begin(at), std::end(at), nullptr) != std::end(at)) return 0;
    const HostValue height(at[0]);
    const HostValue narrow(at[1]);
    const HostValue extra(at[2]);
    const HostValue x(at[3]);

    height.set(clamp_bar_height(height.get()));
    narrow.set(clamp_narrow_width(index, narrow.get()));
    const RecordView r = job.record();
    // A barcode always takes the grid position back, even when x already lay on the grid.
    if (r.get(record::resolution_code) != 0) {
        x.set(snap_to_millimetre_grid(x.get(), r.get(record::dpi_x)).thousandths);
    }

    // The host may pass one value behind two arguments; what counts is what it finds afterwards.
    return height.changed() || narrow.changed() || extra.changed() || x.changed() ? 1 : 0;
}

}  // namespace epl2
