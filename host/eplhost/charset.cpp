#include "charset.h"

#include <algorithm>
#include <cstdio>

#include "errors.h"
#include "letter_case.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// Every page the printer's I command selects, but DOS 851 (Greek 1), for which Windows has no
// converter. A character a page lacks is looked for in this order: the Windows pages first, as
// they hold the most letters and the typographic signs.
constexpr CodePage code_pages[] = {
    {"windows-1252", 1252, "A"},  // Latin 1
    {"windows-1250", 1250, "B"},  // Latin 2
    {"windows-1251", 1251, "C"},  // Cyrillic
    {"windows-1253", 1253, "D"},  // Greek
    {"windows-1254", 1254, "E"},  // Turkish
    {"windows-1255", 1255, "F"},  // Hebrew
    {"cp437", 437, "0"},          // English-US, the page printers start in
    {"cp850", 850, "1"},          // Latin 1
    {"cp852", 852, "2"},          // Latin 2
    {"cp860", 860, "3"},          // Portuguese
    {"cp863", 863, "4"},          // French Canadian
    {"cp865", 865, "5"},          // Nordic
    {"cp857", 857, "6"},          // Turkish
    {"cp861", 861, "7"},          // Icelandic
    {"cp862", 862, "8"},          // Hebrew
    {"cp855", 855, "9"},          // Cyrillic
    {"cp866", 866, "10"},         // Cyrillic CIS
    {"cp737", 737, "11"},         // Greek
    {"cp869", 869, "13"},         // Greek 2
};

// The I command's other two values: 8-bit data, and the country code of the keyboard display
// unit, which only that unit reads (001, USA, as the printer starts).
constexpr std::string_view eight_bit_data = "8";
constexpr std::string_view kdu_country = "001";

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct Character {
    char32_t code_point = 0;
    std::size_t length = 0;  // its bytes; 0 when the bytes at that place form none
};

// RFC 3629: no overlong forms, no surrogates, nothing beyond U+10FFFF.
Character utf8_character_at(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    // The lead byte's high bits give the length; each length has a smallest code point.
    const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0) return {};
    if (at + length > text.size()) return {};
    char32_t code_point = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if (!is_continuation_byte(text[at + i])) return {};
        code_point = code_point << 6 | (next & 0x3Fu);
    }
    if (code_point < smallest[length] || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF))
        return {};
    return {code_point, length};
}

// "character 9, "€" (U+20AC)": its place among the characters, counted from 1.
std::string describe_character(std::string_view utf8, std::size_t at) {
    const std::string_view before = utf8.substr(0, at);
    const auto place = 1 + std::count_if(before.begin(), before.end(),
                                         [](char c) { return !is_continuation_byte(c); });
    const Character c = utf8_character_at(utf8, at);
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c.code_point));
    return "character " + std::to_string(place) + ", \"" + std::string(utf8.substr(at, c.length)) +
           "\" (" + code + ")";
}

// The first page that holds the character, as the user would name it.
std::string page_holding(std::string_view character) {
    for (const CodePage& page : code_pages) {
        if (os::convert_from_utf8(character, page.number).result ==
            os::Conversion::Result::converted)
            return "--charset " + std::string(page.name) + " holds it";
    }
    return "no code page of the printer holds it";
}

}  // namespace

const CodePage& default_code_page() {
    return code_pages[0];
}

const CodePage* find_code_page(std::string_view name) {
    const std::string wanted = lower_case(name);
    for (const CodePage& page : code_pages) {
        const std::string number = std::to_string(page.number);
        if (wanted == page.name || wanted == number || wanted == "cp" + number) return &page;
    }
    return nullptr;
}

std::string code_page_names() {
    std::string names;
    for (const CodePage& page : code_pages)
        names += (names.empty() ? "" : ", ") + std::string(page.name);
    return names;
}

bool can_convert_to(const CodePage& page) {
    return os::convert_from_utf8("", page.number).result != os::Conversion::Result::unavailable;
}

// The line feed first ends whatever line an earlier job may have left unfinished.
std::string select_code_page(const CodePage& page) {
    return "\nI" + std::string(eight_bit_data) + "," + std::string(page.selector) + "," +
           std::string(kdu_country) + "\n";
}

PageText to_code_page(std::string_view utf8, const CodePage& page) {
    // ASCII is the same in every page the printer selects.
    if (is_ascii(utf8)) return {std::string(utf8), {}};
    os::Conversion converted = os::convert_from_utf8(utf8, page.number);
    switch (converted.result) {
        case os::Conversion::Result::converted:
            return {std::move(converted.bytes), {}};
        case os::Conversion::Result::unconvertible: {
            // The start of the character the converter stopped at; one that stopped at the very
            // end names the last.
            std::size_t at = std::min(converted.offset, utf8.size() - 1);
            while (at > 0 && is_continuation_byte(utf8[at])) --at;
            const std::size_t length = utf8_character_at(utf8, at).length;
            return {{},
                    describe_character(utf8, at) + ", is not in code page " +
                        std::string(page.name) + "; " + page_holding(utf8.substr(at, length))};
        }
        case os::Conversion::Result::unavailable:
            break;
    }
    return {{}, "this system cannot convert text to code page " + std::string(page.name)};
}

std::optional<std::size_t> invalid_utf8_at(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_character_at(text, at).length;
        if (length == 0) return at;
        at += length;
    }
    return std::nullopt;
}

std::optional<DataEncoding> find_data_encoding(std::string_view name) {
    const std::string wanted = lower_case(name);
    if (wanted == "utf-8" || wanted == "utf8") return DataEncoding::utf8;
    if (wanted == "latin1" || wanted == "latin-1" || wanted == "iso-8859-1")
        return DataEncoding::latin1;
    return std::nullopt;
}

std::string latin1_to_utf8(std::string_view text) {
    if (is_ascii(text)) return std::string(text);
    os::Conversion converted = os::convert_to_utf8(text, os::code_page_latin1);
    // Every byte is a Latin-1 character: only a system without the converter fails here.
    if (converted.result != os::Conversion::Result::converted)
        fail(ExitCode::bad_input, "this system cannot convert ISO-8859-1 text to UTF-8");
    return std::move(converted.bytes);
}

}  // namespace epl2::eplhost
