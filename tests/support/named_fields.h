// The blocks a host shares with the module, field by field under their declared names, for tests
// that read and write them by name: the record (from its one field list), the entries of its
// tables, the barcode and image objects and the JobHandle's words. Each list keeps declaration
// order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/host_objects.h"
#include "core/record.h"

namespace epl2::test {

// An integer of its width, signed or not, little-endian; or a byte array.
struct NamedField {
    std::string name;
    std::size_t offset = 0, width = 0;
    bool integer = true, is_signed = false;

    [[nodiscard]] std::int64_t get(const std::byte* block) const {
        std::uint64_t v = 0;
        for (std::size_t k = 0; k < width; ++k)
            v |= std::to_integer<std::uint64_t>(block[offset + k]) << (8 * k);
        const std::uint64_t sign = std::uint64_t{1} << (8 * width - 1);
        return is_signed && (v & sign) ? static_cast<std::int64_t>(v - 2 * sign)
                                       : static_cast<std::int64_t>(v);
    }
    void set(std::byte* block, std::int64_t value) const {
        for (std::size_t k = 0; k < width; ++k)
            block[offset + k] =
                static_cast<std::byte>(static_cast<std::uint64_t>(value) >> (8 * k));
    }
};
using Fields = std::vector<NamedField>;

template <class F>
NamedField integer_field(const char* name, F) {
    return {name, F::offset, F::width, true, std::is_signed_v<typename F::value_type>};
}

inline const NamedField* find_field(const Fields& fields, std::string_view name) {
    for (const NamedField& f : fields)
        if (f.name == name) return &f;
    return nullptr;
}

// The record's fields; its tables appear here as byte arrays, and by entry below.
inline const Fields& record_fields() {
    static const Fields fields = {
#define EPL2_FIELD(type, offset, name) integer_field(#name, record::name),
#define EPL2_BYTES(offset, size, name) {#name, offset, size, false},
#define EPL2_TABLE(offset, stride, capacity, name) {#name, offset, (stride) * (capacity), false},
#include "core/record_fields.inc"
#undef EPL2_FIELD
#undef EPL2_BYTES
#undef EPL2_TABLE
    };
    return fields;
}

#define EPL2_NAMED(space, name) integer_field(#name, space::name)

struct NamedTable {
    std::string name;
    std::size_t offset, stride, capacity;
    Fields entry;
};
template <class T>
NamedTable named_table(const char* name, T, Fields entry) {
    return {name, T::offset, T::stride, T::capacity, std::move(entry)};
}

inline const std::vector<NamedTable>& record_tables() {
    static const std::vector<NamedTable> tables = {
        named_table("font_name_list", record::font_name_list,
                    {integer_field("font_name", word_entry::word)}),
        named_table("font_table", record::font_table,
                    {EPL2_NAMED(font_entry, printer_font), EPL2_NAMED(font_entry, font_flags),
                     EPL2_NAMED(font_entry, max_h_mult), EPL2_NAMED(font_entry, max_v_mult),
                     EPL2_NAMED(font_entry, max_height), EPL2_NAMED(font_entry, max_width),
                     EPL2_NAMED(font_entry, cell_height), EPL2_NAMED(font_entry, cell_width),
                     EPL2_NAMED(font_entry, value_28), EPL2_NAMED(font_entry, value_32),
                     EPL2_NAMED(font_entry, font_text)}),
        named_table("barcode_table", record::barcode_table,
                    {EPL2_NAMED(barcode_entry, symbology), EPL2_NAMED(barcode_entry, barcode_flags),
                     EPL2_NAMED(barcode_entry, value_8), EPL2_NAMED(barcode_entry, value_9),
                     EPL2_NAMED(barcode_entry, value_12), EPL2_NAMED(barcode_entry, value_16),
                     EPL2_NAMED(barcode_entry, value_20), EPL2_NAMED(barcode_entry, value_24),
                     EPL2_NAMED(barcode_entry, name_text)}),
        named_table(
            "symbol2d_table", record::symbol2d_table,
            {EPL2_NAMED(symbol2d_entry, symbology), EPL2_NAMED(symbol2d_entry, symbol2d_flags),
             EPL2_NAMED(symbol2d_entry, as_graphic), EPL2_NAMED(symbol2d_entry, value_32),
             EPL2_NAMED(symbol2d_entry, value_36), EPL2_NAMED(symbol2d_entry, value_40),
             EPL2_NAMED(symbol2d_entry, value_44), EPL2_NAMED(symbol2d_entry, value_48),
             EPL2_NAMED(symbol2d_entry, name_text)}),
        named_table("graphic_slot_marks", record::graphic_slot_marks,
                    {integer_field("mark", word_entry::value)}),
    };
    return tables;
}

inline const Fields& barcode_object_fields() {
    static const Fields fields = {EPL2_NAMED(barcode_object, symbology),
                                  EPL2_NAMED(barcode_object, x),
                                  EPL2_NAMED(barcode_object, y),
                                  EPL2_NAMED(barcode_object, width),
                                  EPL2_NAMED(barcode_object, height),
                                  EPL2_NAMED(barcode_object, rotation),
                                  EPL2_NAMED(barcode_object, data),
                                  EPL2_NAMED(barcode_object, human_readable),
                                  EPL2_NAMED(barcode_object, ratio),
                                  EPL2_NAMED(barcode_object, narrow),
                                  EPL2_NAMED(barcode_object, addon),
                                  EPL2_NAMED(barcode_object, variable_mark),
                                  EPL2_NAMED(barcode_object, security_level),
                                  EPL2_NAMED(barcode_object, shape_limits)};
    return fields;
}

inline const Fields& pcx_object_fields() {
    static const Fields fields = {EPL2_NAMED(pcx_object, x), EPL2_NAMED(pcx_object, y),
                                  EPL2_NAMED(pcx_object, file_size),
                                  EPL2_NAMED(pcx_object, graphic_name)};
    return fields;
}

// The JobHandle's words the driver reads: a case can take the barcode object away.
inline const Fields& handle_fields() {
    static const Fields fields = {EPL2_NAMED(job_handle, record),
                                  EPL2_NAMED(job_handle, barcode_object)};
    return fields;
}

#undef EPL2_NAMED

}  // namespace epl2::test
