#include <string>
#include <vector>

#include "destinations/destination.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// `lp [-d QUEUE] -o raw` reading the job from a pipe as it is produced. lp queues the job only
// once it has read all of it, so a job abandoned half way stops lp before that.
class LpQueue final : public Destination {
   public:
    LpQueue(const Target& target, const DeliveryOptions& options);

    void put(std::string_view block) override;
    void finish() override {
        lp_.close_input();
        check_status();
    }

   private:
    void check_status();

    const Target& target_;
    const DeliveryOptions& options_;
    os::PipedChild lp_;
    std::size_t written_ = 0;
};

// -d QUEUE: the queue, unless lp is to use its default; -o raw: the bytes go to the printer as
// they are, unfiltered.
std::vector<std::string> lp_arguments(const Target& target, const DeliveryOptions& options) {
    std::vector<std::string> arguments = {options.lp_command};
    if (!target.queue.empty()) arguments.insert(arguments.end(), {"-d", target.queue});
    arguments.insert(arguments.end(), {"-o", "raw"});
    return arguments;
}

// What is missing, and what to do about it.
std::string cannot_run_message(const DeliveryOptions& options, const std::string& reason) {
    if (options.lp_command != default_lp_command)
        return "cannot run " + options.lp_command + " (named by EPL2_LP): " + reason;
    return "cannot run lp: " + reason +
           "; install the CUPS client (Debian: cups-client) or use --to tcp://HOST:PORT";
}

LpQueue::LpQueue(const Target& target, const DeliveryOptions& options)
    : target_(target), options_(options) {
    std::string reason;
    switch (lp_.start(lp_arguments(target, options), reason)) {
        case os::PipedChild::Start::started:
            return;
        case os::PipedChild::Start::no_pipe:
            output_error(target, "cannot create a pipe: " + reason);
        case os::PipedChild::Start::no_program:
            output_error(target, cannot_run_message(options, reason));
        case os::PipedChild::Start::no_process:
            break;
    }
    output_error(target, "cannot start " + options.lp_command + ": " + reason);
}

void LpQueue::put(std::string_view block) {
    std::size_t done = 0;
    while (done < block.size()) {
        const auto n = lp_.write_some(block.substr(done));
        if (n <= 0) {
            // lp stopped reading: its own verdict says why, if it gives one.
            lp_.close_input();
            check_status();
            output_error(target_,
                         options_.lp_command + " took only " + std::to_string(written_) + " bytes");
        }
        done += static_cast<std::size_t>(n);
        written_ += static_cast<std::size_t>(n);
    }
}

void LpQueue::check_status() {
    const os::ExitStatus status = lp_.wait();
    if (status.exited && status.code == 0) return;
    output_error(target_, options_.lp_command + " failed (status " +
                              std::to_string(status.exited ? status.code : -1) + ")");
}

}  // namespace

std::unique_ptr<Destination> open_lp_queue(const Target& target, const DeliveryOptions& options) {
    if (!os::PipedChild::supported()) {
        output_error(target,
                     "print queues through lp are not available on Windows; use --output or "
                     "--to tcp://");
    }
    return std::make_unique<LpQueue>(target, options);
}

}  // namespace epl2::eplhost
