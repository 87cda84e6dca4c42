// One job as a host holds it: the JobRecord, the JobHandle block that points to it, the barcode
// object the handle carries at byte 16, and the sink that receives the job's bytes. The record's
// fields are read and written through the driver's own layout declaration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "core/host_objects.h"
#include "core/record.h"
#include "module.h"
#include "services.h"

namespace epl2::host {

// A PCX image object as the host passes it to pcx_begin, pcx_map and pcx_end.
class PcxObject {
   public:
    PcxObject();
    [[nodiscard]] PcxObjectView view() noexcept { return PcxObjectView(bytes_.data()); }
    [[nodiscard]] std::uint32_t word() const noexcept { return epl2::host::word(bytes_.data()); }
    void set_name(std::string name);
    // The chunk must stay alive until the call that reads it returns.
    void set_chunk(std::string_view chunk, bool continues);

   private:
    alignas(8) std::array<std::byte, pcx_object_size> bytes_{};
    std::string name_;
};

class HostJob {
   public:
    HostJob(const Module& module, Sink& sink);
    HostJob(const HostJob&) = delete;
    HostJob& operator=(const HostJob&) = delete;

    [[nodiscard]] RecordView record() noexcept { return RecordView(record_.data()); }
    [[nodiscard]] std::uint32_t handle() const noexcept { return word(handle_.data()); }
    [[nodiscard]] const EntryPoints& entry() const noexcept { return module_->entry(); }
    [[nodiscard]] BarcodeObjectView barcode() noexcept {
        return BarcodeObjectView(barcode_.data());
    }

    // Calls an entry point with this job's handle first; every further argument becomes one word.
    template <class Fn, class... Args>
    auto call(Fn fn, Args... args) {
        return fn(handle(), word(args)...);
    }

    // Model fields as a host copies them from a model record, then prtsetup.
    void select_model(std::int32_t model_class, std::int32_t reduced_options,
                      std::int32_t resolution_code, std::int32_t memory_code,
                      std::int32_t printer_type);

    void set_label_name(std::string_view name);
    void set_form_mode(std::uint8_t mode) noexcept { record().set(record::form_mode, mode); }

    // Keeps a string alive for the life of the job and returns its word (barcode data and the
    // like, which the driver reads through pointers).
    std::uint32_t keep_string(std::string text);
    void set_barcode_data(std::string data);

    [[nodiscard]] Sink& sink() noexcept { return *sink_; }

   private:
    const Module* module_;
    Sink* sink_;
    alignas(8) std::array<std::byte, record_size> record_{};
    alignas(8) std::array<std::byte, 32> handle_{};
    alignas(8) std::array<std::byte, 256> barcode_{};
    std::deque<std::string> strings_;
};

}  // namespace epl2::host
