// The printer model's state: image buffer, label settings, stored forms and graphics, variables,
// the labels printed so far and what the stream has cost to draw. Beside it, the helpers that
// every command family shares: parameters read with a warning at the command when they are
// wrong, and drawing onto the image buffer. The command handlers are in commands_*.cpp, reached
// through the dispatch table of commands.h.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics.h"
#include "eplview/eplview.h"
#include "glyphs.h"
#include "stream.h"

namespace eplview {

// How a mark meets what lies under it. reverse prints a field as a black block with its marks
// left white, whatever lay under it.
enum class Paint { black, white, invert, reverse };

// Whole-number magnification of an image as it is placed, as the text multipliers give it.
struct Scale {
    int across = 1, down = 1;
};

struct Point {
    int x, y;
};

struct Box {
    int x0, y0, x1, y1;  // x1, y1 exclusive
};

// A decimal number with an optional leading '+', and nothing else.
std::optional<int> to_int(std::string_view text);

// A field that names a variable instead of carrying data: V followed by its two-digit number.
std::optional<int> variable_reference(const Field& field);

// Stream text quoted in a warning: control bytes escaped, so that every warning stays one plain
// line of a log, and cut at max_quoted_bytes, so that a long line cannot multiply into every
// warning that quotes it.
std::string printable(std::string_view text);

struct Form {
    std::vector<Command> commands;
    std::set<int> variables;  // declared by its V commands
    std::size_t bytes = 0;    // of its commands as sent: what it takes of the printer's memory
};

struct Graphic {
    Bitmap image;
    int bytes = 0;           // its file's size
    std::size_t memory = 0;  // what it counts against max_stored_bytes
};

inline std::size_t weight(const Form& form) {
    return form.commands.size();
}
inline std::size_t weight(const Graphic& graphic) {
    return graphic.memory;
}

// Stored forms or graphics by name, with a running total of what they weigh, so that a cap is
// checked without walking the store.
template <class Entry>
struct Store {
    std::map<std::string, Entry> entries;
    std::size_t total = 0;

    void forget(const std::string& name) {
        if (auto found = entries.find(name); found != entries.end()) {
            total -= weight(found->second);
            entries.erase(found);
        }
    }
    // Replaces its namesake.
    void put(const std::string& name, Entry entry) {
        forget(name);
        total += weight(entry);
        entries[name] = std::move(entry);
    }
    void clear() {
        entries.clear();
        total = 0;
    }
};

// The form between FS and FE.
struct FormBeingStored {
    std::string name;
    std::size_t offset = 0, line = 1;  // of its FS
    Form form;
};

// A recall (FR) of a form with variables, waiting for the ? line and its data lines.
struct PendingRecall {
    std::string name;
    std::size_t offset = 0;
    std::size_t line = 1;
    bool collecting = false;  // the ? line has come
    std::vector<std::string> values;
};

// Labels printed while no length was known, each as long as what was drawn on it.
struct LengthsAsDrawn {
    std::size_t offset = 0, line = 1;  // of the first one's P
    int shortest = 0, longest = 0;
};

struct Printer {
    explicit Printer(const Options& options);

    // ---- warnings and parameters ---------------------------------------------------------------
    void warn(std::size_t offset, std::size_t line, std::string message);
    void warn(const Command& command, std::string message);
    // The parameters after the command's name; none, with a warning, when a quote is left open.
    std::optional<Fields> fields_of(const Command& command, std::string_view rest);
    // A numeric parameter within its range, or a warning naming it.
    std::optional<int> number(const Command& command, const Fields& fields, std::size_t index,
                              std::string_view what, int low, int high);
    // The first two parameters of every drawing command: where it starts, in dots.
    std::optional<Point> position(const Command& command, const Fields& fields);
    bool expect_count(const Command& command, const Fields& fields, std::size_t count);
    std::optional<std::string> quoted_name(const Command& command, std::string_view rest);
    // FK and GK: forget the entry named in quotes; "*" empties the whole store.
    template <class Entry>
    void delete_stored(const Command& command, std::string_view rest, Store<Entry>& store) {
        auto name = quoted_name(command, rest);
        if (!name) return;
        if (*name == "*")
            store.clear();
        else
            store.forget(*name);
    }
    // The data of a text or barcode field: quoted data, or the value of a variable. It is kept
    // with the label the field is drawn on.
    std::optional<std::string> field_data(const Command& command, const Field& field);
    // Whether an entry of `bytes` fits in the printer's memory once the one it replaces
    // (`freed` bytes) is gone; when it does not, the store is refused and that is remembered.
    bool fits_in_memory(const Command& command, const std::string& name, std::size_t bytes,
                        std::size_t freed);

    // ---- image buffer --------------------------------------------------------------------------
    // N clears the image buffer; Q, q and M lay it out anew and FR retrieves a form into it,
    // which clear it as well, so objects drawn before them and not yet printed never print.
    void clear_buffer(const Command& command);
    // A rectangle in dots from the reference point.
    void fill(const Command& command, long x, long y, long width, long height, Paint how);
    // An image whose unrotated top-left corner is (x, y) from the reference point, turned
    // clockwise by rotation quarter turns about that point.
    void place(const Command& command, const Bitmap& image, int x, int y, int rotation, Paint how,
               Scale scale = {});
    // While the label length is not known the buffer grows down to the lowest row an object
    // reaches (bottom, exclusive), up to the longest label.
    void grow_to(int bottom);

    // ---- state ---------------------------------------------------------------------------------
    Summary summary;  // the settings the stream chose
    Diagnostics diagnostics;
    GlyphRenderer glyphs;
    const CodePage* code_page = &default_code_page();  // what text bytes print, chosen by I
    Bitmap buffer;
    bool drawn = false;                   // objects drawn since the image buffer was last cleared
    std::vector<std::string> drawn_data;  // of the fields drawn since then
    std::vector<Label> labels;
    std::size_t label_bytes = 0;  // image bytes of the labels kept
    bool as_fed = false;          // ZB labels kept in feed order, not turned upright
    std::optional<LengthsAsDrawn> lengths_as_drawn;
    Store<Form> forms;  // total: commands in all forms
    std::optional<FormBeingStored> storing;
    std::optional<PendingRecall> recall;
    std::map<int, std::string> variables;  // while a recalled form is drawn
    bool replaying = false;                // drawing a recalled form
    Store<Graphic> graphics;               // total: memory of the stored graphics
    std::size_t memory = 0;                // Options::memory
    bool memory_full = false;              // a fault: no store fits
    bool store_refused = false;  // a form or graphic did not fit in memory; reset by its reader
    // Dots painted, plus bytes of image buffer cleared or copied: what the stream has cost.
    std::uint64_t work = 0;
    bool out_of_work = false;  // work went past max_drawn_dots; the rest is not interpreted

   private:
    void paint(int x, int y, bool mark, Paint how);
    // The dots [x0, x1) of row y, all marked or all not, as paint would leave them one by one.
    void paint_span(int y, int x0, int x1, bool mark, Paint how);
    // One row of an image placed unturned (rotation 0) or half turned (2), in runs of like dots.
    void place_row(const Bitmap& image, int x, int y, int rotation, int v, std::pair<int, int> us,
                   Paint how, Scale scale);
    void check_inside(const Command& command, Box box);
};

}  // namespace eplview
