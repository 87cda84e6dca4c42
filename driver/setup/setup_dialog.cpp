#include "setup/setup_dialog.h"

#include <algorithm>
#include <cstring>

#include "core/symbology.h"
#include "setup/option_catalogue.h"
#include "setup/option_lists.h"

namespace epl2 {

namespace {

constexpr std::int32_t code_128 = 8;
// as_graphic of a linear symbology: bits 14-15 of its barcode_flags.
constexpr std::uint32_t as_graphic_bits = 0xC000u;
// as_graphic of a two-dimensional symbology: 3 has the host render it as a graphic.
constexpr std::int32_t maxicode_as_graphic = 3;

// The host's out-parameters of getsetup: one word, one byte or a text buffer each, behind the
// pointer words it passed. A null word is a parameter the host did not supply.
void put_int(const Job& job, std::uint32_t at, std::int32_t value) noexcept {
    if (std::byte* p = job.resolve(at)) store_le(p, value);
}
void put_kind(const Job& job, std::uint32_t at, char kind) noexcept {
    if (std::byte* p = job.resolve(at)) store_le(p, static_cast<std::uint8_t>(kind));
}
// Exactly the prompt and its NUL: the host sized its buffer for the longest prompt only.
void put_prompt(const Job& job, std::uint32_t at, const char* prompt) noexcept {
    if (std::byte* p = job.resolve(at)) std::memcpy(p, prompt, std::strlen(prompt) + 1);
}

// The host's string-pointer array for dialog position index: element [index] of its array of
// arrays. Elements are found in host memory, never by arithmetic on pointer words, so the code
// is the same whatever the host's pointer width.
std::uint32_t choice_array_of(const Job& job, std::uint32_t choices, std::int32_t index) noexcept {
    const std::byte* arrays = job.resolve(choices);
    if (arrays == nullptr) return 0;
    return load_le<std::uint32_t>(arrays + 4 * static_cast<std::size_t>(index));
}

void put_choices(const Job& job, std::uint32_t array, std::span<const char* const> texts) noexcept {
    std::byte* slots = job.resolve(array);
    if (slots == nullptr) return;  // the host offered no array for this position
    std::size_t at = 0;
    for (const char* text : texts) {
        store_le(slots + at, job.word_of(text));
        at += 4;
    }
    store_le(slots + at, job.word_of(choice_list_end));
}

void give_end_answer(const Job& job, std::int32_t index, std::uint32_t prompt, std::uint32_t kind,
                     std::uint32_t choices, std::uint32_t value, std::uint32_t width) noexcept {
    put_prompt(job, prompt, "");
    put_kind(job, kind, 0);
    put_int(job, value, 0);
    put_int(job, width, 0);
    if (index >= 0) put_choices(job, choice_array_of(job, choices, index), {});
}

}  // namespace

std::int32_t getsetup(const Job& job, std::int32_t index, std::uint32_t prompt, std::uint32_t kind,
                      std::uint32_t choices, std::uint32_t value, std::uint32_t width) noexcept {
    const RecordView r = job.record();
    const std::int32_t id = option_at(r.get(record::printer_type), index);
    if (id == option::width_query) {
        put_int(job, width, 1);
        return 0;
    }
    if (id == option::label_present_sensor || id == option::label_cutter) {
        // Only the PrinterTypes whose lists hold these ids get an answer.
        if (!option_exists(r, id)) return 0;
    }
    if (!option_exists(r, id)) {
        give_end_answer(job, index, prompt, kind, choices, value, width);
        return 0;
    }
    const OptionOffer offer = describe_option(r, id);
    put_prompt(job, prompt, offer.prompt);
    put_kind(job, kind, offer.kind);
    if (offer.kind == kind_choice)
        put_choices(job, choice_array_of(job, choices, index), offer.choices);
    if (const std::byte* current = job.resolve(value);
        current != nullptr && !offer.accepts(load_le<std::int32_t>(current))) {
        put_int(job, value, offer.default_value);
    }
    put_int(job, width, offer.width);
    return 0;
}

namespace {

// The value storage falls back to its own defaults in three places: a safe middle darkness on
// the printers whose dialog suggests 7, memory reconfiguration on, and one more dot of feed.
std::int32_t storage_default(RecordView r, std::int32_t id, const OptionOffer& offer) noexcept {
    const std::int32_t type = r.get(record::printer_type);
    switch (id) {
        case option::darkness:
            return (type == 6 || type == 7 || type == 8 || type == 13) ? 5 : offer.default_value;
        case option::reconfigure_memory:
            return 1;
        case option::media_feed_adjust:
            return 137;
        case option::memory_available: {
            std::int32_t k = 0;
            if (type == 3 || type == 6 || type == 11 || type == 12) k = 3;
            if (type == 7 || type == 8 || type == 13 || type == 14 || type == 30) k = 1;
            // Never a size the printer was not offered.
            return std::min(k, offer.max);
        }
        default:
            return offer.default_value;
    }
}

// 128 KB steps less the 4 KB the printer keeps, and the longest label that fits the rest at 22
// KB per inch after 18 KB of fixed use.
void store_memory_size(RecordView r, std::int32_t choice) noexcept {
    const std::int32_t kb = 128 * (choice + 1) - 4;
    r.set(record::memory_size_kb, kb);
    r.set(record::max_label_length, (kb - 18) * 1000 / 22);
}

void store_ucc_ean_128_as_graphic(RecordView r, bool yes) noexcept {
    const std::size_t count = r.get(record::barcode_count);
    for (std::size_t i = 0; i < count && i < record::barcode_table.capacity; ++i) {
        if (r.get(record::barcode_table, i, barcode_entry::symbology) != code_128) continue;
        const std::uint32_t flags = r.get(record::barcode_table, i, barcode_entry::barcode_flags);
        r.set(record::barcode_table, i, barcode_entry::barcode_flags,
              yes ? (flags | as_graphic_bits) : (flags & ~as_graphic_bits));
        return;
    }
}

void store_maxicode_as_graphic(RecordView r, bool yes) noexcept {
    const std::size_t count = r.get(record::symbol2d_count);
    for (std::size_t i = 0; i < count && i < record::symbol2d_table.capacity; ++i) {
        if (r.get(record::symbol2d_table, i, symbol2d_entry::symbology) != symbology::maxicode_own)
            continue;
        r.set(record::symbol2d_table, i, symbol2d_entry::as_graphic, yes ? maxicode_as_graphic : 0);
        return;
    }
}

void cap_default_label_height(RecordView r) noexcept {
    const std::int32_t longest = r.get(record::max_label_length);
    if (r.get(record::default_label_height) > longest) r.set(record::default_label_height, longest);
}

void store_option(RecordView r, std::int32_t id, const OptionOffer& offer,
                  std::int32_t v) noexcept {
    switch (id) {
        case option::darkness:
            r.set(record::darkness, v);
            break;
        case option::print_speed:
            if (static_cast<std::size_t>(v) < offer.codes.size()) {
                r.set(record::speed_setting, offer.codes[static_cast<std::size_t>(v)]);
            }
            break;
        case option::default_label_height:
            r.set(record::default_label_height, v);
            cap_default_label_height(r);
            break;
        case option::memory_available:
            store_memory_size(r, v);
            cap_default_label_height(r);
            break;
        case option::reconfigure_memory:
            r.set(record::memory_reconfigure, v);
            r.set(record::form_store_enabled, 1);
            break;
        case option::memory_management:
            r.set(record::memory_auto, v);
            break;
        case option::image_buffer_size:
            r.set(record::image_buffer_size, v);
            break;
        case option::form_memory_size:
            r.set(record::form_memory_size, v);
            break;
        case option::graphics_memory_size:
            r.set(record::graphics_memory_size, v);
            break;
        case option::sensor_type:
            r.set(record::sensor_type, v);
            break;
        case option::gap_size:
            r.set(record::gap_size, v);
            break;
        case option::extra_gap_offset:
            r.set(record::extra_gap_offset, v);
            break;
        case option::print_direction:
            r.set(record::print_direction, v);
            break;
        case option::label_present_sensor:
            r.set(record::label_present_sensor, v);
            break;
        case option::maxicode_as_graphic:
            store_maxicode_as_graphic(r, v == 1);
            break;
        case option::print_method:
            r.set(record::print_method, v);
            break;
        case option::ucc_ean_128_as_graphic:
            store_ucc_ean_128_as_graphic(r, v == 1);
            break;
        case option::label_cutter:
            r.set(record::label_cutter, v);
            break;
        case option::black_line_direction:
            r.set(record::black_line_direction, v);
            break;
        // The printer numbers the backup modes from 1: 1 enabled (JF), 2 disabled (JB).
        case option::top_of_form_backup:
            r.set(record::top_of_form_backup, v + 1);
            break;
        case option::media_feed_adjust:
            r.set(record::media_feed_adjust, v);
            break;
        default:
            break;
    }
}

}  // namespace

std::int32_t savevar(const Job& job, std::int32_t index, std::int32_t value) noexcept {
    const RecordView r = job.record();
    if (index < 0) return 0;
    const std::int32_t id = option_at(r.get(record::printer_type), index);
    if (!option_exists(r, id)) return 0;
    const OptionOffer offer = describe_option(r, id);
    const std::int32_t v = offer.accepts(value) ? value : storage_default(r, id, offer);
    store_option(r, id, offer, v);
    return 0;
}

}  // namespace epl2
