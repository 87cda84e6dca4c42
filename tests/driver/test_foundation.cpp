// The module's outer contract: its entry points answer with the right constants, the message,
// note and driver-file entry points behave as the host relies on, and nothing is sent where
// nothing should be.
#include <array>
#include <cstring>

#include "driver_test.h"

namespace epl2::test {
namespace {

using Foundation = DriverTest;

TEST_F(Foundation, InertEntryPointsAnswerTheirConstantsAndSendNothing) {
    const auto& e = ep();
    const std::uint32_t h = job.handle();
    EXPECT_EQ(e.drawangle(h, 1, 2, 3, 4, 5, 6, 7, 8), -1);
    EXPECT_EQ(e.mapbar(h, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), -1);
    EXPECT_EQ(e.image_begin(h, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), -1);
    EXPECT_EQ(e.map_image(h, 1, 2, 3, 4, 5, 6), -1);
    EXPECT_EQ(e.image_end(h, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), -1);
    EXPECT_EQ(e.image_delete(h, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 0);
    EXPECT_EQ(e.download_begin(h, 1), -1);
    EXPECT_EQ(e.download_char(h, 1), -1);
    EXPECT_EQ(e.download_end(h, 1), -1);
    EXPECT_EQ(e.download_delete(h, 1), -1);
    EXPECT_EQ(e.drawtext2(h), 0);
    EXPECT_EQ(e.repeat_end(h, 1), 0);
    EXPECT_EQ(e.repeat_do(h, 1), 0);
    EXPECT_EQ(e.get_strlen(h, 1, 2, 3, 4, 5, 6, 7), 0);
    EXPECT_EQ(e.fontsynonym(h, 1, 2), 0);
    // The inert calls read no argument: garbage words, even a null handle, change nothing.
    EXPECT_EQ(e.drawangle(0, 0, 0, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(Foundation, Savevar2LeavesTheRecordUnchanged) {
    std::array<std::byte, record_size> before{};
    std::memcpy(before.data(), rec().data(), record_size);
    EXPECT_EQ(job.call(ep().savevar2, 3, 7), 0);
    EXPECT_EQ(std::memcmp(before.data(), rec().data(), record_size), 0);
}

TEST_F(Foundation, RepeatBeginStoresTheQuantityThatThePrintPassSends) {
    EXPECT_EQ(job.call(ep().repeat_begin, 3), 0);
    EXPECT_EQ(rec().get(record::label_quantity), 3);
    job.set_form_mode(5);
    job.call(ep().page_end, 0);
    EXPECT_EQ(take_bytes(), line("P3"));
}

TEST_F(Foundation, PrinterMessageCodes) {
    const auto& e = ep();
    const std::uint32_t h = job.handle();
    std::string twelve = "ABCDEFGHIJKL";
    std::uint32_t flags_out = 0xDEADBEEF;

    // Null handle: -1 whatever the code.
    EXPECT_EQ(e.PrinterMessage(0, 11, 0, 1, 0), -1);
    EXPECT_EQ(e.PrinterMessage(0, 20, 0, 1, 0), -1);

    EXPECT_EQ(e.PrinterMessage(h, 11, 0, 0x8001, 0), 1);
    EXPECT_EQ(rec().get(record::host_flags), 0x8001u);
    EXPECT_EQ(e.PrinterMessage(h, 12, 0, host::word(&flags_out), 0), 1);
    EXPECT_EQ(flags_out, 0x8001u);
    EXPECT_EQ(e.PrinterMessage(h, 12, 0, 0, 0), -1);

    EXPECT_EQ(e.PrinterMessage(h, 32, 0, 1, 0), 1);
    EXPECT_EQ(rec().get(record::extra_strings_enabled), 1);

    EXPECT_EQ(e.PrinterMessage(h, 35, 0, host::word(twelve.c_str()), 0), 1);
    EXPECT_EQ(rec().string(record::print_prefix), "ABCDEFGHI");
    EXPECT_EQ(e.PrinterMessage(h, 35, 0, 0, 0), 1);
    EXPECT_EQ(rec().string(record::print_prefix), "");

    EXPECT_EQ(e.PrinterMessage(h, 33, 0, host::word("RS"), 0), 1);
    EXPECT_EQ(e.PrinterMessage(h, 34, 0, host::word("TRAILER"), 0), 1);
    EXPECT_EQ(e.PrinterMessage(h, 36, 0, host::word("SFX"), 0), 1);
    EXPECT_EQ(e.PrinterMessage(h, 37, 0, host::word("spare"), 0), 1);
    EXPECT_EQ(rec().string(record::recall_suffix), "RS");
    EXPECT_EQ(rec().string(record::job_trailer), "TRAILER");
    EXPECT_EQ(rec().string(record::print_suffix), "SFX");
    EXPECT_EQ(rec().string(record::spare_string), "spare");

    std::array<std::byte, record_size> before{};
    std::memcpy(before.data(), rec().data(), record_size);
    for (std::int32_t code : {-1, 0, 10, 13, 20, 31, 38, 1000}) {
        EXPECT_EQ(e.PrinterMessage(h, host::word(code), 0, 1, 0), 0) << "code " << code;
    }
    EXPECT_EQ(std::memcmp(before.data(), rec().data(), record_size), 0);
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(Foundation, DriverNotesAreTheFifteenLines) {
    static const char* const expected[] = {
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
    for (std::uint32_t i = 0; i < 15; ++i) {
        const char* text = nullptr;
        // The JobHandle is not read: a null one works.
        EXPECT_EQ(ep().prtinfo(0, i, host::word(&text)), 0);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, expected[i]) << "line " << i;
    }
    for (std::int32_t i : {15, 16, -1, 1 << 30}) {
        const char* text = nullptr;
        EXPECT_EQ(ep().prtinfo(job.handle(), host::word(i), host::word(&text)), 0);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, "") << "index " << i;
    }
}

TEST_F(Foundation, FlatDataDescribesTheRecord) {
    std::array<std::int32_t, 6> descriptor{0, 0, 0, 0, 0, 77};
    ep().GetFlatData(host::word(descriptor.data()));
    EXPECT_EQ(descriptor, (std::array<std::int32_t, 6>{9376, 10, 1, -1, 301, 77}));
}

TEST_F(Foundation, DriverFileIsCreatedOnceThenReused) {
    auto& factory = host::driver_file_factory();
    host::DriverFileObject file;
    // The slot is module-wide and starts empty: a failed creation is retried.
    factory = {};
    factory.next_result = nullptr;
    EXPECT_EQ(ep().GetDriverFile(41), nullptr);
    EXPECT_EQ(factory.create_calls, 1);
    EXPECT_EQ(factory.last_argument, 41u);

    factory.next_result = &file;
    EXPECT_EQ(ep().GetDriverFile(42), &file);
    EXPECT_EQ(factory.create_calls, 2);
    EXPECT_EQ(factory.last_argument, 42u);
    EXPECT_EQ(factory.last_getter, ep().GetFlatData);
    EXPECT_EQ(file.second_calls, 0);

    EXPECT_EQ(ep().GetDriverFile(43), &file);
    EXPECT_EQ(ep().GetDriverFile(44), &file);
    EXPECT_EQ(factory.create_calls, 2);
    EXPECT_EQ(file.second_calls, 2);
    EXPECT_EQ(file.first_calls, 0);

    // The getter handed to the host is the driver's own descriptor function.
    std::array<std::int32_t, 5> descriptor{};
    factory.last_getter(host::word(descriptor.data()));
    EXPECT_EQ(descriptor[0], 9376);
}

TEST_F(Foundation, NullHandleIsHarmless) {
    const auto& e = ep();
    EXPECT_EQ(e.maininit(0), 0);
    EXPECT_EQ(e.pageinit(0, 0), 0);
    EXPECT_EQ(e.drawline(0, 0, 0, 100, 100, 0, 100, 0, 0), 0);
    EXPECT_EQ(e.page_end(0, 0), 0);
    EXPECT_TRUE(sink.calls().empty());
}

}  // namespace
}  // namespace epl2::test
