// The one way the driver writes into a fixed buffer of the record (the LineBuffer, object_data,
// the message strings): a bounded writer that never stores past its buffer, always leaves a NUL
// terminator, and reports the length the whole text would have needed, so a caller can tell a
// complete line from a cut one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

namespace epl2 {

class BoundedWriter {
   public:
    // out must hold at least one byte (for the terminator); an empty span writes nothing.
    explicit BoundedWriter(std::span<char> out) noexcept;

    void put(char c) noexcept;
    void put(std::string_view s) noexcept;
    // Decimal number with at least min_digits digits, zero-padded (printf "%0Nd").
    void put_decimal(std::int64_t value, int min_digits = 1) noexcept;

    // Bytes the full text needs, without the terminator.
    [[nodiscard]] std::size_t needed() const noexcept { return needed_; }
    // Bytes actually stored, without the terminator.
    [[nodiscard]] std::size_t written() const noexcept { return written_; }
    [[nodiscard]] bool complete() const noexcept { return needed_ == written_; }
    // Cuts the text back to n stored bytes (n <= written()), for callers that must keep only a
    // well-formed prefix.
    void truncate(std::size_t n) noexcept;

   private:
    std::span<char> out_;
    std::size_t written_ = 0;
    std::size_t needed_ = 0;
};

// One argument of a command template.
class FormatArg {
   public:
    enum class Kind : std::uint8_t { number, text, character };

    constexpr FormatArg(std::int32_t v) noexcept : kind_(Kind::number), number_(v) {}
    constexpr FormatArg(std::uint32_t v) noexcept : kind_(Kind::number), number_(v) {}
    constexpr FormatArg(std::uint16_t v) noexcept : kind_(Kind::number), number_(v) {}
    constexpr FormatArg(std::uint8_t v) noexcept : kind_(Kind::number), number_(v) {}
    constexpr FormatArg(char c) noexcept
        : kind_(Kind::character), number_(static_cast<unsigned char>(c)) {}
    constexpr FormatArg(std::string_view s) noexcept : kind_(Kind::text), text_(s) {}
    constexpr FormatArg(const char* s) noexcept : kind_(Kind::text), text_(s ? s : "") {}

    [[nodiscard]] constexpr Kind kind() const noexcept { return kind_; }
    [[nodiscard]] constexpr std::int64_t number() const noexcept { return number_; }
    [[nodiscard]] constexpr std::string_view text() const noexcept { return text_; }

   private:
    Kind kind_;
    std::int64_t number_ = 0;
    std::string_view text_;
};

// Formats a printf-style command template: %d, %ld, %u, %lu (decimal, with an optional zero flag
// and width such as %02d), %s, %c and %%. Arguments are taken in order; a conversion whose
// argument is missing or of another kind writes nothing. Returns the untruncated length.
std::size_t format_to(BoundedWriter& out, std::string_view templ,
                      std::initializer_list<FormatArg> args) noexcept;
std::size_t format_to(std::span<char> out, std::string_view templ,
                      std::initializer_list<FormatArg> args) noexcept;

}  // namespace epl2
