#include "symbologies.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>

#include "core/symbology.h"
#include "letter_case.h"

namespace epl2::eplhost {

namespace {

constexpr Symbology symbologies[] = {
    {"UPC-A", symbology::upc_a, BarcodeKind::upc_a},
    {"UPC-E", symbology::upc_e, BarcodeKind::upc_e},
    {"EAN-13", symbology::ean13, BarcodeKind::ean13},
    {"EAN-8", symbology::ean8, BarcodeKind::ean8},
    {"Code 128", symbology::code128, BarcodeKind::code128},
    {"SSCC", symbology::code128, BarcodeKind::sscc},
    {"GS1-128", symbology::ucc_ean128, BarcodeKind::gs1_128},
    {"Codabar", symbology::codabar, BarcodeKind::codabar},
    {"Interleaved 2 of 5", symbology::interleaved_2_of_5, BarcodeKind::interleaved_2_of_5},
    {"Code 39", symbology::code39, BarcodeKind::code39},
    {"Code 93", symbology::code93, BarcodeKind::code93},
    {"Postnet", symbology::postnet, BarcodeKind::postnet},
};

bool digits_only(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string in_quotes(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    out += s;
    out += '"';
    return out;
}

BarcodeData refuse(std::string problem) {
    return {{}, std::move(problem)};
}

// ---- UPC and EAN ----------------------------------------------------------------------------

struct UpcEanShape {
    std::size_t digits;  // without the check digit, as the printer takes them
    const char* name;
};

UpcEanShape upc_ean_shape(BarcodeKind kind) {
    switch (kind) {
        case BarcodeKind::upc_a:
            return {11, "UPC-A"};
        case BarcodeKind::upc_e:
            return {6, "UPC-E"};
        case BarcodeKind::ean13:
            return {12, "EAN-13"};
        default:
            return {7, "EAN-8"};
    }
}

// A UPC-E number's check digit is that of the UPC-A number it stands for.
std::string upc_e_expanded(std::string_view six) {
    const char last = six[5];
    const std::string d(six);
    switch (last) {
        case '0':
        case '1':
        case '2':
            return "0" + d.substr(0, 2) + last + "0000" + d.substr(2, 3);
        case '3':
            return "0" + d.substr(0, 3) + "00000" + d.substr(3, 2);
        case '4':
            return "0" + d.substr(0, 4) + "00000" + d.substr(4, 1);
        default:
            return "0" + d.substr(0, 5) + "0000" + last;
    }
}

std::string upc_ean_expected_lengths(const UpcEanShape& shape, int addon_digits) {
    std::string text = std::to_string(shape.digits) + " digits, or " +
                       std::to_string(shape.digits + 1) + " with the check digit";
    if (shape.digits == 6)
        text = "6 digits, or 7 with the number system 0, or 8 with its check digit";
    if (addon_digits == 0) return text;
    return text + ", then the " + std::to_string(addon_digits) + " add-on digits";
}

BarcodeData check_upc_ean(BarcodeKind kind, std::string_view data, int addon_digits) {
    const UpcEanShape shape = upc_ean_shape(kind);
    const std::string expected =
        shape.name + std::string(" takes ") + upc_ean_expected_lengths(shape, addon_digits);
    if (!digits_only(data))
        return refuse(std::string(shape.name) + " encodes digits only, not " + in_quotes(data));
    if (data.size() < static_cast<std::size_t>(addon_digits))
        return refuse(expected + "; " + in_quotes(data) + " is too short");
    const std::string_view addon =
        data.substr(data.size() - static_cast<std::size_t>(addon_digits));
    std::string_view main = data.substr(0, data.size() - addon.size());
    const std::size_t extra = kind == BarcodeKind::upc_e ? 2 : 1;
    if (main.size() < shape.digits || main.size() > shape.digits + extra) {
        const std::size_t shortest = shape.digits + addon.size();
        return refuse(expected + " (" + std::to_string(shortest) + (extra == 1 ? " or " : " to ") +
                      std::to_string(shortest + extra) + " digits in all), not " +
                      std::to_string(data.size()));
    }
    if (kind == BarcodeKind::upc_e && main.size() > shape.digits) {
        if (main.front() != '0') {
            return refuse(
                "UPC-E prints number system 0 only: 7 or 8 digits must begin with 0, not " +
                in_quotes(main));
        }
        main.remove_prefix(1);
    }
    if (main.size() > shape.digits) {
        const std::string_view body = main.substr(0, shape.digits);
        const char check =
            gs1_check_digit(kind == BarcodeKind::upc_e ? upc_e_expanded(body) : std::string(body));
        if (main.back() != check) {
            return refuse("the check digit of " + std::string(body) + " is " + check + ", not " +
                          main.back() + "; give " + std::to_string(shape.digits) +
                          " digits and the printer adds it");
        }
        main = body;
    }
    return {std::string(main) + std::string(addon), {}};
}

// ---- character sets ---------------------------------------------------------------------------

constexpr std::string_view code39_set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ -.$/+%";
constexpr std::string_view codabar_data_set = "0123456789-$:/.+";
constexpr std::string_view codabar_guards = "ABCD";

std::optional<char> first_outside(std::string_view data, std::string_view set) {
    for (const char c : data) {
        if (set.find(c) == std::string_view::npos) return c;
    }
    return std::nullopt;
}

std::string describe_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    std::string out;
    if (u >= 0x20 && u < 0x7F) {
        out += '\'';
        out += c;
        out += '\'';
        return out;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    out = "byte 0x";
    out += hex[u >> 4];
    out += hex[u & 15];
    return out;
}

BarcodeData check_character_set(std::string_view data, std::string_view set, const char* name,
                                const char* allowed) {
    if (const auto c = first_outside(data, set)) {
        return refuse(std::string(name) + " cannot encode " + describe_char(*c) + "; it takes " +
                      allowed);
    }
    return {std::string(data), {}};
}

BarcodeData check_codabar(std::string_view data) {
    const auto guard = [](char c) { return codabar_guards.find(c) != std::string_view::npos; };
    if (data.size() < 3 || !guard(data.front()) || !guard(data.back())) {
        return refuse(
            "Codabar data starts and ends with a start/stop character A, B, C or D (as "
            "in \"A40156B\"), not " +
            in_quotes(data));
    }
    const BarcodeData inner =
        check_character_set(data.substr(1, data.size() - 2), codabar_data_set, "Codabar",
                            "digits and - $ : / . + between its start and stop characters");
    if (!inner.problem.empty()) return inner;
    return {std::string(data), {}};
}

// Printable ASCII: a control character would end the printer's command line, and bytes above
// 127 have no Code 128 character of their own.
BarcodeData check_code128(std::string_view data, const char* name) {
    for (const char c : data) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E)
            return refuse(std::string(name) + " cannot encode " + describe_char(c) +
                          "; it takes printable ASCII characters");
    }
    return {std::string(data), {}};
}

// ---- GS1 application identifiers --------------------------------------------------------------

struct ApplicationIdentifier {
    std::string_view prefix;  // the identifier, or its first digits for a family (310n)
    std::size_t ai_length;
    std::size_t min, max;  // data length
    bool numeric;
    bool check_digit;
};

// The identifiers of logistic labels; each fixed-length one with its length, each variable one
// with its maximum.
constexpr ApplicationIdentifier application_identifiers[] = {
    {"00", 2, 18, 18, true, true},   {"01", 2, 14, 14, true, true},
    {"02", 2, 14, 14, true, true},   {"10", 2, 1, 20, false, false},
    {"11", 2, 6, 6, true, false},    {"12", 2, 6, 6, true, false},
    {"13", 2, 6, 6, true, false},    {"15", 2, 6, 6, true, false},
    {"16", 2, 6, 6, true, false},    {"17", 2, 6, 6, true, false},
    {"20", 2, 2, 2, true, false},    {"21", 2, 1, 20, false, false},
    {"22", 2, 1, 20, false, false},  {"240", 3, 1, 30, false, false},
    {"241", 3, 1, 30, false, false}, {"250", 3, 1, 30, false, false},
    {"251", 3, 1, 30, false, false}, {"30", 2, 1, 8, true, false},
    {"31", 4, 6, 6, true, false},    {"32", 4, 6, 6, true, false},
    {"33", 4, 6, 6, true, false},    {"34", 4, 6, 6, true, false},
    {"35", 4, 6, 6, true, false},    {"36", 4, 6, 6, true, false},
    {"37", 2, 1, 8, true, false},    {"400", 3, 1, 30, false, false},
    {"401", 3, 1, 30, false, false}, {"402", 3, 17, 17, true, true},
    {"403", 3, 1, 30, false, false}, {"41", 3, 13, 13, true, true},
    {"420", 3, 1, 20, false, false}, {"421", 3, 4, 12, false, false},
    {"422", 3, 3, 3, true, false},   {"8005", 4, 6, 6, true, false},
    {"8018", 4, 18, 18, true, true}, {"90", 2, 1, 30, false, false},
    {"91", 2, 1, 90, false, false},  {"92", 2, 1, 90, false, false},
    {"93", 2, 1, 90, false, false},  {"94", 2, 1, 90, false, false},
    {"95", 2, 1, 90, false, false},  {"96", 2, 1, 90, false, false},
    {"97", 2, 1, 90, false, false},  {"98", 2, 1, 90, false, false},
    {"99", 2, 1, 90, false, false},
};

const ApplicationIdentifier* find_identifier(std::string_view text) {
    for (const ApplicationIdentifier& ai : application_identifiers) {
        if (text.size() >= ai.ai_length && text.starts_with(ai.prefix)) return &ai;
    }
    return nullptr;
}

struct Element {
    std::string ai, value;
};

// "(01)09501101530003(10)AB12" or the same digits without parentheses.
std::optional<std::string> split_elements(std::string_view data, std::vector<Element>& out) {
    while (!data.empty()) {
        Element e;
        const ApplicationIdentifier* ai = nullptr;
        if (data.front() == '(') {
            const auto close = data.find(')');
            if (close == std::string_view::npos) return "a '(' without its ')'";
            e.ai = data.substr(1, close - 1);
            ai = find_identifier(e.ai);
            if (ai == nullptr || ai->ai_length != e.ai.size())
                return "(" + e.ai + ") is not an application identifier eplhost knows";
            data.remove_prefix(close + 1);
            const auto next = data.find('(');
            e.value = data.substr(0, next);
            data.remove_prefix(next == std::string_view::npos ? data.size() : next);
        } else {
            ai = find_identifier(data);
            if (ai == nullptr)
                return in_quotes(data.substr(0, 4)) +
                       " does not begin with a known application identifier";
            e.ai = data.substr(0, ai->ai_length);
            data.remove_prefix(ai->ai_length);
            const std::size_t take = ai->min == ai->max ? ai->max : data.size();
            e.value = data.substr(0, std::min(take, data.size()));
            data.remove_prefix(e.value.size());
        }
        out.push_back(std::move(e));
    }
    return std::nullopt;
}

std::optional<std::string> check_element(const Element& e, bool last) {
    const ApplicationIdentifier& ai = *find_identifier(e.ai);
    const std::string name = "(" + e.ai + ")";
    if (e.value.size() < ai.min || e.value.size() > ai.max) {
        return name + " takes " +
               (ai.min == ai.max ? std::to_string(ai.min)
                                 : std::to_string(ai.min) + " to " + std::to_string(ai.max)) +
               (ai.numeric ? " digits" : " characters") + ", not " +
               std::to_string(e.value.size()) + " (" + in_quotes(e.value) + ")";
    }
    if (ai.numeric && !digits_only(e.value))
        return name + " takes digits only, not " + in_quotes(e.value);
    if (ai.check_digit) {
        const std::string_view body(e.value.data(), e.value.size() - 1);
        const char check = gs1_check_digit(body);
        if (e.value.back() != check)
            return name + ": the check digit of " + std::string(body) + " is " + check + ", not " +
                   e.value.back();
    }
    if (ai.min != ai.max && !last) {
        return name +
               " has a variable length and must come last: the printer's GS1-128 puts no "
               "separator after it";
    }
    return std::nullopt;
}

BarcodeData check_gs1_128(std::string_view data) {
    std::vector<Element> elements;
    if (auto problem = split_elements(data, elements))
        return refuse(
            "GS1-128 data is application identifiers and their values, as in "
            "\"(01)09501101530003(17)251231\": " +
            *problem);
    std::string sent;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (auto problem = check_element(elements[i], i + 1 == elements.size()))
            return refuse("GS1-128 " + *problem);
        const BarcodeData printable = check_code128(elements[i].value, "GS1-128");
        if (!printable.problem.empty()) return printable;
        sent += elements[i].ai + printable.data;
    }
    return {sent, {}};
}

