#include "label.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "charset.h"
#include "data_limits.h"
#include "errors.h"
#include "form_name.h"
#include "images.h"
#include "json_text.h"
#include "letter_case.h"
#include "units.h"

namespace epl2::eplhost {

namespace {

using nlohmann::json;

// Far beyond any label, and small enough that positions plus sizes stay 32-bit numbers.
constexpr std::int32_t max_length = 1'000'000;

// A counter's values stay below 10^15, so that prefix and digits fit any data field and the
// next value never overflows.
constexpr std::int64_t max_counter_value = 999'999'999'999'999;
constexpr std::int32_t max_counter_width = 15;

// Where a check happens, for the message: "shipping.json: objects[3] (text): field "font"".
class Context {
   public:
    Context(std::string file, std::string where)
        : file_(std::move(file)), where_(std::move(where)) {}

    [[noreturn]] void error(std::string_view field, std::string_view expected) const {
        std::string message = file_ + ": " + where_;
        if (!field.empty()) message += ": field \"" + std::string(field) + "\"";
        fail(ExitCode::bad_input, message + ": " + std::string(expected));
    }

    void only_fields(const json& object, std::initializer_list<std::string_view> allowed) const {
        for (const auto& [key, value] : object.items()) {
            if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
            std::string list;
            for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
            error(key, "unknown field; expected one of " + list);
        }
    }

    const json& require(const json& object, std::string_view field) const {
        const auto it = object.find(field);
        if (it == object.end()) error(field, "missing; it is required");
        return *it;
    }

    std::int32_t length(const json& object, std::string_view field,
                        std::optional<std::int32_t> fallback = {}, bool positive = false) const {
        const auto it = object.find(field);
        if (it == object.end()) {
            if (!fallback)
                error(field,
                      "missing; expected a length (thousandths of an inch, or \"25.4mm\", "
                      "\"1.5in\")");
            return *fallback;
        }
        std::optional<std::int32_t> value;
        if (it->is_number()) {
            const double number = std::round(it->get<double>());
            if (std::fabs(number) > max_length)
                error(field, "expected a length within 1000in of the label's corner");
            value = static_cast<std::int32_t>(number);
        } else if (it->is_string()) {
            value = parse_length(it->get<std::string>());
        }
        if (value && (*value > max_length || *value < -max_length)) {
            error(field, "expected a length within 1000in of the label's corner");
        }
        if (!value)
            error(field,
                  "expected a length (thousandths of an inch, or a string such as \"25.4mm\" or "
                  "\"1.5in\")");
        if (positive && *value <= 0) error(field, "expected a length greater than zero");
        return *value;
    }

    std::int32_t integer(const json& object, std::string_view field, std::int32_t fallback,
                         std::int32_t min, std::int32_t max) const {
        const auto it = object.find(field);
        if (it == object.end()) return fallback;
        if (!it->is_number_integer() || it->get<std::int64_t>() < min ||
            it->get<std::int64_t>() > max) {
            error(field, "expected a whole number from " + std::to_string(min) + " to " +
                             std::to_string(max));
        }
        return it->get<std::int32_t>();
    }

    bool boolean(const json& object, std::string_view field, bool fallback) const {
        const auto it = object.find(field);
        if (it == object.end()) return fallback;
        if (!it->is_boolean()) error(field, "expected true or false");
        return it->get<bool>();
    }

    std::string string(const json& object, std::string_view field,
                       std::string fallback = {}) const {
        const auto it = object.find(field);
        if (it == object.end()) return fallback;
        if (!it->is_string()) error(field, "expected a string");
        return it->get<std::string>();
    }

    // Quarter turns counter-clockwise, from degrees.
    std::int32_t rotation(const json& object) const {
        const auto it = object.find("rotation");
        if (it == object.end()) return 0;
        if (it->is_number_integer()) {
            const auto degrees = it->get<std::int64_t>();
            if (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270)
                return static_cast<std::int32_t>(degrees / 90);
        }
        error("rotation", "expected 0, 90, 180 or 270 (degrees counter-clockwise)");
    }

