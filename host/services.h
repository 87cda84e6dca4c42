// The two services a host program exports to the driver module (_store_bin and
// xCreateFlatDriverFile), and where the bytes of each job go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace epl2::host {

// Receives the printer bytes of one job, one _store_bin call at a time.
class Sink {
   public:
    virtual ~Sink() = default;
    virtual void write(std::string_view bytes) = 0;
};

// Keeps every call, in order: tests compare the bytes and, where it matters, the calls.
class RecordingSink : public Sink {
   public:
    void write(std::string_view bytes) override { calls_.emplace_back(bytes); }
    [[nodiscard]] const std::vector<std::string>& calls() const noexcept { return calls_; }
    [[nodiscard]] std::string bytes() const;
    void clear() noexcept { calls_.clear(); }

   private:
    std::vector<std::string> calls_;
};

// The host's driver-file object: two virtual operations, no virtual destructor, the layout a
// host compiler gives such a class. Counts how the driver uses it.
class DriverFileObject {
   public:
    virtual void first_operation();
    virtual void second_operation();
    int first_calls = 0;
    int second_calls = 0;
};

// What xCreateFlatDriverFile does: records its arguments and answers with the object set here
// (nullptr answers a failed creation).
struct DriverFileFactory {
    DriverFileObject* next_result = nullptr;
    int create_calls = 0;
    std::uint32_t last_argument = 0;
    void (*last_getter)(std::uint32_t) = nullptr;
};
DriverFileFactory& driver_file_factory() noexcept;

// Byte offset, inside a JobHandle block, of the word through which _store_bin finds the job's
// sink. The driver reads only words 0 and 16 of the block; the rest belongs to the host.
inline constexpr std::size_t job_handle_sink_offset = 8;

}  // namespace epl2::host