constexpr std::string_view sscc_identifier = "00";
constexpr std::size_t sscc_digits = 18;

BarcodeData check_sscc(std::string_view data) {
    std::string digits(data);
    if (digits.size() == sscc_digits + sscc_identifier.size() &&
        digits.starts_with(sscc_identifier))
        digits.erase(0, sscc_identifier.size());
    if (digits.size() != sscc_digits || !digits_only(digits)) {
        return refuse(
            "an SSCC is 18 digits (or 20 digits beginning with the application "
            "identifier 00), not " +
            in_quotes(data));
    }
    const char check = gs1_check_digit(std::string_view(digits).substr(0, sscc_digits - 1));
    if (digits.back() != check) {
        return refuse("the SSCC's check digit is " + std::string(1, check) + ", not " +
                      digits.back());
    }
    return {std::string(sscc_identifier) + digits, {}};
}

// ---- Postnet and Interleaved 2 of 5 ------------------------------------------------------------

BarcodeData check_postnet(std::string_view data) {
    std::string digits;
    for (const char c : data) {
        if (c != '-' && c != ' ') digits += c;  // separators, as in 90210-1234
    }
    if (!digits_only(digits)) return refuse("Postnet encodes digits only, not " + in_quotes(data));
    if (digits.size() == 11) {
        return refuse(
            "the module sends at most 9 Postnet digits: the delivery point digits of an "
            "11-digit code would be lost; give the 5-digit ZIP or the 9-digit ZIP+4");
    }
    if (digits.size() != 5 && digits.size() != 9) {
        return refuse("Postnet takes a 5-digit ZIP or a 9-digit ZIP+4, not " +
                      std::to_string(digits.size()) + " digits");
    }
    return {digits, {}};
}

