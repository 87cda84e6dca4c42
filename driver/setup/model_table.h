// The ModelTable: the printer models this driver supports, as the host reads them from the
// module's "DBI" resource to let the user pick one. The records are kept here as one readable
// table; the resource bytes are laid out from it at compile time, so the Linux module's data
// symbols and the DLL's resource (written by a build-time generator) carry the same bytes.
//
// Resource layout (all words little-endian u32, unaligned; references are byte offsets from the
// start of the resource): word 0 = offset of the header block; the family name and description;
// each record as maker, model and an empty extra text, then its 72-byte numeric block; the
// record index (one word per record: the offset of its numeric block); the 32-byte header block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace epl2 {

struct ModelRecord {
    std::string_view maker;
    std::string_view model;  // the full name, maker included
    // The host copies these four, with model_class, into the record's fields of the same names.
    std::int32_t model_class;
    std::int32_t reduced_options;
    std::int32_t resolution_code;
    std::int32_t memory_code;
    std::int32_t printer_type;
    std::uint32_t model_flags;
};

// clang-format off
inline constexpr std::array<ModelRecord, 51> model_records{{
    /*  0*/ {"Zadivi", "Zadivi LP+ 2142", 0, -1, -1, -1, -1, 0x2BD2},
    /*  1*/ {"Zadivi", "Zadivi LP+ 2122", 1, -1, -1, -1, -1, 0x0BD2},
    /*  2*/ {"Zadivi", "Zadivi TLP 2044", 2, -1, -1, -1, -1, 0x28C2},
    /*  3*/ {"Zadivi", "Zadivi TLP 2046", 2, 0, -1, -1, 9, 0x29C2},
    /*  4*/ {"Zadivi", "Zadivi TLP 2242", 0, 0, -1, -1, 1, 0x29C2},
    /*  5*/ {"RJS", "RJS TP 121", 1, -1, -1, -1, -1, 0x0F80},
    /*  6*/ {"RJS", "RJS TP 141", 0, -1, -1, -1, -1, 0x0F80},
    /*  7*/ {"RJS", "RJS TTP 142", 0, 0, -1, -1, -1, 0x0D80},
    /*  8*/ {"Meto", "Meto MP420/421", 0, 0, -1, -1, -1, 0x09C0},
    /*  9*/ {"Kroy", "Kroy K 4200", 0, 0, -1, -1, -1, 0x0180},
    /* 10*/ {"Kroy", "Kroy K 4300", 2, -1, -1, -1, -1, 0x0180},
    /* 11*/ {"UBI", "UBI EasyCoder 71", 1, -1, -1, -1, -1, 0x0180},
    /* 12*/ {"UBI", "UBI EasyCoder 91", 0, -1, -1, -1, 10, 0x0180},
    /* 13*/ {"Printronix", "Printronix T2204", 2, 0, -1, -1, -1, 0x2080},
    /* 14*/ {"Zadivi", "Zadivi TLP/LP 2642", 0, 0, 1, -1, -1, 0x2180},
    /* 15*/ {"Zadivi", "Zadivi TLP/LP 3642", 0, 0, 0, -1, -1, 0x2180},
    /* 16*/ {"Zadivi", "Zadivi ZeredOvaz P2242", 0, 0, -1, -1, -1, 0x2180},
    /* 17*/ {"Genicom", "Genicom 6441", 2, 0, -1, -1, -1, 0x0180},
    /* 18*/ {"Genicom", "Genicom 6342", 0, 0, -1, -1, -1, 0x0180},
    /* 19*/ {"Genicom", "Genicom 6241", 0, 0, -1, -1, -1, 0x0180},
    /* 20*/ {"Genicom", "Genicom 6321", 1, -1, -1, -1, -1, 0x0180},
    /* 21*/ {"Monarch", "Monarch 9413E", 0, 0, 1, -1, -1, 0x0180},
    /* 22*/ {"Zadivi", "Zadivi TLP/LP 2622", 1, 0, 1, 9, -1, 0x0180},
    /* 23*/ {"Monarch", "Monarch 9412E", 1, 0, 1, 9, -1, 0x0180},
    /* 24*/ {"Intermec", "Intermec 7422", 0, 0, 1, -1, -1, 0x2180},
    /* 25*/ {"Zadivi", "Zadivi Dovivez LP/TLP 2344", 2, 0, -1, 1, 2, 0x2180},
    /* 26*/ {"Zadivi", "Zadivi Vadoze LP/TLP 2684", 0, 0, -1, -1, 3, 0x0080},
    /* 27*/ {"Zadivi", "Zadivi Duvev LP2442", 0, -1, -1, -1, 4, 0x0180},
    /* 28*/ {"Brady", "Brady BP4000", 0, 0, -1, -1, 1, 0x0180},
    /* 29*/ {"Brady", "Brady BP4320", 0, 0, 0, -1, -1, 0x0180},
    /* 30*/ {"Zadivi", "Zadivi TLP/LP 2742", 0, 0, 1, -1, 30, 0x2180},
    /* 31*/ {"Monarch", "Monarch 9642E", 0, 0, 1, -1, -1, 0x0180},
    /* 32*/ {"Monarch", "Monarch 9643E", 0, 0, 0, -1, -1, 0x0180},
    /* 33*/ {"Zadivi", "Zadivi TLP/LP 2722", 1, 0, 1, 9, -1, 0x0180},
    /* 34*/ {"Intermec", "Intermec EasyCoder 71", 1, -1, -1, -1, -1, 0x0180},
    /* 35*/ {"Intermec", "Intermec EasyCoder 91", 0, -1, -1, -1, 10, 0x0180},
    /* 36*/ {"Intermec", "Intermec EasyCoder 7422", 0, 0, 1, -1, -1, 0x2180},
    /* 37*/ {"Zadivi", "Zadivi LP 2824", 1, -1, -1, -1, 5, 0x0180},
    /* 38*/ {"Zadivi", "Zadivi TLP/LP 3742", 0, 0, 0, -1, 6, 0x0180},
    /* 39*/ {"Zadivi", "Zadivi TLP/LP 2746", 2, 0, -1, 1, 7, 0x0080},
    /* 40*/ {"Intermec", "Intermec EasyCoder C4", 0, -1, -1, -1, 8, 0x0180},
    /* 41*/ {"Genicom", "Genicom 6241-LL", 0, 0, -1, -1, -1, 0x2180},
    /* 42*/ {"Genicom", "Genicom 6322", 1, 0, 1, 9, -1, 0x0180},
    /* 43*/ {"Genicom", "Genicom 6342-DT", 0, 0, 1, -1, -1, 0x2180},
    /* 44*/ {"Genicom", "Genicom 6342-H", 0, 0, 0, -1, -1, 0x2180},
    /* 45*/ {"Genicom", "Genicom 6442", 2, 0, -1, 1, 2, 0x2180},
    /* 46*/ {"Zebra", "Zebra LP 2844", 0, 0, -1, -1, 11, 0x0180},
    /* 47*/ {"Zebra", "Zebra TLP 2844", 0, 0, -1, -1, 12, 0x0180},
    /* 48*/ {"Zebra", "Zebra HT-146", 2, 0, -1, -1, 13, 0x0080},
    /* 49*/ {"Zadivi", "Zadivi Duvev LP2443", 0, -1, -1, -1, 14, 0x0180},
    /* 50*/ {"Zebra", "Zebra Duvev LP2443", 0, -1, -1, -1, 14, 0x0180},
}};
// clang-format on

