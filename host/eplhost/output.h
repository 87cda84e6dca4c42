// Where a finished job goes: a file (written whole to a temporary file, then renamed), standard
// output, a printer's raw TCP port, or a CUPS queue through `lp -d QUEUE -o raw`. A target is
// given the whole job at once and reports success only when it took every byte.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <string_view>

namespace epl2::eplhost {

struct Target {
    enum class Kind { standard_output, file, tcp, lp };
    Kind kind = Kind::standard_output;
    std::string path;   // file
    std::string host;   // tcp
    std::string port;   // tcp
    std::string queue;  // lp
    [[nodiscard]] std::string describe() const;
};

// "-", "FILE", "tcp://HOST:PORT", "lp:QUEUE"; throws Failure (usage) for a malformed one.
Target parse_target(std::string_view text);

struct DeliveryOptions {
    std::chrono::milliseconds connect_timeout{10000};
    std::chrono::milliseconds write_timeout{10000};
    std::string lp_command = "lp";  // the CUPS client; EPL2_LP overrides it
};

// Throws Failure (output) when the target did not take the whole job; a file target is then
// left as it was.
void deliver(const Target& target, std::string_view job, std::ostream& standard_output,
             const DeliveryOptions& options);

}  // namespace epl2::eplhost
