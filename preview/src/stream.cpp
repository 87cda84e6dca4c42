#include "stream.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace eplview {
namespace {

struct Announced {
    std::size_t header_end = 0;  // index after the last header byte
    std::string text;
    std::size_t size = 0;
};

bool starts_with(std::span<const std::uint8_t> bytes, std::size_t pos, std::string_view prefix) {
    if (bytes.size() - pos < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), bytes.begin() + static_cast<long>(pos));
}

std::optional<long> parse_long(std::string_view text) {
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Bytes per row times rows, held at the largest size rather than wrapping round to a small one.
std::size_t announced_bytes(std::size_t row_bytes, std::size_t rows) {
    if (row_bytes != 0 && rows > std::numeric_limits<std::size_t>::max() / row_bytes)
        return std::numeric_limits<std::size_t>::max();
    return row_bytes * rows;
}

// GWx,y,bytes_per_row,rows, : the raster starts right after the fourth comma, or after the line
// end when the parameters end with one instead.
std::optional<Announced> raster_header(std::span<const std::uint8_t> bytes, std::size_t pos) {
    constexpr std::size_t longest_header = 64;
    std::vector<std::string> values(1);
    for (std::size_t i = pos + 2; i < bytes.size() && i < pos + longest_header; ++i) {
        char c = static_cast<char>(bytes[i]);
        if (c == '\r') continue;
        if (c == '\n' && values.size() < 4) return std::nullopt;
        if (c != ',' && c != '\n') {
            values.back() += c;
            continue;
        }
        if (values.size() < 4) {
            values.emplace_back();
            continue;
        }
        auto row_bytes = parse_long(values[2]);
        auto rows = parse_long(values[3]);
        if (!parse_long(values[0]) || !parse_long(values[1]) || !row_bytes || !rows ||
            *row_bytes < 0 || *rows < 0)
            return std::nullopt;
        Announced header;
        header.header_end = i + 1;
        header.text = "GW" + values[0] + "," + values[1] + "," + values[2] + "," + values[3];
        header.size =
            announced_bytes(static_cast<std::size_t>(*row_bytes), static_cast<std::size_t>(*rows));
        return header;
    }
    return std::nullopt;
}

// GM"NAME"size, then the line end, then size bytes of the file.
std::optional<Announced> store_header(std::span<const std::uint8_t> bytes, std::size_t pos) {
    auto line_end = std::find(bytes.begin() + static_cast<long>(pos), bytes.end(), '\n');
    std::string text(bytes.begin() + static_cast<long>(pos), line_end);
    while (!text.empty() && text.back() == '\r') text.pop_back();
    auto close = text.rfind('"');
    if (text.size() < 4 || text[2] != '"' || close == 2) return std::nullopt;
    auto size = parse_long(std::string_view(text).substr(close + 1));
    if (!size || *size < 0) return std::nullopt;
    Announced header;
    header.header_end = line_end == bytes.end()
                            ? bytes.size()
                            : static_cast<std::size_t>(line_end - bytes.begin()) + 1;
    header.text = text;
    header.size = static_cast<std::size_t>(*size);
    return header;
}

class Splitter {
   public:
    Splitter(std::span<const std::uint8_t> bytes, Diagnostics& diagnostics, const CommandSink& sink,
             bool complete_only = false)
        : bytes_(bytes), diagnostics_(diagnostics), sink_(sink), complete_only_(complete_only) {}

    // The bytes taken; with complete_only it stops before a command whose line end or data has
    // not all arrived.
    std::size_t run() {
        while (pos_ < bytes_.size()) {
            auto c = bytes_[pos_];
            if (c == '\r' || c == '\n') {
                advance_to(pos_ + 1);
                continue;
            }
            if (complete_only_ && !complete_from(pos_)) break;
            if (starts_with(bytes_, pos_, "GW")) {
                if (auto header = raster_header(bytes_, pos_)) {
                    take_raster(*header);
                    continue;
                }
            } else if (starts_with(bytes_, pos_, "GM")) {
                if (auto header = store_header(bytes_, pos_)) {
                    take_stored_file(*header);
                    continue;
                }
            }
            take_line();
        }
        hand_over();
        return pos_;
    }

   private:
    // Whether the command at pos has arrived whole: its line end, and for GW and GM all their
    // announced data and the line end after a raster.
    bool complete_from(std::size_t pos) const {
        const std::size_t line_end = line_end_from(pos);
        if (line_end == bytes_.size()) return false;
        std::optional<Announced> header;
        if (starts_with(bytes_, pos, "GW"))
            header = raster_header(bytes_, pos);
        else if (starts_with(bytes_, pos, "GM"))
            header = store_header(bytes_, pos);
        if (!header) return true;
        if (header->size > bytes_.size() - header->header_end) return false;
        const std::size_t end = header->header_end + header->size;
        return starts_with(bytes_, pos, "GM") || line_end_from(end) < bytes_.size();
    }

    void advance_to(std::size_t pos) {
        line_ +=
            static_cast<std::size_t>(std::count(bytes_.begin() + static_cast<long>(pos_),
                                                bytes_.begin() + static_cast<long>(pos), '\n'));
        pos_ = pos;
    }

    // The previous command is complete once the next one begins.
    Command& begin_command(std::string text) {
        hand_over();
        current_ = Command{pos_, line_, std::move(text), {}, false};
        holding_ = true;
        return current_;
    }

    void hand_over() {
        if (holding_) sink_(std::move(current_));
        holding_ = false;
    }

    std::size_t line_end_from(std::size_t pos) const {
        auto end = std::find(bytes_.begin() + static_cast<long>(pos), bytes_.end(), '\n');
        return static_cast<std::size_t>(end - bytes_.begin());
    }

    void take_line() {
        auto end = line_end_from(pos_);
        std::string text(bytes_.begin() + static_cast<long>(pos_),
                         bytes_.begin() + static_cast<long>(end));
        while (!text.empty() && text.back() == '\r') text.pop_back();
        begin_command(std::move(text));
        advance_to(end);
    }

    // Takes the announced payload, or what the stream holds of it, and reports a shortfall.
    std::size_t take_payload(Command& command, std::size_t from, std::size_t size) {
        command.binary = true;
        auto available = std::min(size, bytes_.size() - from);
        if (available < size)
            warn(command, command.text.substr(0, 2) +
                              " data is shorter than announced: " + std::to_string(size) +
                              " bytes announced, " + std::to_string(available) + " present");
        if (size <= max_raster_bytes)
            command.payload.assign(bytes_.begin() + static_cast<long>(from),
                                   bytes_.begin() + static_cast<long>(from + available));
        return from + available;
    }

    void take_raster(const Announced& header) {
        auto& command = begin_command(header.text);
        auto end = take_payload(command, header.header_end, header.size);
        if (end < bytes_.size() && !is_line_end(end)) {
            // The line end must follow the raster at once. If one appears inside the announced
            // raster instead, the data was short and the line end belongs to it; otherwise extra
            // bytes follow the raster.
            auto inner = line_end_from(header.header_end);
            if (inner < end) {
                auto present = inner - header.header_end;
                if (present > 0 && bytes_[inner - 1] == '\r') --present;
                warn(command, "GW data is shorter than announced: " + std::to_string(header.size) +
                                  " bytes announced, " + std::to_string(present) + " present");
                command.payload.resize(present);
                advance_to(inner);
                return;
            }
            auto next = line_end_from(end);
            warn(command, "GW data is longer than announced: " +
                              std::to_string(next - end - (bytes_[next - 1] == '\r' ? 1 : 0)) +
                              " bytes beyond the " + std::to_string(header.size) + " announced");
            end = next;
        }
        advance_to(end);
    }

    void take_stored_file(const Announced& header) {
        auto& command = begin_command(header.text);
        advance_to(take_payload(command, header.header_end, header.size));
    }

    bool is_line_end(std::size_t pos) const { return bytes_[pos] == '\r' || bytes_[pos] == '\n'; }

    void warn(const Command& command, std::string message) {
        diagnostics_.warn(command.offset, command.line, std::move(message));
    }

    std::span<const std::uint8_t> bytes_;
    Diagnostics& diagnostics_;
    const CommandSink& sink_;
    Command current_;
    bool holding_ = false;  // current_ is a command not yet handed over
    const bool complete_only_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

}  // namespace

void for_each_command(std::span<const std::uint8_t> stream, Diagnostics& diagnostics,
                      const CommandSink& sink) {
    Splitter(stream, diagnostics, sink).run();
}

std::size_t for_each_complete_command(std::span<const std::uint8_t> stream,
                                      Diagnostics& diagnostics, const CommandSink& sink) {
    return Splitter(stream, diagnostics, sink, true).run();
}

std::vector<Command> split_commands(std::span<const std::uint8_t> stream,
                                    Diagnostics& diagnostics) {
    std::vector<Command> commands;
    for_each_command(stream, diagnostics,
                     [&commands](Command&& command) { commands.push_back(std::move(command)); });
    return commands;
}

Fields split_fields(std::string_view parameters) {
    Fields fields;
    fields.list.emplace_back();
    bool in_quotes = false;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        char c = parameters[i];
        auto& field = fields.list.back();
        if (in_quotes) {
            if (c == '\\' && i + 1 < parameters.size())
                field.text += parameters[++i];
            else if (c == '"')
                in_quotes = false;
            else
                field.text += c;
        } else if (c == '"') {
            in_quotes = true;
            field.quoted = true;
        } else if (c == ',') {
            fields.list.emplace_back();
        } else {
            field.text += c;
        }
    }
    fields.unterminated = in_quotes;
    return fields;
}

}  // namespace eplview
