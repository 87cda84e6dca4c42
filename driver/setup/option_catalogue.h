// What each setup option offers on the selected model: prompt, value kind, choice texts, the
// accepted range, the dialog's default and the field width. The dialog shows it and the value
// storage validates against the same range.
#pragma once

#include <cstdint>
#include <span>

#include "core/record.h"

namespace epl2 {

// Value kinds as the host's dialog knows them.
inline constexpr char kind_integer = 'I';
inline constexpr char kind_choice = 'M';
inline constexpr char kind_length = '3';  // thousandths of an inch

struct OptionOffer {
    const char* prompt = "";
    char kind = 0;
    // Choice texts (choice options only), in choice order; the value is the position.
    std::span<const char* const> choices;
    // Printer codes of the choices, where the printer needs another number than the position.
    std::span<const std::int32_t> codes;
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t default_value = 0;
    std::int32_t width = 0;

    [[nodiscard]] constexpr bool accepts(std::int32_t value) const noexcept {
        return value >= min && value <= max;
    }
};

// True for ids 0..21 except the unused 15, and only on the PrinterTypes that have the option at
// all (13 for PrinterType 1, 8 and 10; 18 for PrinterType 9).
bool option_exists(RecordView r, std::int32_t id) noexcept;

// The option as the selected model offers it; option_exists(r, id) must hold.
OptionOffer describe_option(RecordView r, std::int32_t id) noexcept;

// The empty string that ends every choice list.
inline constexpr const char* choice_list_end = "";

}  // namespace epl2
