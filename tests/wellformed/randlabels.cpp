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
#include <cstdio>
#include <cstdlib>
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
    bool chance(int percent) { return in(0, 99) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(in(0, static_cast<std::int32_t>(items.size()) - 1))];
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
          length_((r.get(record::label_height) * r.get(record::dpi_y) + 500) / 1000) {
        const std::int32_t d = r.get(record::max_print_width) - r.get(record::label_width);
        right_aligned_ = r.get(record::model_class) == 2 && r.get(record::printer_type) != 13;
        x_offset_ = right_aligned_ ? r.get(record::left_offset) + d : d >> 1;
        top_offset_ = r.get(record::top_offset);
        // The printer's widest head at this resolution, less the 8-dot reference point and a
        // margin for rounding: what the stream's own label can hold across.
        const std::int32_t head = dpi_x_ >= 300 ? 1248 : 832;
        const std::int32_t mapped_width = map_x(r.get(record::label_width));
        area_ = {margin, margin, std::min(head - 8, mapped_width) - margin, length_ - margin};
    }

    static constexpr std::int32_t margin = 6;

    [[nodiscard]] std::int32_t map_x(std::int32_t x) const {
        return ((x + x_offset_) * dpi_x_ + 500) / 1000;
    }
    [[nodiscard]] std::int32_t map_y(std::int32_t y) const {
        return ((y - top_offset_) * dpi_y_ + 500) / 1000;
    }
    // Host thousandths of an inch that map onto the given dot.
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
    [[nodiscard]] int dpi() const { return dpi_x_; }

   private:
    std::int32_t dpi_x_, dpi_y_, length_;
    bool right_aligned_ = false;
    std::int32_t x_offset_ = 0, top_offset_ = 0;
    Dots area_;
};

// ----- data -----

std::string random_text(Random& rng, std::size_t length) {
    static constexpr char specials[] = {'"', '\\', '\r', '\n', ',', ' '};
    std::string s;
    s.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const int kind = rng.in(0, 9);
        if (kind < 6) {
            s += static_cast<char>(rng.in(0x20, 0x7E));
        } else if (kind < 8) {
            s += specials[rng.in(0, static_cast<std::int32_t>(sizeof specials) - 1)];
        } else {
            s += static_cast<char>(rng.in(0x80, 0xFF));
        }
    }
    return s;
}

std::size_t random_length(Random& rng) {
    if (rng.chance(15)) return static_cast<std::size_t>(rng.in(240, 300));
    return static_cast<std::size_t>(rng.in(0, 40));
}

std::string digits(Random& rng, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + rng.in(0, 9));
    return s;
}

std::string from_alphabet(Random& rng, std::string_view alphabet, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += alphabet[static_cast<std::size_t>(
            rng.in(0, static_cast<std::int32_t>(alphabet.size()) - 1))];
    return s;
}

// ----- symbologies -----

struct Symbology {
    std::int32_t index;
    bool upc_ean;
    // Data the symbology encodes, at most `room` characters long where the symbology allows a
    // choice.
    std::string (*data)(Random&, std::size_t room);
    // Modules across the symbol for n data characters, quiet zones and human-readable digits
    // left out; a generous estimate.
    std::int32_t (*modules)(std::size_t n);
};

std::string code128_data(Random& rng, std::size_t room) {
    std::string s;
    const std::size_t n = static_cast<std::size_t>(rng.in(1, static_cast<std::int32_t>(room)));
    for (std::size_t i = 0; i < n; ++i) {
        // Printable ASCII with the quote and the backslash made likely.
        const int kind = rng.in(0, 9);
        s += kind == 0 ? '"' : kind == 1 ? '\\' : static_cast<char>(rng.in(0x20, 0x7E));
    }
    return s;
}

std::int32_t code128_modules(std::size_t n) {
    return static_cast<std::int32_t>(11 * n + 35);
}

constexpr char codabar_characters[] = "0123456789-$:/.+";
constexpr char code39_characters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

// One to `room` characters of the symbology's character set.
template <const char* Characters>
std::string alphabet_data(Random& rng, std::size_t room) {
    return from_alphabet(rng, Characters,
                         static_cast<std::size_t>(rng.in(1, static_cast<std::int32_t>(room))));
}