    Value value(const json& object, std::string_view field, bool required_field = true) const {
        const auto it = object.find(field);
        if (it == object.end()) {
            if (required_field)
                error(field, "missing; expected a string or {\"field\": \"column\"}");
            return {};
        }
        Value v;
        if (it->is_string()) {
            v.text = it->get<std::string>();
        } else if (const auto number = whole_number_text(*it)) {
            v.text = *number;
        } else if (it->is_object() && it->contains("counter")) {
            if (it->size() != 1)
                error(field, "a counter is {\"counter\": {...}} alone, with no other keys");
            v.counter = counter(it->at("counter"), field);
        } else if (it->is_object()) {
            const auto name = it->find("field");
            if (name == it->end() || !name->is_string() || name->get<std::string>().empty()) {
                error(field, "expected {\"field\": \"column\"} with a column name");
            }
            for (const auto& [key, inner] : it->items()) {
                if (key != "field" && key != "required" && key != "default") {
                    error(field, "unknown key \"" + key +
                                     "\" in a field reference; expected field, required, default");
                }
            }
            v.field = name->get<std::string>();
            if (const auto r = it->find("required"); r != it->end()) {
                if (!r->is_boolean()) error(field, "\"required\" expects true or false");
                v.required = r->get<bool>();
            }
            if (const auto d = it->find("default"); d != it->end()) {
                if (!d->is_string()) error(field, "\"default\" expects a string");
                v.text = d->get<std::string>();
            }
        } else {
            error(field, "expected a string, {\"field\": \"column\"} or {\"counter\": {...}}");
        }
        // A NUL would end the text early in the module's buffer: the rest would vanish unseen.
        if (v.text.find('\0') != std::string::npos)
            error(field, "NUL characters cannot be printed");
        return v;
    }

    // {"start": 1, "step": 1, "width": 6, "prefix": "SN-", "name": "serial"}, all optional.
    Counter counter(const json& object, std::string_view field) const {
        if (!object.is_object()) error(field, "\"counter\" expects an object");
        for (const auto& [key, inner] : object.items()) {
            if (key != "start" && key != "step" && key != "width" && key != "prefix" &&
                key != "name")
                error(field, "unknown key \"" + key +
                                 "\" in a counter; expected start, step, width, prefix, name");
        }
        Counter c;
        c.start = counter_number(object, "start", c.start, 0);
        c.step = counter_number(object, "step", c.step, 1);
        c.width = integer(object, "width", 0, 0, max_counter_width);
        c.prefix = text_of(object, "prefix", field);
        if (object.contains("name")) c.name = text_of(object, "name", field);
        if (c.name.empty() || c.name.find_first_of(" \t\r\n") != std::string::npos)
            error(field, "a counter's name is one word");
        return c;
    }

    std::int64_t counter_number(const json& object, const char* key, std::int64_t fallback,
                                std::int64_t min) const {
        const auto it = object.find(key);
        if (it == object.end()) return fallback;
        if (!it->is_number_integer() || it->get<std::int64_t>() < min ||
            it->get<std::int64_t>() > max_counter_value)
            error(key, "expected a whole number from " + std::to_string(min) + " to " +
                           std::to_string(max_counter_value));
        return it->get<std::int64_t>();
    }

    std::string text_of(const json& object, const char* key, std::string_view field) const {
        const auto it = object.find(key);
        if (it == object.end()) return {};
        if (!it->is_string()) error(field, std::string("a counter's \"") + key + "\" is a string");
        return it->get<std::string>();
    }

    [[nodiscard]] const std::string& file() const noexcept { return file_; }

   private:
    std::string file_;
    std::string where_;
};

void check_data_length(const Context& c, std::string_view field, const Value& v,
                       std::size_t limit) {
    if (v.variable()) return;
    const std::size_t length = escaped_characters(v.text);
    if (length > limit) {
        c.error(field, "is " + std::to_string(length) + " characters long" +
                           (escaped_length(v.text) > v.text.size() ? " with its escapes" : "") +
                           "; at most " + std::to_string(limit) + " fit");
    }
}

LineObject read_line(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "length", "thickness", "orientation"});
    LineObject line;
    line.x = c.length(o, "x");
    line.y = c.length(o, "y");
    line.length = c.length(o, "length", {}, true);
    line.thickness = c.length(o, "thickness", 10, true);
    const std::string orientation = c.string(o, "orientation", "horizontal");
    if (orientation != "horizontal" && orientation != "vertical")
        c.error("orientation", "expected \"horizontal\" or \"vertical\"");
    line.vertical = orientation == "vertical";
    return line;
}

// "fill": "white" clears the area: the module fills it black and then reverses it, which leaves
// it white whatever was there. "reverse": true is the older name for it.
bool read_white_fill(const Context& c, const json& o) {
    const std::string fill = c.string(o, "fill", "black");
    if (fill != "black" && fill != "white") c.error("fill", "expected \"black\" or \"white\"");
    const bool white = fill == "white";
    if (o.contains("fill") && o.contains("reverse") && c.boolean(o, "reverse", false) != white) {
        c.error("reverse",
                "is " + std::string(white ? "false" : "true") + ", but \"fill\" is \"" + fill +
                    "\" (\"reverse\": true means \"fill\": \"white\"); give only one of them");
    }
    return white || c.boolean(o, "reverse", false);
}

