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
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/passes.h"
#include "core/symbology.h"
#include "host_job.h"
#include "model_table.h"
#include "module.h"
#include "pcx_header.h"
#include "services.h"

namespace epl2::randlabels {
namespace {

// A small, fully specified generator (SplitMix64): the same seed gives the same labels with
// every standard library.
class Random {
   public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi]; hi < lo gives lo.
    std::int32_t in(std::int32_t lo, std::int32_t hi) {
        if (hi <= lo) return lo;
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
        return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(next() % span));
    }
    std::size_t size(std::size_t lo, std::size_t hi) {
        return static_cast<std::size_t>(
            in(static_cast<std::int32_t>(lo), static_cast<std::int32_t>(hi)));
    }
    bool chance(int percent) { return in(0, 99) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[size(0, items.size() - 1)];
    }

   private:
    std::uint64_t state_;
};

struct Sink : host::Sink {
    void write(std::string_view bytes) override { out.append(bytes); }
    std::string out;
};

// A dot rectangle on the printer's label: [x0, x1) x [y0, y1).
struct Dots {
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    [[nodiscard]] bool inside(const Dots& area) const {
        return x0 >= area.x0 && y0 >= area.y0 && x1 <= area.x1 && y1 <= area.y1;
    }
};

// The printer-side geometry of one job, and the host's inverse of the module's mapping.
class Geometry {
   public:
    explicit Geometry(RecordView r)
        : dpi_x_(r.get(record::dpi_x)),
          dpi_y_(r.get(record::dpi_y)),
          top_offset_(r.get(record::top_offset)) {
        const std::int32_t d = r.get(record::max_print_width) - r.get(record::label_width);
        const bool right_aligned =
            r.get(record::model_class) == 2 && r.get(record::printer_type) != 13;
        x_offset_ = right_aligned ? r.get(record::left_offset) + d : d >> 1;
        // The printer's widest head at this resolution, less the 8-dot reference point and a
        // margin for rounding: what the stream's own label can hold across.
        const std::int32_t head = dpi_x_ >= 300 ? 1248 : 832;
        const std::int32_t length = (r.get(record::label_height) * dpi_y_ + 500) / 1000;
        const std::int32_t width = ((r.get(record::label_width) + x_offset_) * dpi_x_ + 500) / 1000;
        area_ = {margin, margin, std::min(head - 8, width) - margin, length - margin};
    }

    static constexpr std::int32_t margin = 6;

    // Host thousandths of an inch that map onto the given dot, and lengths.
    [[nodiscard]] std::int32_t host_x(std::int32_t dots) const {
        return (dots * 1000 + dpi_x_ / 2) / dpi_x_ - x_offset_;
    }
    [[nodiscard]] std::int32_t host_y(std::int32_t dots) const {
        return (dots * 1000 + dpi_y_ / 2) / dpi_y_ + top_offset_;
    }
    [[nodiscard]] std::int32_t host_length_x(std::int32_t dots) const {
        return dots * 1000 / dpi_x_;
    }
    [[nodiscard]] std::int32_t host_length_y(std::int32_t dots) const {
        return dots * 1000 / dpi_y_;
    }
    [[nodiscard]] const Dots& area() const { return area_; }
    [[nodiscard]] bool high_resolution() const { return dpi_x_ >= 300; }

   private:
    std::int32_t dpi_x_, dpi_y_, top_offset_, x_offset_ = 0;
    Dots area_;
};

// ----- data -----

std::string from_alphabet(Random& rng, std::string_view alphabet, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += alphabet[rng.size(0, alphabet.size() - 1)];
    return s;
}

std::string digits(Random& rng, std::size_t n) {
    return from_alphabet(rng, "0123456789", n);
}

// Printable ASCII, the DATA field's special characters, and bytes 0x80-0xFF.
std::string random_text(Random& rng, std::size_t length) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) {
        const int kind = rng.in(0, 9);
        s += kind < 6   ? static_cast<char>(rng.in(0x20, 0x7E))
             : kind < 8 ? "\"\\\r\n, "[rng.in(0, 5)]
                        : static_cast<char>(rng.in(0x80, 0xFF));
    }
    return s;
}

std::size_t random_length(Random& rng) {
    return rng.chance(15) ? rng.size(240, 300) : rng.size(0, 40);
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
    [[nodiscard]] std::int32_t modules(std::size_t n) const {
        return per_character * static_cast<std::int32_t>(n) + fixed;
    }
};