namespace model_table {

inline constexpr std::string_view family_name = "ZADIVI";
inline constexpr std::string_view description = "New Driver";
inline constexpr std::uint32_t table_tag = 0xE801;
inline constexpr std::uint32_t record_tag = 0xE822;
// Every record names the 203 dpi of the family's standard head; the driver's resolution follows
// resolution_code alone.
inline constexpr std::int32_t record_dpi = 203;
// Eight reserved bytes at the end of each numeric block, kept exactly as the table was built.
inline constexpr std::array<std::uint8_t, 8> reserved{0x00, 0xF0, 0xFD, 0x7F,
                                                      0xB0, 0xFE, 0x12, 0x00};

inline constexpr std::size_t numeric_block_size = 72;
inline constexpr std::size_t header_block_size = 32;
inline constexpr std::size_t records_offset = 4 + family_name.size() + 1 + description.size() + 1;

constexpr std::size_t record_size(const ModelRecord& m) noexcept {
    return m.maker.size() + 1 + m.model.size() + 1 + 1 + numeric_block_size;
}

constexpr std::size_t records_size() noexcept {
    std::size_t n = 0;
    for (const ModelRecord& m : model_records) n += record_size(m);
    return n;
}

inline constexpr std::size_t index_offset = records_offset + records_size();
inline constexpr std::size_t header_offset = index_offset + 4 * model_records.size();
inline constexpr std::size_t size = header_offset + header_block_size;

// Writes little-endian words and NUL-terminated strings at a running offset.
template <std::size_t N>
class ResourceWriter {
   public:
    constexpr explicit ResourceWriter(std::array<std::uint8_t, N>& out) noexcept : out_(out) {}
    [[nodiscard]] constexpr std::size_t offset() const noexcept { return at_; }
    // Offsets and counts are far below 2^32; signed values go out as two's complement.
    template <class Integer>
    constexpr void word(Integer value) noexcept {
        const auto v = static_cast<std::uint32_t>(value);
        for (unsigned i = 0; i < 4; ++i) out_[at_++] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    // Returns the string's offset.
    constexpr std::size_t string(std::string_view s) noexcept {
        const std::size_t start = at_;
        for (char c : s) out_[at_++] = static_cast<std::uint8_t>(c);
        out_[at_++] = 0;
        return start;
    }
    constexpr void bytes(const std::array<std::uint8_t, 8>& b) noexcept {
        for (std::uint8_t v : b) out_[at_++] = v;
    }

   private:
    std::array<std::uint8_t, N>& out_;
    std::size_t at_ = 0;
};

consteval std::array<std::uint8_t, size> build() {
    std::array<std::uint8_t, size> out{};
    ResourceWriter<size> w(out);
    w.word(header_offset);
    const std::size_t family_at = w.string(family_name);
    const std::size_t description_at = w.string(description);
    std::array<std::size_t, model_records.size()> blocks{};
    for (std::size_t k = 0; k < model_records.size(); ++k) {
        const ModelRecord& m = model_records[k];
        const std::size_t maker_at = w.string(m.maker);
        const std::size_t model_at = w.string(m.model);
        const std::size_t extra_at = w.string("");
        blocks[k] = w.offset();
        w.word(blocks[k]);
        w.word(record_tag);
        w.word(maker_at);
        w.word(model_at);
        w.word(k);
        w.word(m.model_class);
        w.word(m.reduced_options);
        w.word(m.resolution_code);
        w.word(m.memory_code);
        w.word(m.printer_type);
        w.word(extra_at);
        w.word(m.model_flags);
        w.word(record_dpi);
        w.word(record_dpi);
        w.word(0);
        w.word(blocks[k]);
        w.bytes(reserved);
    }
    for (std::size_t block : blocks) w.word(block);
    w.word(header_offset);
    w.word(table_tag);
    w.word(family_at);
    w.word(description_at);
    w.word(model_records.size());
    w.word(index_offset);
    w.word(0);
    w.word(records_offset);
    return out;
}

}  // namespace model_table

// The resource as the host reads it: type "DBI", id 1, language 1033.
inline constexpr std::array<std::uint8_t, model_table::size> model_table_resource =
    model_table::build();

static_assert(model_table::records_offset == 22);
static_assert(model_table::index_offset == 4942);
static_assert(model_table::header_offset == 5146);
static_assert(model_table::size == 5178);

}  // namespace epl2
