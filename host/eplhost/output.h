// Where a job goes: a file (written to a temporary file that is renamed into place at the end),
// standard output, a printer's raw TCP port, or a CUPS queue through `lp [-d QUEUE] -o raw`. The
// job's bytes go on a block at a time as the module produces them, so a batch of any length
// takes the same memory; a target reports success only when it took every byte.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "services.h"

namespace epl2::eplhost {

class Destination;  // destinations/destination.h

struct Target {
    enum class Kind { standard_output, file, tcp, lp };
    Kind kind = Kind::standard_output;
    std::string path;   // file
    std::string host;   // tcp
    std::string port;   // tcp
    std::string queue;  // lp; empty: lp's default queue
    [[nodiscard]] std::string describe() const;
};

// --to: "tcp://HOST[:PORT]" (port 9100 when none is given; an IPv6 address in brackets),
// "lp:QUEUE", "lp" (lp's default queue) or "file:PATH", schemes in any letter case. Throws
// Failure (usage) for anything else: no other text ever becomes a file.
Target parse_target(std::string_view text);

// --output: a file, or "-" for standard output; a tcp:// or lp: target there is a usage error.
Target output_path_target(std::string_view path);

// The CUPS client's command for queueing a job.
inline constexpr const char* default_lp_command = "lp";

struct DeliveryOptions {
    std::chrono::milliseconds connect_timeout{10000};
    std::chrono::milliseconds write_timeout{10000};
    std::string lp_command = default_lp_command;  // EPL2_LP overrides it
};

// The job's bytes on their way to the target. Bytes written before the target is open wait
// for it.
class JobStream : public host::Sink {
   public:
    JobStream();
    ~JobStream() override;  // an unfinished job: a file target is left as it was
    JobStream(const JobStream&) = delete;
    JobStream& operator=(const JobStream&) = delete;

    // Never throws: the module is on the stack when it hands over its bytes.
    void write(std::string_view bytes) override;

    // Throws Failure (output) when the target cannot be opened; nothing was sent then.
    void open(const Target& target, std::ostream& standard_output, const DeliveryOptions& options);

    // Passes on the bytes collected so far once they fill a block; throws Failure (output) when
    // the target stopped taking them.
    void pass_on();

    // The rest of the job, and the target's confirmation that it holds all of it; throws
    // Failure (output) otherwise.
    void finish();

    // Sends what is pending and then the request, and returns the target's whole answer;
    // nothing when the target cannot answer. Throws Failure (output) when it fails to.
    std::optional<std::string> ask(std::string_view request, bool (*complete)(std::string_view));

    // Every byte of the job so far.
    [[nodiscard]] std::size_t size() const noexcept { return size_; }

   private:
    void send_pending();

    std::string pending_;
    std::size_t size_ = 0;
    Target target_;  // the destination refers to these two
    DeliveryOptions options_;
    std::unique_ptr<Destination> destination_;
};

}  // namespace epl2::eplhost
