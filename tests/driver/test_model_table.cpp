// The ModelTable the module carries, read the way a host reads it: its size and header, every
// record field by field against the published model list, the index, the bytes each record's
// numeric block holds, a record chosen and registered, and tables the reader must refuse.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "driver_test.h"
#include "model_table.h"

namespace epl2::test {
namespace {

struct Published {
    const char* maker;
    const char* model;
    std::int32_t model_class, reduced_options, resolution_code, memory_code, printer_type;
    std::uint32_t flags;
};

// clang-format off
const Published published[] = {
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
};
// clang-format on

std::span<const std::byte> table() {
    return driver_module().model_table();
}

std::uint32_t word_at(std::size_t at) {
    EXPECT_LE(at + 4, table().size());
    return load_le<std::uint32_t>(table().data() + at);
}

std::string text_at(std::size_t at) {
    return reinterpret_cast<const char*>(table().data() + at);
}

TEST(ModelTable, SizeHeaderStringsAndHeaderBlock) {
    ASSERT_EQ(table().size(), 5178u);
    EXPECT_EQ(word_at(0), 5146u);
    EXPECT_EQ(text_at(4), "ZADIVI");
    EXPECT_EQ(text_at(11), "New Driver");
    const std::array<std::uint32_t, 8> header{5146, 0xE801, 4, 11, 51, 4942, 0, 22};
    for (std::size_t w = 0; w < header.size(); ++w) {
        SCOPED_TRACE(w);
        EXPECT_EQ(word_at(5146 + 4 * w), header[w]);
    }
}

// Each record's strings and numeric block, walked from the first record on: the records lie back
// to back, and the index names each numeric block.
TEST(ModelTable, EveryRecordFieldByField) {
    ASSERT_EQ(table().size(), 5178u);
    std::size_t at = 22;
    for (std::size_t k = 0; k < std::size(published); ++k) {
        SCOPED_TRACE(k);
        const Published& p = published[k];
        const std::size_t maker_at = at;
        EXPECT_EQ(text_at(maker_at), p.maker);
        const std::size_t model_at = maker_at + std::strlen(p.maker) + 1;
        EXPECT_EQ(text_at(model_at), p.model);
        const std::size_t extra_at = model_at + std::strlen(p.model) + 1;
        EXPECT_EQ(text_at(extra_at), "");
        const std::size_t block = extra_at + 1;
        EXPECT_EQ(word_at(4942 + 4 * k), block);
        const std::array<std::uint32_t, 16> words{static_cast<std::uint32_t>(block),
                                                  0xE822,
                                                  static_cast<std::uint32_t>(maker_at),
                                                  static_cast<std::uint32_t>(model_at),
                                                  static_cast<std::uint32_t>(k),
                                                  static_cast<std::uint32_t>(p.model_class),
                                                  static_cast<std::uint32_t>(p.reduced_options),
                                                  static_cast<std::uint32_t>(p.resolution_code),
                                                  static_cast<std::uint32_t>(p.memory_code),
                                                  static_cast<std::uint32_t>(p.printer_type),
                                                  static_cast<std::uint32_t>(extra_at),
                                                  p.flags,
                                                  203,
                                                  203,
                                                  0,
                                                  static_cast<std::uint32_t>(block)};
        for (std::size_t w = 0; w < words.size(); ++w) {
            EXPECT_EQ(word_at(block + 4 * w), words[w]) << "word " << w;
        }
        const std::array<std::uint8_t, 8> reserved{0x00, 0xF0, 0xFD, 0x7F, 0xB0, 0xFE, 0x12, 0x00};
        EXPECT_EQ(std::memcmp(table().data() + block + 64, reserved.data(), reserved.size()), 0);
        at = block + 72;
    }
    EXPECT_EQ(at, 4942u);
    EXPECT_EQ(word_at(4942), 46u);
    EXPECT_EQ(word_at(4942 + 4 * 50), 4870u);
}

TEST(ModelTable, HostReaderGivesThePublishedRecords) {
    const std::vector<host::ModelRecord> records = host::read_model_table(driver_module());
    ASSERT_EQ(records.size(), std::size(published));
    for (std::size_t k = 0; k < records.size(); ++k) {
        SCOPED_TRACE(k);
        const host::ModelRecord& r = records[k];
        const Published& p = published[k];
        EXPECT_EQ(r.model_index, static_cast<std::int32_t>(k));
        EXPECT_EQ(r.maker, p.maker);
        EXPECT_EQ(r.model, p.model);
        EXPECT_EQ(r.model_class, p.model_class);
        EXPECT_EQ(r.reduced_options, p.reduced_options);
        EXPECT_EQ(r.resolution_code, p.resolution_code);
        EXPECT_EQ(r.memory_code, p.memory_code);
        EXPECT_EQ(r.printer_type, p.printer_type);
        EXPECT_EQ(r.model_flags, p.flags);
    }
}

std::vector<std::string> models_where(bool (*keep)(const host::ModelRecord&)) {
    std::vector<std::string> names;
    for (const host::ModelRecord& r : host::read_model_table(driver_module())) {
        if (keep(r)) names.push_back(r.model);
    }
    return names;
}

TEST(ModelTable, ModelGroupsTheDriverTellsApart) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.resolution_code == 0; }),
              (Names{"Zadivi TLP/LP 3642", "Brady BP4320", "Monarch 9643E", "Zadivi TLP/LP 3742",
                     "Genicom 6342-H"}));
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.memory_code == 9; }),
              (Names{"Zadivi TLP/LP 2622", "Monarch 9412E", "Zadivi TLP/LP 2722", "Genicom 6322"}));
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.printer_type == 10; }),
              (Names{"UBI EasyCoder 91", "Intermec EasyCoder 91"}));
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.printer_type == 14; }),
              (Names{"Zadivi Duvev LP2443", "Zebra Duvev LP2443"}));
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.printer_type == -1; }).size(),
              32u);
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.model_class == 1; }).size(),
              10u);
    EXPECT_EQ(models_where([](const host::ModelRecord& r) { return r.model_class == 2; }).size(),
              9u);
}

