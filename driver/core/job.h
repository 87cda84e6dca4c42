// The context of one entry-point call: the JobRecord, the host's services, and the JobHandle that
// every byte of output is sent with. The driver logic sees host memory only through this context,
// so it builds and is tested on any pointer width; the thin ABI layer supplies the real services
// of a 32-bit host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "core/format.h"
#include "core/host_objects.h"
#include "core/record.h"

namespace epl2 {

// The host's services as the driver needs them. In the module, pointer words are addresses;
// a test harness on a 64-bit machine maps them to its own memory.
struct HostPort {
    void* context;
    // Appends bytes to the job's printer output; length -1 means "up to the NUL".
    void (*store_bin)(void* context, std::uint32_t handle, const char* bytes, std::int32_t length);
    // Host pointer word to memory; 0 gives nullptr.
    std::byte* (*resolve)(void* context, std::uint32_t word);
    // Address of one of the driver's constants as a host pointer word.
    std::uint32_t (*word_of)(void* context, const void* constant);
};

class Job {
   public:
    Job(const HostPort& port, std::uint32_t handle, std::byte* record) noexcept
        : port_(&port), handle_(handle), record_(record) {}

    [[nodiscard]] RecordView record() const noexcept { return record_; }
    [[nodiscard]] std::uint32_t handle() const noexcept { return handle_; }
    [[nodiscard]] const HostPort& port() const noexcept { return *port_; }

    // Host memory behind a pointer word, or nullptr.
    [[nodiscard]] std::byte* resolve(std::uint32_t word) const noexcept {
        return port_->resolve(port_->context, word);
    }
    // A NUL-terminated host string behind a pointer word; empty for a null word.
    [[nodiscard]] const char* resolve_string(std::uint32_t word) const noexcept {
        const std::byte* p = resolve(word);
        return p ? reinterpret_cast<const char*>(p) : "";
    }
    [[nodiscard]] std::uint32_t word_of(const void* constant) const noexcept {
        return port_->word_of(port_->context, constant);
    }

    // Exact bytes: constants and raw graphic data.
    void send(const char* bytes, std::int32_t length) const noexcept {
        port_->store_bin(port_->context, handle_, bytes, length);
    }
    void send(std::string_view constant) const noexcept {
        send(constant.data(), static_cast<std::int32_t>(constant.size()));
    }
    // The two bytes that follow most command lines.
    void send_crlf() const noexcept { send("\r\n", 2); }

    // Formats one command line into the LineBuffer and hands it over with length -1. A line that
    // would not fit the LineBuffer is not sent at all (never a cut command); returns whether it
    // was sent.
    bool send_line(std::string_view templ, std::initializer_list<FormatArg> args) const noexcept;
    // send_line, then the separate CR LF.
    bool send_line_crlf(std::string_view templ,
                        std::initializer_list<FormatArg> args) const noexcept;

   private:
    const HostPort* port_;
    std::uint32_t handle_;
    RecordView record_;
};

}  // namespace epl2
