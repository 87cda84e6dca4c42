// What the case files cannot say about the module's outer contract: the driver-file object it
// asks the host's factory for, and the fifteen note lines, checked once as a whole against their
// golden text.
#include <fstream>
#include <sstream>
#include <string>

#include "driver_test.h"

namespace epl2::test {
namespace {

using OuterContract = DriverTest;

// One note a line; the blanks that end some of them are part of the text.
TEST_F(OuterContract, NotesAreTheGoldenText) {
    std::ifstream in(std::string(EPL2_SOURCE_DIR) + "/tests/driver/golden/notes.txt");
    std::ostringstream golden;
    golden << in.rdbuf();
    std::string notes;
    for (std::uint32_t i = 0; i < 15; ++i) {
        const char* text = nullptr;
        // The JobHandle is not read: a null one works.
        EXPECT_EQ(ep().prtinfo(0, i, host::word(&text)), 0);
        ASSERT_NE(text, nullptr) << "line " << i;
        notes += std::string(text) + "\n";
    }
    EXPECT_EQ(notes, golden.str());
}

TEST_F(OuterContract, DriverFileIsCreatedOnceThenReused) {
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
    // The getter handed to the host is the driver's own descriptor function.
    EXPECT_EQ(factory.last_getter, ep().GetFlatData);
    EXPECT_EQ(file.second_calls, 0);

    EXPECT_EQ(ep().GetDriverFile(43), &file);
    EXPECT_EQ(ep().GetDriverFile(44), &file);
    EXPECT_EQ(factory.create_calls, 2);
    EXPECT_EQ(file.second_calls, 2);
    EXPECT_EQ(file.first_calls, 0);
}

}  // namespace
}  // namespace epl2::test
