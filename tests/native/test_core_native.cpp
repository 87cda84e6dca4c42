// The width-independent driver logic on a 64-bit machine under AddressSanitizer and UBSan: the
// bounded writer's conversions and its limits. Arbitrary templates and buffers, and whole jobs
// on hostile record values, are the fuzzers' (fuzz/fuzz_format, fuzz/fuzz_entry_points).
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

}  // namespace
}  // namespace epl2
