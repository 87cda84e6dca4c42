#include "host_job.h"

#include <algorithm>
#include <cstring>

namespace epl2::host {

PcxObject::PcxObject() = default;

void PcxObject::set_name(std::string name) {
    name_ = std::move(name);
    view().set(pcx_object::graphic_name, host::word(name_.c_str()));
}

void PcxObject::set_chunk(std::string_view chunk, bool continues) {
    view().set(pcx_object::chunk_length, static_cast<std::uint32_t>(chunk.size()));
    view().set(pcx_object::chunk_continues, continues ? 1 : 0);
    view().set(pcx_object::chunk_data, host::word(chunk.data()));
}

HostJob::HostJob(const Module& module, Sink& sink) : module_(&module), sink_(&sink) {
    store_le(handle_.data() + 0, word(record_.data()));
    store_le(handle_.data() + 16, word(barcode_.data()));
    store_le(handle_.data() + job_handle_sink_offset, word(static_cast<Sink*>(sink_)));
}

void HostJob::select_model(std::int32_t model_class, std::int32_t reduced_options,
                           std::int32_t resolution_code, std::int32_t memory_code,
                           std::int32_t printer_type) {
    const RecordView r = record();
    r.set(record::model_class, model_class);
    r.set(record::reduced_options, reduced_options);
    r.set(record::resolution_code, resolution_code);
    r.set(record::memory_code, memory_code);
    r.set(record::printer_type, printer_type);
    call(entry().prtsetup);
}

void HostJob::set_label_name(std::string_view name) {
    auto field = record().bytes(record::label_name);
    std::fill(field.begin(), field.end(), std::byte{0});
    const std::size_t n = std::min(name.size(), field.size() - 1);
    std::memcpy(field.data(), name.data(), n);
}

std::uint32_t HostJob::keep_string(std::string text) {
    strings_.push_back(std::move(text));
    return word(strings_.back().c_str());
}

void HostJob::set_barcode_data(std::string data) {
    barcode().set(barcode_object::data, keep_string(std::move(data)));
}

}  // namespace epl2::host
