// The printer model: image buffer, label geometry, stored forms and graphics, variables. Every
// command goes through execute(); stored forms replay their commands through it too, so a command
// behaves the same typed directly or recalled.
#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>

#include "diagnostics.h"
#include "eplview/eplview.h"
#include "glyphs.h"
#include "pcx.h"
#include "stream.h"
#include "symbols.h"

namespace eplview {
namespace {

// reverse prints a field as a black block with its marks left white, whatever lay under it.
enum class Paint { black, white, invert, reverse };

// Whole-number magnification of an image as it is placed, as the text multipliers give it.
struct Scale {
    int across = 1, down = 1;
};

std::optional<int> to_int(std::string_view text) {
    int value = 0;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// A field that names a variable instead of carrying data: V followed by its two-digit number.
std::optional<int> variable_reference(const Field& field) {
    if (field.quoted || field.text.size() < 3 || field.text[0] != 'V') return std::nullopt;
    return to_int(std::string_view(field.text).substr(1));
}

// Two-letter command families; every other command is named by its first character.
std::size_t name_length(const std::string& text) {
    if (text.size() >= 2 && (text[0] == 'G' || text[0] == 'L' || text[0] == 'F')) return 2;
    return 1;
}

struct Form {
    std::vector<Command> commands;
    std::set<int> variables;
};

struct PendingRecall {
    std::string name;
    std::size_t offset = 0;
    std::size_t line = 1;
    bool collecting = false;
    std::vector<std::string> values;
};

struct Box {
    int x0, y0, x1, y1;  // x1, y1 exclusive
};

class Printer {
   public:
    explicit Printer(const Options& options) {
        summary_.dpi = options.dpi == 300 ? 300 : 203;
        int head = summary_.dpi == 300 ? kHeadWidth300 : kHeadWidth203;
        summary_.width =
            std::clamp(options.width > 0 ? options.width : head, 1, kMaxLabelWidthDots);
        summary_.length = kDefaultLengthInches * summary_.dpi;
        buffer_ = Bitmap(summary_.width, summary_.length);
    }

    Job run(std::span<const std::uint8_t> stream) {
        for_each_command(stream, diagnostics_, [this](Command&& command) { feed(command); });
        if (pending_ && !out_of_work_) finish_recall();
        if (storing_)
            warn(storing_offset_, storing_line_,
                 "form \"" + printable(*storing_) + "\" is not closed with FE; it was not stored");
        for (const auto& [name, form] : forms_)
            summary_.forms[name] = static_cast<int>(form.commands.size());
        for (const auto& [name, graphic] : graphics_) summary_.graphics[name] = graphic.bytes;
        Job job;
        job.labels = std::move(labels_);
        job.warnings = diagnostics_.take();
        job.summary = summary_;
        return job;
    }

   private:
    struct Graphic {
        Bitmap image;
        int bytes = 0;           // its file's size
        std::size_t memory = 0;  // what it counts against kMaxStoredBytes
    };

    // ---- dispatch -------------------------------------------------------------------------

    // Stops interpreting a stream once it has drawn more than its share, so that no stream keeps
    // the renderer (or a job thread of the virtual printer) busy without end.
    void feed(const Command& command) {
        if (out_of_work_) return;
        take(command);
        if (work_ <= kMaxDrawnDots) return;
        out_of_work_ = true;
        warn(command, "the stream draws more than " + std::to_string(kMaxDrawnDots) +
                          " dots; the rest of it is not interpreted");
    }

    void take(const Command& command) {
        if (pending_) {
            if (pending_->collecting) {
                pending_->values.push_back(command.text);
                if (pending_->values.size() >= forms_[pending_->name].variables.size())
                    finish_recall();
                return;
            }
            if (command.text == "?") {
                pending_->collecting = true;
                return;
            }
            finish_recall();
        }
        if (storing_ && command.text.rfind("FE", 0) != 0) {
            store(command);
            return;
        }
        execute(command);
    }

    void execute(const Command& command) {
        const std::string& text = command.text;
        std::string name = text.substr(0, name_length(text));
        std::string_view rest = std::string_view(text).substr(name.size());
        using Handler = void (Printer::*)(const Command&, std::string_view);
        static const std::map<std::string, Handler> handlers = {
            {"N", &Printer::clear},
            {"P", &Printer::print},
            {"Q", &Printer::label_length},
            {"q", &Printer::label_width},
            {"R", &Printer::reference},
            {"Z", &Printer::direction},
            {"D", &Printer::darkness},
            {"S", &Printer::speed},
            {"O", &Printer::hardware},
            {"J", &Printer::backup},
            {"j", &Printer::feed_adjust},
            {"M", &Printer::memory},
            {"I", &Printer::character_set},
            {"V", &Printer::declare_variable},
            {"?", &Printer::stray_data},
            {"FK", &Printer::delete_form},
            {"FS", &Printer::store_form},
            {"FE", &Printer::end_form},
            {"FR", &Printer::recall_form},
            {"FI", &Printer::accept},
            {"GK", &Printer::delete_graphic},
            {"GM", &Printer::store_graphic},
            {"GG", &Printer::print_graphic},
            {"GI", &Printer::accept},
            {"GW", &Printer::raster},
            {"LO", &Printer::line_black},
            {"LE", &Printer::line_invert},
            {"LW", &Printer::line_white},
            {"X", &Printer::box},
            {"A", &Printer::text},
            {"B", &Printer::barcode},
            {"b", &Printer::symbol},
        };
        auto handler = handlers.find(name);
        if (handler == handlers.end()) {
            warn(command, "unknown command \"" + printable(text.substr(0, 8)) + "\"");
            return;
        }
        (this->*handler->second)(command, rest);
    }

    // ---- diagnostics and parameters --------------------------------------------------------

    // Stream text quoted in a warning: control bytes escaped, so that every warning stays one
    // plain line of a log, and cut short, so that a long line cannot multiply into every warning
    // that quotes it.
    static std::string printable(std::string_view text) {
        static constexpr std::size_t kLongestQuote = 64;
        bool cut = text.size() > kLongestQuote;
        if (cut) text = text.substr(0, kLongestQuote);
        std::string out;
        for (char byte : text) {
            auto c = static_cast<unsigned char>(byte);
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                static constexpr char kHex[] = "0123456789ABCDEF";
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
        if (cut) out += "...";
        return out;
    }

    void warn(std::size_t offset, std::size_t line, std::string message) {
        diagnostics_.warn(offset, line, std::move(message));
    }
    void warn(const Command& command, std::string message) {
        warn(command.offset, command.line, std::move(message));
    }

    std::optional<Fields> fields_of(const Command& command, std::string_view rest) {
        Fields fields = split_fields(rest);
        if (fields.unterminated) {
            warn(command,
                 command.text.substr(0, name_length(command.text)) + ": unterminated quoted field");
            return std::nullopt;
        }
        return fields;
    }

    // A numeric parameter within its range, or a warning naming it.
    std::optional<int> number(const Command& command, const Fields& fields, std::size_t index,
                              std::string_view what, int low, int high) {
        std::string name = command.text.substr(0, name_length(command.text));
        if (index >= fields.list.size()) {
            warn(command, name + ": missing " + std::string(what));
            return std::nullopt;
        }
        auto value = to_int(fields.list[index].text);
        if (!value || *value < low || *value > high) {
            warn(command, name + ": " + std::string(what) + " \"" +
                              printable(fields.list[index].text) + "\" is not a number from " +
                              std::to_string(low) + " to " + std::to_string(high));
            return std::nullopt;
        }
        return value;
    }

    struct Point {
        int x, y;
    };
    // The first two parameters of every drawing command: where it starts, in dots.
    std::optional<Point> position(const Command& command, const Fields& fields) {
        auto x = number(command, fields, 0, "horizontal start", -65535, 65535);
        auto y = number(command, fields, 1, "vertical start", -65535, 65535);
        if (!x || !y) return std::nullopt;
        return Point{*x, *y};
    }

    bool expect_count(const Command& command, const Fields& fields, std::size_t count) {
        if (fields.list.size() == count) return true;
        warn(command, command.text.substr(0, name_length(command.text)) + ": expected " +
                          std::to_string(count) + " parameters, found " +
                          std::to_string(fields.list.size()));
        return false;
    }

    std::optional<std::string> quoted_name(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields) return std::nullopt;
        if (fields->list.size() != 1 || !fields->list[0].quoted) {
            warn(command, command.text.substr(0, 2) + ": expected a name in double quotes");
            return std::nullopt;
        }
        return fields->list[0].text;
    }

    // The data of a text or barcode field: quoted data, or the value of a variable.
    std::optional<std::string> field_data(const Command& command, const Field& field) {
        if (field.quoted) return field.text;
        if (auto variable = variable_reference(field)) {
            if (auto value = variables_.find(*variable); value != variables_.end())
                return value->second;
            // A stored form reported its undeclared variables when it was stored.
            if (!replaying_) warn(command, "undeclared variable " + field.text);
            return std::nullopt;
        }
        warn(command, command.text.substr(0, 1) + ": data \"" + printable(field.text) +
                          "\" is neither quoted nor a variable");
        return std::nullopt;
    }

    // ---- image buffer ----------------------------------------------------------------------

    // N clears the image buffer; Q, q and M lay it out anew and FR retrieves a form into it, which
    // clear it as well, so objects drawn before them and not yet printed never print.
    void clear_buffer(const Command& command) {
        if (drawn_ && command.text[0] != 'N')
            warn(command, command.text.substr(0, name_length(command.text)) +
                              " clears the image buffer, which holds objects not yet printed; "
                              "they do not print");
        buffer_ = Bitmap(summary_.width, summary_.length);
        work_ += buffer_.packed().size();
        drawn_ = false;
    }

    void paint(int x, int y, bool mark, Paint how) {
        drawn_ = true;
        ++work_;
        switch (how) {
            case Paint::black:
                if (mark) buffer_.set(x, y, true);
                break;
            case Paint::white:
                if (mark) buffer_.set(x, y, false);
                break;
            case Paint::invert:
                if (mark) buffer_.invert(x, y);
                break;
            case Paint::reverse:
                buffer_.set(x, y, !mark);
                break;
        }
    }

    void check_inside(const Command& command, Box box) {
        if (box.x0 >= 0 && box.y0 >= 0 && box.x1 <= buffer_.width() && box.y1 <= buffer_.height())
            return;
        warn(command, command.text.substr(0, name_length(command.text)) +
                          ": object reaches outside the label (dots " + std::to_string(box.x0) +
                          ".." + std::to_string(box.x1 - 1) + " across, " + std::to_string(box.y0) +
                          ".." + std::to_string(box.y1 - 1) + " down; label " +
                          std::to_string(buffer_.width()) + "x" + std::to_string(buffer_.height()) +
                          ")");
    }

    void fill(const Command& command, long x, long y, long width, long height, Paint how) {
        x += summary_.reference_x;
        y += summary_.reference_y;
        if (width <= 0 || height <= 0) return;
        // Far enough outside any label that clipping treats every larger value alike.
        static constexpr long kFar = 4L * kMaxLabelLengthDots;
        auto dots = [](long value) { return static_cast<int>(std::clamp(value, -kFar, kFar)); };
        Box box{dots(x), dots(y), dots(x + width), dots(y + height)};
        check_inside(command, box);
        for (int py = std::max(box.y0, 0); py < std::min(box.y1, buffer_.height()); ++py)
            for (int px = std::max(box.x0, 0); px < std::min(box.x1, buffer_.width()); ++px)
                paint(px, py, true, how);
    }

    // Places an image whose unrotated top-left corner is the reference point, turned clockwise
    // by rotation quarter turns about that point. A magnified image is never built: each dot of
    // the label reads the image dot it comes from.
    void place(const Command& command, const Bitmap& image, int x, int y, int rotation, Paint how,
               Scale scale = {}) {
        x += summary_.reference_x;
        y += summary_.reference_y;
        int w = image.width() * scale.across, h = image.height() * scale.down;
        if (w == 0 || h == 0) return;
        auto to_buffer = [&](int u, int v) -> std::pair<int, int> {
            switch (rotation & 3) {
                case 1:
                    return {x - 1 - v, y + u};
                case 2:
                    return {x - 1 - u, y - 1 - v};
                case 3:
                    return {x + v, y - 1 - u};
                default:
                    return {x + u, y + v};
            }
        };
        auto [ax, ay] = to_buffer(0, 0);
        auto [bx, by] = to_buffer(w - 1, h - 1);
        check_inside(command, {std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1,
                               std::max(ay, by) + 1});
        // Only the part of the image that lands on the label is visited: a field far outside it
        // or cut by its edge costs no more than what shows.
        auto on_label = [](int low, int high, int size) {
            return std::pair{std::max(low, 0), std::min(high, size)};
        };
        int label_w = buffer_.width(), label_h = buffer_.height();
        std::pair<int, int> us, vs;  // [first, end) of u and v
        switch (rotation & 3) {
            case 1:
                us = on_label(-y, label_h - y, w);
                vs = on_label(x - label_w, x, h);
                break;
            case 2:
                us = on_label(x - label_w, x, w);
                vs = on_label(y - label_h, y, h);
                break;
            case 3:
                us = on_label(y - label_h, y, w);
                vs = on_label(-x, label_w - x, h);
                break;
            default:
                us = on_label(-x, label_w - x, w);
                vs = on_label(-y, label_h - y, h);
        }
        for (int v = vs.first; v < vs.second; ++v)
            for (int u = us.first; u < us.second; ++u) {
                auto [px, py] = to_buffer(u, v);
                paint(px, py, image.black(u / scale.across, v / scale.down), how);
            }
    }

    // ---- job settings ----------------------------------------------------------------------

    void accept(const Command&, std::string_view) {}

    void clear(const Command& command, std::string_view rest) {
        if (!rest.empty()) warn(command, "N: unexpected parameters \"" + printable(rest) + "\"");
        clear_buffer(command);
    }

    void print(const Command& command, std::string_view rest) {
        // A print prefix or suffix chosen by the user may stand around the count; the count is
        // the first run of digits, optionally followed by a copy count after a comma.
        auto digits = rest.find_first_of("0123456789");
        if (digits == std::string_view::npos) {
            warn(command, "P: no label count in \"" + printable(rest) + "\"; nothing printed");
            return;
        }
        bool negative = digits > 0 && rest[digits - 1] == '-';
        auto end = rest.find_first_not_of("0123456789", digits);
        auto sets = to_int(rest.substr(digits, end == std::string_view::npos ? end : end - digits));
        long copies = 1;
        if (end != std::string_view::npos && rest[end] == ',') {
            auto after = rest.substr(end + 1);
            auto copy_end = after.find_first_not_of("0123456789");
            if (auto each = to_int(after.substr(0, copy_end)); each && *each > 0) copies = *each;
        }
        if (!sets || negative || *sets <= 0) {
            warn(command, "P: label count \"" + printable(rest) + "\" prints nothing");
            return;
        }
        if (labels_.size() >= kMaxLabels) {
            warn(command,
                 "more than " + std::to_string(kMaxLabels) + " labels; this one is not kept");
            return;
        }
        if (label_bytes_ + buffer_.packed().size() > kMaxLabelImageBytes) {
            warn(command, "label images beyond " + std::to_string(kMaxLabelImageBytes) +
                              " bytes; this one is not kept");
            return;
        }
        label_bytes_ += buffer_.packed().size();
        work_ += summary_.top_first ? buffer_.packed().size()
                                    : static_cast<std::size_t>(buffer_.width()) *
                                          static_cast<std::size_t>(buffer_.height());
        Label label;
        label.image = summary_.top_first ? buffer_ : turned_half(buffer_);
        label.copies = static_cast<int>(std::min<long>(*sets * copies, 1L << 30));
        label.offset = command.offset;
        label.line = command.line;
        labels_.push_back(std::move(label));
        drawn_ = false;
        ++summary_.labels;
        summary_.copies += labels_.back().copies;
    }

    static Bitmap turned_half(const Bitmap& image) {
        Bitmap turned(image.width(), image.height());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.black(x, y))
                    turned.set(image.width() - 1 - x, image.height() - 1 - y, true);
        return turned;
    }

    void label_length(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 2)) return;
        auto length = number(command, *fields, 0, "label length", 1, 65535);
        std::string gap_text = fields->list[1].text;
        bool black_mark = !gap_text.empty() && gap_text[0] == 'B';
        if (black_mark) gap_text.erase(0, 1);
        auto sign = gap_text.find_first_of("+-");
        std::string offset = sign == std::string::npos ? "" : gap_text.substr(sign);
        auto gap = to_int(gap_text.substr(0, sign));
        if (!gap || *gap < 0 || (!offset.empty() && !to_int(offset.substr(1)))) {
            warn(command, "Q: gap \"" + printable(fields->list[1].text) + "\" is malformed");
            return;
        }
        if (!length) return;
        if (*length > kMaxLabelLengthDots)
            warn(command, "Q: label length " + std::to_string(*length) + " is cut to " +
                              std::to_string(kMaxLabelLengthDots) + " dots");
        summary_.length = std::min(*length, kMaxLabelLengthDots);
        summary_.gap = *gap;
        summary_.black_mark = black_mark;
        summary_.gap_offset = offset;
        clear_buffer(command);
    }

