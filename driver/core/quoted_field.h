// The quoted DATA field that text, barcode and symbol lines share: what it must never contain and
// how a character that would end it is protected.
#pragma once

#include "core/format.h"

namespace epl2 {

// The printer takes the byte after a backslash literally inside a quoted field.
inline constexpr char escape_character = '\\';

// Whether c needs a backslash before it: a bare quote would end the field, a bare backslash
// would protect the closing quote.
constexpr bool needs_escape(char c) noexcept {
    return c == '"' || c == escape_character;
}

// CR and LF would end the command line inside the data and let the rest of it reach the printer
// as commands; they are never part of what is sent.
constexpr bool is_line_break(char c) noexcept {
    return c == '\r' || c == '\n';
}

// One data character as it goes into the field: nothing for a line break, a backslash before a
// character that needs one.
inline void put_quoted_character(BoundedWriter& out, char c) noexcept {
    if (is_line_break(c)) return;
    if (needs_escape(c)) out.put(escape_character);
    out.put(c);
}

}  // namespace epl2
