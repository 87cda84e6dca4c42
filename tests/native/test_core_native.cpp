// The width-independent driver logic on a 64-bit machine under AddressSanitizer and UBSan: the
// bounded writer at its limits and a whole job frame, so that no write can leave its buffer.
#include <gtest/gtest.h>

#include <string>

#include "core/coordinates.h"
#include "core/format.h"
#include "core/job_header.h"
#include "core/page_frame.h"
#include "native_host.h"

namespace epl2 {
namespace {

TEST(BoundedWriter, FormatsTheTemplateConversions) {
    char buffer[64];
    EXPECT_EQ(
        format_to(buffer, "A%ld,%d,%c,\"%s\"\n", {std::int32_t{-12}, std::int32_t{0}, 'R', "x\"y"}),
        15u);
    EXPECT_STREQ(buffer, "A-12,0,R,\"x\"y\"\n");
    EXPECT_EQ(format_to(buffer, "V%02d|V%02d|V%02d|%02d",
                        {std::int32_t{3}, std::int32_t{100}, std::int32_t{-5},
                         std::int32_t{-2147483647 - 1}}),
              24u);
    EXPECT_STREQ(buffer, "V03|V100|V-5|-2147483648");
    EXPECT_EQ(format_to(buffer, "%lu%%", {std::uint32_t{4294967295u}}), 11u);
    EXPECT_STREQ(buffer, "4294967295%");
    // An absurd width is held at the LineBuffer's size instead of overflowing.
    EXPECT_EQ(format_to(buffer, "%077777777777777777777d", {std::int32_t{6}}), 4096u);
    // Missing or mismatched arguments write nothing for their conversion.
    EXPECT_EQ(format_to(buffer, "[%d][%s]", {"text"}), 4u);
    EXPECT_STREQ(buffer, "[][]");
}

TEST(BoundedWriter, NeverWritesPastItsBufferAndReportsTheWholeLength) {
    for (std::size_t size = 1; size <= 12; ++size) {
        std::string buffer(size + 4, '#');
        const std::size_t needed = format_to(std::span<char>(buffer.data(), size), "P%s%d%s",
                                             {"pre", std::int32_t{12345}, "suf"});
        EXPECT_EQ(needed, 12u);
        EXPECT_EQ(buffer.substr(size), "####") << size;  // the bytes after the buffer are untouched
        EXPECT_EQ(std::string(buffer.c_str()), std::string("Ppre12345suf").substr(0, size - 1));
    }
    std::span<char> nothing;
    EXPECT_EQ(format_to(nothing, "abc", {}), 3u);
}

TEST(NativeJobFrame, LongLinesAreNotSentCut) {
    native::NativeHost host;
    const Job job = host.job();
    std::string long_text(5000, 'x');
    EXPECT_FALSE(job.send_line("A\"%s\"\n", {std::string_view(long_text)}));
    EXPECT_EQ(host.take_output(), "");
    // 4095 bytes and the terminator fill the 4096-byte LineBuffer exactly; one more does not fit.
    EXPECT_FALSE(job.send_line("A\"%s\"\n", {std::string_view(long_text).substr(0, 4092)}));
    EXPECT_TRUE(job.send_line("A\"%s\"\n", {std::string_view(long_text).substr(0, 4091)}));
    EXPECT_EQ(host.take_output().size(), 4095u);
}

TEST(NativeJobFrame, WholeJobWithHostileRecordValues) {
    native::NativeHost host;
    const Job job = host.job();
    RecordView r = host.record();
    // Extreme values everywhere the frame computes: every sum and product must wrap, not trap.
    r.set(record::label_height, 2147483647);
    r.set(record::dpi_y, 2147483647);
    r.set(record::dpi_x, -2147483647 - 1);
    r.set(record::memory_reconfigure, 1);
    r.set(record::memory_size_kb, -2147483647 - 1);
    r.set(record::max_object_bottom, -2147483647 - 1);
    r.set(record::sensor_type, 1);
    r.set(record::max_print_width, -2147483647 - 1);
    r.set(record::label_width, 2147483647);
    r.set(record::top_offset, -2147483647 - 1);
    auto name = r.bytes(record::label_name);
    for (auto& b : name) b = std::byte{'N'};  // no terminator
    auto form = r.bytes(record::form_name);
    for (auto& b : form) b = std::byte{'F'};
    r.set(record::variable_data_length, 1 << 30);
    maininit(job);
    EXPECT_EQ(r.string(record::form_name), "NNNNNNNN");
    setclip(job, 2147483647, -2147483647 - 1, -1, 1);
    for (std::uint8_t mode : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{3}, std::uint8_t{5}}) {
        r.set(record::form_mode, mode);
        pageinit(job);
        page_end(job);
    }
    main_end(job);
    EXPECT_FALSE(host.take_output().empty());
}

}  // namespace
}  // namespace epl2
