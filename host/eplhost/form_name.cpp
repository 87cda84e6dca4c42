#include "form_name.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace epl2::eplhost {

namespace {

// The module drops these from a label name as it makes the form name ("SHIP.LBL" names the
// form SHIPLBL).
bool left_out(char c) {
    return c == '.' || c == ' ';
}

// A shortened name ends in "~" and this many base-36 digits of its hash.
constexpr char shortened_mark = '~';
constexpr std::size_t hash_digits = 3;
constexpr std::string_view base36_digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// FNV-1a: a short, stable hash of the whole name.
std::uint32_t name_hash(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

bool continues_character(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;  // a UTF-8 continuation byte
}

// The longest start of the text within `limit` bytes that ends between two characters.
std::string_view whole_characters(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text;
    while (limit > 0 && continues_character(text[limit])) --limit;
    return text.substr(0, limit);
}

}  // namespace

std::string form_name_problem(std::string_view name) {
    if (name.empty()) return "is empty; the label's stored form needs a name";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"')
            return "holds a double quote, which cannot be part of a form name (the printer reads "
                   "the name between quotes)";
        if (c == '\\')
            return "holds a backslash, which cannot be part of a form name (the printer would "
                   "read it as an escape)";
        if (byte < 0x20 || byte == 0x7F)
            return "holds a control character, which cannot be part of a form name";
    }
    if (std::all_of(name.begin(), name.end(), left_out))
        return "holds only dots and spaces, which form names leave out";
    return {};
}

std::string form_name_for(std::string_view name) {
    std::string kept;
    std::copy_if(name.begin(), name.end(), std::back_inserter(kept),
                 [](char c) { return !left_out(c); });
    if (kept.size() <= max_form_name) return kept;
    std::string shortened(whole_characters(kept, max_form_name - 1 - hash_digits));
    shortened += shortened_mark;
    std::uint32_t hash = name_hash(name);
    for (std::size_t i = 0; i < hash_digits; ++i) {
        shortened += base36_digits[hash % base36_digits.size()];
        hash /= static_cast<std::uint32_t>(base36_digits.size());
    }
    return shortened;
}

}  // namespace epl2::eplhost
