// Capability registration read back from the record after prtsetup, against tables written from
// the published capability values: fonts, symbologies, fixed host words and bits, label limits,
// offsets, resolution and the driver state a job relies on.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "driver_test.h"

namespace epl2::test {
namespace {

using Capabilities = DriverTest;

std::string text_at(std::uint32_t word) {
    return word == 0 ? std::string("<null>") : std::string(reinterpret_cast<const char*>(word));
}

struct Model {
    std::int32_t model_class = 0;
    std::int32_t reduced_options = -1;
    std::int32_t resolution_code = -1;
    std::int32_t memory_code = -1;
    std::int32_t printer_type = -1;
};

void select(host::HostJob& job, const Model& m) {
    job.select_model(m.model_class, m.reduced_options, m.resolution_code, m.memory_code,
                     m.printer_type);
}

std::vector<std::string> font_names(RecordView r) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 25; ++i) {
        names.push_back(text_at(r.get(record::font_name_list, i, word_entry::word)));
        if (names.back().empty()) break;
    }
    return names;
}

TEST_F(Capabilities, FontNameListPerPrinterType) {
    const std::vector<std::string> generic{"8 X 12",  "10 X 18", "12 X 20",
                                           "14 X 24", "32 X 48", ""};
    const std::vector<std::string> type_3{"8 X 12",  "10 X 18",    "12 X 20", "14 X 24",
                                          "32 X 48", "Arial 12pt", ""};
    const std::vector<std::string> type_8{"8 X 12", "10 X 16", "12 X 20", "14 X 24", "32 X 48", ""};
    struct Row {
        std::int32_t printer_type;
        const std::vector<std::string>* names;
    };
    const Row rows[] = {
        /*  0*/ {-1, &generic}, /*  1*/ {1, &generic}, /*  2*/ {3, &type_3},
        /*  3*/ {6, &generic},  /*  4*/ {8, &type_8},  /*  5*/ {13, &generic},
        /*  6*/ {30, &generic}, /*  7*/ {0, &generic}, /*  8*/ {99, &generic},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.printer_type);
        select(job, {.printer_type = row.printer_type});
        EXPECT_EQ(font_names(rec()), *row.names);
        EXPECT_EQ(rec().get(record::font_count), 5);
    }
}

struct FontRow {
    const char* selector;
    std::int32_t cell_height, cell_width, max_height, max_width, value_32;
};

void expect_fonts(RecordView r, const std::array<FontRow, 5>& fonts) {
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        SCOPED_TRACE(i);
        const FontRow& f = fonts[i];
        EXPECT_EQ(text_at(r.get(record::font_table, i, font_entry::printer_font)), f.selector);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::max_h_mult), 8);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::max_v_mult), 9);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::cell_height), f.cell_height);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::cell_width), f.cell_width);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::max_height), f.max_height);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::max_width), f.max_width);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::value_28), 4);
        EXPECT_EQ(r.get(record::font_table, i, font_entry::value_32), f.value_32);
        EXPECT_EQ(text_at(r.get(record::font_table, i, font_entry::font_text)), "");
    }
}

TEST_F(Capabilities, FontEntriesWithTheirPrinterTypeVariants) {
    // clang-format off
    const std::array<FontRow, 5> generic{{
        {"1", 85, 49, 680, 392, 95}, {"2", 119, 59, 952, 472, 95}, {"3", 130, 69, 1040, 552, 95},
        {"4", 166, 78, 1328, 624, 95}, {"5", 393, 179, 3144, 1432, 95}}};
    const std::array<FontRow, 5> type_6{{
        {"1", 85, 40, 680, 320, 95}, {"2", 119, 54, 952, 432, 95}, {"3", 130, 69, 1040, 552, 95},
        {"4", 166, 78, 1328, 624, 95}, {"5", 393, 179, 3144, 1432, 95}}};
    const std::array<FontRow, 5> type_8{{
        {"1", 85, 49, 680, 392, 95}, {"2", 119, 59, 952, 472, 95}, {"3", 130, 69, 1040, 552, 95},
        {"4", 166, 78, 1328, 624, 95}, {"5", 393, 179, 3144, 1432, 93}}};
    // clang-format on
    select(job, {.printer_type = -1});
    expect_fonts(rec(), generic);
    select(job, {.printer_type = 3});
    expect_fonts(rec(), generic);
    select(job, {.printer_type = 6});
    expect_fonts(rec(), type_6);
    select(job, {.printer_type = 8});
    expect_fonts(rec(), type_8);
}