BarcodeData check_interleaved(std::string_view data) {
    if (!digits_only(data))
        return refuse("Interleaved 2 of 5 encodes digits only, not " + in_quotes(data));
    if (data.size() % 2 != 0) {
        return refuse(
            "Interleaved 2 of 5 encodes digits in pairs: give an even number of digits (a "
            "leading 0 keeps the value: \"0" +
            std::string(data) + "\")");
    }
    return {std::string(data), {}};
}

// ---- bar lengths --------------------------------------------------------------------------------

enum Subset { subset_a, subset_b, subset_c, subset_count };

bool in_subset(std::string_view data, std::size_t i, int subset) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (subset == subset_a) return c < 96;
    if (subset == subset_b) return c >= 32 && c < 128;
    return i + 1 < data.size() && std::isdigit(c) != 0 &&
           std::isdigit(static_cast<unsigned char>(data[i + 1])) != 0;
}

// The fewest Code 128 symbol characters for the data, start character included: what a
// printer's automatic subset choice comes to.
std::int32_t code128_symbols(std::string_view data) {
    constexpr std::int32_t unreachable = INT_MAX / 4;
    std::vector<std::array<std::int32_t, subset_count>> cost(data.size() + 1);
    cost[data.size()] = {0, 0, 0};
    for (std::size_t i = data.size(); i-- > 0;) {
        std::array<std::int32_t, subset_count> stay{};
        for (int s = 0; s < subset_count; ++s) {
            const std::size_t step = s == subset_c ? 2 : 1;
            stay[static_cast<std::size_t>(s)] =
                in_subset(data, i, s) ? 1 + cost[i + step][static_cast<std::size_t>(s)]
                                      : unreachable;
        }
        const std::int32_t best = *std::min_element(stay.begin(), stay.end());
        for (int s = 0; s < subset_count; ++s)
            cost[i][static_cast<std::size_t>(s)] =
                std::min(stay[static_cast<std::size_t>(s)], best + 1);  // + 1: a code change
    }
    const auto& first = cost.front();
    return 1 + *std::min_element(first.begin(), first.end());
}

