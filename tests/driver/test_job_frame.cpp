// The job frame: coordinates and clipping, the job header, stored forms, the print command and
// the end of the job, byte for byte as a printer receives them.
#include <string>

#include "driver_test.h"

namespace epl2::test {
namespace {

// A record as prtsetup leaves it for a 203 dpi head, written field by field so the frame can be
// tested on its own; the capability tests check prtsetup itself.
void seed_203_dpi(RecordView r, std::int32_t max_print_width = 4090,
                  std::int32_t label_width = 4000) {
    r.set(record::printer_type, 1);
    r.set(record::resolution_code, 1);
    r.set(record::dpi_x, 203);
    r.set(record::dpi_y, 203);
    r.set(record::max_print_width, max_print_width);
    r.set(record::label_width, label_width);
    r.set(record::form_store_enabled, 1);
}

// The header of the job-start example: PrinterType 1, 203 dpi, 508 KB with automatic split,
// 2-inch labels with a 24-dot gap, backup off, darkness 10, speed 3.
void seed_header_example(RecordView r) {
    seed_203_dpi(r);
    r.set(record::job_model_class, 0);
    r.set(record::memory_reconfigure, 1);
    r.set(record::memory_auto, 0);
    r.set(record::memory_size_kb, 508);
    r.set(record::label_height, 2000);
    r.set(record::sensor_type, 0);
    r.set(record::gap_size, 24);
    r.set(record::extra_gap_offset, 0);
    r.set(record::top_of_form_backup, 2);
    r.set(record::darkness, 10);
    r.set(record::print_direction, 0);
    r.set(record::speed_setting, 3);
    r.set(record::label_present_sensor, 0);
    r.set(record::print_method, 0);
    r.set(record::label_cutter, 0);
}

const std::string header_example_bytes = "\r\n" + line("M44,8,446") + "\nN\n\r\n" +
                                         line("Q406,24") + line("JB") + line("D10") + line("ZT") +
                                         line("R8,0") + line("S3") + line("ON");

class JobFrame : public DriverTest {
   protected:
    void SetUp() override { seed_203_dpi(rec()); }
    std::int32_t map_x(std::int32_t x) {
        job.call(ep().setclip, x, 0, 0, 0);
        return rec().get(record::clip_left);
    }
    std::int32_t map_y(std::int32_t y) {
        job.call(ep().setclip, 0, y, 0, 0);
        return rec().get(record::clip_top);
    }
};

TEST_F(JobFrame, MappingOfHostPositionsToDots) {
    struct Row {
        std::int32_t model_class, printer_type, max_print_width, label_width, left_offset, x, dots;
    };
    static const Row rows[] = {
        /*  0*/ {0, 1, 4090, 4000, 0, 0, 9},  // centred: half the spare width
        /*  1*/ {0, 1, 4090, 4000, 0, 1000, 212},
        /*  2*/ {2, 1, 4090, 4000, 50, 0, 28},  // right-aligned with the left offset
        /*  3*/ {0, 1, 4000, 4100, 0, 0, -9},   // label wider than the head
        /*  4*/ {2, 13, 4090, 4000, 50, 0, 9},  // PrinterType 13 is always centred
        /*  5*/ {0, 1, 4000, 3899, 0, 0, 10},   // odd spare: 101 / 2 rounds down to 50
        /*  6*/ {0, 1, 4000, 4101, 0, 0, -9},   // -9.85 dots truncates toward zero
    };
    for (const Row& row : rows) {
        rec().set(record::model_class, row.model_class);
        rec().set(record::printer_type, row.printer_type);
        rec().set(record::max_print_width, row.max_print_width);
        rec().set(record::label_width, row.label_width);
        rec().set(record::left_offset, row.left_offset);
        EXPECT_EQ(map_x(row.x), row.dots) << "row " << (&row - rows);
    }
    // At 1000 dpi the half spare shows unrounded: -101 shifts to -51 (not -50), -51.5 dots to -50.
    rec().set(record::dpi_x, 1000);
    EXPECT_EQ(map_x(0), -50);
}

TEST_F(JobFrame, MappingOfRowsAndLargeValues) {
    rec().set(record::top_offset, 50);
    EXPECT_EQ(map_y(0), -9);  // -9.65 dots truncates toward zero
    rec().set(record::top_offset, 0);
    rec().set(record::dpi_y, 300);
    EXPECT_EQ(map_y(1000), 300);
    // Values far beyond any label wrap like 32-bit arithmetic instead of being undefined.
    EXPECT_EQ(map_y(2147483647), (static_cast<std::int32_t>(2147483647u * 300u + 500u)) / 1000);
}

TEST_F(JobFrame, SetclipStoresTheFourEdgesUnordered) {
    EXPECT_EQ(job.call(ep().setclip, 4000, 2000, 0, 0), 0);
    EXPECT_EQ(rec().get(record::clip_left), 821);
    EXPECT_EQ(rec().get(record::clip_top), 406);
    EXPECT_EQ(rec().get(record::clip_right), 9);
    EXPECT_EQ(rec().get(record::clip_bottom), 0);
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(JobFrame, HeaderOfTheWorkedExample) {
    seed_header_example(rec());
    job.set_label_name("SHIP.LBL");
    EXPECT_EQ(job.call(ep().maininit), 0);
    EXPECT_EQ(take_bytes(), header_example_bytes);
    EXPECT_EQ(rec().string(record::form_name), "SHIPLBL");
    EXPECT_EQ(rec().get(record::last_text_font), -1);
    EXPECT_EQ(rec().get(record::image_buffer_size), 44);
    EXPECT_EQ(rec().get(record::graphics_memory_size), 446);
    for (std::byte b : rec().bytes(record::stored_graphic_ids)) EXPECT_EQ(b, std::byte{0xFF});
}

TEST_F(JobFrame, FormNames) {
    struct Row {
        const char* label;
        const char* form;
    };
    static const Row rows[] = {
        /*  0*/ {"A.B C", "ABC"},
        /*  1*/ {". . .", ""},
        /*  2*/ {"ABCDEFGHIJKL", "ABCDEFGH"},
        /*  3*/ {"", ""},
        /*  4*/ {"A.B CD.EFGHIJ", "ABCDEFGH"},
    };
    for (const Row& row : rows) {
        job.set_label_name(row.label);
        job.call(ep().maininit);
        EXPECT_EQ(rec().string(record::form_name), row.form) << "row " << (&row - rows);
    }
}

TEST_F(JobFrame, HeaderVariants) {
    struct Row {
        const char* what;
        void (*change)(RecordView);
        std::string expected;
    };
    const std::string tail = line("D10") + line("ZT") + line("R8,0") + line("S3") + line("ON");
    const std::string no_memory_head = "\nN\n\r\n";
    const Row rows[] = {
        /*  0*/ {
            "300 dpi automatic memory",
            [](RecordView r) {
                r.set(record::resolution_code, 0);
                r.set(record::dpi_y, 300);
                r.set(record::label_height, 6000);
            },
            "\r\n" + line("M282,8,208") + no_memory_head + line("Q1800,24") + line("JB") + tail},
        /*  1*/
        {"image buffer capped by small memory",
         [](RecordView r) {
             r.set(record::memory_size_kb, 124);
             r.set(record::label_height, 20000);
         },
         "\r\n" + line("M101,8,5") + no_memory_head + line("Q4060,24") + line("JB") + tail},
        /*  2*/
        {"no reconfiguration", [](RecordView r) { r.set(record::memory_reconfigure, 0); },
         no_memory_head + line("Q406,24") + line("JB") + tail},
        /*  3*/
        {"memory command switched off", [](RecordView r) { r.set(record::memory_command_off, 1); },
         no_memory_head + line("Q406,24") + line("JB") + tail},
        /*  4*/
        {"user-set memory",
         [](RecordView r) {
             r.set(record::memory_auto, 1);
             r.set(record::image_buffer_size, 100);
             r.set(record::form_memory_size, 50);
             r.set(record::graphics_memory_size, 200);
         },
         "\r\n" + line("M100,50,200") + no_memory_head + line("Q406,24") + line("JB") + tail},
        /*  5*/
        {"narrow head",
         [](RecordView r) {
             r.set(record::job_model_class, 1);
             r.set(record::memory_reconfigure, 0);
         },
         no_memory_head + line("Q406,24") + line("JB") + line("D10") + line("ZT") + line("R0,0") +
             line("S3") + line("ON")},
        /*  6*/
        {"black mark, zero offset",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::sensor_type, 2);
         },
         no_memory_head + line("Q406,B24+0") + line("JB") + tail},
        /*  7*/
        {"gap with offset",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::extra_gap_offset, 5);
         },
         no_memory_head + line("Q406,24+5") + line("JB") + tail},
        /*  8*/
        {"gap with offset, signed printer",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::extra_gap_offset, 5);
             r.set(record::printer_type, 14);
             r.set(record::black_line_direction, 1);
         },
         no_memory_head + line("Q406,24-5") + line("JB") + line("D10") + line("ZT") + line("R8,0") +
             line("S3")},
        /*  9*/
        {"continuous media",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::sensor_type, 1);
         },
         no_memory_head + line("JB") + tail},
        /* 10*/
        {"backup with feed adjustment",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::top_of_form_backup, 1);
             r.set(record::media_feed_adjust, 136);
         },
         no_memory_head + line("Q406,24") + line("JF") + line("j136") + tail},
        /* 11*/
        {"no backup command",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::top_of_form_backup, 0);
             r.set(record::print_direction, 1);
             r.set(record::label_present_sensor, 1);
         },
         no_memory_head + line("Q406,24") + line("D10") + line("ZB") + line("R8,0") + line("S3") +
             line("O")},
        /* 12*/
        {"print method, PrinterType 2",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::printer_type, 2);
             r.set(record::print_method, 1);
         },
         no_memory_head + line("Q406,24") + line("JB") + line("D10") + line("ZT") + line("R8,0") +
             line("S3") + line("OD")},
        /* 13*/
        {"no O command for PrinterType 2 with thermal transfer",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::printer_type, 2);
         },
         no_memory_head + line("Q406,24") + line("JB") + line("D10") + line("ZT") + line("R8,0") +
             line("S3")},
        /* 14*/
        {"cutter, PrinterType 9",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::printer_type, 9);
             r.set(record::label_cutter, 1);
         },
         no_memory_head + line("Q406,24") + line("JB") + line("D10") + line("ZT") + line("R8,0") +
             line("S3") + line("OC,D,S")},
        /* 15*/
        {"no cutter, PrinterType 9",
         [](RecordView r) {
             r.set(record::memory_reconfigure, 0);
             r.set(record::printer_type, 9);
         },
         no_memory_head + line("Q406,24") + line("JB") + line("D10") + line("ZT") + line("R8,0") +
             line("S3") + line("OD,S")},
    };
    for (const Row& row : rows) {
        seed_header_example(rec());
        rec().set(record::memory_command_off, 0);
        rec().set(record::black_line_direction, 0);
        row.change(rec());
        job.call(ep().maininit);
        EXPECT_EQ(take_bytes(), row.expected) << "row " << (&row - rows) << ": " << row.what;
    }
}

