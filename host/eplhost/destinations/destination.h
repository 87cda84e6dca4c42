// The places a job can go, one file each, behind one interface: JobStream hands each the job a
// block at a time and then asks it to confirm that it holds all of it. Every failure throws
// Failure (output) naming the target and the cause, and no destination reports a job as taken
// that it did not take whole.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "output.h"

namespace epl2::eplhost {

// True once the bytes hold a whole answer.
using AnswerComplete = bool (*)(std::string_view answer);

class Destination {
   public:
    virtual ~Destination() = default;
    virtual void put(std::string_view block) = 0;
    virtual void finish() = 0;
    // Sends the bytes, which end with a request, and returns the printer's answer, whole; nothing
    // from a destination that cannot answer (only a printer's raw port does).
    virtual std::optional<std::string> ask(std::string_view request, AnswerComplete complete) {
        (void)request;
        (void)complete;
        return std::nullopt;
    }
};

// Each destination keeps a reference to the target and the options: they must outlive it.
std::unique_ptr<Destination> open_standard_output(const Target& target, std::ostream& out);
// A device or a pipe (a printer port such as /dev/usb/lp0), written in place.
std::unique_ptr<Destination> open_device(const Target& target);
// A regular file, replaced only once the whole job is on the disk.
std::unique_ptr<Destination> open_replaced_file(const Target& target);
std::unique_ptr<Destination> open_tcp_connection(const Target& target,
                                                 const DeliveryOptions& options);
std::unique_ptr<Destination> open_lp_queue(const Target& target, const DeliveryOptions& options);

// What the destinations share.
[[noreturn]] void output_error(const Target& target, const std::string& what);

// errno's text, for the C library's file calls.
std::string system_error_text();

// A block into an open file, pushed past the C library's buffer to the system; the answer is
// empty on success, else what went wrong.
std::string write_all(std::FILE* file, std::string_view block);

// The answer of fclose as write_all gives it; the file is closed either way.
std::string close_file(std::FILE*& file);

}  // namespace epl2::eplhost
