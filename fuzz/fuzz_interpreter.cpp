// Whole EPL2 streams through eplview's interpreter, its linter warnings and the PNG encoder.
// Besides the sanitizers it checks what the virtual printer and the command line rely on: the caps
// hold, every warning points into the stream and fits on one plain log line, and every printed
// label encodes to a PNG.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "eplview/eplview.h"

namespace {

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Encoding every one of a thousand labels would starve the search; the first few exercise the
// encoder as well.
constexpr std::size_t kLabelsEncoded = 3;

void require(bool holds) {
    if (!holds) std::abort();
}

bool plain_line(const std::string& message) {
    for (char c : message)
        if (c < 0x20 || c == 0x7F) return false;
    return !message.empty();
}

void check_label(const eplview::Label& label, int dpi, std::size_t size, bool encode) {
    require(label.image.width() >= 1 && label.image.width() <= eplview::max_label_width_dots);
    require(label.image.height() >= 1 && label.image.height() <= eplview::max_label_length_dots);
    require(label.copies >= 1 && label.offset < size);
    if (!encode) return;
    auto png = eplview::encode_png(label.image, dpi);
    require(png.size() > sizeof kPngSignature);
    require(std::memcmp(png.data(), kPngSignature, sizeof kPngSignature) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The stream's length picks the resolution, so both sets of font cells and symbol sizes are
    // reached without taking a byte away from the stream.
    eplview::Options options;
    options.dpi = size % 2 == 0 ? 203 : 300;
    eplview::Job job = eplview::interpret(std::span(data, size), options);
    require(job.labels.size() <= eplview::max_labels);
    require(job.warnings.size() <= eplview::max_warnings);
    for (std::size_t i = 0; i < job.labels.size(); ++i)
        check_label(job.labels[i], job.summary.dpi, size, i < kLabelsEncoded);
    for (const auto& warning : job.warnings) {
        require(warning.offset <= size && warning.line >= 1);
        require(plain_line(warning.message));
    }
    require(!eplview::summary_text(job.summary).empty());
    return 0;
}
