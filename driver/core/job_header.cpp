#include "core/job_header.h"

#include <algorithm>
#include <cstring>

#include "core/arith.h"
#include "core/coordinates.h"
#include "core/page_frame.h"
#include "core/passes.h"

namespace epl2 {

namespace {

constexpr std::size_t form_name_max = 8;

// Kilobytes the printer keeps for its form store; the rest is split between the image buffer
// and graphics, with 15 KB held back for the image buffer's limit and 10 KB for the printer.
constexpr std::int32_t form_memory_kb = 8;

// Image buffer kilobytes per inch of label length, by print head.
std::int32_t image_buffer_factor(RecordView r) noexcept {
    if (r.get(record::resolution_code) == 0) return 47;    // 300 dpi head
    return r.get(record::job_model_class) == 1 ? 12 : 22;  // narrow 203 dpi head : standard
}

void compute_memory_split(RecordView r) noexcept {
    const std::int32_t memory = r.get(record::memory_size_kb);
    std::int32_t image = trunc_div(
        wrap_add(wrap_mul(r.get(record::label_height), image_buffer_factor(r)), 500), 1000);
    const std::int32_t image_limit = wrap_sub(wrap_sub(memory, form_memory_kb), 15);
    if (image > image_limit) image = image_limit;
    r.set(record::form_memory_size, form_memory_kb);
    r.set(record::image_buffer_size, image);
    r.set(record::graphics_memory_size,
          wrap_sub(wrap_sub(wrap_sub(memory, form_memory_kb), image), 10));
}

void send_memory_block(const Job& job) noexcept {
    const RecordView r = job.record();
    if (r.get(record::memory_auto) == 0) compute_memory_split(r);
    job.send_crlf();
    auto ids = r.bytes(record::stored_graphic_ids);
    std::fill(ids.begin(), ids.end(), std::byte{0xFF});
    job.send_line_crlf("M%d,%d,%d\n",
                       {r.get(record::image_buffer_size), r.get(record::form_memory_size),
                        r.get(record::graphics_memory_size)});
}

char offset_sign(RecordView r) noexcept {
    return r.get(record::black_line_direction) != 0 ? '-' : '+';
}

// Only these two printer classes take a signed gap offset; the others read it as "+n".
bool takes_signed_gap_offset(RecordView r) noexcept {
    const std::int32_t type = r.get(record::printer_type);
    return type == 14 || type == direct_printer_type;
}

void send_label_size(const Job& job) noexcept {
    const RecordView r = job.record();
    const std::int32_t length = label_length_dots(r);
    switch (r.get(record::sensor_type)) {
        case 0:  // gap
            job.send_line("Q%ld,%d", {length, r.get(record::gap_size)});
            if (const std::int32_t offset = r.get(record::extra_gap_offset); offset != 0) {
                if (takes_signed_gap_offset(r)) {
                    job.send_line("%c%d", {offset_sign(r), offset});
                } else {
                    job.send_line("+%d", {offset});
                }
            }
            job.send("\n\r\n", 3);
            break;
        case 2:  // black mark: the offset always goes out, +0 included
            job.send_line("Q%ld,B%d", {length, r.get(record::gap_size)});
            job.send_line("%c%d", {offset_sign(r), r.get(record::extra_gap_offset)});
            job.send("\n\r\n", 3);
            break;
        default:  // continuous: the length goes out with each print command
            break;
    }
}

void send_top_of_form_backup(const Job& job) noexcept {
    const RecordView r = job.record();
    switch (r.get(record::top_of_form_backup)) {
        case 1:
            job.send("JF\n", 3);
            job.send_crlf();
            job.send_line_crlf("j%d\n", {r.get(record::media_feed_adjust)});
            break;
        case 2:
            job.send("JB\n", 3);
            job.send_crlf();
            break;
        default:
            break;
    }
}

void send_hardware_options(const Job& job) noexcept {
    const RecordView r = job.record();
    switch (r.get(record::printer_type)) {
        case 1:
        case 8:
        case 10:
            if (r.get(record::label_present_sensor) != 0) {
                job.send("O\n", 2);
            } else {
                job.send("ON\n", 3);
            }
            job.send_crlf();
            break;
        case 2:
            if (r.get(record::print_method) != 0) {
                job.send("OD\n", 3);
                job.send_crlf();
            }
            break;
        case 9:
            if (r.get(record::label_cutter) != 0) {
                job.send("OC,D,S\n", 7);
            } else {
                job.send("OD,S\n", 5);
            }
            job.send_crlf();
            break;
        default:
            break;
    }
}

}  // namespace

void derive_form_name(RecordView record) noexcept {
    const std::string_view label = record.string(record::label_name);
    char* name = record.chars(record::form_name);
    std::size_t kept = 0;
    for (char c : label) {
        if (kept == form_name_max) break;
        if (c == '.' || c == ' ') continue;
        name[kept++] = c;
    }
    name[kept] = '\0';
}

std::int32_t maininit(const Job& job) noexcept {
    const RecordView r = job.record();
    r.set(record::graphic_slot_cursor, 0);
    derive_form_name(r);
    r.set(record::last_text_font, -1);
    if (r.get(record::memory_reconfigure) != 0 && r.get(record::memory_command_off) == 0)
        send_memory_block(job);
    job.send("\nN\n", 3);
    job.send_crlf();
    send_label_size(job);
    send_top_of_form_backup(job);
    job.send_line_crlf("D%d\n", {r.get(record::darkness)});
    job.send(r.get(record::print_direction) != 0 ? "ZB\n" : "ZT\n", 3);
    job.send_crlf();
    job.send(r.get(record::job_model_class) == 1 ? "R0,0\n" : "R8,0\n", 5);
    job.send_crlf();
    job.send_line_crlf("S%d\n", {r.get(record::speed_setting)});
    send_hardware_options(job);
    r.set(record::variable_data_length, 0);
    r.set(record::form_begun_a, 0);
    r.set(record::form_begun_b, 0);
    return 0;
}

}  // namespace epl2
