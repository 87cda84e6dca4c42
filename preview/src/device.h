// The virtual printer as a device: the interpreter's printer model, kept from job to job until
// the printer is restarted, and what a real printer adds to it: a roll that holds so many labels,
// a head that opens, a pause, memory for forms and graphics, a count of the labels printed, and
// the status channel that answers on the connection a job came on (US and UN switch error
// reporting on and off, ^ee reports the standing errors, UQ dumps the configuration, UF and UG
// list the stored forms and graphics; preview/README.md gives every answer's format).
//
// A fault that arises between commands (an operator opens the head) is reported unasked on the
// next command's answer; recovery is reported with XON the same way.
//
// While a fault stands the device prints nothing: a P command that arrives then is dropped, as
// the job of a printer whose buffer is cleared along with its fault. Not thread-safe: the
// virtual printer serialises its connections' commands.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "printer_state.h"

namespace eplview {

// Error codes as EPL2 printers report them through ^ee and, with error reporting on, unasked.
enum class ErrorCode : int {
    no_error = 0,
    insufficient_memory = 4,  // a form or graphic did not fit; reported once
    out_of_media = 7,
    head_open = 11,
    paused = 92,
};

// The faults a test asks the device for.
struct Faults {
    std::optional<std::size_t> labels_on_roll;  // media runs out after this many labels
    bool head_open = false;
    bool memory_full = false;  // every form and graphic store is refused
    bool paused = false;
    std::optional<std::size_t> drop_at_label;  // the connection drops as this label's P arrives
};

class Device {
   public:
    Device(const Options& options, const Faults& faults);

    struct Outcome {
        std::string reply;  // bytes for the sender, now
        bool drop_connection = false;
    };
    // One command of a job; the labels it prints are appended to printed.
    Outcome take(const Command& command, std::vector<Label>& printed);
    // Warnings of the job found outside the device (as its stream was split), at offsets
    // counted from `offset` and lines from `line`.
    void add_warnings(std::vector<Warning> warnings, std::size_t offset, std::size_t line);
    // At the end of a job: what it left unfinished is reported, and its warnings and notes are
    // handed over; the stored forms and graphics stay.
    void end_job(std::vector<Warning>& warnings, std::vector<Warning>& notes);

    // As an operator would: a new roll of media (with no end), the head closed, the pause
    // released and the memory fault gone.
    void clear_faults();
    void open_head();

    std::size_t labels_printed() const { return labels_printed_; }

   private:
    bool is_status_command(const Command& command) const;
    std::string answer_status(const std::string& command);
    std::string error_report();
    std::string configuration() const;
    void print(const Command& command, std::vector<Label>& printed);
    // A fault arises; with error reporting on it is reported unasked with the next answer.
    void raise(ErrorCode code);
    std::vector<ErrorCode> standing_errors() const;

    Options options_;
    Printer printer_;
    std::set<ErrorCode> faults_;              // standing until cleared
    std::optional<std::size_t> labels_left_;  // on the roll; none: it never ends
    std::optional<std::size_t> drop_at_label_;
    bool reporting_ = false;  // US on
    std::string unsent_;      // reports made unasked, for the next answer on any connection
    std::size_t labels_printed_ = 0;
};

}  // namespace eplview