RectangleObject read_rectangle(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "width", "height", "fill", "reverse"});
    return {c.length(o, "x"), c.length(o, "y"), c.length(o, "width", {}, true),
            c.length(o, "height", {}, true), read_white_fill(c, o)};
}

BoxObject read_box(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "width", "height", "thickness"});
    return {c.length(o, "x"), c.length(o, "y"), c.length(o, "width", {}, true),
            c.length(o, "height", {}, true), c.length(o, "thickness", 10, true)};
}

TextObject read_text(const Context& c, const json& o) {
    c.only_fields(
        o, {"type", "x", "y", "text", "font", "height", "width", "rotation", "reverse", "fit"});
    TextObject t;
    t.x = c.length(o, "x");
    t.y = c.length(o, "y");
    t.text = c.value(o, "text");
    if (const auto f = o.find("font"); f != o.end()) {
        if (f->is_number_integer() && f->get<std::int64_t>() >= 0 && f->get<std::int64_t>() <= 4) {
            t.font = f->get<std::int32_t>();
        } else if (f->is_string() && !f->get<std::string>().empty()) {
            t.font_name = f->get<std::string>();
        } else {
            c.error("font", "expected a font index 0 to 4 or a font name such as \"8 X 12\"");
        }
    }
    if (o.contains("height")) t.height = c.length(o, "height", {}, true);
    if (o.contains("width")) t.width = c.length(o, "width", {}, true);
    t.rotation = c.rotation(o);
    t.reverse = c.boolean(o, "reverse", false);
    const std::string fit = c.string(o, "fit", "none");
    if (fit != "none" && fit != "shrink") c.error("fit", "expected \"none\" or \"shrink\"");
    t.shrink_to_fit = fit == "shrink";
    return t;
}

BarcodeObject read_barcode(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "symbology", "data", "height", "narrow", "ratio", "addon",
                      "human_readable", "rotation"});
    BarcodeObject b;
    b.x = c.length(o, "x");
    b.y = c.length(o, "y");
    b.symbology = c.string(o, "symbology");
    const Symbology* s = find_symbology(b.symbology);
    if (s == nullptr) {
        std::string list;
        for (const auto& name : symbology_names()) list += (list.empty() ? "" : ", ") + name;
        c.error("symbology", "\"" + b.symbology + "\" is not supported; expected one of " + list);
    }
    b.type = s;
    b.data = c.value(o, "data");
    b.height = c.length(o, "height", 500, true);
    b.narrow = c.integer(o, "narrow", 2, 1, 10);
    if (const auto r = o.find("ratio"); r != o.end()) {
        const std::string ratio = r->is_string() ? r->get<std::string>() : "";
        if (ratio == "2:1")
            b.ratio = 0;
        else if (ratio == "2.5:1")
            b.ratio = 1;
        else if (ratio == "3:1")
            b.ratio = 2;
        else
            c.error("ratio", "expected \"2:1\", \"2.5:1\" or \"3:1\"");
    }
    if (const auto a = o.find("addon"); a != o.end()) {
        const std::int64_t digits = a->is_number_integer() ? a->get<std::int64_t>() : -1;
        if (digits != 0 && digits != 2 && digits != 5)
            c.error("addon", "expected 0, 2 or 5 (add-on digits)");
        if (digits != 0 && !s->upc_ean())
            c.error("addon", "add-ons exist only for UPC-A, UPC-E, EAN-13 and EAN-8");
        b.addon = digits == 0 ? 0 : digits == 2 ? 1 : 2;
    }
    b.human_readable = c.boolean(o, "human_readable", true);
    b.rotation = c.rotation(o);
    check_data_length(c, "data", b.data, max_fixed_barcode_data);
    return b;
}

MaxiCodeObject read_maxicode(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "postal_code", "country", "service_class", "message"});
    MaxiCodeObject m;
    m.x = c.length(o, "x");
    m.y = c.length(o, "y");
    m.postal_code = c.value(o, "postal_code");
    m.country = c.value(o, "country");
    m.service_class = c.value(o, "service_class");
    m.message = c.value(o, "message", false);
    m.message.required = m.message.required && o.contains("message");
    return m;
}