std::int32_t codabar_length(std::string_view data, std::int32_t narrow, std::int32_t wide) {
    std::int32_t length = 0;
    for (const char c : data) {
        const bool two_wide =
            std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '$';
        length += two_wide ? 5 * narrow + 2 * wide : 4 * narrow + 3 * wide;
    }
    return length + static_cast<std::int32_t>(data.size() - 1) * narrow;  // gaps between characters
}

constexpr std::int32_t postnet_bars_per_inch = 22;

}  // namespace

bool Symbology::upc_ean() const noexcept {
    return kind == BarcodeKind::upc_a || kind == BarcodeKind::upc_e || kind == BarcodeKind::ean13 ||
           kind == BarcodeKind::ean8;
}

const Symbology* find_symbology(std::string_view name) {
    for (const Symbology& s : symbologies) {
        if (same_ignoring_case(s.name, name)) return &s;
    }
    return nullptr;
}

std::vector<std::string> symbology_names() {
    std::vector<std::string> names;
    for (const Symbology& s : symbologies) names.emplace_back(s.name);
    return names;
}

char gs1_check_digit(std::string_view digits) {
    int sum = 0;
    int weight = 3;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        sum += (*it - '0') * weight;
        weight = 4 - weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

BarcodeData check_barcode_data(const Symbology& symbology, std::string_view data,
                               int addon_digits) {
    if (data.empty()) return refuse("the barcode's data is empty");
    if (data.find('"') != std::string_view::npos)
        return refuse("barcode data cannot hold a double quote");
    switch (symbology.kind) {
        case BarcodeKind::upc_a:
        case BarcodeKind::upc_e:
        case BarcodeKind::ean13:
        case BarcodeKind::ean8:
            return check_upc_ean(symbology.kind, data, addon_digits);
        case BarcodeKind::code128:
            return check_code128(data, "Code 128");
        case BarcodeKind::sscc:
            return check_sscc(data);
        case BarcodeKind::gs1_128:
            return check_gs1_128(data);
        case BarcodeKind::codabar:
            return check_codabar(data);
        case BarcodeKind::interleaved_2_of_5:
            return check_interleaved(data);
        case BarcodeKind::code39:
            return check_character_set(data, code39_set, "Code 39",
                                       "digits, capital letters, space and - . $ / + %");
        case BarcodeKind::code93:
            return check_character_set(data, code39_set, "Code 93",
                                       "digits, capital letters, space and - . $ / + %");
        case BarcodeKind::postnet:
            return check_postnet(data);
    }
    return refuse("unknown symbology");
}

std::int32_t barcode_length_dots(const Symbology& symbology, std::string_view data,
                                 int addon_digits, std::int32_t narrow, std::int32_t wide,
                                 int dpi) {
    const auto n = static_cast<std::int32_t>(data.size());
    const std::int32_t addon_modules = addon_digits == 2 ? 9 + 20 : addon_digits == 5 ? 9 + 47 : 0;
    switch (symbology.kind) {
        case BarcodeKind::upc_a:
        case BarcodeKind::ean13:
            return (95 + addon_modules) * narrow;
        case BarcodeKind::upc_e:
            return (51 + addon_modules) * narrow;
        case BarcodeKind::ean8:
            return (67 + addon_modules) * narrow;
        case BarcodeKind::code128:
        case BarcodeKind::sscc:
        case BarcodeKind::gs1_128: {
            // The GS1 forms carry FNC1 after the start character; a check character and the
            // 13-module stop end every symbol.
            const std::int32_t fnc1 = symbology.kind == BarcodeKind::code128 ? 0 : 1;
            return (11 * (code128_symbols(data) + fnc1 + 1) + 13) * narrow;
        }
        case BarcodeKind::codabar:
            return codabar_length(data, narrow, wide);
        case BarcodeKind::interleaved_2_of_5:
            return 4 * narrow + n / 2 * (4 * wide + 6 * narrow) + wide + 2 * narrow;
        case BarcodeKind::code39:
            return (n + 2) * (6 * narrow + 3 * wide) + (n + 1) * narrow;
        case BarcodeKind::code93:
            return ((n + 4) * 9 + 1) * narrow;
        case BarcodeKind::postnet:
            // Five bars a digit and for the check digit, and a frame bar at each end.
            return ((5 * n + 7) * dpi + postnet_bars_per_inch - 1) / postnet_bars_per_inch;
    }
    return 0;
}

}  // namespace epl2::eplhost
