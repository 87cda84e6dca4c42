#include "core/format.h"

namespace epl2 {

BoundedWriter::BoundedWriter(std::span<char> out) noexcept : out_(out) {
    if (!out_.empty()) out_[0] = '\0';
}

void BoundedWriter::put(char c) noexcept {
    ++needed_;
    // Keep one byte for the terminator, and stop at the first byte that did not fit so the
    // stored text is always a prefix of the whole.
    if (needed_ != written_ + 1 || written_ + 1 >= out_.size()) return;
    out_[written_++] = c;
    out_[written_] = '\0';
}

void BoundedWriter::put(std::string_view s) noexcept {
    for (char c : s) put(c);
}

void BoundedWriter::put_decimal(std::int64_t value, int min_digits) noexcept {
    char digits[24];
    int n = 0;
    bool negative = value < 0;
    // Work on the magnitude as unsigned so the most negative value needs no special case.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 && n < 24);
    // printf counts the sign in the width: "%02d" of -5 is "-5".
    if (negative) put('-');
    for (int pad = n + (negative ? 1 : 0); pad < min_digits; ++pad) put('0');
    while (n > 0) put(digits[--n]);
}

void BoundedWriter::truncate(std::size_t n) noexcept {
    if (n >= written_) return;
    written_ = n;
    needed_ = n;
    out_[n] = '\0';
}

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::size_t format_to(BoundedWriter& out, std::string_view templ,
                      std::initializer_list<FormatArg> args) noexcept {
    const FormatArg* next = args.begin();
    std::size_t i = 0;
    while (i < templ.size()) {
        char c = templ[i++];
        if (c != '%' || i >= templ.size()) {
            out.put(c);
            continue;
        }
        if (templ[i] == '%') {
            out.put('%');
            ++i;
            continue;
        }
        bool zero_pad = false;
        if (templ[i] == '0') {
            zero_pad = true;
            ++i;
        }
        // No line is wider than the LineBuffer: a larger width is held there instead of overflowing.
        constexpr int widest = 4096;
        int width = 0;
        while (i < templ.size() && is_digit(templ[i])) {
            width = width * 10 + (templ[i++] - '0');
            if (width > widest) width = widest;
        }
        while (i < templ.size() && templ[i] == 'l') ++i;
        if (i >= templ.size()) break;
        char conversion = templ[i++];
        if (next == args.end()) continue;
        const FormatArg& arg = *next++;
        switch (conversion) {
            case 'd':
            case 'u':
            case 'i':
                if (arg.kind() == FormatArg::Kind::number) {
                    // Only zero padding occurs in the command templates; a plain width pads too.
                    out.put_decimal(arg.number(), zero_pad ? width : 1);
                }
                break;
            case 's':
                if (arg.kind() == FormatArg::Kind::text) out.put(arg.text());
                break;
            case 'c':
                if (arg.kind() != FormatArg::Kind::text) out.put(static_cast<char>(arg.number()));
                break;
            default:
                break;
        }
    }
    return out.needed();
}

std::size_t format_to(std::span<char> out, std::string_view templ,
                      std::initializer_list<FormatArg> args) noexcept {
    BoundedWriter writer(out);
    return format_to(writer, templ, args);
}

}  // namespace epl2