const std::vector<Symbology>& symbologies() {
    static const std::vector<Symbology> table = {
        {0, true, [](Random& r, std::size_t) { return digits(r, 11); },
         [](std::size_t) { return 95; }},
        {5, true,
         // Six digits that expand to a UPC-A number: the last digit 5 to 9 after a nonzero one.
         [](Random& r, std::size_t) {
             return digits(r, 4) + static_cast<char>('1' + r.in(0, 8)) +
                    static_cast<char>('5' + r.in(0, 4));
         },
         [](std::size_t) { return 51; }},
        {6, true, [](Random& r, std::size_t) { return digits(r, 12); },
         [](std::size_t) { return 95; }},
        {7, true, [](Random& r, std::size_t) { return digits(r, 7); },
         [](std::size_t) { return 67; }},
        {8, false, code128_data, code128_modules},
        {10, false, code128_data, code128_modules},
        {11, false, code128_data, code128_modules},
        {12, false, alphabet_data<codabar_characters>,
         [](std::size_t n) { return static_cast<std::int32_t>(14 * (n + 2)); }},
        {13, false,
         [](Random& r, std::size_t room) {
             const auto pairs = static_cast<std::int32_t>(std::max<std::size_t>(room / 2, 1));
             return digits(r, 2 * static_cast<std::size_t>(r.in(1, pairs)));
         },
         [](std::size_t n) { return static_cast<std::int32_t>(9 * n + 12); }},
        {14, false, alphabet_data<code39_characters>,
         [](std::size_t n) { return static_cast<std::int32_t>(16 * (n + 2)); }},
        {16, false, alphabet_data<code39_characters>,
         [](std::size_t n) { return static_cast<std::int32_t>(9 * (n + 4) + 1); }},
        {20, false, [](Random& r, std::size_t) { return "00" + digits(r, 18); },
         [](std::size_t) { return 11 * 22 + 35; }},
        {21, false, [](Random& r, std::size_t) { return digits(r, r.chance(50) ? 5 : 9); },
         [](std::size_t) { return 0; }},
    };
    return table;
}

// ----- PCX -----

// A one-plane, one-bit PCX file holding random pixels, run-length encoded unless `literal`: then
// every byte is below 0xC0 and stands for itself, so the file is as long as its decoded rows.
std::string pcx_file(Random& rng, std::uint16_t width, std::uint16_t height, bool literal) {
    const std::uint16_t row_bytes = static_cast<std::uint16_t>((width + 7) / 8);
    const std::uint16_t bytes_per_line = static_cast<std::uint16_t>(row_bytes + (row_bytes & 1));
    const std::string header =
        test_support::pcx_header(0, 0, width - 1u, height - 1u, bytes_per_line);
    std::string body;
    for (std::uint16_t y = 0; y < height; ++y) {
        std::size_t x = 0;
        while (x < bytes_per_line) {
            const std::int32_t top = literal ? 0xBF : 0xFF;
            const auto value = static_cast<unsigned char>(rng.chance(50)   ? rng.in(0, top)
                                                          : rng.chance(50) ? 0
                                                                           : top);
            const std::size_t run =
                literal ? 1
                        : std::min<std::size_t>(
                              bytes_per_line - x,
                              rng.chance(30) ? static_cast<std::size_t>(rng.in(1, 63)) : 1);
            if (run > 1 || (value & 0xC0) == 0xC0) body += static_cast<char>(0xC0 | run);
            body += static_cast<char>(value);
            x += run;
        }
    }
    return header + body;
}

// ----- the label -----

struct Object {
    std::function<void(host::HostJob&, Random&)> draw;  // fresh data per record for variables
    bool variable = false;
};

class LabelMaker {
   public:
    LabelMaker(host::HostJob& job, Random& rng, const Geometry& g, bool unclipped_text)
        : job_(job), rng_(rng), g_(g), area_(g.area()), unclipped_text_(unclipped_text) {}