TEST_F(Capabilities, FontFlagsChangeOnlyTheirBits) {
    for (std::size_t i = 0; i < 5; ++i) {
        rec().set(record::font_table, i, font_entry::font_flags, i % 2 ? 0xFFFFFFFFu : 0u);
    }
    select(job, {});
    // Bits 5-6 = 2, bit 7 clear, bits 8-13 set; the others are the host's.
    EXPECT_EQ(rec().get(record::font_table, 0, font_entry::font_flags), 0x00003F40u);
    EXPECT_EQ(rec().get(record::font_table, 1, font_entry::font_flags), 0xFFFFFF5Fu);
}

struct BarcodeRow {
    std::int32_t symbology;
    std::uint32_t flags;  // on a record whose flag words were 0
    std::uint8_t value_8, value_9;
    std::int32_t value_12, value_20;
};

// The registered symbologies on a zeroed record with a resolution code other than 1.
// clang-format off
constexpr std::array<BarcodeRow, 13> all_symbologies{{
    /*  0*/ {0, 0x03F7, 10, 1, 33, 5000},
    /*  1*/ {5, 0x03F7, 10, 1, 33, 5000},
    /*  2*/ {7, 0x03F7, 10, 1, 33, 5000},
    /*  3*/ {6, 0x03F7, 10, 1, 33, 5000},
    /*  4*/ {13, 0x1CFF, 10, 2, 1283, 5000},
    /*  5*/ {14, 0x1CF7, 9, 2, 1283, 5000},
    /*  6*/ {16, 0x1CF7, 9, 2, 1283, 5000},
    /*  7*/ {8, 0x1CFF, 10, 2, 1283, 5000},
    /*  8*/ {10, 0x1CFF, 10, 2, 1283, 5000},
    /*  9*/ {11, 0x1CFF, 10, 2, 1283, 5000},
    /* 10*/ {20, 0x1CFF, 10, 2, 1283, 5000},
    /* 11*/ {12, 0x1CF7, 10, 2, 1283, 5000},
    /* 12*/ {21, 0x00F0, 0, 0, 0, 120},
}};
// clang-format on

void expect_barcodes(RecordView r, const std::vector<BarcodeRow>& rows) {
    ASSERT_EQ(r.get(record::barcode_count), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const BarcodeRow& b = rows[i];
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::symbology), b.symbology);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::barcode_flags), b.flags);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_8), b.value_8);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_9), b.value_9);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_12), b.value_12);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_16),
                  b.symbology == 8 ? 1 : 0);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_20), b.value_20);
        EXPECT_EQ(r.get(record::barcode_table, i, barcode_entry::value_24), 0);
        EXPECT_EQ(text_at(r.get(record::barcode_table, i, barcode_entry::name_text)), "");
    }
}

TEST_F(Capabilities, ThirteenSymbologiesForMostPrinterTypes) {
    for (std::int32_t type : {-1, 1, 2, 8, 14, 30}) {
        SCOPED_TRACE(type);
        host::HostJob fresh(driver_module(), sink);
        select(fresh, {.printer_type = type});
        expect_barcodes(fresh.record(), {all_symbologies.begin(), all_symbologies.end()});
    }
}