// Printable ASCII with the quote and the backslash made likely.
std::string code128_data(Random& rng, std::size_t room) {
    std::string s;
    for (std::size_t i = rng.size(1, room); i > 0; --i) {
        const int kind = rng.in(0, 9);
        s += kind == 0 ? '"' : kind == 1 ? '\\' : static_cast<char>(rng.in(0x20, 0x7E));
    }
    return s;
}

constexpr char codabar_characters[] = "0123456789-$:/.+";
constexpr char code39_characters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

// One to `room` characters of the symbology's character set.
template <const char* Characters>
std::string alphabet_data(Random& rng, std::size_t room) {
    return from_alphabet(rng, Characters, rng.size(1, room));
}

const std::vector<Symbology>& symbologies() {
    using namespace symbology;
    static const std::vector<Symbology> table = {
        {upc_a, true, [](Random& r, std::size_t) { return digits(r, 11); }, 0, 95},
        // Six digits that expand to a UPC-A number: the last digit 5 to 9 after a nonzero one.
        {upc_e, true,
         [](Random& r, std::size_t) {
             return digits(r, 4) + static_cast<char>('1' + r.in(0, 8)) +
                    static_cast<char>('5' + r.in(0, 4));
         },
         0, 51},
        {ean13, true, [](Random& r, std::size_t) { return digits(r, 12); }, 0, 95},
        {ean8, true, [](Random& r, std::size_t) { return digits(r, 7); }, 0, 67},
        {code128, false, code128_data, 11, 35},
        {code128_second, false, code128_data, 11, 35},
        {code128_third, false, code128_data, 11, 35},
        {codabar, false, alphabet_data<codabar_characters>, 14, 28},
        {interleaved_2_of_5, false,
         [](Random& r, std::size_t room) {
             return digits(r, 2 * r.size(1, std::max<std::size_t>(room / 2, 1)));
         },
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
std::string pcx_file(Random& rng, std::uint16_t width, std::uint16_t height, bool literal) {
    const unsigned row_bytes = (width + 7u) / 8, bytes_per_line = row_bytes + (row_bytes & 1);
    std::string file = test_support::pcx_header(0, 0, width - 1u, height - 1u, bytes_per_line);
    const std::int32_t top = literal ? 0xBF : 0xFF;
    for (std::uint16_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < bytes_per_line;) {
            const auto value = static_cast<char>(rng.chance(50)   ? rng.in(0, top)
                                                 : rng.chance(50) ? 0
                                                                  : top);
            const std::size_t run =
                literal ? 1
                        : std::min<std::size_t>(bytes_per_line - x,
                                                rng.chance(30) ? rng.size(1, 63) : 1);
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

// The barcode object's common fields, cleared of any earlier object's.
void set_symbol(host::HostJob& job, std::int32_t symbology, std::int32_t x, std::int32_t y,
                std::int32_t height, std::int32_t rotation, std::uint32_t mark,
                const std::string& data) {
    BarcodeObjectView b = job.barcode();
    std::fill_n(b.data(), barcode_object_size, std::byte{0});
    b.set(barcode_object::symbology, symbology);
    b.set(barcode_object::x, x);
    b.set(barcode_object::y, y);
    b.set(barcode_object::height, height);
    b.set(barcode_object::rotation, rotation);
    b.set(barcode_object::variable_mark, mark);
    job.set_barcode_data(data);
}

class LabelMaker {
   public:
    LabelMaker(host::HostJob& job, Random& rng, const Geometry& g, bool unclipped_text)
        : job_(job), rng_(rng), g_(g), area_(g.area()), unclipped_text_(unclipped_text) {}

    std::vector<Object> objects() {
        std::vector<Object> list;
        for (int i = rng_.in(0, 12); i > 0; --i) {
            const int kind = rng_.in(0, 7);
            std::optional<Object> o = kind == 0   ? rectangle(true)
                                      : kind == 1 ? rectangle(false)
                                      : kind == 2 ? box()
                                      : kind <= 4 ? text()
                                      : kind == 5 ? barcode()
                                      : kind == 6 ? (rng_.chance(50) ? maxicode() : pdf417())
                                                  : image();
            if (o) list.push_back(std::move(*o));
        }
        return list;
    }

    // A clip rectangle inside the label: the module clips lines, boxes and text to it.
    void set_clip() {
        // At 300 dpi the module advances font 3 (the printer's font 4) by 23 dots per character
        // where the printer takes 24, so a run cut at the clip edge may print up to a dot per
        // character beyond it: the clip keeps clear of the label's edges by that much. The host's
        // clip rectangle is never turned inside out.
        const std::int32_t inset =
            std::max(0, std::min({g_.high_resolution() ? 64 : 0, (area_.x1 - area_.x0) / 2 - 8,
                                  (area_.y1 - area_.y0) / 2 - 8}));
        Dots clip = {area_.x0 + inset, area_.y0 + inset, area_.x1 - inset, area_.y1 - inset};
        if (rng_.chance(50)) {
            const std::int32_t w = clip.x1 - clip.x0, h = clip.y1 - clip.y0;
            clip.x0 += rng_.in(0, w / 3);
            clip.x1 -= rng_.in(0, w / 3);
            clip.y0 += rng_.in(0, h / 3);
            clip.y1 -= rng_.in(0, h / 3);
        }
        clip_ = clip;
        job_.call(job_.entry().setclip, g_.host_x(clip.x0 + 1), g_.host_y(clip.y0 + 1),
                  g_.host_x(clip.x1 - 2), g_.host_y(clip.y1 - 2));
    }

   private:
    std::int32_t shade() {
        return rng_.chance(80) ? rng_.pick(std::vector<std::int32_t>{0, 30, 49, 50, 51, 100})
                               : rng_.in(-1000, 1000);
    }
    // Whether an object is variable, and its mark: 0 for fixed objects.
    std::uint32_t mark(bool variable) {
        return variable ? rng_.pick(std::vector<std::uint32_t>{1, 32768, 65535, 0xFFFFFFFFu, 7})
                        : 0;
    }
    // Anywhere around the label, partly or wholly outside it: the clip rectangle decides.
    std::int32_t loose_x() { return rng_.in(-300, area_.x1 + 300); }
    std::int32_t loose_y() { return rng_.in(-300, area_.y1 + 300); }
    // A corner of a box of the given size, inside the label with `gap` to spare.
    std::optional<std::array<std::int32_t, 2>> place(std::int32_t w, std::int32_t h,
                                                     std::int32_t gap) {
        if (area_.x1 - area_.x0 < w + 4 * gap || area_.y1 - area_.y0 < h + 4 * gap)
            return std::nullopt;
        return std::array{rng_.in(area_.x0 + gap, area_.x1 - w - gap),
                          rng_.in(area_.y0 + gap, area_.y1 - h - gap)};
    }

    Object rectangle(bool line) {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        const std::int32_t x2 = x1 + rng_.in(-800, 800), y2 = y1 + rng_.in(-800, 800), s = shade();
        return {[=](host::HostJob& job, Random&) {
            if (line)
                job.call(job.entry().drawline, x1, y1, x2, y2, 0, s, 0, 0);
            else
                job.call(job.entry().drawbckgnd, x1, y1, x2, y2, s, 0, 0);
        }};
    }

    Object box() {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        // A thickness under half a dot is sent as 0, which draws nothing on the printer; a host
        // gives a border it means to see.
        const std::int32_t t = rng_.in(g_.host_length_x(1) + 2, 120);
        const std::int32_t x2 = x1 + rng_.in(t, 1500), y2 = y1 + rng_.in(t, 1500);
        return {[=](host::HostJob& job, Random&) {
            job.call(job.entry().drawbox, x1, y1, x2, y2, t, 0, 0, 0);
        }};
    }

    // Text in the resident fonts: its run is clipped by the module along the writing
    // direction; across it, the host keeps the cells inside the label.
    std::optional<Object> text() {
        const auto font = rng_.size(0, 4);
        const RecordView r = job_.record();
        const auto cell_h =
            static_cast<std::uint32_t>(r.get(record::font_table, font, font_entry::cell_height));
        const auto cell_w =
            static_cast<std::uint32_t>(r.get(record::font_table, font, font_entry::cell_width));
        const std::int32_t rotation = rng_.in(0, 3);
        const bool vertical = rotation % 2 == 1;
        std::int32_t v_mult = rng_.chance(70) ? rng_.in(1, 3) : rng_.in(1, 9);
        const std::int32_t h_mult = rng_.chance(70) ? rng_.in(1, 3) : rng_.in(1, 8);
        // Turned text goes out with its two multipliers exchanged (p5 takes the vertical one),
        // which the printer reads as the text's own horizontal and vertical: only equal
        // multipliers print the size the host asked for.
        if (vertical) v_mult = h_mult;
        // A size that rounds to the chosen multiplier.
        const std::uint32_t height = cell_h * static_cast<std::uint32_t>(v_mult);
        const std::uint32_t width = cell_w * static_cast<std::uint32_t>(h_mult);
        // The printer's cell across the run, with the baseline offset and room to spare; its
        // advance along the run.
        static constexpr std::array<std::array<std::int32_t, 5>, 2> cells = {
            {{12, 16, 20, 24, 48}, {20, 28, 36, 44, 80}}};
        static constexpr std::array<std::array<std::int32_t, 5>, 2> advances = {
            {{8, 10, 12, 14, 32}, {12, 16, 20, 24, 48}}};
        const std::size_t res = g_.high_resolution() ? 1 : 0;
        const std::int32_t across = 2 * cells[res][font] * v_mult + 4;
        const std::int32_t lo = (vertical ? clip_.x0 : clip_.y0) + across;
        const std::int32_t hi = (vertical ? clip_.x1 : clip_.y1) - across;
        if (hi < lo) return std::nullopt;
        const std::int32_t c = rng_.in(lo, hi);
        std::int32_t along = vertical ? loose_y() : loose_x();
        // With the extra strings switched on the module does not clip text: the host keeps the
        // run on the label itself, at the printer's advance.
        std::size_t max_length = std::string::npos;
        if (unclipped_text_) {
            along = vertical ? rng_.in(area_.y0, area_.y1) : rng_.in(area_.x0, area_.x1);
            const std::int32_t room = rotation == 0   ? area_.x1 - along
                                      : rotation == 1 ? along - area_.y0
                                      : rotation == 2 ? along - area_.x0
                                                      : area_.y1 - along;
            max_length =
                static_cast<std::size_t>(std::max(0, room / (advances[res][font] * h_mult) - 1));
        }
        const std::int32_t x = g_.host_x(vertical ? c : along), y = g_.host_y(vertical ? along : c);
        const std::int32_t s = shade();
        const bool variable = rng_.chance(40);
        const std::uint32_t m = mark(variable);
        const auto data = [max_length](Random& rng) {
            return random_text(rng, std::min(random_length(rng), max_length));
        };
        const std::string fixed = data(rng_);
        const auto f = static_cast<std::int32_t>(font);
        return Object{[=](host::HostJob& job, Random& rng) {
                          const std::uint32_t word = job.keep_string(variable ? data(rng) : fixed);
                          job.call(job.entry().drawtext, x, y, word, height, width, 0, rotation, f,
                                   s, 0, 0, m);
                      },
                      variable};
    }

    std::optional<Object> barcode() {
        const Symbology& sym = rng_.pick(symbologies());
        const std::int32_t narrow = rng_.in(1, 3), ratio = rng_.in(0, 2);
        const std::int32_t addon = sym.upc_ean ? rng_.in(0, 2) : 0;
        const std::int32_t rotation = rng_.in(0, 3), bar_dots = rng_.in(10, 150);
        const bool readable = rng_.chance(50), variable = rng_.chance(40);
        const std::uint32_t m = mark(variable);
        // Room across the label for the symbol's run, with every element at its widest.
        const std::int32_t run_room =
            (rotation % 2 ? area_.y1 - area_.y0 : area_.x1 - area_.x0) - 60;
        const std::int32_t per_module = narrow * 3;
        if (sym.modules(1) * per_module + 40 >= run_room) return std::nullopt;
        std::size_t room = 1;
        while (room < 300 && sym.modules(room + 1) * per_module + 40 < run_room) ++room;
        std::int32_t run = sym.modules(room) * per_module + 40 + (addon == 0 ? 0 : 60 * per_module);
        if (sym.index == symbology::postnet) run = 12 * 11 * 5;  // fixed pitch, up to 11 digits
        // The printer's box for the anchor, by the module's anchor rule and the rotation, with
        // room for the human-readable line on both sides of the bars.
        const std::int32_t e = sym.upc_ean ? 8 * narrow + 1 : 0, pad = 50;
        for (int attempt = 0; attempt < 30; ++attempt) {
            const std::int32_t X = rng_.in(area_.x0, area_.x1), Y = rng_.in(area_.y0, area_.y1);
            const std::array<Dots, 4> boxes = {{{X - e, Y - bar_dots, X - e + run, Y},
                                                {X - bar_dots, Y + e - run, X, Y + e},
                                                {X + e - run, Y, X + e, Y + bar_dots},
                                                {X, Y - e, X + bar_dots, Y - e + run}}};
            const Dots& bars = boxes[static_cast<std::size_t>(rotation)];
            if (!Dots{bars.x0 - pad, bars.y0 - pad, bars.x1 + pad, bars.y1 + pad}.inside(area_))
                continue;
            const std::int32_t x = g_.host_x(X), y = g_.host_y(Y),
                               height = g_.host_length_y(bar_dots);
            const std::string fixed = sym.data(rng_, room);
            const Symbology* s = &sym;
            return Object{[=](host::HostJob& job, Random& rng) {
                              std::string data = variable ? s->data(rng, room) : fixed;
                              // The add-on's digits end the data.
                              if (addon != 0) data += digits(rng, addon == 1 ? 2 : 5);
                              set_symbol(job, s->index, x, y, height, rotation, m, data);
                              BarcodeObjectView b = job.barcode();
                              b.set(barcode_object::human_readable, readable ? 1 : 0);
                              b.set(barcode_object::ratio, ratio);
                              b.set(barcode_object::narrow, narrow);
                              b.set(barcode_object::addon, addon);
                              job.call(job.entry().drawbar);
                          },
                          variable};
        }
        return std::nullopt;
    }

    // A carrier header in one of its two layouts, then a message. A symbol holds a message of
    // about 90 characters; one too long for the record's data field is dropped by the module.
    static std::string maxicode_data(Random& rng) {
        std::string header;
        if (rng.chance(50)) {
            header = digits(rng, 5) + " " + digits(rng, 4) + " ";
        } else {
            const std::string code =
                from_alphabet(rng, "ABCDEFGHJKLMNPRSTUVWXYZ0123456789", rng.size(1, 6));
            header = code + std::string(6 - code.size(), ' ') + " ";
        }
        header += digits(rng, 3) + " " + digits(rng, 3) + " ";
        const std::size_t length = rng.chance(10) ? rng.size(260, 300) : rng.size(0, 50);
        return header + static_cast<char>(rng.in('A', 'Z')) + random_text(rng, length);
    }

    // About 1.11 x 1.05 inches; the module places it by its top edge.
    std::optional<Object> maxicode() {
        const auto at =
            place(g_.high_resolution() ? 345 : 233, g_.high_resolution() ? 330 : 223, 5);
        if (!at) return std::nullopt;
        const std::int32_t height = 1000, x = g_.host_x((*at)[0]), y = g_.host_y((*at)[1]) + height;
        const bool variable = rng_.chance(40);
        const std::uint32_t m = mark(variable);
        const std::string fixed = maxicode_data(rng_);
        return Object{[=](host::HostJob& job, Random& rng) {
                          set_symbol(job, symbology::maxicode, x, y, height, 0, m,
                                     variable ? maxicode_data(rng) : fixed);
                          job.call(job.entry().drawbar);
                      },
                      variable};
    }

    std::optional<Object> pdf417() {
        const std::int32_t narrow = rng_.in(1, 3), columns = rng_.in(1, 4);
        const std::int32_t rows = rng_.in(0, 1) == 0 ? 0 : rng_.in(3, 30), security = rng_.in(0, 3);
        // Module width narrow + 1, row height up to narrow + rows + 1: a generous box.
        const auto at =
            place((17 * (columns + 4) + 2) * (narrow + 1) + 10, 90 * (narrow + rows + 1) + 10, 5);
        if (!at) return std::nullopt;
        const std::int32_t height = rng_.in(100, 1000), width = rng_.in(100, 2000);
        const std::int32_t x = g_.host_x((*at)[0]), y = g_.host_y((*at)[1]) + height;
        const bool variable = rng_.chance(40);
        const std::uint32_t m = mark(variable);
        const auto data = [](Random& rng) {
            return static_cast<char>(rng.in('A', 'Z')) + random_text(rng, rng.size(0, 30));
        };
        const std::string fixed = data(rng_);
        const auto shape = static_cast<std::uint32_t>(rows) | static_cast<std::uint32_t>(columns)
                                                                  << 8;
        return Object{[=](host::HostJob& job, Random& rng) {
                          set_symbol(job, symbology::pdf417, x, y, height, 0, m,
                                     variable ? data(rng) : fixed);
                          BarcodeObjectView b = job.barcode();
                          b.set(barcode_object::width, width);
                          b.set(barcode_object::narrow, narrow);
                          b.set(barcode_object::security_level, security);
                          b.set(barcode_object::shape_limits, shape);
                          job.call(job.entry().drawbar);
                      },
                      variable};
    }

    std::optional<Object> image() {
        // PrinterType 10 stores the file's header unchanged before the decoded rows, so the stored
        // file reads back as the same image only when decoding changes nothing: no runs, and lines
        // that need no padding.
        const bool literal = job_.record().get(record::printer_type) == 10;
        auto width =
            static_cast<std::uint16_t>(rng_.in(1, std::min(300, area_.x1 - area_.x0 - 10)));
        if (literal) width = static_cast<std::uint16_t>((width + 15) / 16 * 16);
        const auto height =
            static_cast<std::uint16_t>(rng_.in(1, std::min(200, area_.y1 - area_.y0 - 10)));
        const auto at = place(width, height, 2);
        if (width < 1 || height < 1 || !at) return std::nullopt;
        const std::int32_t x = g_.host_x((*at)[0]), y = g_.host_y((*at)[1]);
        const auto file = std::make_shared<std::string>(pcx_file(rng_, width, height, literal));
        const std::string name = "G" + std::to_string(++images_);
        return Object{[=](host::HostJob& job, Random& rng) {
            host::PcxObject pcx;
            pcx.set_name(name);
            pcx.view().set(pcx_object::x, x);
            pcx.view().set(pcx_object::y, y);
            pcx.view().set(pcx_object::file_size, static_cast<std::uint32_t>(file->size()));
            const auto& ep = job.entry();
            job.call(ep.pcx_begin, pcx.word());
            // Chunks of random size, the first holding at least the header; a run may be split
            // from its data byte.
            for (std::size_t at_byte = 0; at_byte < file->size();) {
                const std::size_t n = at_byte == 0 ? rng.size(128, 400) : rng.size(1, 300);
                const std::string_view chunk = std::string_view(*file).substr(at_byte, n);
                pcx.set_chunk(chunk, at_byte != 0);
                if (job.call(ep.pcx_map, pcx.word()) == -1) break;
                at_byte += chunk.size();
            }
            job.call(ep.pcx_end, pcx.word());
        }};
    }

    host::HostJob& job_;
    Random& rng_;
    const Geometry& g_;
    Dots area_, clip_;
    bool unclipped_text_;
    int images_ = 0;
};

// ----- setup -----

// Random values for every option of the dialog, some outside their ranges (the module then keeps
// the option's default), but never continuous media.
void random_setup(host::HostJob& job, Random& rng) {
    for (std::int32_t position = 0; position < 64; ++position) {
        std::array<char, 64> prompt{};
        char kind = 0;
        std::array<std::uint32_t, 16> choices{};
        std::array<std::uint32_t, 64> arrays{};
        arrays[static_cast<std::size_t>(position)] = host::word(choices.data());
        std::int32_t value = 0, width = 0;
        job.call(job.entry().getsetup, position, prompt.data(), &kind, arrays.data(), &value,
                 &width);
        if (kind == 0) break;
        const std::string_view asked(prompt.data(), strnlen(prompt.data(), prompt.size()));
        std::vector<std::string_view> texts;
        for (std::uint32_t w : choices) {
            const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(w));
            if (w == 0 || *text == '\0') break;
            texts.emplace_back(text);
        }
        if (kind == 'M') {
            do {
                value = rng.in(0, std::max(static_cast<std::int32_t>(texts.size()) - 1, 0));
            } while (asked == "Sensor Type:" && static_cast<std::size_t>(value) < texts.size() &&
                     texts[static_cast<std::size_t>(value)] == "Continuous");
        } else if (asked == "Default label height:") {
            value = rng.in(300, 4000);
        } else {
            value = rng.chance(80) ? rng.in(0, 30) : rng.in(-50, 3000);
        }
        job.call(job.entry().savevar, position, value);
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

void pass(host::HostJob& job, Random& rng, LabelMaker& maker, const std::vector<Object>& objects,
          std::uint8_t mode, const std::function<bool(const Object&)>& wanted) {
    job.set_form_mode(mode);
    job.call(job.entry().pageinit, 0);
    maker.set_clip();
    for (const Object& o : objects)
        if (wanted(o)) o.draw(job, rng);
    job.call(job.entry().page_end, 0);
}

// One job: maininit, the graphic and form passes, a recall and a print pass per record, main_end.
// Like a real host, the generator keeps one job record per printer across its jobs.
void print_job(host::HostJob& job, Random& rng, bool extra_strings) {
    const RecordView r = job.record();
    const auto& ep = job.entry();
    // Lines by their two corners or by origin and size.
    job.call(ep.PrinterMessage, 11, 0, rng.chance(50) ? 1 : 0, 0);
    const std::int32_t max_length = r.get(record::max_label_length);
    r.set(record::label_width, r.get(record::max_print_width));
    r.set(record::label_height,
          rng.in(400, std::max(400, std::min(max_length > 0 ? max_length : 4000, 4000))));
    // Variable objects are drawn with their data after each recall, never as V references.
    r.set(record::variable_mode, 2);
    job.set_label_name(
        from_alphabet(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789. _-", rng.size(1, 15)));
    const Geometry geometry(r);
    LabelMaker maker(job, rng, geometry, extra_strings);
    maker.set_clip();
    const std::vector<Object> objects = maker.objects();
    const bool direct = draws_directly(r);
    job.call(ep.maininit);
    job.call(ep.repeat_begin, rng.in(1, 5));
    if (!direct) {
        pass(job, rng, maker, objects, form_mode::graphics, [](const Object&) { return true; });
        pass(job, rng, maker, objects, form_mode::build,
             [](const Object& o) { return !o.variable; });
    }
    for (int i = rng.in(1, 3); i > 0; --i) {
        pass(job, rng, maker, objects, form_mode::recall,
             [direct](const Object& o) { return direct || o.variable; });
        pass(job, rng, maker, objects, form_mode::print, [](const Object&) { return false; });
    }
    job.call(ep.main_end);
}

constexpr int printers_per_type = 3;

int run(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc < 2 || first == "--help" || first == "-h") {
        (argc < 2 ? std::cerr : std::cout)
            << "usage: epl2_randlabels OUT_DIR [JOBS_PER_PRINTER_TYPE [SEED]]\n"
               "Prints random labels through the driver module beside the program (or "
               "$EPL2_MODULE)\n"
               "and writes OUT_DIR/pt<type>-<printer>-<dpi>dpi.epl for every PrinterType.\n";
        return argc < 2 ? 2 : 0;
    }
    const std::filesystem::path out_dir = argv[1];
    const int jobs = argc > 2 ? std::atoi(argv[2]) : 40;
    Random rng(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261206);
    std::filesystem::create_directories(out_dir);
    host::Module module(host::default_module_path(argv[0]));
    std::map<std::int32_t, std::vector<host::ModelRecord>> by_type;
    for (const auto& m : host::read_model_table(module)) by_type[m.printer_type].push_back(m);
    for (const auto& [printer_type, list] : by_type) {
        // A few printers of this type, each one job record for all its jobs.
        for (int printer = 0; printer < printers_per_type; ++printer) {
            Sink sink;
            host::HostJob job(module, sink);
            host::select_model(job, rng.pick(list));
            random_setup(job, rng);
            const bool extra_strings = rng.chance(30);
            if (extra_strings) use_extra_strings(job, rng);
            for (int j = printer; j < jobs; j += printers_per_type)
                print_job(job, rng, extra_strings);
            // The stream does not say its resolution; the file name does, for the linter.
            const auto path =
                out_dir / ("pt" + std::to_string(printer_type) + "-" + std::to_string(printer) +
                           "-" + std::to_string(job.record().get(record::dpi_x)) + "dpi.epl");
            std::ofstream file(path, std::ios::binary);
            file.write(sink.out.data(), static_cast<std::streamsize>(sink.out.size()));
            if (!file) {
                std::cerr << "epl2_randlabels: cannot write " << path << "\n";
                return 1;
            }
            std::cout << path.filename().string() << " " << sink.out.size() << " bytes\n";
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
