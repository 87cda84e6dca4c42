// Whole EPL2 streams through eplview's interpreter, its linter warnings and the PNG encoder.
// Besides the sanitizers it checks what the virtual printer and the command line rely on: the caps
// hold, every warning points into the stream and fits on one plain log line, and every printed
// label encodes to a PNG.
#include <algorithm>
#include <span>

#include "eplview/eplview.h"
#include "fuzz_support.h"

namespace {

using epl2::fuzz::require;

// Encoding every one of a thousand labels would starve the search; the first few exercise the
// encoder as well.
constexpr std::size_t labels_encoded = 3;

// A control character would break a log line; the bytes of UTF-8 text (the characters a code
// page prints, named in a warning) do not.
bool is_control_byte(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

void check_label(const eplview::Label& label, int dpi, std::size_t size, bool encode) {
    require(label.image.width() >= 1 && label.image.width() <= eplview::max_label_width_dots &&
                label.image.height() >= 1 && label.image.height() <= eplview::max_label_length_dots,
            "a label's image within the caps");
    require(label.copies >= 1 && label.offset < size, "a label prints and comes from the stream");
    if (!encode) return;
    const auto png = eplview::encode_png(label.image, dpi);
    require(std::string_view(reinterpret_cast<const char*>(png.data()), png.size())
                .starts_with("\x89PNG\r\n\x1A\n"),
            "a label encodes to a PNG");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The stream's length picks the resolution, so both sets of font cells and symbol sizes are
    // reached without taking a byte away from the stream.
    const eplview::Job job =
        eplview::interpret(std::span(data, size), {.dpi = size % 2 == 0 ? 203 : 300});
    require(
        job.labels.size() <= eplview::max_labels && job.warnings.size() <= eplview::max_warnings,
        "labels and warnings within their caps");
    for (std::size_t i = 0; i < job.labels.size(); ++i)
        check_label(job.labels[i], job.summary.dpi, size, i < labels_encoded);
    for (const auto& warning : job.warnings) {
        require(warning.offset <= size && warning.line >= 1 && !warning.message.empty() &&
                    std::ranges::none_of(warning.message, is_control_byte),
                "a warning points into the stream and is one plain line");
    }
    require(!eplview::summary_text(job.summary).empty(), "a summary for every job");
    return 0;
}
