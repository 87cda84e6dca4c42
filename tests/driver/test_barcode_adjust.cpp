// adjbarvar: bar height and narrow width clamped to what the printer reproduces, positions moved
// onto the millimetre grid of 203-dpi heads, and a result that tells whether anything changed.
#include "driver_test.h"

namespace epl2::test {
namespace {

struct Values {
    std::int32_t x, height, extra, narrow;
    bool operator==(const Values&) const = default;
};

class BarcodeAdjust : public DriverTest {
   protected:
    BarcodeAdjust() {
        rec().set(record::resolution_code, 1);
        rec().set(record::dpi_x, 203);
    }
    std::int32_t adjust(std::int32_t symbology, Values& v) {
        return job.call(ep().adjbarvar, symbology, &v.x, 0xDEAD, &v.height, &v.extra, &v.narrow, 1,
                        2, 3, 4, 5);
    }
};

TEST_F(BarcodeAdjust, ClampsSnapsAndReportsChanges) {
    struct Row {
        std::int32_t resolution_code;
        std::int32_t symbology;
        Values in;
        Values out;
        std::int32_t result;
    };
    const Row rows[] = {
        /*  0*/ {0, 14, {1000, 5, 0, 20}, {1000, 10, 0, 20}, 1},
        /*  1*/ {0, 14, {1000, 3000, 0, 20}, {1000, 2940, 0, 20}, 1},
        /*  2*/ {0, 14, {1000, 2940, 0, 58}, {1000, 2940, 0, 58}, 0},
        /*  3*/ {0, 14, {1000, 10, 0, 59}, {1000, 10, 0, 58}, 1},
        /*  4*/ {0, 3, {1000, 500, 0, 3}, {1000, 500, 0, 5}, 1},
        /*  5*/ {0, 0, {1000, 500, 0, 20}, {1000, 500, 0, 15}, 1},
        /*  6*/ {0, 5, {1000, 500, 0, 20}, {1000, 500, 0, 15}, 1},
        /*  7*/ {0, 6, {1000, 500, 0, 16}, {1000, 500, 0, 15}, 1},
        /*  8*/ {0, 7, {1000, 500, 0, 15}, {1000, 500, 0, 15}, 0},
        /*  9*/ {0, 107, {1000, 500, 0, 58}, {1000, 500, 0, 58}, 0},
        /* 10*/ {0, 14, {-7, -100, 77, -4}, {-7, 10, 77, 5}, 1},
        // 203-dpi heads: positions onto whole millimetres (8 dots, 203.2 dots per inch).
        /* 11*/ {1, 14, {1000, 500, 0, 20}, {984, 500, 0, 20}, 1},
        /* 12*/ {1, 14, {500, 500, 0, 20}, {511, 500, 0, 20}, 1},
        /* 13*/ {1, 14, {40, 500, 0, 20}, {39, 500, 0, 20}, 1},
        /* 14*/ {1, 14, {984, 500, 0, 20}, {984, 500, 0, 20}, 0},
        /* 15*/ {1, 14, {511, 500, 0, 20}, {511, 500, 0, 20}, 0},
        /* 16*/ {1, 14, {39, 500, 0, 20}, {39, 500, 0, 20}, 0},
        // 799 dots lie off the grid, but 800 dots convert back to the same position.
        /* 17*/ {1, 14, {3937, 500, 0, 20}, {3937, 500, 0, 20}, 0},
        /* 18*/ {-1, 14, {1000, 500, 0, 20}, {984, 500, 0, 20}, 1},
        /* 19*/ {1, 14, {0, 500, 0, 20}, {0, 500, 0, 20}, 0},
        // Negative positions: the remainder keeps the sign, so the grid rounds toward zero.
        /* 20*/ {1, 14, {-100, 500, 0, 20}, {-39, 500, 0, 20}, 1},
        /* 21*/ {1, 14, {-1000, 500, 0, 20}, {-944, 500, 0, 20}, 1},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        rec().set(record::resolution_code, rows[i].resolution_code);
        Values v = rows[i].in;
        EXPECT_EQ(adjust(rows[i].symbology, v), rows[i].result) << "row " << i;
        EXPECT_EQ(v, rows[i].out) << "row " << i;
    }
}

TEST_F(BarcodeAdjust, GridUsesTheHeadsDotsOnTheWayIn) {
    rec().set(record::dpi_x, 300);
    Values v{1000, 500, 0, 20};  // 300 dots + 4 -> 304 = 38 mm -> 1496
    EXPECT_EQ(adjust(14, v), 1);
    EXPECT_EQ(v.x, 1496);
}

TEST_F(BarcodeAdjust, SharedValueIsComparedAsTheHostFindsIt) {
    // The read-only argument and the height behind the same word: the clamp shows through it.
    Values v{1000, 5, 0, 20};
    rec().set(record::resolution_code, 0);
    EXPECT_EQ(job.call(ep().adjbarvar, 14, &v.x, 0, &v.height, &v.height, &v.narrow, 0, 0, 0, 0, 0),
              1);
    EXPECT_EQ(v.height, 10);
}

TEST_F(BarcodeAdjust, MissingValueChangesNothing) {
    Values v{1000, 5, 0, 3};
    EXPECT_EQ(job.call(ep().adjbarvar, 14, &v.x, 0, &v.height, 0, &v.narrow, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(v, (Values{1000, 5, 0, 3}));
    EXPECT_EQ(take_bytes(), "");
}

}  // namespace
}  // namespace epl2::test
