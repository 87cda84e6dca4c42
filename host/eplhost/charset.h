// The character sets of a job. Labels and records hold UTF-8 text; a printer reads one byte per
// character, in the 8-bit code page it has selected. So every job starts by selecting a page, and
// every text and datum goes to the module converted into that page; a character the page does
// not hold is refused, never replaced.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace epl2::eplhost {

struct CodePage {
    std::string_view name;      // as --charset and the label's printer section name it
    int number;                 // the system's number of the page, for its converters
    std::string_view selector;  // the printer's number of the page: p2 of its I command
};

// Windows 1252: the euro sign, dashes, typographic quotes and the letters of Western Europe.
const CodePage& default_code_page();

// By name ("cp850", "windows-1252"), number ("850") or "cp" and number, case-insensitive;
// nullptr for a page the printer cannot select.
const CodePage* find_code_page(std::string_view name);

// "windows-1252, windows-1250, ...": every page, for messages.
std::string code_page_names();

// Whether this system can convert text into the page.
bool can_convert_to(const CodePage& page);

// The printer command that selects the page, on a line of its own.
std::string select_code_page(const CodePage& page);

// Text in a code page, or why it cannot be.
struct PageText {
    std::string bytes;
    std::string fault;  // empty when every character converted
};

// Valid UTF-8 in the page. The fault names the first character the page lacks, by its place,
// itself and its code point, and the first page that holds it.
PageText to_code_page(std::string_view utf8, const CodePage& page);

// Where the first byte lies that does not belong to a well-formed UTF-8 character.
std::optional<std::size_t> invalid_utf8_at(std::string_view text);

// How a CSV records file spells its text.
enum class DataEncoding { utf8, latin1 };

// "utf-8" or "latin1" (also "utf8", "latin-1", "iso-8859-1"), case-insensitive.
std::optional<DataEncoding> find_data_encoding(std::string_view name);

// ISO-8859-1 text as UTF-8.
std::string latin1_to_utf8(std::string_view text);

}  // namespace epl2::eplhost