Pdf417Object read_pdf417(const Context& c, const json& o) {
    c.only_fields(o, {"type", "x", "y", "width", "height", "data", "security_level", "rows",
                      "columns", "narrow", "rotation"});
    Pdf417Object p;
    p.x = c.length(o, "x");
    p.y = c.length(o, "y");
    p.width = c.length(o, "width", {}, true);
    p.height = c.length(o, "height", {}, true);
    p.data = c.value(o, "data");
    p.security_level = c.integer(o, "security_level", 0, 0, 8);
    p.rows = c.integer(o, "rows", 0, 0, 90);
    p.columns = c.integer(o, "columns", 0, 0, 30);
    p.narrow = c.integer(o, "narrow", 2, 1, 10);
    p.rotation = c.rotation(o);
    check_data_length(c, "data", p.data, max_pdf417_data);
    return p;
}

// Printer memory names: letters and digits, short enough for the printer's graphic names.
constexpr std::size_t max_graphic_name = 6;

std::string graphic_name_from(const std::filesystem::path& file) {
    std::string name;
    for (const char c : file.stem().string()) {
        const auto ch = static_cast<unsigned char>(c);
        if (std::isalnum(ch) && name.size() < max_graphic_name)
            name += static_cast<char>(std::toupper(ch));
    }
    return name.empty() ? "IMG" : name;
}

ImageObject read_image(const Context& c, const json& o, const std::filesystem::path& folder) {
    c.only_fields(o, {"type", "x", "y", "file", "name", "threshold"});
    ImageObject image;
    image.x = c.length(o, "x");
    image.y = c.length(o, "y");
    const std::string file = c.string(o, "file");
    if (file.empty()) c.error("file", "missing; expected the path of a .pcx or .png file");
    image.file = folder / file;
    image.name = c.string(o, "name", graphic_name_from(image.file));
    if (image.name.empty() || image.name.size() > max_graphic_name ||
        !std::all_of(image.name.begin(), image.name.end(),
                     [](unsigned char ch) { return std::isalnum(ch) != 0; })) {
        c.error("name", "expected 1 to 6 letters or digits");
    }
    const int threshold = c.integer(o, "threshold", default_png_threshold, 1, 255);
    try {
        image.pcx = load_image_as_pcx(image.file, threshold);
    } catch (const Failure& f) {
        c.error("file", f.what());
    }
    return image;
}

ObjectKind read_object(const Context& c, const json& o, const std::filesystem::path& folder) {
    const std::string type = c.string(o, "type");
    if (type == "line") return read_line(c, o);
    if (type == "rectangle") return read_rectangle(c, o);
    if (type == "box") return read_box(c, o);
    if (type == "text") return read_text(c, o);
    if (type == "barcode") return read_barcode(c, o);
    if (type == "maxicode") return read_maxicode(c, o);
    if (type == "pdf417") return read_pdf417(c, o);
    if (type == "image") return read_image(c, o, folder);
    c.error("type",
            (type.empty() ? std::string("missing") : "\"" + type + "\" is unknown") +
                "; expected line, rectangle, box, text, barcode, maxicode, pdf417 or image");
}

PrinterSection read_printer(const Context& c, const json& p) {
    if (!p.is_object()) c.error("printer", "expected an object with \"model\" and \"options\"");
    c.only_fields(p, {"model", "options", "charset"});
    PrinterSection section;
    if (const auto name = p.find("charset"); name != p.end()) {
        section.charset = name->is_string() ? find_code_page(name->get<std::string>()) : nullptr;
        if (section.charset == nullptr) c.error("charset", "expected one of " + code_page_names());
    }
    if (const auto m = p.find("model"); m != p.end()) {
        if (m->is_string())
            section.model = m->get<std::string>();
        else if (const auto number = whole_number_text(*m))
            section.model = *number;
        else
            c.error("model", "expected a model name or index");
    }
    if (const auto options = p.find("options"); options != p.end()) {
        if (!options->is_object()) c.error("options", "expected an object of option name: value");
        for (const auto& [key, value] : options->items()) {
            if (value.is_string())
                section.options.emplace_back(key, value.get<std::string>());
            else if (const auto number = whole_number_text(value))
                section.options.emplace_back(key, *number);
            else
                c.error("options", "option \"" + key + "\" expects a string or a whole number");
        }
    }
    return section;
}

// "overflow" applies to every kind of object: what may happen at the label's edge.
bool read_overflow(const Context& c, const json& o) {
    const std::string overflow = c.string(o, "overflow", "refuse");
    if (overflow != "refuse" && overflow != "clip")
        c.error("overflow", "expected \"refuse\" (the default) or \"clip\"");
    return overflow == "clip";
}

json without_overflow(const json& o) {
    json copy = o;
    copy.erase("overflow");
    return copy;
}