TEST_F(JobFrame, WholeJobOfTheWorkedExample) {
    seed_header_example(rec());
    job.set_label_name("SHIPLBL");
    const std::string form = "\"SHIPLBL\"";
    job.call(ep().maininit);
    job.call(ep().repeat_begin, 1);
    take_bytes();

    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), line("FK" + form) + line("FS" + form));
    job.call(ep().setclip, 0, 0, 4000, 2000);
    EXPECT_EQ(rec().get(record::clip_left), 9);
    EXPECT_EQ(rec().get(record::clip_top), 0);
    EXPECT_EQ(rec().get(record::clip_right), 821);
    EXPECT_EQ(rec().get(record::clip_bottom), 406);
    EXPECT_EQ(take_bytes(), "");
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("FE"));

    job.set_form_mode(3);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), line("FR" + form));
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), "");

    job.set_form_mode(5);
    job.call(ep().pageinit, 0);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("P1"));
    EXPECT_EQ(job.call(ep().main_end), 0);
    EXPECT_EQ(take_bytes(), line("FK" + form));
}

TEST_F(JobFrame, FormPreambleOpensAtMostOncePerConditionAndJob) {
    job.set_label_name("F");
    job.call(ep().maininit);
    take_bytes();
    const std::string open = line("FK\"F\"") + line("FS\"F\"");

    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), open);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), "");

    rec().set(record::variable_mode, 1);
    job.set_form_mode(1);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), "");
    rec().set(record::variable_mode, 2);
    rec().set(record::variable_count, 7);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), open);  // the second condition opens once more
    EXPECT_EQ(rec().get(record::variable_count), 0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), "");

    job.call(ep().maininit);
    take_bytes();
    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), open);
}