    void label_width(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 1)) return;
        auto width = number(command, *fields, 0, "label width", 1, 65535);
        if (!width) return;
        if (*width > kMaxLabelWidthDots)
            warn(command, "q: label width " + std::to_string(*width) + " is cut to " +
                              std::to_string(kMaxLabelWidthDots) + " dots");
        summary_.width = std::min(*width, kMaxLabelWidthDots);
        clear_buffer(command);
    }

    void reference(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 2)) return;
        auto x = number(command, *fields, 0, "horizontal reference", 0, kMaxLabelWidthDots);
        auto y = number(command, *fields, 1, "vertical reference", 0, kMaxLabelLengthDots);
        if (!x || !y) return;
        summary_.reference_x = *x;
        summary_.reference_y = *y;
    }

    void direction(const Command& command, std::string_view rest) {
        if (rest == "T" || rest == "B") {
            summary_.top_first = rest == "T";
            return;
        }
        warn(command, "Z: direction \"" + printable(rest) + "\" is neither T nor B");
    }

    void setting(const Command& command, std::string_view rest, int high, std::string& kept) {
        auto value = to_int(rest);
        if (!value || *value < 0 || *value > high) {
            warn(command, command.text.substr(0, 1) + ": \"" + printable(rest) +
                              "\" is not a number from 0 to " + std::to_string(high));
            return;
        }
        kept = std::string(rest);
    }

    void darkness(const Command& command, std::string_view rest) {
        setting(command, rest, 15, summary_.darkness);
    }
    void speed(const Command& command, std::string_view rest) {
        setting(command, rest, 6, summary_.speed);
    }
    void feed_adjust(const Command& command, std::string_view rest) {
        setting(command, rest, 65535, summary_.feed_adjust);
    }

    void hardware(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields) return;
        for (const auto& field : fields->list) {
            static const std::set<std::string> kOptions = {"",  "C",  "D",  "N",  "P",
                                                           "S", "Cp", "Fr", "Fi", "f"};
            if (!kOptions.count(field.text) && field.text.rfind("C", 0) != 0 &&
                field.text.rfind("F", 0) != 0)
                warn(command, "O: unknown option \"" + printable(field.text) + "\"");
        }
        summary_.options = rest.empty() ? "O" : std::string(rest);
    }

    void backup(const Command& command, std::string_view rest) {
        if (rest == "F" || rest == "B") {
            summary_.backup = "J" + std::string(rest);
            return;
        }
        warn(command, "J: \"" + printable(rest) + "\" is neither F nor B");
    }

    void memory(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 3)) return;
        for (std::size_t i = 0; i < 3; ++i)
            if (!number(command, *fields, i, "memory size", 0, 65535)) return;
        summary_.memory = std::string(rest);
        clear_buffer(command);
    }

    void character_set(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (fields && !fields->list.empty()) number(command, *fields, 0, "character set", 0, 255);
    }

    // ---- variables and stored forms --------------------------------------------------------

    void declare_variable(const Command& command, std::string_view) {
        warn(command, "V: variables are declared inside a stored form (between FS and FE)");
    }

    void stray_data(const Command& command, std::string_view) {
        warn(command, "?: variable data without a form recall that asks for it");
    }

    // Form commands inside a form would let a form recall itself without end; the printer
    // keeps them but a recall does not carry them out.
    static bool form_command(const Command& command) {
        return command.text.rfind("FS", 0) == 0 || command.text.rfind("FK", 0) == 0 ||
               command.text.rfind("FR", 0) == 0;
    }

    // Checks and keeps a command of the form being stored.
    void store(const Command& command) {
        if (form_command(command))
            warn(command, command.text.substr(0, 2) + " inside the form being stored (" +
                              printable(*storing_) + ") is stored, not carried out");
        if (storing_form_.commands.size() >= kMaxFormCommands) {
            warn(command, "form \"" + printable(*storing_) + "\" holds more than " +
                              std::to_string(kMaxFormCommands) + " commands; the rest is dropped");
            return;
        }
        if (stored_commands() + storing_form_.commands.size() >= kMaxStoredFormCommands) {
            warn(command, "stored forms hold more than " + std::to_string(kMaxStoredFormCommands) +
                              " commands together; the rest of form \"" + printable(*storing_) +
                              "\" is dropped");
            return;
        }
        if (command.text.rfind("V", 0) == 0) {
            if (auto variable = parse_declaration(command))
                storing_form_.variables.insert(*variable);
        } else if (!command.text.empty() &&
                   (command.text[0] == 'A' || command.text[0] == 'B' || command.text[0] == 'b')) {
            Fields fields = split_fields(std::string_view(command.text).substr(1));
            if (!fields.list.empty())
                if (auto variable = variable_reference(fields.list.back());
                    variable && !storing_form_.variables.count(*variable))
                    warn(command, "undeclared variable " + fields.list.back().text);
        }
        storing_form_.commands.push_back(command);
    }

    // Commands of every stored form but the one being stored, which replaces its namesake.
    std::size_t stored_commands() const {
        auto namesake = forms_.find(*storing_);
        return form_commands_ - (namesake == forms_.end() ? 0 : namesake->second.commands.size());
    }

    static std::size_t weight(const Form& form) { return form.commands.size(); }

    // Forms and graphics are stores that keep a running total of what their entries weigh, so
    // that a cap is checked without walking the store.
    template <class Store>
    static void forget(Store& store, std::size_t& total, const std::string& name) {
        if (auto found = store.find(name); found != store.end()) {
            total -= weight(found->second);
            store.erase(found);
        }
    }

    // FK and GK: "*" empties the whole store.
    template <class Store>
    void delete_stored(const Command& command, std::string_view rest, Store& store,
                       std::size_t& total) {
        auto name = quoted_name(command, rest);
        if (!name) return;
        if (*name == "*") {
            store.clear();
            total = 0;
        } else {
            forget(store, total, *name);
        }
    }

    // Vnn,max_length,justification,"prompt"
    std::optional<int> parse_declaration(const Command& command) {
        auto fields = fields_of(command, std::string_view(command.text).substr(1));
        if (!fields || !expect_count(command, *fields, 4)) return std::nullopt;
        auto variable = number(command, *fields, 0, "variable number", 0, 99);
        auto length = number(command, *fields, 1, "variable length", 1, 99);
        const std::string& justification = fields->list[2].text;
        if (justification != "N" && justification != "L" && justification != "R" &&
            justification != "C")
            warn(command,
                 "V: justification \"" + printable(justification) + "\" is not N, L, R or C");
        if (!fields->list[3].quoted) warn(command, "V: the prompt must be in double quotes");
        if (!length) return std::nullopt;
        return variable;
    }

    void delete_form(const Command& command, std::string_view rest) {
        delete_stored(command, rest, forms_, form_commands_);
    }

    void store_form(const Command& command, std::string_view rest) {
        auto name = quoted_name(command, rest);
        if (!name) return;
        storing_ = *name;
        storing_offset_ = command.offset;
        storing_line_ = command.line;
        storing_form_ = {};
    }

    void end_form(const Command& command, std::string_view rest) {
        if (!rest.empty()) warn(command, "FE: unexpected parameters \"" + printable(rest) + "\"");
        if (!storing_) {
            warn(command, "FE without a form being stored (no FS before it)");
            return;
        }
        forget(forms_, form_commands_, *storing_);
        form_commands_ += storing_form_.commands.size();
        forms_[*storing_] = std::move(storing_form_);
        storing_.reset();
        storing_form_ = {};
    }

    void recall_form(const Command& command, std::string_view rest) {
        auto name = quoted_name(command, rest);
        if (!name) return;
        if (!forms_.count(*name)) {
            warn(command, "FR: recall of unknown form \"" + printable(*name) + "\"");
            return;
        }
        clear_buffer(command);
        pending_ = PendingRecall{*name, command.offset, command.line, false, {}};
        if (forms_[*name].variables.empty()) finish_recall();
    }

    // Draws the recalled form with the variable data that followed its recall.
    void finish_recall() {
        PendingRecall recall = std::move(*pending_);
        pending_.reset();
        const Form& form = forms_[recall.name];
        if (recall.values.size() < form.variables.size())
            warn(recall.offset, recall.line,
                 "FR: form \"" + printable(recall.name) + "\" declares " +
                     std::to_string(form.variables.size()) + " variables but " +
                     std::to_string(recall.values.size()) +
                     " data lines follow; the rest print empty");
        variables_.clear();
        std::size_t index = 0;
        for (int variable : form.variables)
            variables_[variable] =
                index < recall.values.size() ? recall.values[index++] : std::string();
        Form copy = form;  // a replayed command may delete the form it belongs to
        replaying_ = true;
        for (const auto& command : copy.commands) {
            if (work_ > kMaxDrawnDots) break;
            if (!form_command(command) && command.text.rfind("V", 0) != 0) execute(command);
        }
        replaying_ = false;
        variables_.clear();
    }

    // ---- graphics --------------------------------------------------------------------------

    void delete_graphic(const Command& command, std::string_view rest) {
        delete_stored(command, rest, graphics_, stored_bytes_);
    }

    static std::size_t weight(const Graphic& graphic) { return graphic.memory; }

    // A small file may announce a large picture, so a graphic weighs what it holds in memory
    // when that is more than its file.
    static std::size_t footprint(const Graphic& graphic) {
        return std::max(static_cast<std::size_t>(graphic.bytes), graphic.image.packed().size());
    }

    void store_graphic(const Command& command, std::string_view rest) {
        auto close = rest.rfind('"');
        if (!command.binary || rest.size() < 2 || rest[0] != '"' || close == 0 ||
            close == std::string_view::npos) {
            warn(command, "GM: expected a name in double quotes and the file size");
            return;
        }
        std::string name(rest.substr(1, close - 1));
        auto size = to_int(rest.substr(close + 1));
        if (!size) {
            warn(command,
                 "GM: file size \"" + printable(rest.substr(close + 1)) + "\" is not a number");
            return;
        }
        if (*size < 0 || static_cast<std::size_t>(*size) > kMaxRasterBytes) {
            warn(command, "GM: graphic \"" + printable(name) + "\" is larger than the " +
                              std::to_string(kMaxRasterBytes) + "-byte limit; not stored");
            return;
        }
        if (command.payload.size() < static_cast<std::size_t>(*size)) return;  // reported as short
        DecodedPcx decoded = decode_pcx(command.payload);
        if (!decoded.error.empty()) {
            warn(command, "GM: graphic \"" + printable(name) + "\": " + decoded.error);
            if (decoded.image.width() == 0) return;
        }
        Graphic graphic{std::move(decoded.image), *size, 0};
        graphic.memory = footprint(graphic);
        auto replaced = graphics_.find(name);
        std::size_t freed = replaced == graphics_.end() ? 0 : replaced->second.memory;
        if (stored_bytes_ - freed + graphic.memory > kMaxStoredBytes) {
            warn(command, "GM: graphic \"" + printable(name) +
                              "\" would take stored graphics beyond " +
                              std::to_string(kMaxStoredBytes) + " bytes; not stored");
            return;
        }
        forget(graphics_, stored_bytes_, name);
        stored_bytes_ += graphic.memory;
        graphics_[name] = std::move(graphic);
    }

    void print_graphic(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 3)) return;
        auto at = position(command, *fields);
        if (!at) return;
        const std::string& name = fields->list[2].text;
        auto graphic = graphics_.find(name);
        if (graphic == graphics_.end()) {
            warn(command, "GG: recall of unknown graphic \"" + printable(name) + "\"");
            return;
        }
        place(command, graphic->second.image, at->x, at->y, 0, Paint::black);
    }

    void raster(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 4)) return;
        auto at = position(command, *fields);
        auto row_bytes = number(command, *fields, 2, "bytes per row", 1, kMaxLabelWidthDots / 8);
        auto rows = number(command, *fields, 3, "rows", 1, kMaxLabelLengthDots);
        if (!at || !row_bytes || !rows) return;
        if (!command.binary) {
            warn(command, "GW: the raster must follow the fourth parameter and its comma");
            return;
        }
        Bitmap image(*row_bytes * 8, *rows);
        const auto& data = command.payload;
        for (std::size_t i = 0; i < data.size() && i < static_cast<std::size_t>(*row_bytes * *rows);
             ++i)
            for (int bit = 0; bit < 8; ++bit)
                if (!((data[i] >> (7 - bit)) & 1))
                    image.set(static_cast<int>(i % static_cast<std::size_t>(*row_bytes)) * 8 + bit,
                              static_cast<int>(i / static_cast<std::size_t>(*row_bytes)), true);
        place(command, image, at->x, at->y, 0, Paint::black);
    }

    // ---- lines and boxes -------------------------------------------------------------------

    void line(const Command& command, std::string_view rest, Paint how) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 4)) return;
        auto at = position(command, *fields);
        auto width = number(command, *fields, 2, "width", 1, 65535);
        auto height = number(command, *fields, 3, "height", 1, 65535);
        if (at && width && height) fill(command, at->x, at->y, *width, *height, how);
    }
    void line_black(const Command& command, std::string_view rest) {
        line(command, rest, Paint::black);
    }
    void line_invert(const Command& command, std::string_view rest) {
        line(command, rest, Paint::invert);
    }
    void line_white(const Command& command, std::string_view rest) {
        line(command, rest, Paint::white);
    }

    void box(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 5)) return;
        auto start = position(command, *fields);
        auto thickness = number(command, *fields, 2, "line thickness", 0, 65535);
        auto x2 = number(command, *fields, 3, "horizontal end", -65535, 65535);
        auto y2 = number(command, *fields, 4, "vertical end", -65535, 65535);
        if (!start || !thickness || !x2 || !y2) return;
        int x1 = start->x, y1 = start->y;
        if (*thickness == 0) {
            warn(command, "X: line thickness 0 draws nothing");
            return;
        }
        if (*x2 < x1 || *y2 < y1) {
            warn(command, "X: end corner lies above or left of the start corner");
            if (*x2 < x1) std::swap(x1, *x2);
            if (*y2 < y1) std::swap(y1, *y2);
        }
        long w = *x2 - x1, h = *y2 - y1, t = *thickness;
        fill(command, x1, y1, w, std::min(t, h), Paint::black);
        fill(command, x1, *y2 - std::min(t, h), w, std::min(t, h), Paint::black);
        fill(command, x1, y1, std::min(t, w), h, Paint::black);
        fill(command, *x2 - std::min(t, w), y1, std::min(t, w), h, Paint::black);
    }

    // ---- text, barcodes and symbols --------------------------------------------------------

    void text(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 8)) return;
        auto at = position(command, *fields);
        auto rotation = number(command, *fields, 2, "rotation", 0, 3);
        auto font = number(command, *fields, 3, "font", 1, kResidentFonts);
        auto h_mult = number(command, *fields, 4, "horizontal multiplier", 1, 8);
        auto v_mult = number(command, *fields, 5, "vertical multiplier", 1, 9);
        const std::string& reverse = fields->list[6].text;
        if (reverse != "N" && reverse != "R") {
            warn(command, "A: reverse \"" + printable(reverse) + "\" is neither N nor R");
            return;
        }
        auto data = field_data(command, fields->list[7]);
        if (!at || !rotation || !font || !h_mult || !v_mult || !data) return;
        // Characters past the longest label side cannot show; they are not drawn either.
        auto advance = static_cast<std::size_t>(resident_cell(*font, summary_.dpi).width * *h_mult);
        auto longest = static_cast<std::size_t>(2 * kMaxLabelLengthDots) / advance;
        if (data->size() > longest) {
            warn(command, "A: text of " + std::to_string(data->size()) + " characters is cut to " +
                              std::to_string(longest));
            data->resize(longest);
        }
        place(command, glyphs_.text(*font, summary_.dpi, *data), at->x, at->y, *rotation,
              reverse == "R" ? Paint::reverse : Paint::black, {*h_mult, *v_mult});
    }

    // The interpretation line under the bars: the largest resident font that fits their width.
    Bitmap with_human_readable(const Bitmap& bars, const std::string& text) {
        constexpr int kGapDots = 2;
        int font = 2;
        while (font > 1 && resident_cell(font, summary_.dpi).width * static_cast<int>(text.size()) >
                               bars.width())
            --font;
        CellSize cell = resident_cell(font, summary_.dpi);
        auto fitting = static_cast<std::size_t>(std::max(0, bars.width() / cell.width));
        Bitmap line = glyphs_.text(font, summary_.dpi, std::string_view(text).substr(0, fitting));
        Bitmap block(bars.width(), bars.height() + kGapDots + line.height());
        for (int y = 0; y < bars.height(); ++y)
            for (int x = 0; x < bars.width(); ++x)
                if (bars.black(x, y)) block.set(x, y, true);
        int left = (bars.width() - line.width()) / 2;
        for (int y = 0; y < line.height(); ++y)
            for (int x = 0; x < line.width(); ++x)
                if (line.black(x, y)) block.set(left + x, bars.height() + kGapDots + y, true);
        return block;
    }

    void barcode(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields || !expect_count(command, *fields, 9)) return;
        auto at = position(command, *fields);
        auto rotation = number(command, *fields, 2, "rotation", 0, 3);
        const std::string& code = fields->list[3].text;
        auto narrow = number(command, *fields, 4, "narrow bar width", 1, 99);
        auto wide = number(command, *fields, 5, "wide bar width", 1, 99);
        auto height = number(command, *fields, 6, "bar height", 1, kMaxLabelLengthDots);
        const std::string& readable = fields->list[7].text;
        if (!known_barcode_code(code))
            warn(command, "B: unknown barcode type \"" + printable(code) + "\"");
        if (readable != "B" && readable != "N")
            warn(command, "B: human readable \"" + printable(readable) + "\" is neither B nor N");
        auto data = field_data(command, fields->list[8]);
        if (!at || !rotation || !narrow || !wide || !height || !data || !known_barcode_code(code) ||
            (readable != "B" && readable != "N"))
            return;
        Symbol symbol = linear_barcode(code, *data, *narrow, *wide, *height);
        if (!symbol.error.empty()) {
            warn(command, "B: data \"" + printable(*data) + "\" is not valid for type " + code +
                              ": " + symbol.error);
            return;
        }
        Bitmap image = readable == "B" ? with_human_readable(symbol.image, symbol.human_readable)
                                       : symbol.image;
        place(command, image, at->x, at->y, *rotation, Paint::black);
    }

    void symbol(const Command& command, std::string_view rest) {
        auto fields = fields_of(command, rest);
        if (!fields) return;
        if (fields->list.size() < 4) {
            warn(command, "b: expected position, type, options and data");
            return;
        }
        auto at = position(command, *fields);
        auto data = field_data(command, fields->list.back());
        if (!at || !data) return;
        const std::string& type = fields->list[2].text;
        std::vector<Field> options(fields->list.begin() + 3, fields->list.end() - 1);
        if (type == "M")
            maxicode_symbol(command, options, at->x, at->y, *data);
        else if (type == "P")
            pdf417_symbol(command, options, at->x, at->y, *data);
        else
            warn(command, "b: unknown symbol type \"" + printable(type) + "\"");
    }

    // class,country,postal code[,extension],message
    void maxicode_symbol(const Command& command, const std::vector<Field>& options, int x, int y,
                         const std::string& data) {
        for (const auto& option : options)
            warn(command, "b: unknown MaxiCode option \"" + printable(option.text) + "\"");
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            auto comma = data.find(',', start);
            if (comma == std::string::npos) break;
            parts.push_back(data.substr(start, comma - start));
            start = comma + 1;
        }
        parts.push_back(data.substr(start));
        auto digits = [](const std::string& s) {
            return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (parts.size() < 4 || parts[0].size() != 3 || parts[1].size() != 3 || !digits(parts[1]) ||
            parts[2].empty()) {
            warn(command, "b: MaxiCode data \"" + printable(data) +
                              "\" is not class,country,postal code,message");
            return;
        }
        CarrierMessage carrier{parts[0], parts[1], parts[2], parts[3]};
        // A five-digit postal code may carry its four-digit extension as a field of its own.
        if (parts.size() == 5) {
            if (parts[2].size() == 5 && digits(parts[2]) && parts[3].size() == 4 &&
                digits(parts[3])) {
                carrier.postal_code += parts[3];
                carrier.message = parts[4];
            } else {
                carrier.message = parts[3] + "," + parts[4];
            }
        }
        Symbol symbol = maxicode(carrier, summary_.dpi);
        if (!symbol.error.empty()) {
            warn(command, "b: MaxiCode cannot be encoded: " + symbol.error);
            return;
        }
        place(command, symbol.image, x, y, 0, Paint::black);
    }

    // width,height,options...: sN security, xN module width, yN row height, rN rows, lN columns,
    // t truncated, oN rotation; f and c are accepted and change nothing here.
    void pdf417_symbol(const Command& command, const std::vector<Field>& options, int x, int y,
                       const std::string& data) {
        if (options.size() < 2 || !to_int(options[0].text) || !to_int(options[1].text)) {
            warn(command, "b: PDF417 needs its width and height limits before the options");
            return;
        }
        Pdf417Options pdf;
        int rotation = 0;
        for (std::size_t i = 2; i < options.size(); ++i) {
            const std::string& option = options[i].text;
            auto value =
                option.size() > 1 ? to_int(std::string_view(option).substr(1)) : std::nullopt;
            char letter = option.empty() ? '\0' : option[0];
            if (letter == 't' && option.size() == 1) {
                pdf.truncated = true;
                continue;
            }
            if (!value || *value < 0) {
                warn(command, "b: PDF417 option \"" + printable(option) + "\" is malformed");
                continue;
            }
            static const std::map<char, int Pdf417Options::*> kSizes = {
                {'s', &Pdf417Options::security},
                {'x', &Pdf417Options::module_width},
                {'y', &Pdf417Options::row_height},
                {'r', &Pdf417Options::rows},
                {'l', &Pdf417Options::columns}};
            if (auto size = kSizes.find(letter); size != kSizes.end())
                pdf.*(size->second) = *value;
            else if (letter == 'o' && *value <= 3)
                rotation = *value;
            else if (letter != 'f' && letter != 'c')
                warn(command,
                     "b: unknown or out-of-range PDF417 option \"" + printable(option) + "\"");
        }
        if (pdf.module_width < 1 || pdf.module_width > 99 || pdf.row_height < 1 ||
            pdf.row_height > 999) {
            warn(command, "b: PDF417 module width or row height out of range");
            return;
        }
        Symbol symbol = pdf417(data, pdf);
        if (!symbol.error.empty()) {
            warn(command, "b: PDF417 cannot be encoded: " + symbol.error);
            return;
        }
        place(command, symbol.image, x, y, rotation, Paint::black);
    }

    Summary summary_;
    Diagnostics diagnostics_;
    GlyphRenderer glyphs_;
    Bitmap buffer_;
    std::vector<Label> labels_;
    std::map<std::string, Form> forms_;
    std::size_t form_commands_ = 0;  // commands in all of forms_
    std::optional<std::string> storing_;
    std::size_t storing_offset_ = 0, storing_line_ = 1;
    Form storing_form_;
    std::optional<PendingRecall> pending_;
    std::map<int, std::string> variables_;
    bool replaying_ = false;
    bool drawn_ = false;  // objects drawn since the image buffer was last cleared
    std::map<std::string, Graphic> graphics_;
    std::size_t stored_bytes_ = 0;  // memory of the stored graphics
    std::size_t label_bytes_ = 0;   // image bytes of the labels kept
    // Dots painted, plus bytes of image buffer cleared or copied: what the stream has cost.
    std::uint64_t work_ = 0;
    bool out_of_work_ = false;
};

}  // namespace

