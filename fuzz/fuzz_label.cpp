// The JSON label loader: any text either becomes a label whose every length stays within the
// bounds the print job relies on, or is refused with a bad-input Failure. Images resolve from
// fuzz/images: the examples' images, a PCX file cut short, a PNG that is not one and a PNG header
// that claims 100000 x 100000 pixels, of which only the size may be read.
#include <filesystem>
#include <variant>

#include "errors.h"
#include "fuzz_support.h"
#include "label.h"

using namespace epl2::eplhost;
using epl2::fuzz::require;

namespace {

// What the print job takes for granted of a loaded label.
void check(const Label& label) {
    const auto within_bound = [](std::int32_t v) { return v >= -1'000'000 && v <= 1'000'000; };
    require(label.width > 0 && label.height > 0 && label.copies >= 1 && within_bound(label.width) &&
                within_bound(label.height),
            "a label has a size and at least one copy");
    for (const LabelObject& object : label.objects) {
        require(!describe(object).empty(), "every object can be named in a message");
        std::visit(
            [&](const auto& o) {
                require(within_bound(o.x) && within_bound(o.y), "objects lie near the label");
            },
            object.kind);
        if (const auto* text = std::get_if<TextObject>(&object.kind)) {
            require(text->text.text.find('\0') == std::string::npos && text->rotation >= 0 &&
                        text->rotation <= 3,
                    "a text has no NUL and a known rotation");
        }
        if (const auto* image = std::get_if<ImageObject>(&object.kind)) {
            require(image->pcx.size() >= 128 && !image->name.empty() && image->name.size() <= 6,
                    "an image has a whole header and a name the printer stores");
        }
    }
    (void)label.fields();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path file =
        std::filesystem::path(EPL2_SOURCE_DIR) / "fuzz" / "images" / "label.json";
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    epl2::fuzz::load_or_refuse<Failure>([&] { return parse_label(text, file); }, check);
    return 0;
}
