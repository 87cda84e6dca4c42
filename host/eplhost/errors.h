// The failures eplhost reports: each carries the exit status that tells a calling script what
// kind of input to fix. Nothing reaches the output target once one of them is thrown.
#pragma once

#include <stdexcept>
#include <string>

namespace epl2::eplhost {

enum class ExitCode : int {
    ok = 0,
    internal = 1,       // a fault of eplhost itself
    usage = 2,          // the command line
    bad_input = 3,      // label, records or images
    bad_printer = 4,    // model, option or option value
    module = 5,         // the driver module could not be loaded
    output = 6,         // the output target did not accept the whole job
    printer_fault = 7,  // the printer reported an error (--confirm); the batch stopped
};

class Failure : public std::runtime_error {
   public:
    Failure(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    [[nodiscard]] ExitCode code() const noexcept { return code_; }

   private:
    ExitCode code_;
};

[[noreturn]] inline void fail(ExitCode code, const std::string& message) {
    throw Failure(code, message);
}

}  // namespace epl2::eplhost