TEST_F(JobFrame, FormsDisabledOpenThroughTheSecondCondition) {
    rec().set(record::form_store_enabled, 0);
    job.set_label_name("F");
    job.call(ep().maininit);
    take_bytes();
    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), line("FK\"F\"") + line("FS\"F\""));
    EXPECT_EQ(rec().get(record::form_begun_a), 0);
    EXPECT_EQ(rec().get(record::form_begun_b), 1);
}

TEST_F(JobFrame, DirectPrinterSendsNoFormCommands) {
    rec().set(record::printer_type, 8);
    job.set_label_name("F");
    job.call(ep().maininit);
    job.call(ep().repeat_begin, 1);
    take_bytes();
    for (std::uint8_t mode : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{3}}) {
        job.set_form_mode(mode);
        job.call(ep().pageinit, 0);
        job.call(ep().page_end, 0);
    }
    EXPECT_EQ(take_bytes(), "");
    job.set_form_mode(5);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("P1") + "\nN\n\r\n");
    job.call(ep().main_end);
    EXPECT_EQ(take_bytes(), "\r\n");
}

TEST_F(JobFrame, PageEndByPass) {
    job.set_label_name("F");
    job.call(ep().maininit);
    take_bytes();
    job.set_form_mode(0);
    job.call(ep().page_end, 0);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("FE") + line("FE"));  // at every label, opened or not
    for (int mode : {1, 2, 3, 4, 6, 7, 200}) {
        job.set_form_mode(static_cast<std::uint8_t>(mode));
        job.call(ep().pageinit, 0);
        job.call(ep().page_end, 0);
        const std::string expected = mode == 3 ? line("FR\"F\"") : "";
        EXPECT_EQ(take_bytes(), expected) << "mode " << mode;
    }
}

