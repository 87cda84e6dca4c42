#include "services.h"

#include <cstring>

#include "core/bytes.h"
#include "os.h"

namespace epl2::host {

std::string RecordingSink::bytes() const {
    std::string all;
    for (const auto& c : calls_) all += c;
    return all;
}

void DriverFileObject::first_operation() {
    ++first_calls;
}
void DriverFileObject::second_operation() {
    ++second_calls;
}

DriverFileFactory& driver_file_factory() noexcept {
    static DriverFileFactory factory;
    return factory;
}

}  // namespace epl2::host

extern "C" {

// Appends bytes to the job's output. length -1: up to the NUL. The job's sink is found through
// the handle block; a handle without one drops the bytes.
EPL2_HOST_EXPORT void _store_bin(std::uint32_t handle, const char* bytes, std::int32_t length) {
    if (handle == 0 || bytes == nullptr) return;
    const auto* block = reinterpret_cast<const std::byte*>(static_cast<std::uintptr_t>(handle));
    const auto sink_word = epl2::load_le<std::uint32_t>(block + epl2::host::job_handle_sink_offset);
    auto* sink = reinterpret_cast<epl2::host::Sink*>(static_cast<std::uintptr_t>(sink_word));
    if (sink == nullptr) return;
    const std::size_t n = length == -1 ? std::strlen(bytes)
                          : length < 0 ? 0
                                       : static_cast<std::size_t>(length);
    sink->write(std::string_view(bytes, n));
}

EPL2_HOST_EXPORT void* xCreateFlatDriverFile(std::uint32_t argument,
                                             void (*getter)(std::uint32_t)) {
    auto& factory = epl2::host::driver_file_factory();
    ++factory.create_calls;
    factory.last_argument = argument;
    factory.last_getter = getter;
    return factory.next_result;
}

}  // extern "C"
