// Turned text: the module sends the two multipliers the other way round, and each stays within
// the range the printer takes in its own place, so no size the host asks for makes the printer
// refuse the line.
#include <string>

#include "driver_test.h"

namespace epl2::test {
namespace {

// Host positions that map to dot 203 across and along a centred 4-inch label on a 203 dpi head.
constexpr std::int32_t x203 = 955;
constexpr std::int32_t y203 = 1000;

// Font 0: cells of 85 by 49 thousandths of an inch, at most 8 across and 9 down.
constexpr std::uint32_t cell_height = 85;
constexpr std::uint32_t cell_width = 49;

struct Row {
    std::int32_t rotation;
    std::uint32_t v_cells, h_cells;
    std::string bytes;
};

class TurnedText : public DriverTest {
   protected:
    void SetUp() override {
        job.select_model(0, 0, 1, 0, 2);
        rec().set(record::label_width, 4000);
        job.call(ep().setclip, 0, 0, 4000, 2000);
        job.set_form_mode(0);
    }
};

TEST_F(TurnedText, MultipliersStayInThePrintersRange) {
    // The baseline offset is 10 dots per vertical cell.
    const Row rows[] = {
        /*  0*/ {0, 9, 8, line("A203,113,0,1,8,9,N,\"AB\"")},
        /*  1*/ {1, 3, 2, line("A173,203,3,1,3,2,N,\"AB\"")},
        /*  2*/ {1, 9, 1, line("A113,203,3,1,8,1,N,\"AB\"")},
        /*  3*/ {3, 9, 8, line("A293,203,1,1,8,8,N,\"AB\"")},
        /*  4*/ {3, 8, 8, line("A283,203,1,1,8,8,N,\"AB\"")},
        /*  5*/ {2, 9, 1, line("A203,293,2,1,1,9,N,\"AB\"")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        job.call(ep().drawtext, x203, y203, host::word("AB"), cell_height * row.v_cells,
                 cell_width * row.h_cells, 0, row.rotation, 0, 100, 0, 0, 0);
        EXPECT_EQ(take_bytes(), row.bytes);
    }
}

}  // namespace
}  // namespace epl2::test
