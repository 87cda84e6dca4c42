// Drives the driver logic with arbitrary call sequences: each step picks an entry point, its
// argument words and, now and then, overwrites a record field with arbitrary bytes. Hosts are
// trusted to pass valid pointers, so pointer arguments are always real (host strings and objects
// whose contents come from the input); everything else is arbitrary.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "barcode/barcode.h"
#include "core/coordinates.h"
#include "core/job_header.h"
#include "core/messages.h"
#include "core/page_frame.h"
#include "graphics/pcx.h"
#include "lines/lines.h"
#include "native_host.h"
#include "setup/capabilities.h"
#include "setup/setup_dialog.h"
#include "text/text.h"

namespace {

class Input {
   public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t word() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        // Small values exercise the real paths more often than uniformly random words.
        if ((v & 0x80000000u) == 0 && (v & 0x40000000u) == 0) v &= 0x3FFFu;
        return static_cast<std::int32_t>(v);
    }
    std::string text() {
        const std::size_t n = byte() + (byte() & 1u ? 256u : 0u);
        std::string s;
        for (std::size_t i = 0; i < n && !empty(); ++i) {
            char c = static_cast<char>(byte());
            if (c != '\0') s.push_back(c);
        }
        return s;
    }

   private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace epl2;
    native::NativeHost host;
    const Job job = host.job();
    RecordView r = host.record();
    Input in(data, size);

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

    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const std::uint8_t op = in.byte();
        switch (op % 24) {
            case 0:
                maininit(job);
                break;
            case 1:
                pageinit(job);
                break;
            case 2:
                page_end(job);
                break;
            case 3:
                main_end(job);
                break;
            case 4:
                r.set(record::form_mode, in.byte() % 9);
                break;
            case 5:
                setclip(job, in.word(), in.word(), in.word(), in.word());
                break;
            case 6:
                drawline(job, in.word(), in.word(), in.word(), in.word(), in.word());
                break;
            case 7:
                drawbckgnd(job, in.word(), in.word(), in.word(), in.word(), in.word());
                break;
            case 8:
                drawbox(job, in.word(), in.word(), in.word(), in.word(), in.word());
                break;
            case 9: {
                strings[0] = in.text();
                drawtext(job, in.word(), in.word(), host.word(strings[0].c_str()),
                         static_cast<std::uint32_t>(in.word()),
                         static_cast<std::uint32_t>(in.word()), in.word() % 6, in.word() % 7 - 1,
                         in.word(), in.byte() & 1u);
                break;
            }
            case 10: {
                strings[1] = in.text();
                BarcodeObjectView b(barcode.data());
                for (std::size_t i = 0; i < barcode.size(); ++i) barcode[i] = std::byte{in.byte()};
                b.set(barcode_object::data, host.word(strings[1].c_str()));
                drawbar(job, host.word(barcode.data()));
                break;
            }
            case 11: {
                strings[2] = in.text();
                PcxObjectView p(pcx.data());
                for (std::size_t i = 0; i < pcx.size(); ++i) pcx[i] = std::byte{in.byte()};
                strings[3] = in.text();
                p.set(pcx_object::chunk_data, host.word(strings[3].data()));
                p.set(pcx_object::chunk_length, static_cast<std::uint32_t>(strings[3].size()));
                p.set(pcx_object::graphic_name, host.word(strings[2].c_str()));
                const std::uint32_t w = host.word(pcx.data());
                switch (in.byte() % 3) {
                    case 0:
                        pcx_begin(job, w);
                        break;
                    case 1:
                        pcx_map(job, w);
                        break;
                    default:
                        pcx_end(job, w);
                        break;
                }
                break;
            }
            case 12: {
                for (auto& slot : choice_slots) slot = host.word(choice_arrays);
                std::int32_t index = in.word() % 24 - 3;
                out_words[0] = in.word();
                getsetup(job, index, host.word(prompt), host.word(&out_words[1]),
                         host.word(choice_slots), host.word(&out_words[0]),
                         host.word(&out_words[2]));
                break;
            }
            case 13:
                savevar(job, in.word() % 24 - 2, in.word());
                break;
            case 14: {
                out_words[3] = in.word();
                out_words[4] = in.word();
                out_words[5] = in.word();
                adjfontvar(job, in.word() % 7 - 1, host.word(&out_words[3]),
                           host.word(&out_words[4]), host.word(&out_words[5]));
                break;
            }
            case 15: {
                out_words[3] = in.word();
                out_words[4] = in.word();
                out_words[5] = in.word();
                out_words[6] = in.word();
                adjbarvar(job, in.word(), host.word(&out_words[3]), host.word(&out_words[4]),
                          host.word(&out_words[5]), host.word(&out_words[6]));
                break;
            }
            case 16: {
                strings[0] = in.text();
                const std::int32_t code = 30 + in.byte() % 9;
                PrinterMessage(job, code, host.word(strings[0].c_str()));
                break;
            }
            case 17:
                repeat_begin(job, in.word());
                break;
            case 18:
                r.set(record::variable_mode, in.byte() % 3);
                break;
            case 19:
                r.set(record::host_flags, in.byte());
                break;
            default: {
                // Overwrite one DriverState or label field with arbitrary bytes.
                const std::size_t offset =
                    3256 + (static_cast<std::size_t>(in.byte()) << 8 | in.byte()) %
                               (record_size - 3256 - 4);
                if (offset >= 4144 && offset < 8496) break;  // the driver's own buffers
                for (int i = 0; i < 4; ++i)
                    r.data()[offset + static_cast<std::size_t>(i)] = std::byte{in.byte()};
                break;
            }
        }
    }
    return 0;
}