Job interpret(std::span<const std::uint8_t> stream, const Options& options) {
    return Printer(options).run(stream);
}

std::string summary_text(const Summary& summary) {
    auto or_unset = [](const std::string& value) {
        return value.empty() ? std::string("-") : value;
    };
    std::string text;
    text += "resolution: " + std::to_string(summary.dpi) + " dpi\n";
    text += "label: " + std::to_string(summary.width) + " x " + std::to_string(summary.length) +
            " dots, " + (summary.gap == 0 && !summary.black_mark ? "continuous" : "") +
            (summary.black_mark ? "black mark " : "") +
            (summary.gap > 0 || summary.black_mark ? "gap " + std::to_string(summary.gap) : "") +
            summary.gap_offset + "\n";
    text += "reference point: " + std::to_string(summary.reference_x) + "," +
            std::to_string(summary.reference_y) + "\n";
    text += std::string("print direction: ") + (summary.top_first ? "ZT" : "ZB") + "\n";
    text += "darkness: " + or_unset(summary.darkness) + ", speed: " + or_unset(summary.speed) +
            ", options: " + or_unset(summary.options) + ", backup: " + or_unset(summary.backup) +
            ", feed adjust: " + or_unset(summary.feed_adjust) +
            ", memory: " + or_unset(summary.memory) + "\n";
    for (const auto& [name, commands] : summary.forms)
        text += "form \"" + name + "\": " + std::to_string(commands) + " commands\n";
    for (const auto& [name, bytes] : summary.graphics)
        text += "graphic \"" + name + "\": " + std::to_string(bytes) + " bytes\n";
    text += "labels: " + std::to_string(summary.labels) +
            ", copies: " + std::to_string(summary.copies) + "\n";
    return text;
}

}  // namespace eplview
