// A label as the barcode tests print it: 203 dpi, centred under a 4090-wide head on a 4000-wide
// label (host x 0 is dot 9), top offset 0, forms enabled, and one barcode object whose fields a
// test fills by name.
#pragma once

#include <cstdint>
#include <string>

#include "driver_test.h"

namespace epl2::test {

// One row of a pass table: the record's pass settings, the object's mark, and what goes out.
enum class Sent { none, data, reference };
struct PassRow {
    std::int32_t printer_type;
    std::uint8_t form_mode;
    std::uint32_t mark;
    std::uint8_t variable_mode;
    std::int32_t form_store_enabled;
    Sent sent;
};

class BarcodeTest : public DriverTest {
   protected:
    BarcodeTest() {
        const RecordView r = rec();
        r.set(record::printer_type, 1);
        r.set(record::dpi_x, 203);
        r.set(record::dpi_y, 203);
        r.set(record::max_print_width, 4090);
        r.set(record::label_width, 4000);
        r.set(record::form_store_enabled, 1);
        r.set(record::variable_mode, 1);
    }

    BarcodeObjectView bar() { return job.barcode(); }
    // The row's settings, a given next variable number and no object drawn yet.
    void enter(const PassRow& row, std::int32_t variable_count) {
        rec().set(record::printer_type, row.printer_type);
        rec().set(record::variable_mode, row.variable_mode);
        rec().set(record::form_store_enabled, row.form_store_enabled);
        rec().set(record::variable_count, variable_count);
        rec().set(record::max_object_bottom, 0);
    }
    std::int32_t drawbar() { return job.call(ep().drawbar); }
    // Draws in the given pass and returns what went out.
    std::string draw_in(std::uint8_t mode) {
        job.set_form_mode(mode);
        EXPECT_EQ(drawbar(), 0);
        return take_bytes();
    }
};

}  // namespace epl2::test
