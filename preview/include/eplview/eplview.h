// eplview: interprets an EPL2 byte stream the way a label printer does and returns every printed
// label as a 1-bit image, with warnings that point at the byte offset and line of their cause and a
// summary of the printer settings the stream chose. The command-line program, the virtual printer
// and the fuzzers all go through interpret().
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace eplview {

// Caps on what one stream may make the interpreter allocate or spend. A command that would go
// beyond them is reported with a warning and not carried out, so a hostile stream cannot exhaust
// memory or time. Every cap of eplview is defined here (preview/README.md lists them).
inline constexpr int max_label_width_dots = 2400;           // 8 inches at 300 dpi
inline constexpr int max_label_length_dots = 12000;         // 40 inches at 300 dpi
inline constexpr std::size_t max_raster_bytes = 4u << 20;   // one GW raster or one stored PCX file
inline constexpr std::size_t max_stored_bytes = 16u << 20;  // all stored graphics together
inline constexpr std::size_t max_form_commands = 10000;     // commands in one stored form
inline constexpr std::size_t max_stored_form_commands = 100000;  // commands in all stored forms
inline constexpr std::size_t max_labels = 1000;  // printed labels kept from one stream
inline constexpr std::size_t max_label_image_bytes = 128u << 20;  // images of those labels together
inline constexpr std::size_t max_warnings = 10000;                // warnings kept from one stream
inline constexpr long max_copies = 1L << 30;                      // copies of one label
// Characters of one text field past this many dots cannot show on any label; they are cut.
inline constexpr int max_text_dots = 2 * max_label_length_dots;
// A barcode or symbol wider than this is refused rather than drawn.
inline constexpr int max_symbol_width_dots = 4 * max_label_width_dots;
// Longer than any symbology holds; zint takes the length as an int.
inline constexpr std::size_t max_symbol_data_bytes = 1u << 16;
// Stream text quoted in one warning; the rest is cut with "...".
inline constexpr std::size_t max_quoted_bytes = 64;
// What one stream may cost to draw: dots painted plus bytes of image buffer cleared or copied.
// About 1000 labels of 4 x 6 in at 203 dpi painted all over dot by dot, or 8000 cleared; beyond
// it the rest of the stream is not interpreted.
inline constexpr std::uint64_t max_drawn_dots = 1ull << 30;

// The widest print head of each resolution (4.09 in at 203 dpi, 4.16 in at 300 dpi): the label
// width when the stream sets none with q and the caller gives none.
inline constexpr int head_width_203 = 832;
inline constexpr int head_width_300 = 1248;

// A monochrome image, one bit per dot, rows packed most significant bit first; a set bit prints
// black.
class Bitmap {
   public:
    Bitmap() = default;
    Bitmap(int width, int height);

    // Blank at the given size, keeping the storage it has: a printer clears its buffer for every
    // label, and fresh memory costs a page fault per 4 KiB.
    void reset(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool black(int x, int y) const;
    void set(int x, int y, bool black);
    void invert(int x, int y);
    // The dots [x0, x1) of row y, a byte at a time where whole bytes are covered; the span is
    // clipped to the bitmap.
    void set_span(int y, int x0, int x1, bool black);
    void invert_span(int y, int x0, int x1);
    // The first x in [x, limit) of row y whose dot is not `black`, or limit; whole bytes of
    // like dots are passed over at once.
    int run_end(int y, int x, int limit, bool black) const;
    // How a row of another bitmap's dots acts on the dots it lands on: its black dots set,
    // clear or invert them, or (replace_inverted) every dot takes the opposite of its source.
    enum class Combine { set, clear, invert, replace_inverted };
    // The dots [s0, s1) of row sy of src onto row y, dot s landing on x + s, eight dots at a
    // time; whatever falls outside either bitmap is passed over.
    void combine_row(int y, int x, const Bitmap& src, int sy, int s0, int s1, Combine how);
    // Every black dot of src set here, its top left corner at (x, y).
    void overlay(const Bitmap& src, int x, int y);
    // Dots 8 * index .. 8 * index + 7 of row y take the bits of black_dots, the first dot in its
    // top bit; dots past the width stay white.
    void put_byte(int y, int index, std::uint8_t black_dots);
    // Row `to` becomes a copy of row `from`.
    void copy_row(int from, int to);
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    std::size_t black_count() const;
    // Grows the image downwards to height rows, the new ones white; the dots it holds stay.
    void extend_to(int height);
    const std::vector<std::uint8_t>& packed() const { return bits_; }
    int stride() const { return stride_; }
    bool operator==(const Bitmap&) const = default;

   private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    std::vector<std::uint8_t> bits_;
};

struct Warning {
    std::size_t offset = 0;  // byte offset of the command in the stream
    std::size_t line = 1;    // 1-based; counts line feeds before the command
    std::string message;
    // Warnings of the same kind that came right after this one, folded into it; its message ends
    // with "... and N more like it on lines A to B".
    std::size_t repeats = 0;
};

struct Label {
    Bitmap image;
    // The data of the text, barcode and symbol fields drawn on it, in the order they were drawn.
    std::vector<std::string> data;
    int copies = 1;
    std::size_t offset = 0;  // where its P command stands
    std::size_t line = 1;
};

// Settings the stream chose; values the stream never set keep these defaults.
struct Summary {
    int dpi = 203;
    int width = 0;   // dots
    int length = 0;  // dots; as drawn: the longest label printed
    // Neither Q nor the caller gave the length: each label is as long as what was drawn on it.
    bool length_as_drawn = false;
    int gap = 0;  // dots; 0 on continuous media
    bool black_mark = false;
    std::string gap_offset;  // as sent after Q, e.g. "+0"
    int reference_x = 0;
    int reference_y = 0;
    // ZT; ZB prints the image buffer from its bottom end first, turned, so that the label reads
    // the same way up as under ZT and leaves the printer the other end first.
    bool top_first = true;
    std::string darkness, speed, options, backup, feed_adjust, memory;
    int labels = 0;
    long copies = 0;
    std::map<std::string, int> forms;     // stored form -> commands in it
    std::map<std::string, int> graphics;  // stored graphic -> bytes
};

// What the caller knows of the label and the printer where the stream does not say it: the
// stream's own q and Q win over width and length.
struct Options {
    int dpi = 203;        // 203 or 300
    int width = 0;        // dots; 0: the widest head of the resolution
    int length = 0;       // dots; 0: each label as long as what was drawn on it
    bool as_fed = false;  // ZB labels in feed order (turned half a turn) rather than upright
    // Past this moment the rest of the stream is not interpreted (a server's time limit on one
    // render); the job then says so in cut_short.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    // Bytes of the printer's memory for stored forms and graphics together, as the virtual
    // printer's model has; 0: only the caps above limit them.
    std::size_t memory = 0;
};

struct Job {
    std::vector<Label> labels;
    std::vector<Warning> warnings;
    // Remarks on the stream as a whole that are no fault of it: what eplview had to assume.
    std::vector<Warning> notes;
    Summary summary;
    bool cut_short = false;  // the deadline passed before the stream's end
};

Job interpret(std::span<const std::uint8_t> stream, const Options& options = {});
// The warnings the stream gave, those folded into others included.
std::size_t warning_count(const Job& job);

// The bitmap as a 1-bit greyscale PNG file with its resolution recorded; empty for an empty
// bitmap or when encoding fails.
std::vector<std::uint8_t> encode_png(const Bitmap& image, int dpi);
// Writes that PNG file. It appears under its name complete or not at all (it is written beside
// it under a temporary name first); false when it cannot be written.
bool write_png(const Bitmap& image, int dpi, const std::string& path);
// The labels as one PDF file, a page for each at its size on paper (dots / dpi inches), the
// dots embedded as they are: one bit each, losslessly, shown without smoothing. Written like
// write_png; false when it cannot be written or there is no label.
bool write_pdf(std::span<const Label> labels, int dpi, const std::string& path);
// That PDF file's bytes; empty when there is no label or compression fails.
std::vector<std::uint8_t> encode_pdf(std::span<const Label> labels, int dpi);
// Reads a 1-bit or 8-bit greyscale PNG back (for golden comparisons); empty bitmap on failure.
Bitmap read_png(const std::string& path);

std::string summary_text(const Summary& summary);

}  // namespace eplview
