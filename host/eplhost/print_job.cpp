#include "print_job.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

#include "barcode/linear.h"
#include "barcode/symbol2d.h"
#include "core/passes.h"
#include "counters.h"
#include "data_limits.h"
#include "errors.h"
#include "extents.h"
#include "letter_case.h"
#include "units.h"

namespace epl2::eplhost {

namespace {

// Shades the module compares with 50: below it an object is reversed.
constexpr std::int32_t shade_black = 100;
constexpr std::int32_t shade_reverse = 0;

// MaxiCode symbols are about one inch high; the module places them by their top edge.
constexpr std::int32_t maxicode_nominal_height = 1000;

constexpr std::size_t pcx_chunk_size = 4096;

// A MaxiCode symbol's secondary message: at most this many characters of text.
constexpr std::size_t max_maxicode_message = 84;

// PDF417 symbols have at least three rows.
constexpr std::int32_t min_pdf417_rows = 3;

// Thrown, while the job is checked, past an object's first finding: the rest of its checks
// would only repeat it.
struct ObjectRefused {};

bool is_variable(const LabelObject& object) {
    return std::visit(
        [](const auto& o) -> bool {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, TextObject>) return o.text.variable();
            if constexpr (std::is_same_v<T, BarcodeObject> || std::is_same_v<T, Pdf417Object>)
                return o.data.variable();
            if constexpr (std::is_same_v<T, MaxiCodeObject>) {
                return o.postal_code.variable() || o.country.variable() ||
                       o.service_class.variable() || o.message.variable();
            }
            return false;
        },
        object.kind);
}

class JobDriver {
   public:
    // Checking, the driver draws nothing: the module is only asked for the model's facts.
    JobDriver(Printer& printer, const JobPlan& plan, bool checking)
        : printer_(printer), job_(printer.job()), plan_(plan), checking_(checking) {}

    void run();

   private:
    // A finding while the job is checked; a failure (which the check should have prevented)
    // while it runs.
    [[noreturn]] void object_error(const LabelObject& object, std::string_view field,
                                   const std::string& what, const char* rule = "data") {
        Finding f = object_finding(object, field, rule, what);
        if (!checking_ || plan_.findings == nullptr) fail(ExitCode::bad_input, f.text());
        if (is_variable(object) || reported_.insert(object.index).second)
            plan_.findings->add(std::move(f));
        throw ObjectRefused{};
    }

    Finding object_finding(const LabelObject& object, std::string_view field, const char* rule,
                           const std::string& what) const {
        Finding f;
        f.rule = rule;
        f.file = plan_.label->source.string();
        f.object = "objects[" + std::to_string(object.index) + "]";
        f.type = object_type_name(object);
        f.field = field;
        f.message = what;
        if (record_ != nullptr && is_variable(object)) {
            f.records = plan_.records->summary().source.string();
            f.record = record_->number;
            f.where = record_->where;
            if (const auto it = columns_.find(std::string(field)); it != columns_.end())
                f.column = it->second;
        }
        return f;
    }

    // A finding about the label as a whole.
    void label_error(const std::string& what) {
        Finding f{"label", plan_.label->source.string(), {}, {}, {}, {}, 0, {}, {}, what};
        if (!checking_ || plan_.findings == nullptr) fail(ExitCode::bad_input, f.text());
        plan_.findings->add(std::move(f));
    }

    // An object that the label's edge would cut, unless it asked to be clipped.
    void check_edges(const LabelObject& object, const Box& box, const char* hint = "") {
        if (object.clip || !checking_) return;
        if (const auto problem = overflow(box, *plan_.label)) {
            object_error(
                object, "",
                *problem + "; move or shrink it" + hint + ", or give \"overflow\": \"clip\"",
                "edge");
        }
    }

    // The value as the printer reads it, in the job's code page.
    std::string resolve(const LabelObject& object, std::string_view field, const Value& value) {
        const std::string utf8 = resolve_utf8(object, field, value);
        PageText text = to_code_page(utf8, *plan_.code_page);
        if (!text.fault.empty()) object_error(object, field, text.fault);
        return std::move(text.bytes);
    }