TEST_F(Capabilities, PrinterTypes3And13LeaveOutSymbology10) {
    std::vector<BarcodeRow> twelve(all_symbologies.begin(), all_symbologies.end());
    twelve.erase(twelve.begin() + 8);
    for (std::int32_t type : {3, 13}) {
        SCOPED_TRACE(type);
        host::HostJob fresh(driver_module(), sink);
        select(fresh, {.printer_type = type});
        expect_barcodes(fresh.record(), twelve);
        EXPECT_EQ(fresh.record().get(record::barcode_table, 8, barcode_entry::symbology), 11);
    }
}

TEST_F(Capabilities, UpcEanByteFollowsTheResolutionCode) {
    struct Row {
        std::int32_t resolution_code;
        std::uint8_t value_9;
    };
    const Row rows[] = {/* 0*/ {0, 1}, /* 1*/ {1, 0}, /* 2*/ {-1, 1}, /* 3*/ {2, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.resolution_code);
        select(job, {.resolution_code = row.resolution_code});
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(rec().get(record::barcode_table, i, barcode_entry::value_9), row.value_9);
        }
        EXPECT_EQ(rec().get(record::barcode_table, 4, barcode_entry::value_9), 2);
    }
}

TEST_F(Capabilities, BarcodeFlagsKeepTheHostBitsAndTheSetupsAsGraphic) {
    for (std::size_t i = 0; i < 13; ++i) {
        rec().set(record::barcode_table, i, barcode_entry::barcode_flags, 0xFFFFFFFFu);
    }
    select(job, {});
    EXPECT_EQ(rec().get(record::barcode_table, 0, barcode_entry::barcode_flags), 0xFFFFC3F7u);
    EXPECT_EQ(rec().get(record::barcode_table, 7, barcode_entry::barcode_flags), 0xFFFFDCFFu);
    EXPECT_EQ(rec().get(record::barcode_table, 5, barcode_entry::barcode_flags), 0xFFFFDCF7u);
    // Postnet also clears as_graphic (bits 14-15).
    EXPECT_EQ(rec().get(record::barcode_table, 12, barcode_entry::barcode_flags), 0xFFFF00F0u);
}

TEST_F(Capabilities, MaxiCodeEntry) {
    rec().set(record::symbol2d_table, 0, symbol2d_entry::symbol2d_flags, 0xFFFFFFFEu);
    rec().set(record::symbol2d_table, 0, symbol2d_entry::as_graphic, 3);
    select(job, {});
    const RecordView r = rec();
    EXPECT_EQ(r.get(record::symbol2d_count), 1);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::symbology), 7);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::symbol2d_flags), 0xFFFFFFF1u);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::as_graphic), 0);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::value_32), 'c');
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::value_36), 3);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::value_40), 5000);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::value_44), 5000);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::value_48), 0);
    EXPECT_EQ(text_at(r.get(record::symbol2d_table, 0, symbol2d_entry::name_text)), "");
}

