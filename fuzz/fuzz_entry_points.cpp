// Drives the driver logic with arbitrary call sequences: each step picks an entry point, its
// argument words and, now and then, overwrites a record field with arbitrary bytes. Hosts are
// trusted to pass valid pointers, so pointer arguments are always real (host strings and objects
// whose contents come from the input); everything else is arbitrary.
#include <algorithm>
#include <array>
#include <functional>

#include "barcode/barcode.h"
#include "core/coordinates.h"
#include "core/job_header.h"
#include "core/messages.h"
#include "core/page_frame.h"
#include "fuzz_support.h"
#include "graphics/pcx.h"
#include "lines/lines.h"
#include "setup/setup_dialog.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace epl2;
    native::NativeHost host;
    const Job job = host.job();
    RecordView r = host.record();
    fuzz::ByteReader in(data, size);

    r.set(record::printer_type, static_cast<std::int32_t>(in.byte() % 16) - 1);
    r.set(record::model_class, in.byte() % 4);
    r.set(record::resolution_code, static_cast<std::int32_t>(in.byte() % 3) - 1);
    prtsetup(job);

    std::array<std::byte, barcode_object_size> barcode{};
    std::array<std::byte, pcx_object_size> pcx{};
    std::string strings[4];
    std::int32_t out_words[8] = {};
    std::uint32_t choice_arrays[64] = {};
    std::uint32_t choice_slots[32] = {};  // one per dialog position the index can reach
    char prompt[64] = {};

    // One kind of step each, chosen by the step's first byte.
    const std::function<void()> steps[] = {
        [&] { maininit(job); },
        [&] { pageinit(job); },
        [&] { page_end(job); },
        [&] { main_end(job); },
        [&] { r.set(record::form_mode, in.byte() % 9); },
        [&] { setclip(job, in.word(), in.word(), in.word(), in.word()); },
        [&] { drawline(job, in.word(), in.word(), in.word(), in.word(), in.word()); },
        [&] { drawbckgnd(job, in.word(), in.word(), in.word(), in.word(), in.word()); },
        [&] { drawbox(job, in.word(), in.word(), in.word(), in.word(), in.word()); },
        [&] {
            strings[0] = in.text();
            drawtext(job, in.word(), in.word(), host.word(strings[0].c_str()),
                     static_cast<std::uint32_t>(in.word()), static_cast<std::uint32_t>(in.word()),
                     in.word() % 6, in.word() % 7 - 1, in.word(), in.byte() & 1u);
        },
        [&] {
            strings[1] = in.text();
            for (std::byte& b : barcode) b = std::byte{in.byte()};
            BarcodeObjectView(barcode.data())
                .set(barcode_object::data, host.word(strings[1].c_str()));
            drawbar(job, host.word(barcode.data()));
        },
        [&] {
            strings[2] = in.text();
            for (std::byte& b : pcx) b = std::byte{in.byte()};
            strings[3] = in.text();
            const PcxObjectView p(pcx.data());
            p.set(pcx_object::chunk_data, host.word(strings[3].data()));
            p.set(pcx_object::chunk_length, static_cast<std::uint32_t>(strings[3].size()));
            p.set(pcx_object::graphic_name, host.word(strings[2].c_str()));
            constexpr decltype(&pcx_begin) image_calls[] = {pcx_begin, pcx_map, pcx_end};
            image_calls[in.byte() % 3](job, host.word(pcx.data()));
        },
        [&] {
            for (auto& slot : choice_slots) slot = host.word(choice_arrays);
            const std::int32_t index = in.word() % 24 - 3;
            out_words[0] = in.word();
            getsetup(job, index, host.word(prompt), host.word(&out_words[1]),
                     host.word(choice_slots), host.word(&out_words[0]), host.word(&out_words[2]));
        },
        [&] { savevar(job, in.word() % 24 - 2, in.word()); },
        [&] {
            for (int i = 3; i < 6; ++i) out_words[i] = in.word();
            adjfontvar(job, in.word() % 7 - 1, host.word(&out_words[3]), host.word(&out_words[4]),
                       host.word(&out_words[5]));
        },
        [&] {
            for (int i = 3; i < 7; ++i) out_words[i] = in.word();
            adjbarvar(job, in.word(), host.word(&out_words[3]), host.word(&out_words[4]),
                      host.word(&out_words[5]), host.word(&out_words[6]));
        },
        [&] {
            strings[0] = in.text();
            PrinterMessage(job, 30 + in.byte() % 9, host.word(strings[0].c_str()));
        },
        [&] { repeat_begin(job, in.word()); },
        [&] { r.set(record::variable_mode, in.byte() % 3); },
        [&] { r.set(record::host_flags, in.byte()); },
        // The last kind, also for step bytes beyond the table: four bytes of the capability words,
        // label parameters or DriverState; the tables of pointer words before them and the
        // working buffers stay intact.
        [&] {
            constexpr std::size_t first = record::symbol2d_count.offset;
            const std::size_t at = in.byte();
            const std::size_t offset = first + (at << 8 | in.byte()) % (record_size - first - 4);
            if (offset >= record::line_buffer.offset && offset < record::clip_left.offset) return;
            for (std::size_t i = 0; i < 4; ++i) r.data()[offset + i] = std::byte{in.byte()};
        },
    };
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        steps[std::min<std::size_t>(in.byte() % 24u, std::size(steps) - 1)]();
    }
    return 0;
}