    std::string resolve_utf8(const LabelObject& object, std::string_view field,
                             const Value& value) {
        if (value.counter) return counter_value(*value.counter);
        if (!value.variable()) return value.text;
        columns_[std::string(field)] = *value.field;
        std::string text = value.text;
        if (record_ != nullptr) {
            const auto it = record_->values.find(*value.field);
            if (it != record_->values.end() && !it->second.empty()) text = it->second;
        }
        // The module reads data up to its first NUL: whatever follows would vanish unseen.
        if (text.find('\0') != std::string::npos)
            object_error(object, field,
                         "column \"" + *value.field +
                             "\" holds a NUL character, which cannot be "
                             "printed");
        // Without records the fields' defaults print once.
        if (!text.empty() || !value.required) return text;
        if (record_ == nullptr) {
            object_error(object, field,
                         "reads column \"" + *value.field +
                             "\" and has no default; give the records with --data");
        }
        object_error(object, field, "column \"" + *value.field + "\" is empty");
        return text;
    }

    // The counter on this record's label: the record's place in the batch counts from the
    // batch's first value.
    std::string counter_value(const Counter& counter) const {
        std::int64_t base = counter.start;
        if (plan_.counter_bases != nullptr) {
            if (const auto it = plan_.counter_bases->find(counter.name);
                it != plan_.counter_bases->end())
                base = it->second;
        }
        return counter_text(counter, base, record_ != nullptr ? record_->number - 1 : 0);
    }

    template <class Fn, class... Args>
    auto call(Fn fn, Args... args) {
        using Answer = decltype(std::declval<host::HostJob&>().call(fn, args...));
        if (checking_) return Answer();
        return job_.call(fn, args...);
    }

    void prepare_model();
    void resolve_fonts();
    void print_label();
    void pass(std::uint8_t form_mode, bool (*wanted)(const LabelObject&, bool));
    void draw(const LabelObject& object);
    void draw_object(const LabelObject& object);
    FontCell font_cell(std::int32_t font) const;
    void draw_text(const LabelObject& object, const TextObject& t);
    void draw_barcode(const LabelObject& object, const BarcodeObject& b);
    void draw_maxicode(const LabelObject& object, const MaxiCodeObject& m);
    void draw_pdf417(const LabelObject& object, const Pdf417Object& p);
    void draw_image(const ImageObject& image);
    void set_symbol(std::int32_t symbology, std::int32_t x, std::int32_t y, std::int32_t height,
                    std::int32_t rotation, bool variable, const std::string& data);

    Printer& printer_;
    host::HostJob& job_;
    const JobPlan& plan_;
    const bool checking_;
    const Record* record_ = nullptr;
    std::map<std::string, std::string> columns_;  // field -> the column it was read from
    std::set<std::size_t> reported_;              // fixed objects with a finding already
    std::vector<std::int32_t> fonts_;  // module font index per object (text objects only)
    std::string symbol_data_;          // the data the barcode object points to during drawbar
};

void JobDriver::prepare_model() {
    const Label& label = *plan_.label;
    RecordView r = job_.record();
    // A module that reports no limit (0) imposes none.
    const auto check = [&](std::int32_t size, std::int32_t limit, const char* extent,
                           const char* takes, const auto& advice) {
        if (limit > 0 && size > limit) {
            label_error("the label is " + describe_length(size) + " " + extent + "; the " +
                        printer_.model().name + " " + takes + " " + describe_length(limit) +
                        advice());
        }
    };
    check(label.width, r.get(record::max_print_width), "wide", "prints at most",
          [] { return std::string(); });
    check(label.height, r.get(record::max_label_length), "long", "with this memory takes at most",
          [&] { return printer_.advice_for_length(label.height); });
    r.set(record::label_width, label.width);
    r.set(record::label_height, label.height);
    r.set(record::variable_mode, host_variable_mode);
    job_.set_label_name(label.name);
}

void JobDriver::resolve_fonts() {
    const std::vector<std::string> names = printer_.font_names();
    for (const LabelObject& object : plan_.label->objects) {
        const auto* t = std::get_if<TextObject>(&object.kind);
        std::int32_t font = t ? t->font : 0;
        if (t && !t->font_name.empty()) {
            const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return same_ignoring_case(n, t->font_name);
            });
            if (it == names.end()) {
                std::string list;
                for (std::size_t i = 0; i < names.size(); ++i)
                    list += (i ? ", \"" : "\"") + names[i] + "\"";
                try {
                    object_error(object, "font",
                                 "the " + printer_.model().name + " has no font \"" + t->font_name +
                                     "\"; its fonts are " + list,
                                 "font");
                } catch (const ObjectRefused&) {
                }
                font = 0;  // the checks go on as with the first font
            } else {
                font = static_cast<std::int32_t>(it - names.begin());
            }
        }
        fonts_.push_back(font);
    }
}