TEST_F(Capabilities, FixedWordsOnAZeroedRecord) {
    select(job, {});
    const RecordView r = rec();
    EXPECT_EQ(text_at(r.get(record::maker_name)), "Zadivi");
    EXPECT_EQ(r.get(record::cap_12), 41);
    EXPECT_EQ(r.get(record::cap_16), 5);
    EXPECT_EQ(r.get(record::cap_48), 3);
    EXPECT_EQ(r.get(record::cap_flags_52), 0x2Bu);
    EXPECT_EQ(r.get(record::cap_flags_60), 1u);
    EXPECT_EQ(r.get(record::cap_flags_68), 1u);
    EXPECT_EQ(r.get(record::cap_flags_76), 1u);
    EXPECT_EQ(r.get(record::cap_flags_84), 0x803u);
    EXPECT_EQ(r.get(record::cap_88), 30);
    EXPECT_EQ(text_at(r.get(record::cap_text_104)), "");
    EXPECT_EQ(r.get(record::cap_168), 0);
    EXPECT_EQ(r.get(record::cap_flags_3260), 7u);
    EXPECT_EQ(r.get(record::cap_3264), 9600);
    EXPECT_EQ(r.get(record::cap_flags_3268), 0xF01u);
    EXPECT_EQ(r.get(record::cap_3280), 0);
    EXPECT_EQ(r.get(record::cap_3281), 15);
    EXPECT_EQ(r.get(record::cap_flags_3284), 0xDCu);
    EXPECT_EQ(r.get(record::cap_3312), 1);
    EXPECT_EQ(r.get(record::cap_3316), 1);
    EXPECT_EQ(r.get(record::cap_flags_3416), 0x7E8u);
    EXPECT_EQ(r.get(record::cap_3420), 9999);
    EXPECT_EQ(r.get(record::cap_flags_3436), 1u);
    EXPECT_EQ(r.get(record::cap_3440), 1);
    EXPECT_EQ(r.get(record::cap_3447), 15);
    EXPECT_EQ(r.get(record::cap_3976), 6);
    EXPECT_EQ(r.get(record::cap_8524), 'T');
    for (std::byte b : r.bytes(record::cap_3444)) EXPECT_EQ(std::to_integer<int>(b), 7);
}

TEST_F(Capabilities, FixedWordsKeepTheHostsOtherBits) {
    const RecordView r = rec();
    r.set(record::cap_flags_52, 0xFFFFFFFFu);
    r.set(record::cap_flags_60, 0xF0u);
    r.set(record::cap_flags_84, 0xFFFFFFFFu);
    r.set(record::cap_flags_3268, 0xFFFFFFFFu);
    r.set(record::cap_flags_3284, 0xFFFFFFFFu);
    r.set(record::cap_flags_3416, 0xFFFFFFFFu);
    r.set(record::cap_flags_3436, 0xFFFFFFFFu);
    r.set(record::cap_3320, 77);
    r.set(record::cap_3340, 77);
    select(job, {.printer_type = 8});
    EXPECT_EQ(r.get(record::cap_flags_52), 0xFFFFFFBBu);
    EXPECT_EQ(r.get(record::cap_flags_60), 0xF1u);
    EXPECT_EQ(r.get(record::cap_flags_84), 0xFFFFFBFBu);
    EXPECT_EQ(r.get(record::cap_flags_3268), 0xFFFFFFF1u);
    EXPECT_EQ(r.get(record::cap_flags_3284), 0xFFFFFFFDu);
    EXPECT_EQ(r.get(record::cap_flags_3416), 0xFFFFE7FFu);
    EXPECT_EQ(r.get(record::cap_flags_3436), 0xFFFFFFFDu);
    EXPECT_EQ(r.get(record::cap_3320), 0);
    EXPECT_EQ(r.get(record::cap_3340), 0);
    // PrinterType 8 variants.
    for (std::byte b : r.bytes(record::cap_3444)) EXPECT_EQ(std::to_integer<int>(b), 3);
    EXPECT_EQ(r.get(record::cap_3447), 0);
}

struct SizeRow {
    std::int32_t model_class, printer_type;
    std::int32_t width, length, height;
};