bool metric(const json& length) {
    if (!length.is_string()) return false;
    const std::string text = length.get<std::string>();
    return text.ends_with("mm") || text.ends_with("cm");
}

// The label's name, else its file's stem, as the name of its stored form.
std::string read_form_name(const Context& c, const json& root, const std::filesystem::path& file) {
    const std::string name = c.string(root, "name", file.stem().string());
    if (const std::string problem = form_name_problem(name); !problem.empty()) {
        if (root.contains("name")) c.error("name", problem);
        c.error("name",
                "missing, and the file's name \"" + name + "\" " + problem + "; give a \"name\"");
    }
    return form_name_for(name);
}

void add_fields(std::vector<std::string>& out, std::initializer_list<const Value*> values) {
    for (const Value* v : values) {
        if (v->field && std::find(out.begin(), out.end(), *v->field) == out.end())
            out.push_back(*v->field);
    }
}

void add_counters(std::vector<Counter>& out, std::initializer_list<const Value*> values) {
    for (const Value* v : values) {
        if (v->counter && std::none_of(out.begin(), out.end(), [&](const Counter& c) {
                return c.name == v->counter->name;
            }))
            out.push_back(*v->counter);
    }
}

// Every value of the objects that may hold data.
template <class Visit>
void for_each_value(const std::vector<LabelObject>& objects, Visit visit) {
    for (const LabelObject& object : objects) {
        std::visit(
            [&](const auto& o) {
                using T = std::decay_t<decltype(o)>;
                if constexpr (std::is_same_v<T, TextObject>) visit({&o.text});
                if constexpr (std::is_same_v<T, BarcodeObject> || std::is_same_v<T, Pdf417Object>)
                    visit({&o.data});
                if constexpr (std::is_same_v<T, MaxiCodeObject>)
                    visit({&o.postal_code, &o.country, &o.service_class, &o.message});
            },
            object.kind);
    }
}

}  // namespace

const char* object_type_name(const LabelObject& object) {
    static constexpr const char* names[] = {"line",    "rectangle", "box",    "text",
                                            "barcode", "maxicode",  "pdf417", "image"};
    return names[object.kind.index()];
}

std::string describe(const LabelObject& object) {
    return "objects[" + std::to_string(object.index) + "] (" + object_type_name(object) + ")";
}

std::vector<std::string> Label::fields() const {
    std::vector<std::string> out;
    for_each_value(objects,
                   [&](std::initializer_list<const Value*> values) { add_fields(out, values); });
    return out;
}

std::vector<Counter> Label::counters() const {
    std::vector<Counter> out;
    for_each_value(objects,
                   [&](std::initializer_list<const Value*> values) { add_counters(out, values); });
    return out;
}

Label load_label(const std::filesystem::path& file) {
    return parse_label(read_input_file(file), file);
}

Label parse_label(std::string_view text, const std::filesystem::path& file) {
    const json root = parse_json(text, file);
    const Context top(file.string(), "label");
    if (!root.is_object())
        top.error("", "expected a JSON object with \"width\", \"height\" and \"objects\"");
    top.only_fields(root, {"$schema", "name", "width", "height", "copies", "printer", "objects"});
    Label label;
    label.source = file;
    label.name = read_form_name(top, root, file);
    label.width = top.length(root, "width", {}, true);
    label.unit = metric(root["width"]) ? "mm" : "in";
    label.height = top.length(root, "height", {}, true);
    label.copies = top.integer(root, "copies", 1, 1, max_copies);
    if (const auto p = root.find("printer"); p != root.end()) label.printer = read_printer(top, *p);
    const json& objects = top.require(root, "objects");
    if (!objects.is_array()) top.error("objects", "expected an array of objects");
    std::set<std::string> image_names;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const json& o = objects[i];
        std::string where = "objects[" + std::to_string(i) + "]";
        if (o.is_object() && o.contains("type") && o["type"].is_string())
            where += " (" + o["type"].get<std::string>() + ")";
        const Context c(file.string(), where);
        if (!o.is_object()) c.error("", "expected an object with a \"type\"");
        LabelObject object{i, read_object(c, without_overflow(o), file.parent_path()),
                           read_overflow(c, o)};
        if (const auto* image = std::get_if<ImageObject>(&object.kind);
            image && !image_names.insert(image->name).second) {
            c.error("name", "the graphic name \"" + image->name +
                                "\" is already used by another image; give a \"name\"");
        }
        label.objects.push_back(std::move(object));
    }
    return label;
}

}  // namespace epl2::eplhost
