#include "barcode/quoted_data.h"

namespace epl2 {

std::size_t sent_length(std::string_view data) noexcept {
    std::size_t n = 0;
    for (char c : data) {
        if (!is_line_break(c)) ++n;
    }
    return n;
}

std::size_t put_quoted_data(BoundedWriter& out, std::string_view data,
                            std::size_t max_bytes) noexcept {
    std::size_t n = 0;
    for (char c : data) {
        if (n == max_bytes) break;
        if (is_line_break(c)) continue;
        put_quoted_character(out, c);
        ++n;
    }
    return n;
}

}  // namespace epl2