    std::vector<Object> objects() {
        std::vector<Object> list;
        const int count = rng_.in(0, 12);
        for (int i = 0; i < count; ++i) {
            std::optional<Object> o;
            switch (rng_.in(0, 7)) {
                case 0:
                    o = rectangle(true);
                    break;
                case 1:
                    o = rectangle(false);
                    break;
                case 2:
                    o = box();
                    break;
                case 3:
                case 4:
                    o = text();
                    break;
                case 5:
                    o = barcode();
                    break;
                case 6:
                    o = rng_.chance(50) ? maxicode() : pdf417();
                    break;
                case 7:
                    o = image();
                    break;
            }
            if (o) list.push_back(std::move(*o));
        }
        return list;
    }

    // A clip rectangle inside the label: the module clips lines, boxes and text to it.
    void set_clip() {
        // At 300 dpi the module advances font 3 (the printer's font 4) by 23 dots per character
        // where the printer takes 24, so a run cut at the clip edge may print up to a dot per
        // character beyond it: the clip keeps clear of the label's edges by that much.
        std::int32_t inset = g_.dpi() >= 300 ? 64 : 0;
        // The host's clip rectangle is never turned inside out.
        inset = std::max(
            0, std::min({inset, (area_.x1 - area_.x0) / 2 - 8, (area_.y1 - area_.y0) / 2 - 8}));
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
        static const std::vector<std::int32_t> shades = {0, 30, 49, 50, 51, 100};
        return rng_.chance(80) ? rng_.pick(shades) : rng_.in(-1000, 1000);
    }
    std::uint32_t mark() {
        static const std::vector<std::uint32_t> marks = {1, 32768, 65535, 0xFFFFFFFFu, 7};
        return rng_.pick(marks);
    }
    // Anywhere around the label, partly or wholly outside it: the clip rectangle decides.
    std::int32_t loose_x() { return rng_.in(-300, area_.x1 + 300); }
    std::int32_t loose_y() { return rng_.in(-300, area_.y1 + 300); }

    Object rectangle(bool line) {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        const std::int32_t x2 = x1 + rng_.in(-800, 800), y2 = y1 + rng_.in(-800, 800);
        const std::int32_t s = shade();
        return {[=](host::HostJob& job, Random&) {
                    if (line)
                        job.call(job.entry().drawline, x1, y1, x2, y2, 0, s, 0, 0);
                    else
                        job.call(job.entry().drawbckgnd, x1, y1, x2, y2, s, 0, 0);
                },
                false};
    }

    Object box() {
        const std::int32_t x1 = g_.host_x(loose_x()), y1 = g_.host_y(loose_y());
        // A thickness under half a dot is sent as 0, which draws nothing on the printer; a host
        // gives a border it means to see.
        const std::int32_t t = rng_.in(g_.host_length_x(1) + 2, 120);
        const std::int32_t x2 = x1 + rng_.in(t, 1500), y2 = y1 + rng_.in(t, 1500);
        return {[=](host::HostJob& job, Random&) {
                    job.call(job.entry().drawbox, x1, y1, x2, y2, t, 0, 0, 0);
                },
                false};
    }

