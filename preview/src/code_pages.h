// The character sets the printer's I command selects: which character each byte of a text field
// prints. Ip1,p2,p3 takes the data bits (8, or 7, where bytes of 0x80 and above print nothing),
// the 8-bit code page (0 to 13: DOS pages, A to F: Windows pages) and the country code of the
// keyboard display unit, which only that unit reads. Printers start in DOS 437 (I8,0,001).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace eplview {

struct CodePage {
    std::string_view selector;  // the I command's second parameter
    int number;                 // DOS or Windows page number: 437, 1252, ...; 0: 7-bit data
    std::string_view name;      // as warnings name it
};

// Bytes below this are ASCII in every page; from it up the pages differ, and 7-bit data prints
// nothing.
inline constexpr unsigned first_upper_byte = 0x80;

// DOS 437, the page printers use until a stream selects another.
const CodePage& default_code_page();
// 7-bit data: ASCII only.
const CodePage& seven_bit_data();
// The 8-bit page the I command's second parameter selects; none for an unknown one.
const CodePage* find_code_page(std::string_view selector);

// The Unicode character each byte of a page prints; 0 where the page has none.
using PageCharacters = std::array<char32_t, 256>;
PageCharacters page_characters(const CodePage& page);

// The length of the valid UTF-8 sequence of two to four bytes that starts at `at` (lead byte 0xC2
// to 0xF4, no overlong form, no surrogate, nothing past U+10FFFF); 0 when none starts there.
std::size_t utf8_sequence_at(std::string_view bytes, std::size_t at);

// The character a valid UTF-8 sequence encodes.
char32_t decode_utf8(std::string_view sequence);
std::string encode_utf8(char32_t character);

}  // namespace eplview