TEST_F(Capabilities, WidthAndLengthLimits) {
    // clang-format off
    const SizeRow rows[] = {
        /*  0*/ {0, -1, 4000, 20000, 4000},
        /*  1*/ {0, 1, 4000, 20000, 4000},
        /*  2*/ {0, 2, 4090, 20000, 4000},
        /*  3*/ {0, 3, 8500, 22000, 4000},
        /*  4*/ {0, 4, 4090, 22000, 4000},
        /*  5*/ {0, 5, 4000, 20000, 4000},
        /*  6*/ {0, 6, 4090, 20000, 4000},
        /*  7*/ {0, 7, 4090, 22000, 4000},
        /*  8*/ {0, 8, 4090, 20000, 4000},
        /*  9*/ {0, 9, 4090, 20000, 4000},
        /* 10*/ {0, 10, 4000, 20000, 4000},
        /* 11*/ {0, 11, 4090, 20000, 4000},
        /* 12*/ {0, 12, 4090, 20000, 4000},
        /* 13*/ {0, 13, 4090, 22000, 4000},
        /* 14*/ {0, 14, 4090, 22000, 4000},
        /* 15*/ {0, 30, 4000, 20000, 4000},
        /* 16*/ {1, 1, 2200, 20000, 4000},
        /* 17*/ {1, 2, 4090, 20000, 4000},
        /* 18*/ {1, -1, 2200, 20000, 4000},
        /* 19*/ {1, 3, 8500, 22000, 4000},
        /* 20*/ {2, -1, 4000, 20000, 4000},
        /* 21*/ {3, -1, 2830, 5000, 5000},
        /* 22*/ {3, 3, 2830, 5000, 5000},
        /* 23*/ {3, 14, 2830, 5000, 5000},
    };
    // clang-format on
    for (const SizeRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.model_class << "/" << row.printer_type);
        select(job, {.model_class = row.model_class, .printer_type = row.printer_type});
        const RecordView r = rec();
        EXPECT_EQ(r.get(record::max_print_width), row.width);
        EXPECT_EQ(r.get(record::max_label_length), row.length);
        EXPECT_EQ(r.get(record::default_label_width), row.width);
        EXPECT_EQ(r.get(record::default_label_height), row.height);
        EXPECT_EQ(r.get(record::label_width), row.width);
        EXPECT_EQ(r.get(record::label_height), row.height);
        EXPECT_EQ(r.get(record::cap_3304), row.width);
        EXPECT_EQ(r.get(record::cap_3308), row.height);
    }
}

TEST_F(Capabilities, OffsetsAndResolution) {
    struct Row {
        std::int32_t model_class, resolution_code;
        std::int32_t offset, dpi, ten_dots;
    };
    const Row rows[] = {
        /* 0*/ {0, -1, 0, 203, 49}, /* 1*/ {2, -1, 50, 203, 49}, /* 2*/ {2, 0, 50, 300, 33},
        /* 3*/ {1, 0, 0, 300, 33},  /* 4*/ {0, 1, 0, 203, 49},   /* 5*/ {3, 7, 0, 203, 49},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.model_class << "/" << row.resolution_code);
        select(job, {.model_class = row.model_class, .resolution_code = row.resolution_code});
        const RecordView r = rec();
        EXPECT_EQ(r.get(record::top_offset), row.offset);
        EXPECT_EQ(r.get(record::left_offset), row.offset);
        EXPECT_EQ(r.get(record::max_object_bottom), row.offset);
        EXPECT_EQ(r.get(record::job_model_class), row.model_class);
        EXPECT_EQ(r.get(record::dpi_x), row.dpi);
        EXPECT_EQ(r.get(record::dpi_y), row.dpi);
        EXPECT_EQ(r.get(record::cap_dpi_3392), row.dpi);
        EXPECT_EQ(r.get(record::cap_dpi_3396), row.dpi);
        EXPECT_EQ(r.get(record::cap_3376), row.ten_dots);
        EXPECT_EQ(r.get(record::cap_3380), row.ten_dots);
    }
}

TEST_F(Capabilities, SetupOptionCountPerPrinterType) {
    struct Row {
        std::int32_t printer_type;
        int count;
    };
    const Row rows[] = {
        /*  0*/ {1, 17},  /*  1*/ {3, 17},  /*  2*/ {12, 17},
        /*  3*/ {30, 17}, /*  4*/ {8, 19},
        /*  5*/ {10, 19}, /*  6*/ {-1, 16}, /*  7*/ {2, 16},
        /*  8*/ {6, 16},  /*  9*/ {9, 16},
        /* 10*/ {11, 16}, /* 11*/ {4, 16},  /* 12*/ {5, 16},
        /* 13*/ {7, 16},  /* 14*/ {13, 16},
        /* 15*/ {14, 16}, /* 16*/ {0, 16},  /* 17*/ {29, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.printer_type);
        select(job, {.printer_type = row.printer_type});
        EXPECT_EQ(rec().get(record::setup_option_count), row.count);
    }
}

