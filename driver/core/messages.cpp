#include "core/messages.h"

#include <iterator>

namespace epl2 {

namespace {

// Bit 0 of host_flags asks lines to map both corners instead of origin and size.
constexpr std::int32_t message_set_host_flags = 11;
constexpr std::int32_t message_get_host_flags = 12;
constexpr std::int32_t message_extra_strings = 32;
constexpr std::int32_t message_recall_suffix = 33;
constexpr std::int32_t message_job_trailer = 34;
constexpr std::int32_t message_print_prefix = 35;
constexpr std::int32_t message_print_suffix = 36;
constexpr std::int32_t message_spare_string = 37;

constexpr const char* notes[] = {
    "v57 07/31/98 Text, barcodes, and graphics will print",
    "on an even mm boundary.  Move line and box images to",
    "the back to avoid a white area at the left.  Graphics",
    "larger than 5K scaled (aprox. 1.5\" x 1.5\" will cause",
    "the printer to error out. ",
    " ",
    "If printer runs short on memory, graphics may not print.",
    "Consider additional printer memory and/or configuring the",
    "Memory Management yourself (consult printer manual for",
    "advised settings to be input into Printer Options area).",
    " ",
    "Stand alone code will always be produced.",
    "When printing a standard Code 39 with special characters such",
    "as $, /, +, or % the printer will convert these characters to",
    "Extended Code 39 characters /D, /O, /K, and /E.",
};

// Copies at most 9 characters and the terminator; a null pointer empties the field.
template <std::size_t Offset, std::size_t N>
void store_message_string(const Job& job, ByteArray<Offset, N> field,
                          std::uint32_t value) noexcept {
    BoundedWriter writer({job.record().chars(field), N});
    const std::byte* source = job.resolve(value);
    if (source == nullptr) return;
    const char* text = reinterpret_cast<const char*>(source);
    for (std::size_t i = 0; i + 1 < N && text[i] != '\0'; ++i) writer.put(text[i]);
}

}  // namespace

std::int32_t PrinterMessage(const Job& job, std::int32_t code, std::uint32_t value) noexcept {
    const RecordView r = job.record();
    switch (code) {
        case message_set_host_flags:
            r.set(record::host_flags, value);
            return 1;
        case message_get_host_flags: {
            std::byte* out = job.resolve(value);
            if (out == nullptr) return -1;
            store_le(out, r.get(record::host_flags));
            return 1;
        }
        case message_extra_strings:
            r.set(record::extra_strings_enabled, static_cast<std::int32_t>(value));
            return 1;
        case message_recall_suffix:
            store_message_string(job, record::recall_suffix, value);
            return 1;
        case message_job_trailer:
            store_message_string(job, record::job_trailer, value);
            return 1;
        case message_print_prefix:
            store_message_string(job, record::print_prefix, value);
            return 1;
        case message_print_suffix:
            store_message_string(job, record::print_suffix, value);
            return 1;
        case message_spare_string:
            store_message_string(job, record::spare_string, value);
            return 1;
        default:
            return 0;
    }
}

const char* driver_note(std::uint32_t index) noexcept {
    return index < std::size(notes) ? notes[index] : "";
}

void fill_flat_descriptor(FlatDescriptorView descriptor) noexcept {
    constexpr std::int32_t words[] = {static_cast<std::int32_t>(record_size), 10, 1, -1, 301};
    store_le(descriptor.data() + 0, words[0]);
    store_le(descriptor.data() + 4, words[1]);
    store_le(descriptor.data() + 8, words[2]);
    store_le(descriptor.data() + 12, words[3]);
    store_le(descriptor.data() + 16, words[4]);
}

}  // namespace epl2
