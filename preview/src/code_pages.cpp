#include "code_pages.h"

#include <iconv.h>

#include <cstdint>

namespace eplview {
namespace {

// Every 8-bit page the I command selects, by its second parameter.
constexpr CodePage code_pages[] = {
    {"0", 437, "DOS 437"},        // English - US
    {"1", 850, "DOS 850"},        // Latin 1
    {"2", 852, "DOS 852"},        // Latin 2 (Cyrillic II / Slavic)
    {"3", 860, "DOS 860"},        // Portuguese
    {"4", 863, "DOS 863"},        // French Canadian
    {"5", 865, "DOS 865"},        // Nordic
    {"6", 857, "DOS 857"},        // Turkish
    {"7", 861, "DOS 861"},        // Icelandic
    {"8", 862, "DOS 862"},        // Hebrew
    {"9", 855, "DOS 855"},        // Cyrillic
    {"10", 866, "DOS 866"},       // Cyrillic CIS 1
    {"11", 737, "DOS 737"},       // Greek
    {"12", 851, "DOS 851"},       // Greek 1
    {"13", 869, "DOS 869"},       // Greek 2
    {"A", 1252, "Windows 1252"},  // Latin 1
    {"B", 1250, "Windows 1250"},  // Latin 2
    {"C", 1251, "Windows 1251"},  // Cyrillic
    {"D", 1253, "Windows 1253"},  // Greek
    {"E", 1254, "Windows 1254"},  // Turkish
    {"F", 1255, "Windows 1255"},  // Hebrew
};

constexpr CodePage seven_bit{"", 0, "7-bit data"};

// One byte of the page through the system's converter; 0 when the page leaves it undefined.
char32_t converted(iconv_t converter, unsigned char byte) {
    char in = static_cast<char>(byte);
    char* in_at = &in;
    std::size_t in_left = 1;
    unsigned char out[4] = {};
    char* out_at = reinterpret_cast<char*>(out);
    std::size_t out_left = sizeof out;
    auto failed = static_cast<std::size_t>(-1);
    bool ok = ::iconv(converter, &in_at, &in_left, &out_at, &out_left) != failed;
    // A converter that holds a letter back, to combine it with a following point (Hebrew in
    // Windows 1255), gives it up here; this also leaves the converter clean for the next byte.
    ok = ::iconv(converter, nullptr, nullptr, &out_at, &out_left) != failed && ok;
    if (!ok || out_left != 0) return 0;
    return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

}  // namespace

const CodePage& default_code_page() {
    return code_pages[0];
}

const CodePage& seven_bit_data() {
    return seven_bit;
}

const CodePage* find_code_page(std::string_view selector) {
    for (const CodePage& page : code_pages)
        if (page.selector == selector) return &page;
    return nullptr;
}

// The lower half is ASCII in every page; it stays so when the system lacks the page's converter.
PageCharacters page_characters(const CodePage& page) {
    PageCharacters characters{};
    for (unsigned byte = 0; byte < first_upper_byte; ++byte) characters[byte] = byte;
    if (page.number == 0) return characters;
    std::string name = "CP" + std::to_string(page.number);
    iconv_t converter = ::iconv_open("UTF-32LE", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) return characters;
    for (unsigned byte = first_upper_byte; byte < characters.size(); ++byte)
        characters[byte] = converted(converter, static_cast<unsigned char>(byte));
    ::iconv_close(converter);
    return characters;
}

std::size_t utf8_sequence_at(std::string_view bytes, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    auto lead = byte(0);
    std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > bytes.size()) return 0;
    // The second byte's range rules out overlong forms (E0, F0), surrogates (ED) and characters
    // past U+10FFFF (F4).
    unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

char32_t decode_utf8(std::string_view sequence) {
    if (sequence.empty()) return 0;
    auto lead = static_cast<unsigned char>(sequence[0]);
    char32_t character = sequence.size() == 1 ? lead : lead & (0x7Fu >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i)
        character = character << 6 | (static_cast<unsigned char>(sequence[i]) & 0x3Fu);
    return character;
}

std::string encode_utf8(char32_t character) {
    auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (character < 0x80) return {byte(character)};
    if (character < 0x800) return {byte(0xC0 | character >> 6), byte(0x80 | (character & 0x3F))};
    if (character < 0x10000)
        return {byte(0xE0 | character >> 12), byte(0x80 | (character >> 6 & 0x3F)),
                byte(0x80 | (character & 0x3F))};
    return {byte(0xF0 | character >> 18), byte(0x80 | (character >> 12 & 0x3F)),
            byte(0x80 | (character >> 6 & 0x3F)), byte(0x80 | (character & 0x3F))};
}

}  // namespace eplview