void JobDriver::run() {
    prepare_model();
    resolve_fonts();
    const bool direct = draws_directly(job_.record());
    const auto& label = *plan_.label;
    const bool has_images = std::any_of(
        label.objects.begin(), label.objects.end(),
        [](const LabelObject& o) { return std::holds_alternative<ImageObject>(o.kind); });
    call(job_.entry().maininit);
    call(job_.entry().repeat_begin, plan_.copies);
    if (!direct) {
        if (has_images) {
            pass(form_mode::graphics, [](const LabelObject& o, bool) {
                return std::holds_alternative<ImageObject>(o.kind);
            });
        }
        pass(form_mode::build, [](const LabelObject& o, bool) { return !is_variable(o); });
    }
    if (plan_.before_records && !checking_) plan_.before_records();
    if (plan_.records == nullptr) {
        print_label();
        if (plan_.progress && !checking_) plan_.progress(1, 1);
    } else {
        std::size_t done = 0;
        plan_.records->read([&](const Record& record) {
            if (++done <= plan_.skip && !checking_) return;
            record_ = &record;
            print_label();
            if (plan_.progress && !checking_) plan_.progress(done, plan_.records->summary().count);
        });
    }
    record_ = nullptr;
    call(job_.entry().main_end);
}

// Without a stored form every object is drawn after the recall; with one, only the objects
// whose data changes from record to record.
void JobDriver::print_label() {
    pass(form_mode::recall, [](const LabelObject& o, bool all) { return all || is_variable(o); });
    pass(form_mode::print, [](const LabelObject&, bool) { return false; });
}

void JobDriver::pass(std::uint8_t mode, bool (*wanted)(const LabelObject&, bool)) {
    const bool direct = draws_directly(job_.record());
    job_.set_form_mode(mode);
    call(job_.entry().pageinit, 0);
    call(job_.entry().setclip, 0, 0, plan_.label->width, plan_.label->height);
    for (const LabelObject& object : plan_.label->objects) {
        if (wanted(object, direct)) draw(object);
    }
    call(job_.entry().page_end, 0);
}

void JobDriver::draw(const LabelObject& object) {
    try {
        draw_object(object);
    } catch (const ObjectRefused&) {
        // Checked and found wanting: the finding is kept, the next object is checked.
    }
}

