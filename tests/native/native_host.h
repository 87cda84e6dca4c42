// A host for the driver logic on a 64-bit machine, where sanitizers and fuzzers run: host pointer
// words are indices into a table of this host's own pointers, and the output is collected in one
// string. The 32-bit module itself is tested through the real test host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/job.h"

namespace epl2::native {

class NativeHost {
   public:
    NativeHost() : port_{this, &store_bin, &resolve, &word_of} { handle_block_.fill(std::byte{0}); }

    [[nodiscard]] Job job() noexcept { return Job(port_, 1, record_.data()); }
    [[nodiscard]] RecordView record() noexcept { return RecordView(record_.data()); }
    // A word for memory of this host (strings, objects) that the driver reads through.
    std::uint32_t word(const void* p) { return word_of(this, p); }
    std::string take_output() { return std::exchange(output_, {}); }

   private:
    static void store_bin(void* context, std::uint32_t, const char* bytes, std::int32_t length) {
        auto* self = static_cast<NativeHost*>(context);
        const std::size_t n = length == -1 ? std::strlen(bytes) : static_cast<std::size_t>(length);
        self->output_.append(bytes, n);
    }
    static std::byte* resolve(void* context, std::uint32_t word) {
        auto* self = static_cast<NativeHost*>(context);
        if (word == 0 || word > self->pointers_.size()) return nullptr;
        return const_cast<std::byte*>(static_cast<const std::byte*>(self->pointers_[word - 1]));
    }
    static std::uint32_t word_of(void* context, const void* p) {
        auto* self = static_cast<NativeHost*>(context);
        if (p == nullptr) return 0;
        for (std::size_t i = 0; i < self->pointers_.size(); ++i) {
            if (self->pointers_[i] == p) return static_cast<std::uint32_t>(i + 1);
        }
        self->pointers_.push_back(p);
        return static_cast<std::uint32_t>(self->pointers_.size());
    }

    HostPort port_;
    alignas(8) std::array<std::byte, record_size> record_{};
    std::array<std::byte, 32> handle_block_{};
    std::vector<const void*> pointers_;
    std::string output_;
};

}  // namespace epl2::native
