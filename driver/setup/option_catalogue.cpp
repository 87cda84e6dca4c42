#include "setup/option_catalogue.h"

#include <array>

#include "setup/option_lists.h"

namespace epl2 {

namespace {

using Texts = std::span<const char* const>;
using Codes = std::span<const std::int32_t>;

// Print speeds. The printer's speed code of "2 inches/sec" is 2 and each faster whole-number
// speed has its inches per second as code; the slower and fractional speeds take the codes left.
constexpr std::array<const char*, 3> speeds_2_4{"2 inches/sec", "3 inches/sec", "4 inches/sec"};
constexpr std::array<std::int32_t, 3> speeds_2_4_codes{2, 3, 4};
constexpr std::array<const char*, 4> speeds_1_2_3{"1.2 inches/sec", "1.6 inches/sec",
                                                  "2 inches/sec", "3 inches/sec"};
constexpr std::array<std::int32_t, 4> speeds_1_2_3_codes{0, 1, 2, 3};
constexpr std::array<const char*, 5> speeds_2_6{"2 inches/sec", "3 inches/sec", "4 inches/sec",
                                                "5 inches/sec", "6 inches/sec"};
constexpr std::array<std::int32_t, 5> speeds_2_6_codes{2, 3, 4, 5, 6};
constexpr std::array<const char*, 5> speeds_1_3_5{"1 inch/sec", "1.5 inches/sec", "2 inches/sec",
                                                  "2.5 inches/sec", "3.5 inches/sec"};
constexpr std::array<std::int32_t, 5> speeds_1_3_5_codes{0, 1, 2, 3, 4};
constexpr std::array<const char*, 4> speeds_1_2_5{"1 inch/sec", "1.5 inches/sec", "2 inches/sec",
                                                  "2.5 inches/sec"};
constexpr std::array<std::int32_t, 4> speeds_1_2_5_codes{0, 1, 2, 3};
constexpr std::array<const char*, 3> speeds_1_2{"1 inch/sec", "1.5 inches/sec", "2 inches/sec"};
constexpr std::array<std::int32_t, 3> speeds_1_2_codes{0, 1, 2};
constexpr std::array<const char*, 4> speeds_1_4{"1 inch/sec", "1.5 inches/sec", "2 inches/sec",
                                                "4 inches/sec"};
constexpr std::array<std::int32_t, 4> speeds_1_4_codes{0, 1, 2, 4};
constexpr std::array<const char*, 5> speeds_1_6{"1 inch/sec", "1.5 inches/sec", "2 inches/sec",
                                                "4 inches/sec", "6 inches/sec"};
constexpr std::array<std::int32_t, 5> speeds_1_6_codes{0, 1, 2, 4, 6};

// Memory sizes in KB. Some printers report their 512 KB as such; the stored size is the same.
constexpr std::array<const char*, 2> memory_small{"124", "252"};
constexpr std::array<const char*, 4> memory_512{"124", "252", "380", "512"};
constexpr std::array<const char*, 4> memory_508{"124", "252", "380", "508"};

constexpr std::array<const char*, 2> no_yes{"No", "Yes"};
constexpr std::array<const char*, 2> memory_modes{"Auto-set (skip next 3 options)",
                                                  "User sets (use next 3 options)"};
constexpr std::array<const char*, 3> sensors{"Gap", "Continuous", "Black Mark"};
constexpr std::array<const char*, 2> directions{"Upside down", "Right side up"};
constexpr std::array<const char*, 2> disabled_enabled{"Disabled", "Enabled"};
constexpr std::array<const char*, 2> print_methods{"Thermal Transfer", "Direct Thermal"};
constexpr std::array<const char*, 2> offset_signs{"+", "-"};
constexpr std::array<const char*, 2> enable_disable{"Enable", "Disable"};

constexpr std::array<const char*, 22> prompts{
    "Darkness:",
    "Print speed:",
    "Default label height:",
    "Memory available:",
    "Reconfigure Memory:",
    "Memory Management:",
    "Image Buffer Size:",
    "Form Memory Size:",
    "Graphics Memory Size:",
    "Sensor Type:",
    "Gap or Black Mark Size:",
    "Extra Gap Offset:",
    "Print Direction:",
    "Label Present Sensor:",
    "Print MaxiCode as a Graphic:",
    "",
    "Print Method:",
    "Print UCC/EAN 128 as Graphic:",
    "Label Cutter:",
    "Black Line Offset Direction:",
    "Top of Form Backup:",
    "Media Feed Adjustment:",
};

template <class... T>
constexpr bool is_one_of(std::int32_t v, T... candidates) noexcept {
    return ((v == candidates) || ...);
}

struct Model {
    std::int32_t printer_type;
    std::int32_t job_class;  // the copy prtsetup made
    std::int32_t model_class;
    std::int32_t reduced_options;
    std::int32_t memory_code;
};

Model model_of(RecordView r) noexcept {
    return {r.get(record::printer_type), r.get(record::job_model_class), r.get(record::model_class),
            r.get(record::reduced_options), r.get(record::memory_code)};
}

OptionOffer integer(std::int32_t id, std::int32_t min, std::int32_t max, std::int32_t default_value,
                    std::int32_t width) noexcept {
    return {.prompt = prompts[static_cast<std::size_t>(id)],
            .kind = kind_integer,
            .choices = {},
            .codes = {},
            .min = min,
            .max = max,
            .default_value = default_value,
            .width = width};
}

OptionOffer choice(std::int32_t id, Texts choices, std::int32_t default_value = 0,
                   std::int32_t width = 0, Codes codes = {}) noexcept {
    return {.prompt = prompts[static_cast<std::size_t>(id)],
            .kind = kind_choice,
            .choices = choices,
            .codes = codes,
            .min = 0,
            .max = static_cast<std::int32_t>(choices.size()) - 1,
            .default_value = default_value,
            .width = width};
}

OptionOffer darkness(const Model& m) noexcept {
    const std::int32_t id = option::darkness;
    if (is_one_of(m.printer_type, 6, 7, 8, 13)) return integer(id, 0, 15, 7, 2);
    if (m.job_class != 2 && m.reduced_options != 0) {
        if (m.printer_type == 14) return integer(id, 0, 15, 10, 2);
        return integer(id, 0, 7, 5, 1);
    }
    return integer(id, 0, 15, 5, 2);
}

OptionOffer print_speed(const Model& m) noexcept {
    const std::int32_t id = option::print_speed;
    if (is_one_of(m.printer_type, 2, 3, 11, 12))
        return choice(id, speeds_2_4, 0, 0, speeds_2_4_codes);
    if (m.printer_type == 8) return choice(id, speeds_1_2_3, 2, 0, speeds_1_2_3_codes);
    if (is_one_of(m.printer_type, 7, 13)) return choice(id, speeds_2_6, 2, 0, speeds_2_6_codes);
    if (m.printer_type == 5) return choice(id, speeds_1_3_5, 2, 0, speeds_1_3_5_codes);
    if (m.printer_type == 14) return choice(id, speeds_1_2_5, 0, 0, speeds_1_2_5_codes);
    if (m.job_class != 2) return choice(id, speeds_1_2, 1, 0, speeds_1_2_codes);
    if (m.reduced_options != 0) return choice(id, speeds_1_4, 3, 0, speeds_1_4_codes);
    return choice(id, speeds_1_6, 3, 0, speeds_1_6_codes);
}

OptionOffer default_label_height(const Model& m) noexcept {
    OptionOffer offer = integer(option::default_label_height, 1000, 20000, 4000, 6);
    offer.kind = kind_length;
    if (is_one_of(m.printer_type, 3, 11, 12, 14)) {
        offer.min = 500, offer.max = 22000, offer.default_value = 6000;
    } else if (is_one_of(m.printer_type, 7, 13)) {
        offer.min = 380, offer.max = 22000, offer.default_value = 6000;
    } else if (m.printer_type == 6) {
        offer.min = 380, offer.default_value = 6000;
    } else if (m.printer_type == 8) {
        offer.min = 250, offer.default_value = 6000;
    }
    return offer;
}

// Printers with memory code 9 have only the two smallest sizes.
OptionOffer memory_available(const Model& m) noexcept {
    const std::int32_t id = option::memory_available;
    if (m.memory_code == 9) return choice(id, memory_small, 0, 3);
    if (is_one_of(m.printer_type, 3, 6, 11, 12)) return choice(id, memory_512, 3, 3);
    if (is_one_of(m.printer_type, 7, 8, 13, 14, 30)) return choice(id, memory_508, 1, 3);
    return choice(id, memory_508, 0, 3);
}

// Single-sensor printers: every class-1 model, and the generic class-0 models without the
// reduced option set except PrinterType 8 and 14.
OptionOffer sensor_type(const Model& m) noexcept {
    const bool gap_and_continuous_only =
        m.model_class == 1 ||
        (m.model_class == 0 && m.reduced_options == -1 && !is_one_of(m.printer_type, 8, 14));
    return choice(option::sensor_type,
                  Texts(sensors).first(gap_and_continuous_only ? 2 : sensors.size()));
}

OptionOffer memory_partition(std::int32_t id, const Model& m) noexcept {
    return integer(id, 0, is_one_of(m.printer_type, 3, 11, 12) ? 512 : 508, 0, 3);
}

}  // namespace

bool option_exists(RecordView r, std::int32_t id) noexcept {
    if (id < 0 || id > option::media_feed_adjust || id == 15) return false;
    const std::int32_t type = r.get(record::printer_type);
    if (id == option::label_present_sensor) return is_one_of(type, 1, 8, 10);
    if (id == option::label_cutter) return type == 9;
    return true;
}

OptionOffer describe_option(RecordView r, std::int32_t id) noexcept {
    const Model m = model_of(r);
    switch (id) {
        case option::darkness:
            return darkness(m);
        case option::print_speed:
            return print_speed(m);
        case option::default_label_height:
            return default_label_height(m);
        case option::memory_available:
            return memory_available(m);
        case option::reconfigure_memory:
            return choice(id, no_yes);
        case option::memory_management:
            return choice(id, memory_modes);
        case option::image_buffer_size:
        case option::form_memory_size:
        case option::graphics_memory_size:
            return memory_partition(id, m);
        case option::sensor_type:
            return sensor_type(m);
        case option::gap_size:
            return integer(id, 1, 999, 25, 3);
        case option::extra_gap_offset:
            return integer(id, 0, 999, 0, 3);
        case option::print_direction:
            return choice(id, directions);
        case option::label_present_sensor:
            return choice(id, disabled_enabled);
        case option::maxicode_as_graphic:
            return choice(id, no_yes);
        case option::print_method:
            return choice(id, print_methods);
        case option::ucc_ean_128_as_graphic:
            return choice(id, no_yes);
        case option::label_cutter:
            return choice(id, no_yes);
        case option::black_line_direction:
            return choice(id, offset_signs);
        case option::top_of_form_backup:
            return choice(id, enable_disable);
        case option::media_feed_adjust:
            return integer(id, 0, 999, 136, 3);
        default:
            return {};
    }
}

}  // namespace epl2
