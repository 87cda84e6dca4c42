// MaxiCode data of any content: the carrier header in front of it, the parameter string built
// from it, and the b line that drawbar sends (and, for the same data, PDF417's). The data is the
// user's, so it may hold quotes, backslashes and line breaks that must not break out of the quoted
// field.
//
// Input: one byte that sizes the parameter buffer, then the symbol data.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/barcode.h"
#include "barcode/carrier_header.h"
#include "barcode/symbol2d.h"
#include "fuzz_support.h"
#include "native_host.h"
#include "setup/capabilities.h"

namespace {

using epl2::fuzz::require;

// An empty view points nowhere the driver reads.
bool lies_inside(std::string_view part, std::string_view data) {
    if (part.empty()) return true;
    return part.data() >= data.data() && part.data() + part.size() <= data.data() + data.size();
}

bool all_digits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The header's columns: a postal code from column 0, a ZIP code's extension, country and class of
// service, each field followed by a space.
struct Layout {
    std::size_t postal_length;
    std::size_t extension_length;
    std::size_t country_at;
    std::size_t class_at;
    std::size_t end;  // the separator before the message
};
constexpr Layout zip_layout{5, 4, 11, 15, 18};
constexpr Layout long_postal_layout{6, 0, 7, 11, 14};

bool space_at(std::string_view data, std::size_t column) {
    return column < data.size() && data[column] == ' ';
}

// A space right after five characters ends a six-character postal code, whatever follows.
const Layout& layout_of(std::string_view data) {
    return space_at(data, long_postal_layout.postal_length) ? long_postal_layout : zip_layout;
}

bool follows(std::string_view data, const Layout& l) {
    for (std::size_t separator : {l.postal_length, l.country_at - 1, l.class_at - 1, l.end}) {
        if (!space_at(data, separator)) return false;
    }
    return all_digits(data.substr(l.country_at, 3));
}

std::string_view without_padding(std::string_view postal_code) {
    while (postal_code.size() > 1 && postal_code.back() == ' ') postal_code.remove_suffix(1);
    return postal_code;
}

bool same_place(std::string_view a, std::string_view b) {
    return a.data() == b.data() && a.size() == b.size();
}

// Every view is a piece of the data; the header is accepted exactly when the data follows its
// layout's columns with a three-digit country, and then each view is its column.
void check_header(std::string_view data, bool parsed, const epl2::CarrierHeader& h) {
    for (std::string_view part : {h.postal_code, h.extension, h.country, h.service_class}) {
        require(lies_inside(part, data), "header views lie inside the data");
    }
    require(lies_inside(h.message(data), data), "the message lies inside the data");
    const Layout& l = layout_of(data);
    require(parsed == follows(data, l), "accepted exactly when the columns and country fit");
    if (!parsed) return;
    require(same_place(h.postal_code, without_padding(data.substr(0, l.postal_length))),
            "postal code from column 0 without its padding");
    require(h.extension.size() == l.extension_length &&
                (h.extension.empty() || same_place(h.extension, data.substr(6, 4))),
            "an extension only after a ZIP code");
    require(same_place(h.country, data.substr(l.country_at, 3)), "the country in its columns");
    require(same_place(h.service_class, data.substr(l.class_at, 3)), "the class in its columns");
    require(h.header_end == l.end, "the header ends at its separator");
    require(same_place(h.message(data), data.substr(l.end + 1)), "the message runs to the end");
}

// The fields the printer reads back from the parameter string, in its order.
std::string fields_of(std::string_view data, const epl2::CarrierHeader& h) {
    using epl2::fuzz::without_line_breaks;
    std::string fields = without_line_breaks(h.service_class) + "," +
                         without_line_breaks(h.country) + "," + without_line_breaks(h.postal_code) +
                         ",";
    if (!h.extension.empty()) fields += without_line_breaks(h.extension) + ",";
    return fields + without_line_breaks(h.message(data));
}

// The parameter string holds exactly the header's fields and the message, safe inside the
// quotes; one that does not fit its buffer is refused whole, never sent cut.
void check_parameters(std::string_view data, std::size_t capacity, bool parsed,
                      const epl2::CarrierHeader& h) {
    std::vector<char> out(capacity);
    const bool written = epl2::write_maxicode_parameters(out, data);
    if (!parsed) {
        require(!written, "no parameters without a carrier header");
        return;
    }
    std::vector<char> roomy(epl2::fuzz::escaped_length(data) + 64);
    require(epl2::write_maxicode_parameters(roomy, data), "a parsed header always writes");
    const std::string_view content(roomy.data());
    std::string plain;
    require(epl2::fuzz::read_quoted_content(content, plain), "parameters stand as one field");
    require(plain == fields_of(data, h), "parameters carry the fields and the message");
    if (written) {
        require(content == std::string_view(out.data()), "a string that fits is whole");
    } else {
        require(content.size() + 1 > capacity, "refused only when it does not fit");
    }
}

// The b line that drawbar sends for a symbol with this data, in the form-building pass of a
// printer with stored forms.
std::string symbol_line(std::int32_t symbology, std::string_view data) {
    epl2::native::NativeHost host;
    const epl2::RecordView r = host.record();
    r.set(epl2::record::printer_type, 1);
    epl2::prtsetup(host.job());
    r.set(epl2::record::form_mode, 0);
    r.set(epl2::record::form_store_enabled, 1);
    host.take_output();

    const std::string text(data);
    std::array<std::byte, epl2::barcode_object_size> block{};
    const epl2::BarcodeObjectView object(block.data());
    object.set(epl2::barcode_object::symbology, symbology);
    object.set(epl2::barcode_object::data, host.word(text.c_str()));
    epl2::drawbar(host.job(), host.word(block.data()));
    return host.take_output();
}

// One command line whose last parameter is a quoted field; returns that field's content.
std::string_view closing_field(std::string_view line, std::string_view printer_code) {
    const std::string_view ending = "\"\n\r\n";
    require(line.starts_with("b") && line.find(printer_code) != std::string_view::npos,
            "a b line for the symbol");
    require(line.ends_with(ending), "the quoted field closes the line");
    require(line.find_first_of("\r\n") == line.size() - ending.size() + 1,
            "no line break inside the line");
    const std::size_t opening = line.find('"');
    return line.substr(opening + 1, line.size() - opening - 1 - ending.size());
}

// MaxiCode: sent exactly when the parameters fit object_data, and then as one line with one
// quoted field.
void check_maxicode_line(std::string_view data) {
    const std::string line = symbol_line(epl2::symbology::maxicode, data);
    std::array<char, epl2::record::object_data.width> parameters{};
    if (!epl2::write_maxicode_parameters(parameters, data)) {
        require(line.empty(), "nothing sent for refused data");
        return;
    }
    require(closing_field(line, ",M,\"") == std::string_view(parameters.data()),
            "the line carries the parameters");
}

// PDF417 takes the same data unparsed: it ends the line as the one quoted field, whole, or the
// symbol is not sent; a short one always fits behind the options.
void check_pdf417_line(std::string_view data) {
    const std::string line = symbol_line(epl2::symbology::pdf417, data);
    const std::string sendable = epl2::fuzz::without_line_breaks(data);
    if (line.empty()) {
        require(epl2::fuzz::escaped_length(sendable) > 200, "a short PDF417 symbol is sent");
        return;
    }
    std::string plain;
    require(epl2::fuzz::read_quoted_content(closing_field(line, ",P,"), plain) && plain == sendable,
            "the symbol carries its whole data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    epl2::fuzz::ByteReader in(data, size);
    const std::size_t capacity = in.byte() + std::size_t{1};
    const std::string_view symbol_data = in.rest();

    epl2::CarrierHeader header;
    const bool parsed = epl2::parse_carrier_header(symbol_data, header);
    check_header(symbol_data, parsed, header);

    // What a host can hand over ends at the first NUL.
    const std::string_view host_data = epl2::fuzz::host_string(symbol_data);
    const bool host_parsed = epl2::parse_carrier_header(host_data, header);
    check_parameters(host_data, capacity, host_parsed, header);
    check_maxicode_line(host_data);
    check_pdf417_line(host_data);
    return 0;
}
