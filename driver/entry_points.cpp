// The module's C interface: the 39 exported entry points of a 32-bit host, each forwarding its
// words to the driver logic. This is the only file that knows pointers are 32-bit addresses and
// the only one with C linkage; everything else in the module is hidden.
#include <cstdint>
#include <type_traits>

#include "barcode/barcode.h"
#include "core/coordinates.h"
#include "core/job_header.h"
#include "core/messages.h"
#include "core/page_frame.h"
#include "graphics/pcx.h"
#include "lines/lines.h"
#include "setup/capabilities.h"
#include "setup/setup_dialog.h"
#include "text/text.h"
#include "platform.h"

static_assert(sizeof(void*) == 4, "the driver's ABI stores 32-bit pointers in the shared record");


namespace epl2 {

// The host's driver-file object: a C++ object of the host, reached only through its second
// virtual operation. No destructor is declared so the call stays a plain virtual call that
// matches the host compiler's vtable (thiscall on Windows). It must not live in an unnamed
// namespace: there the compiler may conclude that no class implements it and replace the call.
class DriverFile {
   public:
    virtual void first_operation() = 0;
    virtual void second_operation() = 0;
};

}  // namespace epl2

// The two services the host program exports; the dynamic linker resolves them from the host
// executable (on Windows, from eplhost.exe's export table).
extern "C" {
void _store_bin(std::uint32_t handle, const char* bytes, std::int32_t length);
void* xCreateFlatDriverFile(std::uint32_t argument, void (*descriptor_getter)(std::uint32_t));
}