    // Text in the resident fonts: its run is clipped by the module along the writing
    // direction; across it, the host keeps the cells inside the label.
    std::optional<Object> text() {
        const std::int32_t font = rng_.in(0, 4);
        const RecordView r = job_.record();
        const auto cell_h = static_cast<std::uint32_t>(
            r.get(record::font_table, static_cast<std::size_t>(font), font_entry::cell_height));
        const auto cell_w = static_cast<std::uint32_t>(
            r.get(record::font_table, static_cast<std::size_t>(font), font_entry::cell_width));
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
        // The printer's cell across the run, with the baseline offset and room to spare.
        static constexpr std::array<std::int32_t, 5> cell_dots_203 = {12, 16, 20, 24, 48};
        static constexpr std::array<std::int32_t, 5> cell_dots_300 = {20, 28, 36, 44, 80};
        const std::int32_t cell =
            (g_.dpi() >= 300 ? cell_dots_300 : cell_dots_203)[static_cast<std::size_t>(font)];
        const std::int32_t across = 2 * cell * v_mult + 4;
        const Dots& clip = clip_;
        const std::int32_t lo = (vertical ? clip.x0 : clip.y0) + across;
        const std::int32_t hi = (vertical ? clip.x1 : clip.y1) - across;
        if (hi < lo) return std::nullopt;
        const std::int32_t c = rng_.in(lo, hi);
        std::int32_t along = vertical ? loose_y() : loose_x();
        // With the extra strings switched on the module does not clip text: the host keeps the
        // run on the label itself, at the printer's advance.
        std::size_t max_length = std::string::npos;
        if (unclipped_text_) {
            static constexpr std::array<std::int32_t, 5> advance_203 = {8, 10, 12, 14, 32};
            static constexpr std::array<std::int32_t, 5> advance_300 = {12, 16, 20, 24, 48};
            const std::int32_t advance =
                (g_.dpi() >= 300 ? advance_300 : advance_203)[static_cast<std::size_t>(font)] *
                h_mult;
            along = vertical ? rng_.in(area_.y0, area_.y1) : rng_.in(area_.x0, area_.x1);
            const std::int32_t room = rotation == 0   ? area_.x1 - along
                                      : rotation == 1 ? along - area_.y0
                                      : rotation == 2 ? along - area_.x0
                                                      : area_.y1 - along;
            max_length = static_cast<std::size_t>(std::max(0, room / advance - 1));
        }
        const std::int32_t x = vertical ? g_.host_x(c) : g_.host_x(along);
        const std::int32_t y = vertical ? g_.host_y(along) : g_.host_y(c);
        const std::int32_t s = shade();
        const bool variable = rng_.chance(40);
        const std::uint32_t m = variable ? mark() : 0;
        const auto data = [max_length](Random& rng) {
            return random_text(rng, std::min(random_length(rng), max_length));
        };
        std::string fixed = data(rng_);
        return Object{[=](host::HostJob& job, Random& rng) {
                          const std::uint32_t word = job.keep_string(variable ? data(rng) : fixed);
                          job.call(job.entry().drawtext, x, y, word, height, width, 0, rotation,
                                   font, s, 0, 0, m);
                      },
                      variable};
    }

    std::optional<Object> barcode() {
        const Symbology& sym = rng_.pick(symbologies());
        const std::int32_t narrow = rng_.in(1, 3);
        const std::int32_t ratio = rng_.in(0, 2);
        const std::int32_t addon = sym.upc_ean ? rng_.in(0, 2) : 0;
        const std::int32_t rotation = rng_.in(0, 3);
        const std::int32_t bar_dots = rng_.in(10, 150);
        const bool readable = rng_.chance(50);
        const bool variable = rng_.chance(40);
        const std::uint32_t m = variable ? mark() : 0;
        // Room across the label for the symbol's run, with every element at its widest.
        const std::int32_t run_room =
            (rotation % 2 ? area_.y1 - area_.y0 : area_.x1 - area_.x0) - 60;
        const std::int32_t per_module = narrow * 3;
        std::size_t room = 1;
        while (room < 300 && sym.modules(room + 1) * per_module + 40 < run_room) ++room;
        if (sym.modules(1) * per_module + 40 >= run_room) return std::nullopt;
        std::int32_t run = sym.modules(room) * per_module + 40;
        if (sym.upc_ean) run += addon == 0 ? 0 : 60 * per_module;
        if (sym.index == 21) run = 12 * 11 * 5;  // Postnet: fixed pitch, up to 11 digits
        // The printer's box for the anchor, by the module's anchor rule and the rotation, with
        // room for the human-readable line on both sides of the bars.
        const std::int32_t e = sym.upc_ean ? 8 * narrow + 1 : 0;
        const std::int32_t pad = 50;
        const std::int32_t r = (4 - rotation) % 4;
        for (int attempt = 0; attempt < 30; ++attempt) {
            const std::int32_t X = rng_.in(area_.x0, area_.x1), Y = rng_.in(area_.y0, area_.y1);
            Dots box;
            switch (r) {
                case 0:
                    box = {X - e, Y - bar_dots, X - e + run, Y};
                    break;
                case 1:
                    box = {X, Y - e, X + bar_dots, Y - e + run};
                    break;
                case 2:
                    box = {X + e - run, Y, X + e, Y + bar_dots};
                    break;
                default:
                    box = {X - bar_dots, Y + e - run, X, Y + e};
                    break;
            }
            const Dots padded = {box.x0 - pad, box.y0 - pad, box.x1 + pad, box.y1 + pad};
            if (!padded.inside(area_)) continue;
            const std::int32_t x = g_.host_x(X), y = g_.host_y(Y);
            const std::int32_t height = g_.host_length_y(bar_dots);
            const std::string fixed = sym.data(rng_, room);
            const Symbology* s = &sym;
            return Object{[=](host::HostJob& job, Random& rng) {
                              set_symbol(job, s->index, x, y, height, rotation, m,
                                         variable ? s->data(rng, room) : fixed);
                              BarcodeObjectView b = job.barcode();
                              b.set(barcode_object::human_readable, readable ? 1 : 0);
                              b.set(barcode_object::ratio, ratio);
                              b.set(barcode_object::narrow, narrow);
                              b.set(barcode_object::addon, addon);
                              if (s->upc_ean && addon != 0) {
                                  // The add-on's digits end the data.
                                  const std::string with_addon =
                                      (variable ? s->data(rng, room) : fixed) +
                                      digits(rng, addon == 1 ? 2 : 5);
                                  b.set(barcode_object::data, job.keep_string(with_addon));
                              }
                              job.call(job.entry().drawbar);
                          },
                          variable};
        }
        return std::nullopt;
    }

