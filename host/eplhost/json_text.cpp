#include "json_text.h"

#include <fstream>
#include <iterator>

#include "errors.h"

namespace epl2::eplhost {

namespace {

// A byte offset of a text as "line 3, column 15".
std::string text_position(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i + 1 < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Thrown from the parser callback: nlohmann lets it through and drops what it had built.
struct TooDeep {};

std::string explanation(const nlohmann::json::parse_error& e) {
    std::string what = e.what();
    // nlohmann's message starts with its own error id and position; keep the explanation.
    if (const auto p = what.find("syntax error"); p != std::string::npos) return what.substr(p);
    return what;
}

std::string quoted_literal(std::string_view what) {
    const auto open = what.find('\'');
    const auto close = what.rfind('\'');
    if (open == std::string_view::npos || close <= open) return {};
    return std::string(what.substr(open + 1, close - open - 1));
}

// Long enough to recognise the number, short enough for one line of message.
std::string shortened(const std::string& literal) {
    constexpr std::size_t shown = 24;
    return literal.size() <= shown ? literal : literal.substr(0, shown) + "...";
}

// Where the nesting first goes past the limit, found by counting brackets outside strings.
std::size_t too_deep_offset(std::string_view text) {
    std::size_t depth = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            if (++depth > max_json_depth) return i + 1;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return text.size();
}

}  // namespace

nlohmann::json parse_json(std::string_view text, const std::filesystem::path& source) {
    const auto limit_depth = [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        if (event == nlohmann::json::parse_event_t::object_start ||
            event == nlohmann::json::parse_event_t::array_start) {
            if (static_cast<std::size_t>(depth) >= max_json_depth) throw TooDeep{};
        }
        return true;
    };
    try {
        return nlohmann::json::parse(text, limit_depth);
    } catch (const nlohmann::json::parse_error& e) {
        fail(ExitCode::bad_input, source.string() + ": malformed JSON at " +
                                      text_position(text, e.byte) + ": " + explanation(e));
    } catch (const nlohmann::json::out_of_range& e) {
        // Only a number beyond a double's range gets here; nlohmann quotes it but gives no place.
        const std::string literal = quoted_literal(e.what());
        const std::size_t at = literal.empty() ? std::string_view::npos : text.find(literal);
        fail(ExitCode::bad_input,
             source.string() + ": the number " + shortened(literal) + " is too large" +
                 (at == std::string_view::npos ? "" : " at " + text_position(text, at + 1)));
    } catch (const TooDeep&) {
        fail(ExitCode::bad_input, source.string() + ": JSON nested more than " +
                                      std::to_string(max_json_depth) + " levels deep at " +
                                      text_position(text, too_deep_offset(text)));
    }
}

std::optional<std::string> whole_number_text(const nlohmann::json& value) {
    if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
    if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
    return {};
}

std::ifstream open_input_file(const std::filesystem::path& file) {
    // A folder opens like a file here and reads as nothing: say what it is instead.
    if (std::error_code ignored; std::filesystem::is_directory(file, ignored))
        fail(ExitCode::bad_input, file.string() + ": is a folder, not a file");
    std::ifstream in(file, std::ios::binary);
    if (!in) fail(ExitCode::bad_input, file.string() + ": cannot be read (missing?)");
    return in;
}

std::string read_input_file(const std::filesystem::path& file) {
    std::ifstream in = open_input_file(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace epl2::eplhost