void JobDriver::draw_object(const LabelObject& object) {
    const auto& ep = job_.entry();
    std::visit(
        [&](const auto& o) {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, LineObject>) {
                const std::int32_t w = o.vertical ? o.thickness : o.length,
                                   h = o.vertical ? o.length : o.thickness;
                call(ep.drawline, o.x, o.y, o.x + w, o.y + h, 0, shade_black, 0, 0);
            } else if constexpr (std::is_same_v<T, RectangleObject>) {
                call(ep.drawbckgnd, o.x, o.y, o.x + o.width, o.y + o.height,
                     o.white ? shade_reverse : shade_black, 0, 0);
            } else if constexpr (std::is_same_v<T, BoxObject>) {
                // The module centres the border on the rectangle it gets; the label gives the
                // outer edge.
                const std::int32_t half = o.thickness / 2;
                call(ep.drawbox, o.x + half, o.y + half, o.x + o.width - half,
                     o.y + o.height - half, o.thickness, 0, 0, 0);
            } else if constexpr (std::is_same_v<T, TextObject>) {
                draw_text(object, o);
            } else if constexpr (std::is_same_v<T, BarcodeObject>) {
                draw_barcode(object, o);
            } else if constexpr (std::is_same_v<T, MaxiCodeObject>) {
                draw_maxicode(object, o);
            } else if constexpr (std::is_same_v<T, Pdf417Object>) {
                draw_pdf417(object, o);
            } else if constexpr (std::is_same_v<T, ImageObject>) {
                draw_image(o);
            }
        },
        object.kind);
    // Text and barcodes are measured as they are drawn, with their data.
    if (checking_ && !std::holds_alternative<TextObject>(object.kind) &&
        !std::holds_alternative<BarcodeObject>(object.kind)) {
        check_edges(object, object_box(object, printer_.model().dpi()));
    }
}

FontCell JobDriver::font_cell(std::int32_t font) const {
    const RecordView r = job_.record();
    const auto entry = static_cast<std::size_t>(font);
    return {font,
            static_cast<std::uint32_t>(r.get(record::font_table, entry, font_entry::cell_height)),
            static_cast<std::uint32_t>(r.get(record::font_table, entry, font_entry::cell_width)),
            r.get(record::font_table, entry, font_entry::max_h_mult),
            r.get(record::font_table, entry, font_entry::max_v_mult)};
}

void JobDriver::draw_text(const LabelObject& object, const TextObject& t) {
    const std::string text = resolve(object, "text", t.text);
    const std::size_t escaped = escaped_length(text);
    if (escaped > max_object_data) {
        object_error(object, "text",
                     "is " + std::to_string(escaped) +
                         " characters long with its escapes; at most " +
                         std::to_string(max_object_data) + " fit");
    }
    const FontCell cell = font_cell(fonts_[object.index]);
    const int dpi = printer_.model().dpi();
    TextScale scale =
        text_scale(cell, t.height ? static_cast<std::uint32_t>(*t.height) : cell.height,
                   t.width ? static_cast<std::uint32_t>(*t.width) : cell.width);
    if (t.shrink_to_fit) {
        // The largest size, no larger than the one asked for, at which the text fits.
        while (std::max(scale.horizontal, scale.vertical) > 1 &&
               overflow(text_box(t, text.size(), cell, scale, dpi), *plan_.label)) {
            const std::int32_t next = std::max(scale.horizontal, scale.vertical) - 1;
            scale = {std::min(scale.horizontal, next), std::min(scale.vertical, next)};
        }
    }
    // Measured only while the job is checked: printing repeats none of the checks.
    if (checking_)
        check_edges(object, text_box(t, text.size(), cell, scale, dpi),
                    t.shrink_to_fit ? "" : ", give \"fit\": \"shrink\"");
    // Whole multiples of the cell: the module takes exactly these multipliers.
    const std::uint32_t height = static_cast<std::uint32_t>(scale.vertical) * cell.height;
    const std::uint32_t width = static_cast<std::uint32_t>(scale.horizontal) * cell.width;
    call(job_.entry().drawtext, t.x, t.y, text.c_str(), height, width, 0, t.rotation,
         fonts_[object.index], t.reverse ? shade_reverse : shade_black, 0, 0,
         t.text.variable() ? 1 : 0);
}

