// Barcode and symbol data as it travels between the double quotes of a B or b command line.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/format.h"
#include "core/quoted_field.h"

namespace epl2 {

// The part of text from pos, at most n bytes, clamped to the text: string_view::substr would
// throw, and the module has no exceptions.
constexpr std::string_view slice(std::string_view text, std::size_t pos,
                                 std::size_t n = std::string_view::npos) noexcept {
    pos = pos < text.size() ? pos : text.size();
    const std::size_t rest = text.size() - pos;
    return {text.data() + pos, n < rest ? n : rest};
}

// Bytes of data that reach the printer, line breaks left out.
std::size_t sent_length(std::string_view data) noexcept;

// Writes at most max_bytes bytes of data (line breaks left out, not counted) as the printer reads
// them inside a quoted field: '"' and '\' each behind a backslash, which makes the printer take the
// next byte literally. Returns the number of data bytes written, escapes not counted.
std::size_t put_quoted_data(BoundedWriter& out, std::string_view data,
                            std::size_t max_bytes = std::string_view::npos) noexcept;

}  // namespace epl2
