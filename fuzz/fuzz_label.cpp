// The JSON label loader: any text either becomes a label whose every length stays within the
// bounds the print job relies on, or is refused with a bad-input Failure. Images resolve from a
// scratch folder holding the examples' images and a few broken ones.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>

#include <unistd.h>

#include "errors.h"
#include "label.h"

namespace fs = std::filesystem;
using namespace epl2::eplhost;

namespace {

void write_file(const fs::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A PNG whose header claims 100000 x 100000 pixels: only its size may be read.
std::string huge_png_header() {
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string("\0\0\0\x0dIHDR", 8);
    png += std::string("\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0", 13);
    png += std::string(4, '\0');  // CRC, not checked when reading
    return png;
}

const fs::path& image_folder() {
    static const fs::path folder = [] {
        const fs::path dir =
            fs::temp_directory_path() / ("eplhost-fuzz-label-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const fs::path examples = fs::path(EPL2_SOURCE_DIR) / "examples";
        for (const char* name : {"asset-badge.pcx", "acme-logo.png"})
            fs::copy_file(examples / name, dir / name, fs::copy_options::overwrite_existing);
        std::ifstream badge(examples / "asset-badge.pcx", std::ios::binary);
        const std::string pcx(std::istreambuf_iterator<char>(badge), {});
        write_file(dir / "short.pcx", pcx.substr(0, 300));
        write_file(dir / "broken.png", "\x89PNG\r\n\x1a\nnot really");
        write_file(dir / "huge.png", huge_png_header());
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(image_folder(), ignored);
        });
        return dir;
    }();
    return folder;
}

// What the print job takes for granted of a loaded label.
void check(const Label& label) {
    constexpr std::int32_t bound = 1'000'000;
    const auto within = [&](std::int32_t v) {
        if (v < -bound || v > bound) std::abort();
    };
    if (label.width <= 0 || label.height <= 0 || label.copies < 1) std::abort();
    within(label.width);
    within(label.height);
    for (const LabelObject& object : label.objects) {
        if (describe(object).empty()) std::abort();
        std::visit(
            [&](const auto& o) {
                within(o.x);
                within(o.y);
            },
            object.kind);
        if (const auto* text = std::get_if<TextObject>(&object.kind)) {
            if (text->text.text.find('\0') != std::string::npos) std::abort();
            if (text->rotation < 0 || text->rotation > 3) std::abort();
        }
        if (const auto* image = std::get_if<ImageObject>(&object.kind)) {
            if (image->pcx.size() < 128 || image->name.empty() || image->name.size() > 6)
                std::abort();
        }
    }
    (void)label.fields();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        check(parse_label(text, image_folder() / "label.json"));
    } catch (const Failure& f) {
        if (f.code() != ExitCode::bad_input || std::string_view(f.what()).empty()) std::abort();
    }
    return 0;
}
