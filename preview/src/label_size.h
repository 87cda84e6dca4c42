// The label size a caller gives (eplview's --size, the web API's size parameter): WIDTHxLENGTH in
// whole dots (812x1218), or in inches or millimetres named after the pair (4x6in,
// 101.6x152.4mm), converted at the resolution chosen.
#pragma once

#include <optional>
#include <string_view>

namespace eplview {

struct LabelSize {
    int width = 0;   // dots
    int length = 0;  // dots
};

// Nothing when the text is not such a size or a side is not from 1 dot to eplview's caps.
std::optional<LabelSize> parse_label_size(std::string_view text, int dpi);

}  // namespace eplview