TEST_F(JobFrame, PrintCommandVariants) {
    job.set_form_mode(5);
    for (std::int32_t quantity : {0, -2, 12345}) {
        job.call(ep().repeat_begin, quantity);
        job.call(ep().page_end, 0);
        EXPECT_EQ(take_bytes(), line("P" + std::to_string(quantity)));
    }

    job.call(ep().repeat_begin, 1);
    job.call(ep().PrinterMessage, 32, 0, 1, 0);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), "P1\r\n");  // no LF of its own

    job.call(ep().PrinterMessage, 35, 0, job.keep_string("<"), 0);
    job.call(ep().PrinterMessage, 36, 0, job.keep_string(">X\n"), 0);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), "P<1>X\n\r\n");

    job.call(ep().PrinterMessage, 33, 0, job.keep_string("RS"), 0);
    job.call(ep().PrinterMessage, 34, 0, job.keep_string("TR"), 0);
    job.set_label_name("F");
    job.call(ep().maininit);
    take_bytes();
    job.set_form_mode(3);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), "FR\"F\"\nRS\r\n");
    job.call(ep().main_end);
    EXPECT_EQ(take_bytes(), "FK\"F\"\nTR\r\n");
}

TEST_F(JobFrame, ContinuousMediaSendsTheUnusedLength) {
    rec().set(record::sensor_type, 1);
    rec().set(record::label_height, 2000);
    rec().set(record::max_object_bottom, 106);
    job.call(ep().repeat_begin, 1);
    job.set_form_mode(5);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("Q300,0") + line("P1"));
}

TEST_F(JobFrame, VariableDataBlockIsBoundedByItsBuffer) {
    job.set_form_mode(3);
    auto block = rec().bytes(record::variable_data);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = std::byte{'a'};
    // A record that never saw maininit may hold any length: never more than the block is read.
    rec().set(record::variable_data_length, 100000);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), std::string(512, 'a'));
    rec().set(record::variable_data_length, -5);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), "");
    rec().set(record::variable_data_length, 3);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), "aaa");
    job.call(ep().maininit);
    EXPECT_EQ(rec().get(record::variable_data_length), 0);
}

TEST_F(JobFrame, EmptyFormNameGoesOutAsTwoQuotes) {
    job.set_label_name("..");
    job.call(ep().maininit);
    take_bytes();
    job.set_form_mode(0);
    job.call(ep().pageinit, 0);
    EXPECT_EQ(take_bytes(), line("FK\"\"") + line("FS\"\""));
}

}  // namespace
}  // namespace epl2::test
