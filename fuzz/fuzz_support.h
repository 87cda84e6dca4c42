// What the fuzzers share: reading control values from the front of an input, failing loudly on a
// broken invariant, a native host set up for one pass, reading a quoted DATA field back the way
// the printer does, and the one way a loader may refuse its input. The standard headers of its
// interface (sizes, byte widths, strings and views) come with it.
#pragma once

#include <algorithm>
#include <cstddef>  // IWYU pragma: export
#include <cstdint>  // IWYU pragma: export
#include <cstdio>
#include <cstdlib>
#include <string>       // IWYU pragma: export
#include <string_view>  // IWYU pragma: export

#include "native_host.h"
#include "setup/capabilities.h"

namespace epl2::fuzz {

// A broken invariant stops the run at once, with a name to search the harness for; libFuzzer
// keeps the input, and a replay build reports it as a failed test.
inline void require(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

// Control values taken from the front of an input; past its end every value is 0, so a short
// input is still a valid one.
class ByteReader {
   public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : bytes_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return pos_ == bytes_.size(); }
    std::uint8_t byte() { return empty() ? 0 : static_cast<std::uint8_t>(bytes_[pos_++]); }
    std::uint16_t u16() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | std::uint32_t{u16()} << 16;
    }
    // Mostly small values, which reach the real paths more often than uniformly random words;
    // now and then any word with one of its top bits set.
    std::int32_t word() {
        const std::uint32_t v = u32();
        return static_cast<std::int32_t>((v & 0xC0000000u) == 0 ? v & 0x3FFFu : v);
    }
    // Mostly small values of either sign, where the interesting edges of positions and clip
    // rectangles lie; now and then any word, where the arithmetic wraps.
    std::int32_t coordinate() {
        const std::uint32_t v = u32();
        return (v & 0xC0000000u) != 0xC0000000u ? static_cast<std::int32_t>(v & 0x3FFFu) - 0x2000
                                                : static_cast<std::int32_t>(v << 2);
    }
    // A string of up to 511 bytes as a host hands it over: its NULs dropped.
    std::string text() {
        const std::size_t low = byte();
        const std::size_t length = low + (byte() & 1u ? 256u : 0u);
        std::string s(rest().substr(0, length));
        pos_ += s.size();
        std::erase(s, '\0');
        return s;
    }
    // The bytes not yet read.
    std::string_view rest() const { return bytes_.substr(pos_); }

   private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// The host's record after setup for a printer type, in the given pass, with the setup's own
// bytes already taken.
inline void begin_pass(native::NativeHost& host, std::int32_t printer_type,
                       std::uint8_t form_mode) {
    host.record().set(record::printer_type, printer_type);
    prtsetup(host.job());
    host.record().set(record::form_mode, form_mode);
    host.take_output();
}

// The text as a host hands it over: up to its first NUL.
inline std::string_view host_string(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

inline std::string without_line_breaks(std::string_view text) {
    std::string kept(text);
    std::erase_if(kept, [](char c) { return c == '\r' || c == '\n'; });
    return kept;
}

// Reads the content between the quotes of a DATA field as the printer does, a backslash taking
// the next byte literally. False when the content could not stand as one field of one line: a bare
// quote would end it early, a backslash at its end would protect the closing quote, a CR or LF
// would end the command line. The driver only ever escapes a quote or a backslash.
inline bool read_quoted_content(std::string_view content, std::string& plain) {
    plain.clear();
    for (std::size_t i = 0; i < content.size(); ++i) {
        const bool escaped = content[i] == '\\';
        if (escaped && ++i == content.size()) return false;
        const char c = content[i];
        if (escaped ? c != '"' && c != '\\' : c == '"' || c == '\r' || c == '\n') return false;
        plain.push_back(c);
    }
    return true;
}

// Bytes of a DATA field for a text whose characters all went in: one more for each character
// that takes a backslash.
inline std::size_t escaped_length(std::string_view plain) {
    const auto escaped = std::ranges::count_if(plain, [](char c) { return c == '"' || c == '\\'; });
    return plain.size() + static_cast<std::size_t>(escaped);
}

// Runs a loader and checks what it loaded; the one refusal allowed is a bad-input Failure that
// says why, never an internal error or an exception of another kind.
template <typename Failure, typename Load, typename Check>
void load_or_refuse(Load load, Check check) {
    try {
        check(load());
    } catch (const Failure& f) {
        require(f.code() == decltype(f.code())::bad_input && *f.what() != '\0',
                "only a bad-input refusal that says why");
    }
}

}  // namespace epl2::fuzz