using ModelSelection = DriverTest;

// A record chosen from the table fills the model fields; the registration then follows them.
TEST_F(ModelSelection, ChosenRecordReachesTheRegistration) {
    const std::vector<host::ModelRecord> records = host::read_model_table(driver_module());
    ASSERT_EQ(records.size(), 51u);
    struct Row {
        std::size_t index;
        std::int32_t dpi, width, top_offset, options;
    };
    const Row rows[] = {
        /* 0*/ {38, 300, 4090, 0, 16},  // Zadivi TLP/LP 3742, PrinterType 6 at 300 dpi
        /* 1*/ {2, 203, 4000, 50, 16},  // class 2: right-aligned with offsets
        /* 2*/ {1, 203, 2200, 0, 16},   // class 1: narrow head
        /* 3*/ {40, 203, 4090, 0, 19},  // PrinterType 8
        /* 4*/ {26, 203, 8500, 0, 17},  // PrinterType 3
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(records[row.index].model);
        host::select_model(job, records[row.index]);
        const RecordView r = rec();
        EXPECT_EQ(r.get(record::model_class), records[row.index].model_class);
        EXPECT_EQ(r.get(record::reduced_options), records[row.index].reduced_options);
        EXPECT_EQ(r.get(record::resolution_code), records[row.index].resolution_code);
        EXPECT_EQ(r.get(record::memory_code), records[row.index].memory_code);
        EXPECT_EQ(r.get(record::printer_type), records[row.index].printer_type);
        EXPECT_EQ(r.get(record::dpi_x), row.dpi);
        EXPECT_EQ(r.get(record::max_print_width), row.width);
        EXPECT_EQ(r.get(record::top_offset), row.top_offset);
        EXPECT_EQ(r.get(record::setup_option_count), row.options);
    }
    host::fill_model_fields(rec(), records[49]);
    EXPECT_EQ(rec().get(record::printer_type), 14);
}

std::vector<std::byte> copy_of_table() {
    return {table().begin(), table().end()};
}

void put_word(std::vector<std::byte>& t, std::size_t at, std::uint32_t v) {
    store_le(t.data() + at, v);
}

// A table that is cut short or points outside itself is refused with a message; it is never
// read past its end.
TEST(ModelTableReader, RefusesBrokenTables) {
    EXPECT_TRUE(host::read_model_table(std::span<const std::byte>{}).empty());
    struct Row {
        const char* what;
        void (*spoil)(std::vector<std::byte>&);
    };
    const Row rows[] = {
        /* 0*/ {"cut short", [](std::vector<std::byte>& t) { t.resize(5000); }},
        /* 1*/ {"three bytes", [](std::vector<std::byte>& t) { t.resize(3); }},
        /* 2*/ {"header outside", [](std::vector<std::byte>& t) { put_word(t, 0, 0xFFFFFFF0u); }},
        /* 3*/ {"header tag", [](std::vector<std::byte>& t) { put_word(t, 5150, 0xE802); }},
        /* 4*/ {"huge count", [](std::vector<std::byte>& t) { put_word(t, 5162, 100000); }},
        /* 5*/ {"index outside", [](std::vector<std::byte>& t) { put_word(t, 5166, 5170); }},
        /* 6*/ {"record outside", [](std::vector<std::byte>& t) { put_word(t, 4942, 5160); }},
        /* 7*/ {"record tag", [](std::vector<std::byte>& t) { put_word(t, 50, 0); }},
        /* 8*/ {"maker outside", [](std::vector<std::byte>& t) { put_word(t, 54, 9000); }},
        /* 9*/ {"model unterminated",
                [](std::vector<std::byte>& t) {
                    put_word(t, 58, 5177);
                    t[5177] = std::byte{'x'};
                }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::byte> t = copy_of_table();
        row.spoil(t);
        EXPECT_THROW(host::read_model_table(std::span<const std::byte>(t)), host::ModelTableError);
    }
    // A table without records is a valid, empty table.
    std::vector<std::byte> none = copy_of_table();
    put_word(none, 5162, 0);
    EXPECT_TRUE(host::read_model_table(std::span<const std::byte>(none)).empty());
}

}  // namespace
}  // namespace epl2::test
