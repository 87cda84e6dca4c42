#include "core/page_frame.h"

#include <algorithm>

#include "core/arith.h"
#include "core/coordinates.h"
#include "core/passes.h"

namespace epl2 {

namespace {

void open_form(const Job& job) noexcept {
    const RecordView r = job.record();
    // Variable numbers count from 0 within each stored form.
    r.set(record::variable_count, 0);
    const std::string_view name = r.string(record::form_name);
    job.send_line_crlf("FK\"%s\"\n", {name});
    job.send_line_crlf("FS\"%s\"\n", {name});
}

void send_print_command(const Job& job) noexcept {
    const RecordView r = job.record();
    if (r.get(record::sensor_type) == 1) {
        // Continuous media has no gap to find: the length is what the objects left unused.
        job.send_line("Q%ld,0", {wrap_sub(label_length_dots(r), r.get(record::max_object_bottom))});
        job.send("\n\r\n", 3);
    }
    if (r.get(record::extra_strings_enabled) != 0) {
        job.send_line("P%s%d%s", {r.string(record::print_prefix), r.get(record::label_quantity),
                                  r.string(record::print_suffix)});
    } else {
        job.send_line("P%d\n", {r.get(record::label_quantity)});
    }
    job.send_crlf();
    if (draws_directly(r)) {
        job.send("\nN\n", 3);
        job.send_crlf();
    }
}

// The block of variable answers after a recall. It is only ever emptied by the job header, so a
// record that never saw one could hold any length: never read outside the block.
void send_variable_data(const Job& job) noexcept {
    const RecordView r = job.record();
    const auto block = r.bytes(record::variable_data);
    const std::int32_t length = std::clamp<std::int32_t>(r.get(record::variable_data_length), 0,
                                                         static_cast<std::int32_t>(block.size()));
    if (length > 0) job.send(reinterpret_cast<const char*>(block.data()), length);
}

}  // namespace

void form_preamble(const Job& job) noexcept {
    const RecordView r = job.record();
    const std::uint8_t mode = r.get(record::form_mode);
    const bool store_enabled = r.get(record::form_store_enabled) != 0;
    if (r.get(record::form_begun_a) == 0 && mode == form_mode::build && store_enabled) {
        r.set(record::form_begun_a, 1);
        if (!draws_directly(r)) open_form(job);
    }
    if (r.get(record::form_begun_b) == 0 &&
        ((mode == form_mode::declare && r.get(record::variable_mode) == 2 && store_enabled) ||
         (mode == form_mode::build && !store_enabled))) {
        r.set(record::form_begun_b, 1);
        if (!draws_directly(r)) open_form(job);
    }
}

std::int32_t label_length_dots(RecordView record) noexcept {
    return scale_y_length(record, record.get(record::label_height));
}

std::int32_t pageinit(const Job& job) noexcept {
    const RecordView r = job.record();
    r.set(record::graphic_slot_cursor, 0);
    if (!draws_directly(r)) {
        const std::uint8_t mode = r.get(record::form_mode);
        if (mode == form_mode::build || mode == form_mode::declare) {
            form_preamble(job);
        } else if (mode == form_mode::recall) {
            job.send_line("FR\"%s\"\n", {r.string(record::form_name)});
            if (r.get(record::extra_strings_enabled) != 0)
                job.send_line("%s", {r.string(record::recall_suffix)});
            job.send_crlf();
        }
    }
    r.set(record::counter_count, 0);
    r.set(record::graphic_page_flag, 1);
    return 0;
}

std::int32_t page_end(const Job& job) noexcept {
    const RecordView r = job.record();
    const std::uint8_t mode = r.get(record::form_mode);
    if (!draws_directly(r) && mode == form_mode::build) job.send("FE\n\r\n", 5);
    if (mode == form_mode::print) send_print_command(job);
    if (!draws_directly(r) && mode == form_mode::recall) send_variable_data(job);
    return 0;
}

std::int32_t main_end(const Job& job) noexcept {
    const RecordView r = job.record();
    if (!draws_directly(r)) job.send_line("FK\"%s\"\n", {r.string(record::form_name)});
    if (r.get(record::extra_strings_enabled) != 0)
        job.send_line("%s", {r.string(record::job_trailer)});
    job.send_crlf();
    return 0;
}

std::int32_t repeat_begin(const Job& job, std::int32_t quantity) noexcept {
    job.record().set(record::label_quantity, quantity);
    return 0;
}

}  // namespace epl2
