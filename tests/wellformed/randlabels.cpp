// epl2_randlabels: prints random labels through the real driver module, for every PrinterType of
// the model table, and writes the byte stream of each printer to
// OUT_DIR/pt<type>-<printer>-<dpi>dpi.epl (three printers per PrinterType). The labels
// hold every object kind at random positions, sizes and rotations, with random clip rectangles,
// variable marks, setup values and data (quotes, backslashes, CR/LF, bytes 0x80-0xFF, lengths up
// to and beyond what the record's 255-byte data field holds). The seed is fixed, so every run
// writes the same bytes.
//
// The generator plays a careful host: it keeps each object inside the label that the stream
// announces, gives barcodes data their symbology can encode, and avoids the setups whose
// streams are unsound by design of the host interface (continuous media, whose page-end Q
// clears the image buffer, and variable_mode 1, whose V references no V declaration precedes).
// What remains for the stream to get wrong is the driver's own doing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/passes.h"
#include "core/symbology.h"
#include "host_job.h"
#include "model_table.h"
#include "printer.h"
#include "setup/option_catalogue.h"
#include "module.h"
#include "pcx_header.h"
#include "services.h"

namespace epl2::randlabels {
namespace {

// The engine is defined to the bit, and ranges are taken by remainder rather than through the
// library's distributions, which differ between libraries: a seed gives the same labels with any.
struct Random : std::mt19937_64 {
    using std::mt19937_64::mt19937_64;
    // Uniform in [lo, hi]; hi < lo gives lo.
    template <class T>
    T in(T lo, T hi) {
        if (hi <= lo) return lo;
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
        return static_cast<T>(static_cast<std::uint64_t>(lo) + (*this)() % span);
    }
    bool chance(int percent) { return in(0, 99) < percent; }
    template <class Items>
    auto pick(const Items& items) {
        return items[in<std::size_t>(0, std::size(items) - 1)];
    }
};

// A dot rectangle on the printer's label: [x0, x1) x [y0, y1).
struct Dots {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::int32_t width() const { return x1 - x0; }
    std::int32_t height() const { return y1 - y0; }
    Dots grown(std::int32_t by) const { return {x0 - by, y0 - by, x1 + by, y1 + by}; }
};

// The generator's label, as wide as the printer prints, in printer dots; and the host's inverse
// of the module's mapping onto it, which moves the label right by the left offset on models of
// class 2 (but PrinterType 13).
struct Geometry {
    explicit Geometry(RecordView r) : dpi_x(r.get(record::dpi_x)), dpi_y(r.get(record::dpi_y)) {
        const bool right_aligned =
            r.get(record::model_class) == 2 && r.get(record::printer_type) != 13;
        x_offset = right_aligned ? r.get(record::left_offset) : 0;
        y_offset = r.get(record::top_offset);
        // The widest head at this resolution, less the 8-dot reference point, and a 6-dot margin
        // for rounding: what the stream's own label can hold.
        const std::int32_t width = ((r.get(record::label_width) + x_offset) * dpi_x + 500) / 1000;
        const std::int32_t length = (r.get(record::label_height) * dpi_y + 500) / 1000;
        area = Dots{0, 0, std::min(high_resolution() ? 1240 : 824, width), length}.grown(-6);
    }
    bool high_resolution() const { return dpi_x >= 300; }
    // The host's position, in thousandths of an inch, that the module maps onto a dot.
    std::int32_t host_x(std::int32_t d) const { return (d * 1000 + dpi_x / 2) / dpi_x - x_offset; }
    std::int32_t host_y(std::int32_t d) const { return (d * 1000 + dpi_y / 2) / dpi_y + y_offset; }

