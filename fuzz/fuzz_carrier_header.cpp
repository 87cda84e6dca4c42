// MaxiCode data of any content: the carrier header in front of it, the parameter string built
// from it, and the b line that drawbar sends (and, for the same data, PDF417's). The data is the
// user's, so it may hold quotes, backslashes and line breaks that must not break out of the quoted
// field.
//
// Input: one byte that sizes the parameter buffer, then the symbol data.
#include <array>
#include <optional>
#include <vector>

#include "barcode/barcode.h"
#include "barcode/carrier_header.h"
#include "barcode/symbol2d.h"
#include "fuzz_support.h"

namespace {

using epl2::fuzz::require;
using epl2::fuzz::without_line_breaks;

// The header's columns, as a user types them: P postal code, E the ZIP code's extension, C a
// digit of the country, S the class of service, a space where a separator must stand.
constexpr std::string_view zip_columns = "PPPPP EEEE CCC SSS ";
constexpr std::string_view long_postal_columns = "PPPPPP CCC SSS ";

// The characters of the data in the columns marked letter.
std::string column(std::string_view data, std::string_view columns, char letter) {
    std::string text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i] == letter) text.push_back(data[i]);
    }
    return text;
}

bool fits(std::string_view data, std::string_view columns) {
    return data.size() >= columns.size() &&
           column(data, columns, ' ').find_first_not_of(' ') == std::string::npos &&
           column(data, columns, 'C').find_first_not_of("0123456789") == std::string::npos;
}

// A space in column 6 ends a six-character postal code, even where a ZIP code's extension would
// start. The header is accepted exactly when the data fits those columns, and each view then holds
// its columns (the postal code without the spaces that pad it), the message the rest.
void check_header(std::string_view data, bool parsed, const epl2::CarrierHeader& h) {
    const std::string_view columns =
        data.size() > 6 && data[6] == ' ' ? long_postal_columns : zip_columns;
    require(parsed == fits(data, columns), "accepted exactly when the columns and country fit");
    if (!parsed) return;
    std::string postal_code = column(data, columns, 'P');
    while (postal_code.size() > 1 && postal_code.back() == ' ') postal_code.pop_back();
    require(h.postal_code == postal_code && h.extension == column(data, columns, 'E') &&
                h.country == column(data, columns, 'C') &&
                h.service_class == column(data, columns, 'S'),
            "each view holds its columns");
    require(h.header_end + 1 == columns.size() && h.message(data) == data.substr(columns.size()),
            "the message follows the header's last separator");
}

// The parameter string holds exactly the header's fields and the message, in the printer's
// order, safe inside the quotes; one that does not fit its buffer is refused whole, never sent
// cut.
void check_parameters(std::string_view data, std::size_t capacity, bool parsed,
                      const epl2::CarrierHeader& h) {
    std::vector<char> out(capacity);
    const bool written = epl2::write_maxicode_parameters(out, data);
    require(parsed || !written, "no parameters without a carrier header");
    if (!parsed) return;
    std::vector<char> roomy(epl2::fuzz::escaped_length(data) + 64);
    require(epl2::write_maxicode_parameters(roomy, data), "a parsed header always writes");
    const std::string_view content(roomy.data());
    std::string fields = std::string(h.service_class) + "," + std::string(h.country) + "," +
                         std::string(h.postal_code) + ",";
    if (!h.extension.empty()) fields += std::string(h.extension) + ",";
    std::string plain;
    require(epl2::fuzz::read_quoted_content(content, plain) &&
                plain == without_line_breaks(fields + std::string(h.message(data))),
            "parameters carry the fields and the message as one field");
    require(written ? content == std::string_view(out.data()) : content.size() + 1 > capacity,
            "a string is whole, or refused only when it does not fit");
}

// The content of the quoted field that closes the b line drawbar sends for a symbol with this
// data, in the form-building pass of a printer with stored forms; nothing when no line was sent.
std::optional<std::string> symbol_field(std::int32_t symbology, std::string_view data,
                                        std::string_view printer_code) {
    epl2::native::NativeHost host;
    epl2::fuzz::begin_pass(host, 1, 0);
    host.record().set(epl2::record::form_store_enabled, 1);
    const std::string text(data);
    std::array<std::byte, epl2::barcode_object_size> block{};
    const epl2::BarcodeObjectView object(block.data());
    object.set(epl2::barcode_object::symbology, symbology);
    object.set(epl2::barcode_object::data, host.word(text.c_str()));
    epl2::drawbar(host.job(), host.word(block.data()));
    const std::string line = host.take_output();
    if (line.empty()) return std::nullopt;

    const std::string_view ending = "\"\n\r\n";
    require(line.starts_with("b") && line.find(printer_code) != std::string::npos &&
                line.ends_with(ending) &&
                line.find_first_of("\r\n") == line.size() - ending.size() + 1,
            "one b line for the symbol, closed by its quoted field");
    const std::size_t opening = line.find('"');
    return line.substr(opening + 1, line.size() - opening - 1 - ending.size());
}

// MaxiCode is sent exactly when the parameters fit object_data, and then carries them. PDF417
// takes the same data unparsed: it ends the line as the one quoted field, whole, or the symbol is
// not sent; a short one always fits behind the options.
void check_symbol_lines(std::string_view data) {
    std::array<char, epl2::record::object_data.width> parameters{};
    const bool fits_object_data = epl2::write_maxicode_parameters(parameters, data);
    const auto maxicode = symbol_field(epl2::symbology::maxicode, data, ",M,\"");
    require(fits_object_data ? maxicode == std::string_view(parameters.data()) : !maxicode,
            "MaxiCode sends its parameters exactly when they fit");

    const std::string sendable = without_line_breaks(data);
    const auto pdf417 = symbol_field(epl2::symbology::pdf417, data, ",P,");
    std::string plain;
    require(pdf417 ? epl2::fuzz::read_quoted_content(*pdf417, plain) && plain == sendable
                   : epl2::fuzz::escaped_length(sendable) > 200,
            "PDF417 carries its whole data, and a short symbol is always sent");
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
    check_symbol_lines(host_data);
    return 0;
}
