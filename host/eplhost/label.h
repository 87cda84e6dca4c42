// A label as eplhost reads it from JSON: its size, its printer section and its objects, with
// every length already in thousandths of an inch and every name resolved to what the driver
// module takes. Field references stay names until a record fills them in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "symbologies.h"

namespace epl2::eplhost {

// A text or data value: fixed, or the named column of each record.
// A serial number: record k of a batch prints prefix and base + (k - 1) * step, zero-padded to
// width digits, where base is the counter's next value when the batch began (its start, the
// first time). The next values are kept by name in the counters file (counters.h).
struct Counter {
    std::int64_t start = 1, step = 1;
    std::int32_t width = 0;
    std::string prefix;
    std::string name = "counter";
};

struct Value {
    std::string text;                  // fixed text, or the default of a field
    std::optional<std::string> field;  // column name when the value comes from the records
    std::optional<Counter> counter;    // when the value counts up from label to label
    bool required = true;              // an empty field is an error when set
    [[nodiscard]] bool variable() const noexcept { return field || counter; }
};

struct LineObject {  // horizontal or vertical line: a filled rectangle of the given thickness
    std::int32_t x = 0, y = 0, length = 0, thickness = 0;
    bool vertical = false;
};
struct RectangleObject {  // filled rectangle
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    bool white = false;  // "fill": "white": the area is cleared of what was drawn there before
};
struct BoxObject {  // frame whose outer edge is the given rectangle
    std::int32_t x = 0, y = 0, width = 0, height = 0, thickness = 0;
};
struct TextObject {
    std::int32_t x = 0, y = 0;  // start of the baseline
    Value text;
    std::int32_t font = 0;  // the module's font index; font_name resolves it when set
    std::string font_name;
    std::optional<std::int32_t> height, width;  // character size; the font's cell when absent
    std::int32_t rotation = 0;                  // host quarter turns 0..3
    bool reverse = false;
    bool shrink_to_fit =
        false;  // "fit": "shrink": the largest multipliers that keep it on the label
};
struct BarcodeObject {
    std::int32_t x = 0, y = 0;  // bottom-left of the bars at rotation 0
    std::string symbology;      // display name, as the label gave it
    const Symbology* type = nullptr;
    Value data;
    std::int32_t height = 0;
    std::int32_t narrow = 2;  // dots
    std::int32_t ratio = 0;   // 0: 2:1, 1: 2.5:1, 2: 3:1
    std::int32_t addon = 0;   // 0, 1 (two digits) or 2 (five digits)
    [[nodiscard]] int addon_digits() const noexcept { return addon == 1 ? 2 : addon == 2 ? 5 : 0; }
    bool human_readable = true;
    std::int32_t rotation = 0;
};
struct MaxiCodeObject {
    std::int32_t x = 0, y = 0;  // top-left
    Value postal_code, country, service_class, message;
};
struct Pdf417Object {
    std::int32_t x = 0, y = 0, width = 0, height = 0;  // top-left and size
    Value data;
    std::int32_t security_level = 0, rows = 0, columns = 0, narrow = 2, rotation = 0;
};
struct ImageObject {
    std::int32_t x = 0, y = 0;   // top-left
    std::filesystem::path file;  // as resolved against the label's folder
    std::string name;            // stored-graphic name in printer memory
    std::string pcx;             // the 1-bit PCX file that goes to the printer
};

using ObjectKind = std::variant<LineObject, RectangleObject, BoxObject, TextObject, BarcodeObject,
                                MaxiCodeObject, Pdf417Object, ImageObject>;

struct LabelObject {
    std::size_t index = 0;  // position in the label's "objects" array, for messages
    ObjectKind kind;
    bool clip = false;  // "overflow": "clip": the printer may cut what lies past the label's edge
};

struct CodePage;  // charset.h

struct PrinterSection {
    std::optional<std::string> model;
    // The code page the label's text prints in; null when the label names none.
    const CodePage* charset = nullptr;
    std::vector<std::pair<std::string, std::string>> options;  // name or id, value text
};

// Copies of each label, from the label or --copies; far more than a roll of labels holds.
inline constexpr std::int32_t max_copies = 99999;

struct Label {
    std::filesystem::path source;
    std::string name;  // the name of the label's stored form in printer memory (form_name.h)
    std::int32_t width = 0, height = 0;
    std::string unit = "in";  // how messages state lengths: "mm" when the label gives its width so
    std::int32_t copies = 1;
    PrinterSection printer;
    std::vector<LabelObject> objects;

    // Every column that some object reads.
    [[nodiscard]] std::vector<std::string> fields() const;
    // The label's counters, one for each name.
    [[nodiscard]] std::vector<Counter> counters() const;
    [[nodiscard]] bool has_variables() const { return !fields().empty(); }
};

// "objects[3] (text)": how messages name an object.
std::string describe(const LabelObject& object);
// "text", "barcode", ...: the object's "type" as the label gives it.
const char* object_type_name(const LabelObject& object);

// Reads and checks a label file; images are loaded and converted to PCX here. Throws Failure
// (bad_input) naming the file, the line and column of malformed JSON, or the object and field.
Label load_label(const std::filesystem::path& file);
// The same for a label's text; images are looked for beside `file`.
Label parse_label(std::string_view text, const std::filesystem::path& file);

}  // namespace epl2::eplhost
