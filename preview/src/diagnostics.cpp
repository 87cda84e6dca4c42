#include "diagnostics.h"

#include <algorithm>
#include <cctype>

namespace eplview {
namespace {

// The message with its numbers set aside: what makes warnings alike. Quoted stream text and the
// digits of a name (V01, UA0) stay, so that warnings about different things stay apart.
std::string kind_of(const std::string& message) {
    std::string kind;
    bool quoted = false, in_name = false;
    for (char c : message) {
        auto byte = static_cast<unsigned char>(c);
        bool digit = std::isdigit(byte) != 0;
        in_name = std::isalpha(byte) != 0 || (digit && in_name);
        if (c == '"') quoted = !quoted;
        if (!digit || quoted || in_name)
            kind += c;
        else if (kind.empty() || kind.back() != '#')
            kind += '#';
    }
    return kind;
}

}  // namespace

void Diagnostics::warn(std::size_t offset, std::size_t line, std::string message) {
    if (!first_time(offset, message)) return;
    std::string kind = kind_of(message);
    if (!warnings_.empty() && kind == last_kind_) {
        bool first_repeat = warnings_.back().repeats++ == 0;
        first_repeat_line_ = first_repeat ? line : std::min(first_repeat_line_, line);
        last_repeat_line_ = first_repeat ? line : std::max(last_repeat_line_, line);
        return;
    }
    if (warnings_.size() >= max_warnings) return;
    close_run();
    warnings_.push_back({offset, line, std::move(message)});
    last_kind_ = std::move(kind);
}

void Diagnostics::note(std::size_t offset, std::size_t line, std::string message) {
    notes_.push_back({offset, line, std::move(message)});
}

std::vector<Warning> Diagnostics::take() {
    close_run();
    last_kind_.clear();
    return std::move(warnings_);
}

// Positions are remembered up to the cap on warnings, so that a stream of endless warnings cannot
// grow the set without bound; beyond it only the ones remembered are recognised.
bool Diagnostics::first_time(std::size_t offset, const std::string& message) {
    if (seen_.size() >= max_warnings) return !seen_.count({offset, message});
    return seen_.emplace(offset, message).second;
}

// The last warning kept gets the account of those folded into it.
void Diagnostics::close_run() {
    if (warnings_.empty() || warnings_.back().repeats == 0) return;
    Warning& last = warnings_.back();
    std::string lines = first_repeat_line_ == last_repeat_line_
                            ? "line " + std::to_string(first_repeat_line_)
                            : "lines " + std::to_string(first_repeat_line_) + " to " +
                                  std::to_string(last_repeat_line_);
    last.message += " ... and " + std::to_string(last.repeats) + " more like it on " + lines;
}

}  // namespace eplview