    std::int32_t dpi_x, dpi_y, x_offset = 0, y_offset = 0;
    Dots area;
};

// ----- data -----

std::string from_alphabet(Random& rng, std::string_view alphabet, std::size_t n) {
    std::string s;
    while (s.size() < n) s += rng.pick(alphabet);
    return s;
}

std::string digits(Random& rng, std::size_t n) {
    return from_alphabet(rng, "0123456789", n);
}

// Printable ASCII, the DATA field's special characters, and bytes 0x80-0xFF. No UTF-8 lead byte
// (0xC2-0xF4) is followed by a continuation byte (0x80-0xBF), even with ASCII between them that
// the module might drop: such a pair looks like UTF-8 sent to a single-byte page, which eplview
// rightly warns of.
std::string random_text(Random& rng, std::size_t length) {
    std::string s;
    int last_high = 0;  // the last byte of 0x80 and above
    while (s.size() < length) {
        const int kind = rng.in(0, 9);
        if (kind >= 8) {
            int byte = rng.in(0x80, 0xFF);
            if (last_high >= 0xC2 && last_high <= 0xF4 && byte <= 0xBF) byte += 0x40;
            s += static_cast<char>(byte);
            last_high = byte;
            continue;
        }
        s += kind < 6 ? static_cast<char>(rng.in(0x20, 0x7E))
                      : rng.pick(std::string_view("\"\\\r\n, "));
    }
    return s;
}

// ----- symbologies -----

struct Symbology {
    std::int32_t index;
    bool upc_ean;
    // Data the symbology encodes, at most `room` characters long where it allows a choice.
    std::string (*data)(Random&, std::size_t room);
    // Modules across the symbol for n data characters, quiet zones and human-readable digits
    // left out: per_character * n + fixed, a generous estimate.
    std::int32_t per_character, fixed;
};

// Code 128 takes printable ASCII; the quote and the backslash, which the module escapes, come
// four times over to be likely.
constexpr char code128_characters[] =
    R"( !#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz)"
    R"({|}~""""\\\\)";
constexpr char codabar_characters[] = "0123456789-$:/.+";
constexpr char code39_characters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

// One to `room` characters of the symbology's character set.
template <const char* Characters>
std::string alphabet_data(Random& rng, std::size_t room) {
    return from_alphabet(rng, Characters, rng.in<std::size_t>(1, room));
}

const std::vector<Symbology>& symbologies() {
    using namespace symbology;
    static const std::vector<Symbology> table = {
        {upc_a, true, [](Random& r, std::size_t) { return digits(r, 11); }, 0, 95},
        // Six digits that expand to a UPC-A number: the last digit 5 to 9 after a nonzero one.
        {upc_e, true,
         [](Random& r, std::size_t) { return digits(r, 4) + r.in('1', '9') + r.in('5', '9'); }, 0,
         51},
        {ean13, true, [](Random& r, std::size_t) { return digits(r, 12); }, 0, 95},
        {ean8, true, [](Random& r, std::size_t) { return digits(r, 7); }, 0, 67},
        {code128, false, alphabet_data<code128_characters>, 11, 35},
        {code128_second, false, alphabet_data<code128_characters>, 11, 35},
        {code128_third, false, alphabet_data<code128_characters>, 11, 35},
        {codabar, false, alphabet_data<codabar_characters>, 14, 28},
        {interleaved_2_of_5, false,
         [](Random& r, std::size_t room) { return digits(r, 2 * r.in<std::size_t>(1, room / 2)); },
         9, 12},
        {code39, false, alphabet_data<code39_characters>, 16, 32},
        {code93, false, alphabet_data<code39_characters>, 9, 37},
        {ucc_ean128, false, [](Random& r, std::size_t) { return "00" + digits(r, 18); }, 0,
         11 * 22 + 35},
        {postnet, false, [](Random& r, std::size_t) { return digits(r, r.chance(50) ? 5 : 9); }, 0,
         0},
    };
    return table;
}

// A one-plane, one-bit PCX file holding random pixels, run-length encoded unless `literal`: then
// every byte is below 0xC0 and stands for itself, so the file is as long as its decoded rows.
std::string pcx_file(Random& rng, std::int32_t width, std::int32_t height, bool literal) {
    const std::int32_t row_bytes = (width + 7) / 8, bytes_per_line = row_bytes + (row_bytes & 1);
    std::string file = test_support::pcx_header(0, 0, width - 1, height - 1, bytes_per_line);
    const std::int32_t top = literal ? 0xBF : 0xFF;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < bytes_per_line;) {
            const auto value = static_cast<char>(rng.chance(50)   ? rng.in(0, top)
                                                 : rng.chance(50) ? 0
                                                                  : top);
            const std::int32_t run =
                literal ? 1 : std::min(bytes_per_line - x, rng.chance(30) ? rng.in(1, 63) : 1);
            if (run > 1 || (value & 0xC0) == 0xC0) file += static_cast<char>(0xC0 | run);
            file += value;
            x += run;
        }
    }
    return file;
}

// ----- the label -----

struct Object {
    std::function<void(host::HostJob&, Random&)> draw;  // fresh data per record for variables
    bool variable = false;
};

// An object's data: one fixed string, or fresh data for every record when the object is variable,
// which its nonzero mark tells the module.
struct Data {
    std::function<std::string(Random&)> make;
    std::string fixed;
    std::uint32_t mark = 0;
    [[nodiscard]] bool variable() const { return mark != 0; }
    std::string operator()(Random& rng) const { return variable() ? make(rng) : fixed; }
};

// A barcode or 2D symbol: the fields every symbology shares, cleared of any earlier object's,
// then those `own` sets for its symbology.
Object symbol(std::int32_t index, std::int32_t x, std::int32_t y, std::int32_t height,
              std::int32_t rotation, const Data& data,
              const std::function<void(BarcodeObjectView)>& own) {
    return {[=](host::HostJob& job, Random& rng) {
                BarcodeObjectView b = job.barcode();
                std::fill_n(b.data(), barcode_object_size, std::byte{0});
                b.set(barcode_object::symbology, index);
                b.set(barcode_object::x, x);
                b.set(barcode_object::y, y);
                b.set(barcode_object::height, height);
                b.set(barcode_object::rotation, rotation);
                b.set(barcode_object::variable_mark, data.mark);
                own(b);
                job.set_barcode_data(data(rng));
                job.call(job.entry().drawbar);
            },
            data.variable()};
}

// A carrier header in one of its two layouts (a postal code of five and four digits, or of one
// to six letters and digits padded to six), then a message. A symbol holds a message of about 90
// characters; one too long for the record's data field is dropped by the module.
std::string maxicode_data(Random& rng) {
    std::string postal_code =
        from_alphabet(rng, "ABCDEFGHJKLMNPRSTUVWXYZ0123456789", rng.in<std::size_t>(1, 6));
    postal_code.resize(6, ' ');
    if (rng.chance(50)) postal_code = digits(rng, 5) + " " + digits(rng, 4);
    const std::string header = postal_code + " " + digits(rng, 3) + " " + digits(rng, 3) + " ";
    const std::size_t length =
        rng.chance(10) ? rng.in<std::size_t>(260, 300) : rng.in<std::size_t>(0, 50);
    return header + rng.in('A', 'Z') + random_text(rng, length);
}

// One label's objects, made at random once and drawn in each of the job's passes.
class Label {
   public:
    Label(host::HostJob& job, Random& rng, const Geometry& g, bool unclipped_text)
        : job_(job), rng_(rng), g_(g), area_(g_.area), unclipped_text_(unclipped_text) {
        set_clip();  // text keeps clear of its edges
        static constexpr std::array makers = {&Label::rectangle, &Label::rectangle, &Label::box,
                                              &Label::text,      &Label::text,      &Label::barcode,
                                              &Label::maxicode,  &Label::pdf417,    &Label::image};
        for (int i = rng_.in(0, 12); i > 0; --i)
            if (auto o = (this->*rng_.pick(makers))()) objects_.push_back(std::move(*o));
    }

    // One pass in the given form mode: a new clip rectangle, then the objects `wanted` picks.
    void pass(std::uint8_t mode, const std::function<bool(const Object&)>& wanted) {
        job_.set_form_mode(mode);
        job_.call(job_.entry().pageinit, 0);
        set_clip();
        for (const Object& o : objects_)
            if (wanted(o)) o.draw(job_, rng_);
        job_.call(job_.entry().page_end, 0);
    }

   private:
    // A clip rectangle inside the label: the module clips lines, boxes and text to it.
    void set_clip() {
        // The module measures text by its own cell widths, which fall short of the printer's pitch
        // by a dot per character in fonts 0, 1 and 3 at 203 dpi (9, 11 and 15 dots against 10,
        // 12 and 16) and in font 3 at 300 dpi (23 against 24). A run cut at the clip edge may so
        // print up to a ninth of the clip's length beyond it (at 300 dpi, a twenty-third): the
        // clip keeps clear of the label's edges by that much. The host's clip rectangle is never
        // turned inside out.
        const std::int32_t longest_side = std::max(area_.width(), area_.height());
        const std::int32_t overshoot = longest_side / (g_.high_resolution() ? 23 : 9) + 1;
        const std::int32_t inset =
            std::max(0, std::min({overshoot, area_.width() / 2 - 8, area_.height() / 2 - 8}));
        clip_ = area_.grown(-inset);
        if (rng_.chance(50)) {
            const std::int32_t w = clip_.width() / 3, h = clip_.height() / 3;
            clip_ = {clip_.x0 + rng_.in(0, w), clip_.y0 + rng_.in(0, h), clip_.x1 - rng_.in(0, w),
                     clip_.y1 - rng_.in(0, h)};
        }
        job_.call(job_.entry().setclip, g_.host_x(clip_.x0 + 1), g_.host_y(clip_.y0 + 1),
                  g_.host_x(clip_.x1 - 2), g_.host_y(clip_.y1 - 2));
    }

    std::int32_t shade() {
        return rng_.chance(80) ? rng_.pick(std::array{0, 30, 49, 50, 51, 100})
                               : rng_.in(-1000, 1000);
    }
    // Fixed data from `make`, or variable data with a random mark.
    Data data(std::function<std::string(Random&)> make) {
        const std::uint32_t mark =
            rng_.chance(40) ? rng_.pick(std::array{1u, 32768u, 65535u, 0xFFFFFFFFu, 7u}) : 0;
        std::string fixed = make(rng_);
        return {std::move(make), std::move(fixed), mark};
    }
    // Anywhere around the label, partly or wholly outside it: the clip rectangle decides.
    std::int32_t loose_x() { return rng_.in(-300, area_.x1 + 300); }
    std::int32_t loose_y() { return rng_.in(-300, area_.y1 + 300); }
    // A box of the given size inside the label, with `gap` to spare.
    std::optional<Dots> place(std::int32_t w, std::int32_t h, std::int32_t gap) {
        if (area_.width() < w + 2 * gap || area_.height() < h + 2 * gap) return std::nullopt;
        const std::int32_t x = rng_.in(area_.x0 + gap, area_.x1 - w - gap);
        const std::int32_t y = rng_.in(area_.y0 + gap, area_.y1 - h - gap);
        return Dots{x, y, x + w, y + h};
    }

    // A line or a filled rectangle by its two corners.
    std::optional<Object> rectangle() {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        const std::int32_t x2 = x1 + rng_.in(-800, 800), y2 = y1 + rng_.in(-800, 800), s = shade();
        const bool line = rng_.chance(50);
        return Object{[=](host::HostJob& job, Random&) {
            if (line)
                job.call(job.entry().drawline, x1, y1, x2, y2, 0, s, 0, 0);
            else
                job.call(job.entry().drawbckgnd, x1, y1, x2, y2, s, 0, 0);
        }};
    }

    std::optional<Object> box() {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        // A thickness under half a dot is sent as 0, which draws nothing on the printer; a host
        // gives a border it means to see.
        const std::int32_t t = rng_.in(1000 / g_.dpi_x + 2, 120);
        const std::int32_t x2 = x1 + rng_.in(t, 1500), y2 = y1 + rng_.in(t, 1500);
        return Object{[=](host::HostJob& job, Random&) {
            job.call(job.entry().drawbox, x1, y1, x2, y2, t, 0, 0, 0);
        }};
    }

    // Text in the resident fonts: its run is clipped by the module along the writing
    // direction; across it, the host keeps the cells inside the label.
    std::optional<Object> text() {
        const auto font = rng_.in<std::size_t>(0, 4);
        const auto rotation = rng_.in<std::size_t>(0, 3);
        const bool vertical = rotation % 2 == 1;
        const std::int32_t h_mult = rng_.in(1, rng_.chance(70) ? 3 : 8);
        // Turned text goes out with its two multipliers exchanged (p5 takes the vertical one),
        // which the printer reads as the text's own horizontal and vertical: only equal
        // multipliers print the size the host asked for.
        const std::int32_t v_mult = vertical ? h_mult : rng_.in(1, rng_.chance(70) ? 3 : 9);
        // The printer's cell across the run, with the baseline offset and room to spare; its
        // advance along the run.
        static constexpr std::array<std::array<std::int32_t, 5>, 2> cells = {
            {{12, 16, 20, 24, 48}, {20, 28, 36, 44, 80}}};
        static constexpr std::array<std::array<std::int32_t, 5>, 2> advances = {
            {{10, 12, 14, 16, 36}, {12, 16, 20, 24, 48}}};
        const std::size_t res = g_.high_resolution() ? 1 : 0;
        const Dots band = clip_.grown(-(2 * cells[res][font] * v_mult + 4));
        if ((vertical ? band.width() : band.height()) < 0) return std::nullopt;
        const std::int32_t c = vertical ? rng_.in(band.x0, band.x1) : rng_.in(band.y0, band.y1);
        std::int32_t along = vertical ? loose_y() : loose_x();
        // With the extra strings switched on the module does not clip text: the host keeps the
        // run on the label itself, at the printer's advance.
        std::size_t max_length = std::string::npos;
        if (unclipped_text_) {
            along = vertical ? rng_.in(area_.y0, area_.y1) : rng_.in(area_.x0, area_.x1);
            const std::array<std::int32_t, 4> rooms = {area_.x1 - along, along - area_.y0,
                                                       along - area_.x0, area_.y1 - along};
            max_length = static_cast<std::size_t>(
                std::max(0, rooms[rotation] / (advances[res][font] * h_mult) - 1));
        }
        const std::int32_t x = g_.host_x(vertical ? c : along), y = g_.host_y(vertical ? along : c);
        // A size that rounds to the chosen multipliers.
        const RecordView r = job_.record();
        const std::int32_t height =
            r.get(record::font_table, font, font_entry::cell_height) * v_mult;
        const std::int32_t width = r.get(record::font_table, font, font_entry::cell_width) * h_mult;
        const std::int32_t s = shade();
        const Data d = data([max_length](Random& rng) {
            const std::size_t length =
                rng.chance(15) ? rng.in<std::size_t>(240, 300) : rng.in<std::size_t>(0, 40);
            return random_text(rng, std::min(length, max_length));
        });
        return Object{[=](host::HostJob& job, Random& rng) {
                          job.call(job.entry().drawtext, x, y, job.keep_string(d(rng)), height,
                                   width, 0, rotation, font, s, 0, 0, d.mark);
                      },
                      d.variable()};
    }

    std::optional<Object> barcode() {
        const Symbology sym = rng_.pick(symbologies());
        const std::int32_t narrow = rng_.in(1, 3), ratio = rng_.in(0, 2);
        const std::int32_t addon = sym.upc_ean ? rng_.in(0, 2) : 0;  // none, 2 or 5 digits
        const std::int32_t rotation = rng_.in(0, 3), bar_dots = rng_.in(10, 150);
        const bool readable = rng_.chance(50);
        // The symbol's run with every element at its widest, for n data characters; the most
        // characters whose run fits along the label, with `pad` on each side of the bars for the
        // human-readable line.
        constexpr std::int32_t pad = 50;
        const std::int32_t along = (rotation % 2 ? area_.height() : area_.width()) - 2 * pad;
        const auto run_of = [&](std::size_t n) {
            return (sym.per_character * static_cast<std::int32_t>(n) + sym.fixed) * narrow * 3 + 40;
        };
        if (run_of(1) > along) return std::nullopt;
        std::size_t room = 1;
        while (room < 300 && run_of(room + 1) <= along) ++room;
        std::int32_t run = run_of(room) + (addon == 0 ? 0 : 60 * narrow * 3);
        if (sym.index == symbology::postnet) run = 12 * 11 * 5;  // fixed pitch, up to 11 digits
        // The anchor lies on a corner of the bars' box, by the module's anchor rule for the
        // rotation, offset for UPC/EAN.
        const auto bars = rotation % 2 ? place(bar_dots, run, pad) : place(run, bar_dots, pad);
        if (!bars) return std::nullopt;
        const std::int32_t e = sym.upc_ean ? 8 * narrow + 1 : 0;
        const Dots& at = *bars;
        const std::array<std::array<std::int32_t, 2>, 4> anchors = {
            {{at.x0 + e, at.y1}, {at.x1, at.y1 - e}, {at.x1 - e, at.y0}, {at.x0, at.y0 + e}}};
        const auto [X, Y] = anchors[static_cast<std::size_t>(rotation)];
        const Data d = data([sym, room, addon](Random& rng) {
            return sym.data(rng, room) + (addon == 0 ? "" : digits(rng, addon == 1 ? 2 : 5));
        });
        return symbol(sym.index, g_.host_x(X), g_.host_y(Y), g_.host_y(bar_dots) - g_.host_y(0),
                      rotation, d, [=](BarcodeObjectView b) {
                          b.set(barcode_object::human_readable, readable ? 1 : 0);
                          b.set(barcode_object::ratio, ratio);
                          b.set(barcode_object::narrow, narrow);
                          b.set(barcode_object::addon, addon);
                      });
    }

    // About 1.11 x 1.05 inches; the module places it by its top edge.
    std::optional<Object> maxicode() {
        const auto at =
            place(g_.high_resolution() ? 345 : 233, g_.high_resolution() ? 330 : 223, 5);
        if (!at) return std::nullopt;
        const std::int32_t height = 1000;
        return symbol(symbology::maxicode, g_.host_x(at->x0), g_.host_y(at->y0) + height, height, 0,
                      data(maxicode_data), [](BarcodeObjectView) {});
    }

    std::optional<Object> pdf417() {
        const std::int32_t narrow = rng_.in(1, 3), columns = rng_.in(1, 4);
        const std::int32_t rows = rng_.chance(50) ? 0 : rng_.in(3, 30), security = rng_.in(0, 3);
        // Module width narrow + 1, row height up to narrow + rows + 1: a generous box.
        const auto at =
            place((17 * (columns + 4) + 2) * (narrow + 1) + 10, 90 * (narrow + rows + 1) + 10, 5);
        if (!at) return std::nullopt;
        const std::int32_t height = rng_.in(100, 1000), width = rng_.in(100, 2000);
        const auto shape = static_cast<std::uint32_t>(rows | columns << 8);
        const Data d = data([](Random& rng) {
            return rng.in('A', 'Z') + random_text(rng, rng.in<std::size_t>(0, 30));
        });
        return symbol(symbology::pdf417, g_.host_x(at->x0), g_.host_y(at->y0) + height, height, 0,
                      d, [=](BarcodeObjectView b) {
                          b.set(barcode_object::width, width);
                          b.set(barcode_object::narrow, narrow);
                          b.set(barcode_object::security_level, security);
                          b.set(barcode_object::shape_limits, shape);
                      });
    }

    std::optional<Object> image() {
        // PrinterType 10 stores the file's header unchanged before the decoded rows, so the stored
        // file reads back as the same image only when decoding changes nothing: no runs, and lines
        // that need no padding.
        const bool literal = job_.record().get(record::printer_type) == 10;
        std::int32_t width = rng_.in(1, std::min(300, area_.width() - 10));
        if (literal) width = (width + 15) / 16 * 16;
        const std::int32_t height = rng_.in(1, std::min(200, area_.height() - 10));
        const auto at = place(width, height, 2);
        if (!at) return std::nullopt;
        const std::int32_t x = g_.host_x(at->x0), y = g_.host_y(at->y0);
        const std::string file = pcx_file(rng_, width, height, literal);
        const std::string name = "G" + std::to_string(++images_);
        return Object{[=](host::HostJob& job, Random& rng) {
            host::PcxObject pcx;
            pcx.set_name(name);
            pcx.view().set(pcx_object::x, x);
            pcx.view().set(pcx_object::y, y);
            pcx.view().set(pcx_object::file_size, static_cast<std::uint32_t>(file.size()));
            job.call(job.entry().pcx_begin, pcx.word());
            // Chunks of random size, the first holding at least the header; a run may be split
            // from its data byte.
            for (std::size_t sent = 0; sent < file.size();) {
                const std::string_view chunk = std::string_view(file).substr(
                    sent, sent == 0 ? rng.in<std::size_t>(128, 400) : rng.in<std::size_t>(1, 300));
                pcx.set_chunk(chunk, sent != 0);
                if (job.call(job.entry().pcx_map, pcx.word()) == -1) break;
                sent += chunk.size();
            }
            job.call(job.entry().pcx_end, pcx.word());
        }};
    }

    host::HostJob& job_;
    Random& rng_;
    const Geometry g_;
    const Dots& area_;
    Dots clip_;
    bool unclipped_text_;
    int images_ = 0;
    std::vector<Object> objects_;
};

// ----- setup -----

// Random values for every option of the dialog as eplhost reads it, some outside their ranges
// (the module then keeps the option's default), but never continuous media.
void random_setup(eplhost::Printer& printer, Random& rng) {
    for (const eplhost::SetupOption& option : printer.options()) {
        std::int32_t value = rng.chance(80) ? rng.in(option.range_min, option.range_max)
                                            : rng.in(-50, 3000);
        if (option.kind == kind_choice) {
            std::vector<std::int32_t> allowed;
            for (std::size_t i = 0; i < option.choices.size(); ++i)
                if (option.choices[i] != "Continuous") allowed.push_back(static_cast<std::int32_t>(i));
            value = allowed.empty() ? 0 : rng.pick(allowed);
        } else if (option.name() == "Default label height") {
            value = rng.in(300, 4000);
        }
        printer.job().call(printer.job().entry().savevar, option.position, value);
    }
}

// The host's own strings around the print, recall and job-end commands. They are the host's
// configuration, sent as they stand: these keep every command whole.
void use_extra_strings(host::HostJob& job, Random& rng) {
    const auto set = [&](std::int32_t code, const std::vector<std::string>& choices) {
        job.call(job.entry().PrinterMessage, code, 0, job.keep_string(rng.pick(choices)), 0);
    };
    job.call(job.entry().PrinterMessage, 32, 0, 1, 0);
    set(33, {"", "\n"});
    set(34, {"", "\nN\n"});
    set(35, {""});
    set(36, {"", ",1", "\n", ",2\n"});
}

// ----- the job -----

// One job: maininit, the graphic and form passes, a recall and a print pass per record, main_end.
// Like a real host, the generator keeps one job record per printer across its jobs.
void print_job(host::HostJob& job, Random& rng, bool extra_strings) {
    const RecordView r = job.record();
    const auto& ep = job.entry();
    // Lines by their two corners or by origin and size.
    job.call(ep.PrinterMessage, 11, 0, rng.chance(50) ? 1 : 0, 0);
    const std::int32_t max_length = r.get(record::max_label_length);
    r.set(record::label_width, r.get(record::max_print_width));
    r.set(record::label_height, rng.in(400, std::min(max_length > 0 ? max_length : 4000, 4000)));
    // Variable objects are drawn with their data after each recall, never as V references.
    r.set(record::variable_mode, 2);
    job.set_label_name(
        from_alphabet(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789. _-", rng.in<std::size_t>(1, 15)));
    Label label(job, rng, Geometry(r), extra_strings);
    const bool direct = draws_directly(r);
    job.call(ep.maininit);
    job.call(ep.repeat_begin, rng.in(1, 5));
    if (!direct) {
        label.pass(form_mode::graphics, [](const Object&) { return true; });
        label.pass(form_mode::build, [](const Object& o) { return !o.variable; });
    }
    for (int i = rng.in(1, 3); i > 0; --i) {
        label.pass(form_mode::recall, [direct](const Object& o) { return direct || o.variable; });
        label.pass(form_mode::print, [](const Object&) { return false; });
    }
    job.call(ep.main_end);
}

// A few printers of each PrinterType, each keeping one job record for all its jobs.
constexpr int printers_per_type = 3;

int run(int argc, char** argv) {
    const bool help = argc > 1 && std::string_view(argv[1]) == "--help";
    const int jobs = argc > 2 ? std::atoi(argv[2]) : 40;
    if (argc < 2 || help || jobs < 1) {
        (help ? std::cout : std::cerr)
            << "usage: epl2_randlabels OUT_DIR [JOBS_PER_PRINTER_TYPE [SEED]]\n"
               "Writes OUT_DIR/pt<type>-<printer>-<dpi>dpi.epl for every PrinterType, printed "
               "through the driver module beside the program (or $EPL2_MODULE).\n";
        return help ? 0 : 2;
    }
    const std::filesystem::path out_dir = argv[1];
    Random rng(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261206);
    std::filesystem::create_directories(out_dir);
    host::Module module(host::default_module_path(argv[0]));
    std::map<std::int32_t, std::vector<eplhost::Model>> by_type;
    for (const auto& m : eplhost::read_models(module)) by_type[m.printer_type].push_back(m);
    for (const auto& [printer_type, models] : by_type) {
        for (int printer = 0; printer < printers_per_type; ++printer) {
            host::RecordingSink sink;
            eplhost::Printer setup(module, sink, rng.pick(models));
            random_setup(setup, rng);
            host::HostJob& job = setup.job();
            const bool extra_strings = rng.chance(30);
            if (extra_strings) use_extra_strings(job, rng);
            for (int j = printer; j < jobs; j += printers_per_type)
                print_job(job, rng, extra_strings);
            // The stream does not say its resolution; the file name does, for the linter.
            const auto path =
                out_dir / ("pt" + std::to_string(printer_type) + "-" + std::to_string(printer) +
                           "-" + std::to_string(job.record().get(record::dpi_x)) + "dpi.epl");
            const std::string stream = sink.bytes();
            if (!(std::ofstream(path, std::ios::binary) << stream << std::flush))
                throw std::runtime_error("cannot write " + path.string());
            std::cout << path.filename().string() << " " << stream.size() << " bytes\n";
        }
    }
    return 0;
}

}  // namespace
}  // namespace epl2::randlabels

int main(int argc, char** argv) {
    try {
        return epl2::randlabels::run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "epl2_randlabels: " << e.what() << "\n";
        return 1;
    }
}