// Selecting a model again on the same record (or a record the host did not zero) publishes the
// count of the new model, not the sum of both.
TEST_F(Capabilities, SetupOptionCountIsSetNotAdded) {
    select(job, {.printer_type = 8});
    select(job, {.printer_type = 8});
    EXPECT_EQ(rec().get(record::setup_option_count), 19);
    rec().set(record::setup_option_count, std::uint8_t{200});
    select(job, {.printer_type = 1});
    EXPECT_EQ(rec().get(record::setup_option_count), 17);
}

TEST_F(Capabilities, DriverStateSeedsAndNothingSent) {
    const RecordView r = rec();
    r.set(record::form_store_enabled, 0);
    r.set(record::memory_command_off, 5);
    EXPECT_EQ(job.call(ep().PrinterMessage, 32, 0, 1, 0), 1);
    for (std::uint32_t code = 33; code <= 37; ++code) {
        EXPECT_EQ(job.call(ep().PrinterMessage, code, 0, host::word("XYZ"), 0), 1);
    }
    r.set(record::darkness, 12);
    EXPECT_EQ(job.call(ep().prtsetup), 0);
    EXPECT_EQ(r.get(record::form_store_enabled), 1);
    EXPECT_EQ(r.get(record::memory_command_off), 0);
    EXPECT_EQ(r.get(record::extra_strings_enabled), 0);
    EXPECT_EQ(r.string(record::print_prefix), "");
    EXPECT_EQ(r.string(record::print_suffix), "");
    EXPECT_EQ(r.string(record::recall_suffix), "");
    EXPECT_EQ(r.string(record::job_trailer), "");
    EXPECT_EQ(r.string(record::spare_string), "");
    // Option values are the setup's, not the registration's.
    EXPECT_EQ(r.get(record::darkness), 12);
    EXPECT_TRUE(sink.calls().empty());
}

// The registration writes nothing outside the fields it owns: bytes it leaves untouched keep the
// host's contents.
TEST_F(Capabilities, UntouchedBytesKeepTheHostsContents) {
    std::memset(rec().data(), 0xA5, record_size);
    select(job, {.printer_type = 3});
    const RecordView r = rec();
    EXPECT_EQ(std::to_integer<int>(r.data()[288 + 8]), 0xA5);    // FontEntry +8
    EXPECT_EQ(std::to_integer<int>(r.data()[288 + 11]), 0xA5);   // FontEntry +11
    EXPECT_EQ(std::to_integer<int>(r.data()[288 + 40]), 0xA5);   // FontEntry +40
    EXPECT_EQ(std::to_integer<int>(r.data()[1496 + 10]), 0xA5);  // BarcodeEntry +10
    EXPECT_EQ(std::to_integer<int>(r.data()[1496 + 16]), 0xA5);  // +16 of entry 0
    EXPECT_EQ(std::to_integer<int>(r.data()[1496 + 32]), 0xA5);  // BarcodeEntry +32
    EXPECT_EQ(std::to_integer<int>(r.data()[2296 + 8]), 0xA5);   // Symbol2dEntry +8
    EXPECT_EQ(std::to_integer<int>(r.data()[2296 + 60]), 0xA5);  // Symbol2dEntry +60
    EXPECT_EQ(r.get(record::model_class), 0);
    EXPECT_EQ(r.get(record::darkness), static_cast<std::int32_t>(0xA5A5A5A5u));
    EXPECT_EQ(r.chars(record::print_prefix)[1], static_cast<char>(0xA5));
    EXPECT_EQ(r.get(record::setup_option_count), 17);
}

}  // namespace
}  // namespace epl2::test
