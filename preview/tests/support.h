// Helpers shared by the eplview tests: streams written the way the driver frames them (every
// command line ends in LF CR LF), interpretation, and decoding with zxing-cpp.
#pragma once

#define ZX_USE_UTF8 1  // text() as UTF-8
#include <ZXing/ReadBarcode.h>

#include <string>
#include <string_view>
#include <vector>

#include "eplview/eplview.h"

namespace eplview::test {

inline std::vector<std::uint8_t> bytes_of(std::string_view text) {
    return {text.begin(), text.end()};
}

// Joins command lines the way the driver sends them: each line, LF, then CR LF.
inline std::string driver_lines(std::initializer_list<std::string_view> lines) {
    std::string stream;
    for (auto line : lines) {
        stream += line;
        stream += "\n\r\n";
    }
    return stream;
}

// A 203 dpi job header followed by the given body and nothing else.
inline std::string with_header(const std::string& body, std::string_view length = "Q406,24") {
    return driver_lines({"", "N"}) + driver_lines({length, "q832", "ZT", "R0,0"}) + body;
}

inline Job run(const std::string& stream, Options options = {}) {
    return interpret(bytes_of(stream), options);
}

inline std::string warnings_text(const Job& job) {
    std::string text;
    for (const auto& warning : job.warnings)
        text += std::to_string(warning.line) + "@" + std::to_string(warning.offset) + ": " +
                warning.message + "\n";
    return text;
}

struct Decoded {
    std::string text;
    ZXing::BarcodeFormat format = ZXing::BarcodeFormat::None;
};

inline Decoded decode(const Bitmap& image, ZXing::BarcodeFormats formats, bool pure = false) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(image.width()) *
                                   static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            grey[static_cast<std::size_t>(y * image.width() + x)] = image.black(x, y) ? 0 : 255;
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setIsPure(pure);
    hints.setTryCode39ExtendedMode(true);
    hints.setEanAddOnSymbol(ZXing::EanAddOnSymbol::Read);
    hints.setReturnCodabarStartEnd(true);
    auto result = ZXing::ReadBarcode(
        ZXing::ImageView(grey.data(), image.width(), image.height(), ZXing::ImageFormat::Lum),
        hints);
    if (!result.isValid()) return {};
    return {result.text(), result.format()};
}

}  // namespace eplview::test