void JobDriver::set_symbol(std::int32_t symbology, std::int32_t x, std::int32_t y,
                           std::int32_t height, std::int32_t rotation, bool variable,
                           const std::string& data) {
    BarcodeObjectView b = job_.barcode();
    // A fresh object each time: no field of the previous symbol may leak into this one.
    std::fill_n(b.data(), barcode_object_size, std::byte{0});
    symbol_data_ = data;
    b.set(barcode_object::symbology, symbology);
    b.set(barcode_object::x, x);
    b.set(barcode_object::y, y);
    b.set(barcode_object::height, height);
    b.set(barcode_object::rotation, rotation);
    b.set(barcode_object::data, host::word(symbol_data_.c_str()));
    b.set(barcode_object::variable_mark, variable ? 1u : 0u);
}

void JobDriver::draw_barcode(const LabelObject& object, const BarcodeObject& code) {
    const Symbology& type = *code.type;
    const int addon_digits = code.addon_digits();
    const BarcodeData checked =
        check_barcode_data(type, resolve(object, "data", code.data), addon_digits);
    if (!checked.problem.empty()) object_error(object, "data", checked.problem);
    std::string data = checked.data;
    if (type.kind == BarcodeKind::sscc) data.insert(data.begin(), ucc_ean_marker);
    if (const std::size_t length = escaped_length(data); length > max_object_data) {
        object_error(object, "data",
                     "is longer than " + std::to_string(max_object_data) + " characters" +
                         (length > data.size() ? " with its escapes" : ""));
    }
    if (checking_)
        check_edges(object, barcode_box(code, type, checked.data, printer_.model().dpi()));
    set_symbol(type.index, code.x, code.y, code.height, code.rotation, code.data.variable(), data);
    BarcodeObjectView b = job_.barcode();
    b.set(barcode_object::human_readable, code.human_readable ? 1 : 0);
    b.set(barcode_object::ratio, code.ratio);
    b.set(barcode_object::narrow, code.narrow);
    b.set(barcode_object::addon, code.addon);
    call(job_.entry().drawbar);
}

void JobDriver::draw_maxicode(const LabelObject& object, const MaxiCodeObject& m) {
    std::string postal = resolve(object, "postal_code", m.postal_code);
    const std::string country = resolve(object, "country", m.country);
    const std::string service = resolve(object, "service_class", m.service_class);
    const std::string message = resolve(object, "message", m.message);
    std::string extension;
    if (postal.size() == 10 && postal[5] == '-') postal.erase(5, 1);
    if (postal.size() == 9) {  // ZIP+4: the five-digit code with its extension
        extension = postal.substr(5);
        postal.resize(5);
    }
    if (postal.empty() || postal.size() > 6 ||
        !std::all_of(postal.begin(), postal.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0; })) {
        object_error(object, "postal_code",
                     "expected up to 6 letters or digits, or a ZIP+4 code, not \"" + postal + "\"");
    }
    if (!std::all_of(extension.begin(), extension.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
        object_error(object, "postal_code", "the ZIP+4 extension must be digits");
    }
    if (country.size() != 3 || !std::all_of(country.begin(), country.end(),
                                            [](unsigned char c) { return std::isdigit(c) != 0; })) {
        object_error(object, "country",
                     "expected a three-digit country code such as 840, not \"" + country + "\"");
    }
    if (service.size() != 3 || !std::all_of(service.begin(), service.end(),
                                            [](unsigned char c) { return std::isdigit(c) != 0; })) {
        object_error(object, "service_class",
                     "expected a three-digit service class such as 001, not \"" + service + "\"");
    }
    if (message.size() > max_maxicode_message) {
        object_error(object, "message",
                     "is " + std::to_string(message.size()) +
                         " characters long; a MaxiCode "
                         "symbol holds at most " +
                         std::to_string(max_maxicode_message) + " beside its carrier header");
    }
    if (message.find('"') != std::string::npos)
        object_error(object, "message", "cannot hold a double quote");
    // The module reads the carrier header in fixed columns: a five-character code with its
    // four-character extension, or a code of up to six characters padded with spaces.
    std::string header = extension.empty() ? postal + std::string(6 - postal.size(), ' ') + " "
                                           : postal + " " + extension + " ";
    header += country + " " + service + " " + message;
    if (escaped_length(header) > max_maxicode_data)
        object_error(object, "message", "is too long for a MaxiCode parameter string");
    set_symbol(symbology::maxicode, m.x, m.y + maxicode_nominal_height, maxicode_nominal_height, 0,
               is_variable(object), header);
    call(job_.entry().drawbar);
}