namespace {

void forward_store_bin(void*, std::uint32_t handle, const char* bytes, std::int32_t length) {
    _store_bin(handle, bytes, length);
}
std::byte* address_of_word(void*, std::uint32_t word) {
    return reinterpret_cast<std::byte*>(static_cast<std::uintptr_t>(word));
}
std::uint32_t word_of_address(void*, const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

constinit const epl2::HostPort module_port{nullptr, &forward_store_bin, &address_of_word,
                                           &word_of_address};

// Module-wide: the driver-file object, created on the first GetDriverFile call that gets one.
constinit epl2::DriverFile* driver_file_slot = nullptr;

// Runs body with the job of a JobHandle. A null handle, or one without a record, does nothing:
// there is no record to work on, and answering 0 is what an entry point that had nothing to do
// answers.
template <class Body>
std::int32_t with_job(std::uint32_t handle, Body body) {
    if (handle == 0) return 0;
    const epl2::JobHandleView view(address_of_word(nullptr, handle));
    const std::uint32_t record = view.get(epl2::job_handle::record);
    if (record == 0) return 0;
    return body(epl2::Job(module_port, handle, address_of_word(nullptr, record)));
}

std::int32_t as_int(std::uint32_t word) {
    return static_cast<std::int32_t>(word);
}

}  // namespace

extern "C" {

// clang-format off
EPL2_EXPORT std::int32_t prtsetup(std::uint32_t h) {
    return with_job(h, [](const epl2::Job& job) { return epl2::prtsetup(job); });
}
EPL2_EXPORT std::int32_t getsetup(std::uint32_t h, std::uint32_t index, std::uint32_t prompt, std::uint32_t kind,
                                  std::uint32_t choices, std::uint32_t value, std::uint32_t width) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::getsetup(job, as_int(index), prompt, kind, choices, value, width);
    });
}
EPL2_EXPORT std::int32_t savevar(std::uint32_t h, std::uint32_t index, std::uint32_t value) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::savevar(job, as_int(index), as_int(value)); });
}
EPL2_EXPORT std::int32_t prtinfo(std::uint32_t, std::uint32_t index, std::uint32_t out) {
    if (std::byte* slot = address_of_word(nullptr, out)) {
        epl2::store_le(slot, word_of_address(nullptr, epl2::driver_note(index)));
    }
    return 0;
}
EPL2_EXPORT std::int32_t maininit(std::uint32_t h) {
    return with_job(h, [](const epl2::Job& job) { return epl2::maininit(job); });
}
EPL2_EXPORT std::int32_t pageinit(std::uint32_t h, std::uint32_t) {
    return with_job(h, [](const epl2::Job& job) { return epl2::pageinit(job); });
}
EPL2_EXPORT std::int32_t setclip(std::uint32_t h, std::uint32_t left, std::uint32_t top, std::uint32_t right,
                                 std::uint32_t bottom) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::setclip(job, as_int(left), as_int(top), as_int(right), as_int(bottom));
    });
}
EPL2_EXPORT std::int32_t drawbckgnd(std::uint32_t h, std::uint32_t x1, std::uint32_t y1, std::uint32_t x2,
                                    std::uint32_t y2, std::uint32_t shade, std::uint32_t, std::uint32_t) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::drawbckgnd(job, as_int(x1), as_int(y1), as_int(x2), as_int(y2), as_int(shade));
    });
}
EPL2_EXPORT std::int32_t drawline(std::uint32_t h, std::uint32_t x1, std::uint32_t y1, std::uint32_t x2,
                                  std::uint32_t y2, std::uint32_t, std::uint32_t shade, std::uint32_t,
                                  std::uint32_t) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::drawline(job, as_int(x1), as_int(y1), as_int(x2), as_int(y2), as_int(shade));
    });
}
EPL2_EXPORT std::int32_t drawbox(std::uint32_t h, std::uint32_t x1, std::uint32_t y1, std::uint32_t x2,
                                 std::uint32_t y2, std::uint32_t thickness, std::uint32_t, std::uint32_t,
                                 std::uint32_t) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::drawbox(job, as_int(x1), as_int(y1), as_int(x2), as_int(y2), as_int(thickness));
    });
}
EPL2_EXPORT std::int32_t drawbar(std::uint32_t h) {
    return with_job(h, [&](const epl2::Job& job) {
        const epl2::JobHandleView view(address_of_word(nullptr, h));
        return epl2::drawbar(job, view.get(epl2::job_handle::barcode_object));
    });
}
EPL2_EXPORT std::int32_t drawtext(std::uint32_t h, std::uint32_t x, std::uint32_t y, std::uint32_t text,
                                  std::uint32_t height, std::uint32_t width, std::uint32_t, std::uint32_t rotation,
                                  std::uint32_t font, std::uint32_t shade, std::uint32_t, std::uint32_t,
                                  std::uint32_t variable_mark) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::drawtext(job, as_int(x), as_int(y), text, height, width, as_int(rotation), as_int(font),
                              as_int(shade), variable_mark);
    });
}
EPL2_EXPORT std::int32_t adjfontvar(std::uint32_t h, std::uint32_t font, std::uint32_t x, std::uint32_t,
                                    std::uint32_t height, std::uint32_t width, std::uint32_t, std::uint32_t,
                                    std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::adjfontvar(job, as_int(font), x, height, width); });
}
EPL2_EXPORT std::int32_t adjbarvar(std::uint32_t h, std::uint32_t symbology, std::uint32_t x, std::uint32_t,
                                   std::uint32_t height, std::uint32_t extra, std::uint32_t narrow, std::uint32_t,
                                   std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
    return with_job(h, [&](const epl2::Job& job) {
        return epl2::adjbarvar(job, as_int(symbology), x, height, extra, narrow);
    });
}
EPL2_EXPORT std::int32_t pcx_begin(std::uint32_t h, std::uint32_t object) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::pcx_begin(job, object); });
}
EPL2_EXPORT std::int32_t pcx_map(std::uint32_t h, std::uint32_t object) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::pcx_map(job, object); });
}
EPL2_EXPORT std::int32_t pcx_end(std::uint32_t h, std::uint32_t object) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::pcx_end(job, object); });
}
EPL2_EXPORT std::int32_t repeat_begin(std::uint32_t h, std::uint32_t quantity) {
    return with_job(h, [&](const epl2::Job& job) { return epl2::repeat_begin(job, as_int(quantity)); });
}
EPL2_EXPORT std::int32_t page_end(std::uint32_t h, std::uint32_t) {
    return with_job(h, [](const epl2::Job& job) { return epl2::page_end(job); });
}
EPL2_EXPORT std::int32_t main_end(std::uint32_t h) {
    return with_job(h, [](const epl2::Job& job) { return epl2::main_end(job); });
}
EPL2_EXPORT std::int32_t PrinterMessage(std::uint32_t h, std::uint32_t code, std::uint32_t, std::uint32_t value,
                                        std::uint32_t) {
    if (h == 0) return -1;
    const epl2::JobHandleView view(address_of_word(nullptr, h));
    if (view.get(epl2::job_handle::record) == 0) return -1;
    return with_job(h, [&](const epl2::Job& job) { return epl2::PrinterMessage(job, as_int(code), value); });
}
EPL2_EXPORT void GetFlatData(std::uint32_t descriptor) {
    if (std::byte* block = address_of_word(nullptr, descriptor)) {
        epl2::fill_flat_descriptor(epl2::FlatDescriptorView(block));
    }
}
EPL2_EXPORT void* GetDriverFile(std::uint32_t argument) {
    if (driver_file_slot == nullptr) {
        // A null result is kept as it is: the next call asks the host again.
        driver_file_slot = static_cast<epl2::DriverFile*>(xCreateFlatDriverFile(argument, &GetFlatData));
    } else {
        driver_file_slot->second_operation();
    }
    return driver_file_slot;
}

// Operations the driver does not carry out (-1) or accepts and ignores (0). They read no argument.
EPL2_EXPORT std::int32_t drawangle(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t mapbar(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t image_begin(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t map_image(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t image_end(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                   std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t image_delete(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                      std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                      std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t download_begin(std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t download_char(std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t download_end(std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t download_delete(std::uint32_t, std::uint32_t) { return -1; }
EPL2_EXPORT std::int32_t drawtext2(std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t repeat_end(std::uint32_t, std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t repeat_do(std::uint32_t, std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t get_strlen(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                    std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t fontsynonym(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
EPL2_EXPORT std::int32_t savevar2(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
// clang-format on


}  // extern "C"


// The definitions above must match the declarations generated from the entry point list.
#include "entry_points.h"
#define EPL2_ENTRY(result, name, words) \
    static_assert(std::is_same_v<decltype(&name), epl2_##name##_fn>);
#include "entry_points.inc"
#undef EPL2_ENTRY