    static void set_symbol(host::HostJob& job, std::int32_t symbology, std::int32_t x,
                           std::int32_t y, std::int32_t height, std::int32_t rotation,
                           std::uint32_t mark, const std::string& data) {
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

    // A carrier header in one of its two layouts, then a message.
    static std::string maxicode_data(Random& rng) {
        std::string header;
        if (rng.chance(50)) {
            header = digits(rng, 5) + " " + digits(rng, 4) + " ";
        } else {
            const std::string code = from_alphabet(rng, "ABCDEFGHJKLMNPRSTUVWXYZ0123456789",
                                                   static_cast<std::size_t>(rng.in(1, 6)));
            header = code + std::string(6 - code.size(), ' ') + " ";
        }
        header += digits(rng, 3) + " " + digits(rng, 3) + " ";
        // A symbol holds a message of about 90 characters; one too long for the record's data
        // field is dropped by the module.
        const std::size_t length =
            static_cast<std::size_t>(rng.chance(10) ? rng.in(260, 300) : rng.in(0, 50));
        return header + static_cast<char>(rng.in('A', 'Z')) + random_text(rng, length);
    }

    std::optional<Object> maxicode() {
        // About 1.11 x 1.05 inches; the module places it by its top edge.
        const std::int32_t w = g_.dpi() * 115 / 100, h = g_.dpi() * 110 / 100;
        if (area_.x1 - area_.x0 < w + 20 || area_.y1 - area_.y0 < h + 20) return std::nullopt;
        const std::int32_t X = rng_.in(area_.x0 + 5, area_.x1 - w - 5);
        const std::int32_t Y = rng_.in(area_.y0 + 5, area_.y1 - h - 5);
        const std::int32_t height = 1000;
        const std::int32_t x = g_.host_x(X), y = g_.host_y(Y) + height;
        const bool variable = rng_.chance(40);
        const std::uint32_t m = variable ? mark() : 0;
        const std::string fixed = maxicode_data(rng_);
        return Object{[=](host::HostJob& job, Random& rng) {
                          set_symbol(job, symbology::maxicode, x, y, height, 0, m,
                                     variable ? maxicode_data(rng) : fixed);
                          job.call(job.entry().drawbar);
                      },
                      variable};
    }

    std::optional<Object> pdf417() {
        const std::int32_t narrow = rng_.in(1, 3);
        const std::int32_t columns = rng_.in(1, 4);
        const std::int32_t rows = rng_.in(0, 1) == 0 ? 0 : rng_.in(3, 30);
        const std::int32_t security = rng_.in(0, 3);
        // Module width narrow + 1, row height up to narrow + rows + 1: a generous box.
        const std::int32_t w = (17 * (columns + 4) + 2) * (narrow + 1) + 10;
        const std::int32_t h = 90 * (narrow + rows + 1) + 10;
        if (area_.x1 - area_.x0 < w + 20 || area_.y1 - area_.y0 < h + 20) return std::nullopt;
        const std::int32_t X = rng_.in(area_.x0 + 5, area_.x1 - w - 5);
        const std::int32_t Y = rng_.in(area_.y0 + 5, area_.y1 - h - 5);
        const std::int32_t height = rng_.in(100, 1000), width = rng_.in(100, 2000);
        const std::int32_t x = g_.host_x(X), y = g_.host_y(Y) + height;
        const bool variable = rng_.chance(40);
        const std::uint32_t m = variable ? mark() : 0;
        const auto data = [](Random& rng) {
            return static_cast<char>(rng.in('A', 'Z')) +
                   random_text(rng, static_cast<std::size_t>(rng.in(0, 30)));
        };
        const std::string fixed = data(rng_);
        return Object{
            [=](host::HostJob& job, Random& rng) {
                set_symbol(job, symbology::pdf417, x, y, height, 0, m, variable ? data(rng) : fixed);
                BarcodeObjectView b = job.barcode();
                b.set(barcode_object::width, width);
                b.set(barcode_object::narrow, narrow);
                b.set(barcode_object::security_level, security);
                b.set(barcode_object::shape_limits,
                      static_cast<std::uint32_t>(rows) | static_cast<std::uint32_t>(columns) << 8);
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
        if (width < 1 || height < 1) return std::nullopt;
        const std::int32_t X = rng_.in(area_.x0 + 2, area_.x1 - width - 2);
        const std::int32_t Y = rng_.in(area_.y0 + 2, area_.y1 - height - 2);
        const std::int32_t x = g_.host_x(X), y = g_.host_y(Y);
        auto file = std::make_shared<std::string>(pcx_file(rng_, width, height, literal));
        const std::string name = "G" + std::to_string(++images_);
        return Object{[=](host::HostJob& job, Random& rng) {
                          host::PcxObject pcx;
                          pcx.set_name(name);
                          PcxObjectView v = pcx.view();
                          v.set(pcx_object::x, x);
                          v.set(pcx_object::y, y);
                          v.set(pcx_object::file_size, static_cast<std::uint32_t>(file->size()));
                          const auto& ep = job.entry();
                          job.call(ep.pcx_begin, pcx.word());
                          // Chunks of random size, the first holding at least the header; a
                          // run may be split from its data byte.
                          std::size_t at = 0;
                          while (at < file->size()) {
                              const std::size_t n = at == 0
                                                        ? static_cast<std::size_t>(rng.in(128, 400))
                                                        : static_cast<std::size_t>(rng.in(1, 300));
                              const std::string_view chunk = std::string_view(*file).substr(at, n);
                              pcx.set_chunk(chunk, at != 0);
                              if (job.call(ep.pcx_map, pcx.word()) == -1) break;
                              at += chunk.size();
                          }
                          job.call(ep.pcx_end, pcx.word());
                      },
                      false};
    }

    host::HostJob& job_;
    Random& rng_;
    const Geometry& g_;
    Dots area_;
    Dots clip_;
    bool unclipped_text_;
    int images_ = 0;
};

// ----- setup -----

struct Option {
    std::int32_t position;
    std::string prompt;
    char kind;
    std::vector<std::string> choices;
};

std::vector<Option> setup_dialog(host::HostJob& job) {
    std::vector<Option> options;
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
        Option o{
            position, std::string(prompt.data(), strnlen(prompt.data(), prompt.size())), kind, {}};
        for (std::uint32_t w : choices) {
            if (w == 0) break;
            const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(w));
            if (*text == '\0') break;
            o.choices.emplace_back(text);
        }
        options.push_back(std::move(o));
    }
    return options;
}

// Random setup values, some outside their ranges (the module then keeps the option's default),
// but never continuous media.
void random_setup(host::HostJob& job, Random& rng) {
    for (const Option& o : setup_dialog(job)) {
        std::int32_t value;
        if (o.kind == 'M') {
            const auto n = static_cast<std::int32_t>(o.choices.size());
            do {
                value = rng.in(0, std::max(n - 1, 0));
            } while (o.prompt == "Sensor Type:" && value < n &&
                     o.choices[static_cast<std::size_t>(value)] == "Continuous");
        } else if (o.prompt == "Default label height:") {
            value = rng.in(300, 4000);
        } else {
            value = rng.chance(80) ? rng.in(0, 30) : rng.in(-50, 3000);
        }
        job.call(job.entry().savevar, o.position, value);
    }
}

// The host's own strings around the print, recall and job-end commands. They are the host's
// configuration, sent as they stand: these keep every command whole.
void use_extra_strings(host::HostJob& job, Random& rng) {
    const auto& ep = job.entry();
    const auto set = [&](std::int32_t code, const std::vector<std::string>& choices) {
        job.call(ep.PrinterMessage, code, 0, job.keep_string(rng.pick(choices)), 0);
    };
    job.call(ep.PrinterMessage, 32, 0, 1, 0);
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
    for (const Object& o : objects) {
        if (wanted(o)) o.draw(job, rng);
    }
    job.call(job.entry().page_end, 0);
}

std::string label_name(Random& rng) {
    return from_alphabet(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789. _-",
                         static_cast<std::size_t>(rng.in(1, 15)));
}

// One job: maininit, the graphic and form passes, a recall and a print pass per record, main_end.
// Like a real host, the generator keeps one job record per printer across its jobs.
void print_job(host::HostJob& job, Random& rng, bool extra_strings) {
    const RecordView r = job.record();
    // Lines by their two corners or by origin and size.
    job.call(job.entry().PrinterMessage, 11, 0, rng.chance(50) ? 1 : 0, 0);
    const std::int32_t max_length = r.get(record::max_label_length);
    const std::int32_t height =
        rng.in(400, std::max(400, std::min(max_length > 0 ? max_length : 4000, 4000)));
    r.set(record::label_width, r.get(record::max_print_width));
    r.set(record::label_height, height);
    // Variable objects are drawn with their data after each recall, never as V references.
    r.set(record::variable_mode, 2);
    job.set_label_name(label_name(rng));
    const Geometry geometry(r);
    LabelMaker maker(job, rng, geometry, extra_strings);
    maker.set_clip();
    const std::vector<Object> objects = maker.objects();
    const bool direct = draws_directly(r);
    const auto& ep = job.entry();
    job.call(ep.maininit);
    job.call(ep.repeat_begin, rng.in(1, 5));
    if (!direct) {
        pass(job, rng, maker, objects, form_mode::graphics, [](const Object&) { return true; });
        pass(job, rng, maker, objects, form_mode::build,
             [](const Object& o) { return !o.variable; });
    }
    const int records = rng.in(1, 3);
    for (int i = 0; i < records; ++i) {
        pass(job, rng, maker, objects, form_mode::recall,
             [direct](const Object& o) { return direct || o.variable; });
        pass(job, rng, maker, objects, form_mode::print, [](const Object&) { return false; });
    }
    job.call(ep.main_end);
}

// The stream does not say its resolution; the file name does, for the linter.
std::string stream_name(std::int32_t printer_type, int printer, int dpi) {
    return "pt" + std::to_string(printer_type) + "-" + std::to_string(printer) + "-" +
           std::to_string(dpi) + "dpi.epl";
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
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261206;
    std::filesystem::create_directories(out_dir);
    host::Module module(host::default_module_path(argv[0]));
    const auto models = host::read_model_table(module);
    std::map<std::int32_t, std::vector<host::ModelRecord>> by_type;
    for (const auto& m : models) by_type[m.printer_type].push_back(m);
    Random rng(seed);
    for (const auto& [printer_type, list] : by_type) {
        // A few printers of this type, each one job record for all its jobs.
        for (int printer = 0; printer < printers_per_type; ++printer) {
            Sink sink;
            const host::ModelRecord& model = rng.pick(list);
            host::HostJob job(module, sink);
            host::select_model(job, model);
            random_setup(job, rng);
            const bool extra_strings = rng.chance(30);
            if (extra_strings) use_extra_strings(job, rng);
            for (int j = printer; j < jobs; j += printers_per_type)
                print_job(job, rng, extra_strings);
            const auto path =
                out_dir / stream_name(printer_type, printer, job.record().get(record::dpi_x));
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