void JobDriver::draw_pdf417(const LabelObject& object, const Pdf417Object& p) {
    const std::string data = resolve(object, "data", p.data);
    if (data.find('"') != std::string::npos)
        object_error(object, "data", "PDF417 data cannot hold a double quote");
    if (escaped_length(data) > max_pdf417_data)
        object_error(object, "data", "is too long for a PDF417 parameter string");
    if (p.rows != 0 && p.rows < min_pdf417_rows)
        object_error(object, "rows", "a PDF417 symbol has 3 to 90 rows (0: the printer chooses)");
    if (p.rows != 0 && p.columns != 0) {
        // Text compaction takes two characters a codeword at best; the error correction of level
        // L takes 2^(L+1) codewords and the length descriptor one.
        const std::int64_t room = std::int64_t{p.rows} * p.columns - 1 - (2LL << p.security_level);
        const auto needed = static_cast<std::int64_t>((data.size() + 1) / 2);
        if (needed > room) {
            object_error(object, "data",
                         "needs at least " + std::to_string(needed) + " codewords, and " +
                             std::to_string(p.rows) + " rows of " + std::to_string(p.columns) +
                             " columns at security level " + std::to_string(p.security_level) +
                             " leave room for " + std::to_string(std::max<std::int64_t>(room, 0)) +
                             "; give more rows or columns, or 0 to let the printer choose");
        }
    }
    set_symbol(symbology::pdf417, p.x, p.y + p.height, p.height, p.rotation, p.data.variable(),
               data);
    BarcodeObjectView b = job_.barcode();
    b.set(barcode_object::width, p.width);
    b.set(barcode_object::narrow, p.narrow);
    b.set(barcode_object::security_level, p.security_level);
    b.set(barcode_object::shape_limits,
          static_cast<std::uint32_t>(p.rows) | static_cast<std::uint32_t>(p.columns) << 8);
    call(job_.entry().drawbar);
}

void JobDriver::draw_image(const ImageObject& image) {
    // An image holds no record data, and was checked as the label was read.
    if (checking_) return;
    host::PcxObject pcx;
    pcx.set_name(image.name);
    PcxObjectView v = pcx.view();
    v.set(pcx_object::x, image.x);
    v.set(pcx_object::y, image.y);
    v.set(pcx_object::file_size, static_cast<std::uint32_t>(image.pcx.size()));
    const auto& ep = job_.entry();
    call(ep.pcx_begin, pcx.word());
    const std::string_view file = image.pcx;
    for (std::size_t at = 0; at < file.size(); at += pcx_chunk_size) {
        pcx.set_chunk(file.substr(at, pcx_chunk_size), at != 0);
        // -1: this pass needs no image data; the rest of the file would be refused as well.
        if (call(ep.pcx_map, pcx.word()) == -1) break;
    }
    call(ep.pcx_end, pcx.word());
}

}  // namespace

void check_fields(const Label& label, const RecordsSummary* records) {
    if (records == nullptr) return;
    for (const std::string& field : label.fields()) {
        if (std::find(records->columns.begin(), records->columns.end(), field) !=
            records->columns.end())
            continue;
        const auto close = close_matches(field, records->columns);
        std::string hint;
        for (const auto& c : close)
            hint += (hint.empty() ? "; did you mean \"" : ", \"") + c + "\"";
        fail(ExitCode::bad_input, records->source.string() + ": the label reads column \"" + field +
                                      "\", which is missing" + (hint.empty() ? "" : hint + "?"));
    }
}

void check_job(Printer& printer, const JobPlan& plan) {
    JobDriver(printer, plan, true).run();
}

void run_job(Printer& printer, const JobPlan& plan) {
    JobDriver(printer, plan, false).run();
}

}  // namespace epl2::eplhost
