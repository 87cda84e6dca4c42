// A second opinion on a driver stream, independent of eplview: every line a command the driver
// sends, every quoted field closed, and the binary data after GW and GM exactly as long as
// announced, with the next command right behind it.
#pragma once

#include <array>
#include <charconv>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace epl2::wellformed {

struct StreamFault {
    std::size_t line = 0;  // 1-based, counting line feeds
    std::string message;
};

struct StreamShape {
    std::vector<StreamFault> faults;
    std::size_t print_commands = 0;
};

namespace detail {

// The commands a driver stream may hold, by name: two-letter names first.
inline constexpr std::array<std::string_view, 10> two_letter_commands = {
    "FK", "FS", "FE", "FR", "GK", "GM", "GG", "GW", "LO", "LE"};
inline constexpr std::string_view one_letter_commands = "NPQqRZDSOJjMXABb";

inline bool known_command(std::string_view line) {
    for (std::string_view name : two_letter_commands) {
        if (line.starts_with(name)) return true;
    }
    // A two-letter family with another second letter is not one of the driver's.
    if (line.size() >= 2 && (line[0] == 'F' || line[0] == 'G' || line[0] == 'L')) return false;
    return one_letter_commands.find(line[0]) != std::string_view::npos;
}

// Whether every quoted field of the line is closed: inside quotes a backslash takes the next
// byte literally.
inline bool quotes_closed(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == '\\') {
            ++i;
            if (i == line.size()) return false;
        } else if (line[i] == '"') {
            quoted = !quoted;
        }
    }
    return !quoted;
}

// Reads "N," at pos; advances pos past the comma.
inline std::optional<long> number_then_comma(std::string_view s, std::size_t& pos) {
    long value = 0;
    const char* begin = s.data() + pos;
    const auto [end, error] = std::from_chars(begin, s.data() + s.size(), value);
    if (error != std::errc() || end == s.data() + s.size() || *end != ',') return std::nullopt;
    pos += static_cast<std::size_t>(end - begin) + 1;
    return value;
}

}  // namespace detail

inline StreamShape check_stream(std::string_view s) {
    StreamShape shape;
    std::size_t line = 1;
    std::size_t pos = 0;
    const auto fault = [&](std::string message) {
        shape.faults.push_back({line, std::move(message)});
    };
    // Binary data of `size` bytes from `at`, then the CR LF that ends the command.
    const auto skip_data = [&](std::size_t at, std::size_t size, const char* what) -> bool {
        if (s.size() - at < size + 2 || s.substr(at + size, 2) != "\r\n") {
            fault(std::string(what) + " data is not exactly its announced " + std::to_string(size) +
                  " bytes followed by CR LF");
            return false;
        }
        for (std::size_t i = pos; i < at + size; ++i) line += s[i] == '\n';
        pos = at + size;
        return true;
    };
    while (pos < s.size()) {
        if (s[pos] == '\r' || s[pos] == '\n') {
            line += s[pos] == '\n';
            ++pos;
            continue;
        }
        const std::string_view rest = s.substr(pos);
        if (rest.starts_with("GW")) {
            std::size_t at = pos + 2;
            std::array<long, 4> p{};
            bool ok = true;
            for (long& v : p) {
                const auto n = detail::number_then_comma(s, at);
                ok = ok && n.has_value();
                if (!ok) break;
                v = *n;
            }
            if (!ok || p[2] < 0 || p[3] < 0) {
                fault("GW without four numeric parameters");
                break;
            }
            if (!skip_data(at, static_cast<std::size_t>(p[2] * p[3]), "GW")) break;
            continue;
        }
        const std::size_t end = std::min(s.find('\n', pos), s.size());
        std::string_view text = s.substr(pos, end - pos);
        while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (!detail::known_command(text)) {
            fault("unknown command \"" + std::string(text.substr(0, 40)) + "\"");
        } else if (!detail::quotes_closed(text)) {
            fault("unterminated quoted field in \"" + std::string(text.substr(0, 40)) + "\"");
        }
        if (text[0] == 'P' && text.size() > 1 && text[1] >= '0' && text[1] <= '9')
            ++shape.print_commands;
        pos = end;
        if (text.starts_with("GM")) {
            // GM"NAME"size CR LF, then the file.
            const std::size_t close = text.find('"', 3);
            long size = -1;
            if (close != std::string_view::npos) {
                const std::string_view digits = text.substr(close + 1);
                std::from_chars(digits.data(), digits.data() + digits.size(), size);
            }
            if (size < 0) {
                fault("GM without a size");
                break;
            }
            if (pos < s.size()) {
                line += 1;
                ++pos;
            }
            if (!skip_data(pos, static_cast<std::size_t>(size), "GM")) break;
        }
    }
    return shape;
}

}  // namespace epl2::wellformed
