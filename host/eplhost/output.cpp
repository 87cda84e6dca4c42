#include "output.h"

#include <charconv>
#include <cstdint>
#include <filesystem>

#include "destinations/destination.h"
#include "errors.h"
#include "letter_case.h"

namespace epl2::eplhost {

namespace {

// A device or a pipe (a printer port such as /dev/usb/lp0) takes the job as it is written: a
// temporary file renamed over it would replace the device node with a plain file.
bool is_device_or_pipe(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

std::unique_ptr<Destination> open_destination(const Target& target, std::ostream& standard_output,
                                              const DeliveryOptions& options) {
    switch (target.kind) {
        case Target::Kind::standard_output:
            return open_standard_output(target, standard_output);
        case Target::Kind::file:
            if (is_device_or_pipe(target.path)) return open_device(target);
            return open_replaced_file(target);
        case Target::Kind::tcp:
            return open_tcp_connection(target, options);
        case Target::Kind::lp:
            return open_lp_queue(target, options);
    }
    output_error(target, "unknown kind of target");
}

// The forms a target takes; each scheme matches whatever its letter case.
constexpr std::string_view tcp_scheme = "tcp://";
constexpr std::string_view lp_scheme = "lp:";
constexpr std::string_view lp_default_queue = "lp";  // lp alone: lp chooses the queue
constexpr std::string_view file_scheme = "file:";
constexpr std::string_view accepted_targets =
    "--to takes tcp://HOST[:PORT] (the port defaults to 9100), lp:QUEUE (lp alone: the default "
    "queue) or file:PATH";

// The raw port that EPL2 printers and print servers listen on for jobs.
constexpr std::string_view default_raw_port = "9100";
constexpr std::uint32_t highest_port = 65535;

bool has_scheme(std::string_view text, std::string_view scheme) {
    return text.size() >= scheme.size() &&
           same_ignoring_case(text.substr(0, scheme.size()), scheme);
}

[[noreturn]] void refuse_target(std::string_view text, const std::string& why) {
    fail(ExitCode::usage, "--to \"" + std::string(text) + "\": " + why);
}

bool all_digits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string checked_port(std::string_view text, std::string_view port) {
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (!all_digits(port) || error != std::errc() || number == 0 || number > highest_port) {
        refuse_target(text, "the port \"" + std::string(port) + "\" is not a number from 1 to " +
                                std::to_string(highest_port));
    }
    return std::to_string(number);
}

// tcp://HOST, tcp://HOST:PORT, tcp://[IPv6], tcp://[IPv6]:PORT
Target tcp_target(std::string_view text) {
    const std::string_view rest = text.substr(tcp_scheme.size());
    std::string_view host = rest, port = default_raw_port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            refuse_target(text, "the IPv6 address lacks its \"]\", as in tcp://[::1]:9100");
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && !after.starts_with(':'))
            refuse_target(text, "expected :PORT after the IPv6 address, as in tcp://[::1]:9100");
        if (!after.empty()) port = after.substr(1);
    } else if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        if (rest.find(':', colon + 1) != std::string_view::npos)
            refuse_target(text, "an IPv6 address goes in brackets, as in tcp://[::1]:9100");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
    }
    if (host.empty()) refuse_target(text, "no host; expected tcp://HOST[:PORT]");
    if (host.find('/') != std::string_view::npos)
        refuse_target(text, "a printer's raw port takes no path; expected tcp://HOST[:PORT]");
    Target target;
    target.kind = Target::Kind::tcp;
    target.host = host;
    target.port = checked_port(text, port);
    return target;
}

// HOST:PORT without its scheme, as a printer's address is often written.
bool looks_like_host_and_port(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || !all_digits(text.substr(colon + 1)))
        return false;
    const std::string_view host = text.substr(0, colon);
    const bool bracketed = host.starts_with('[') && host.ends_with(']');
    return host.find_first_of(bracketed ? "/\\" : "/\\:") == std::string_view::npos;
}

[[noreturn]] void refuse_unknown_target(std::string_view text) {
    std::string hint;
    if (looks_like_host_and_port(text)) {
        hint = " (did you mean tcp://" + std::string(text) + "?)";
    } else if (const auto scheme = text.find("://"); scheme != std::string_view::npos) {
        hint = " (\"" + std::string(text.substr(0, scheme)) + "://\" is not supported)";
    }
    fail(ExitCode::usage, "--to \"" + std::string(text) + "\" is not a target" + hint + "; " +
                              std::string(accepted_targets));
}

}  // namespace

std::string Target::describe() const {
    switch (kind) {
        case Kind::standard_output:
            return "standard output";
        case Kind::file:
            return path;
        case Kind::tcp:
            return std::string(tcp_scheme) +
                   (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
        case Kind::lp:
            return queue.empty() ? std::string(lp_default_queue) : std::string(lp_scheme) + queue;
    }
    return {};
}

Target parse_target(std::string_view text) {
    if (has_scheme(text, tcp_scheme)) return tcp_target(text);
    Target target;
    if (same_ignoring_case(text, lp_default_queue) || has_scheme(text, lp_scheme)) {
        target.kind = Target::Kind::lp;
        if (text.size() == lp_scheme.size()) {
            refuse_target(text,
                          "lp: needs a queue name, as in lp:Zebra; lp alone sends to the "
                          "default queue");
        }
        if (text.size() > lp_scheme.size()) target.queue = text.substr(lp_scheme.size());
        return target;
    }
    if (has_scheme(text, file_scheme)) {
        if (text.size() == file_scheme.size())
            refuse_target(text, "file: needs a path, as in file:out/job.epl");
        target.kind = Target::Kind::file;
        target.path = text.substr(file_scheme.size());
        return target;
    }
    refuse_unknown_target(text);
}

Target output_path_target(std::string_view path) {
    Target target;
    if (path == "-" || path.empty()) return target;
    if (has_scheme(path, tcp_scheme) || has_scheme(path, lp_scheme))
        fail(ExitCode::usage, "--output takes a file name; use --to for tcp:// and lp: targets");
    target.kind = Target::Kind::file;
    target.path = path;
    return target;
}

// A block: large enough that each write is worth its system call, small enough that the job's
// bytes in memory stay a fixed, small amount.
constexpr std::size_t stream_block_size = 1 << 16;

JobStream::JobStream() {
    pending_.reserve(stream_block_size);
}

JobStream::~JobStream() = default;

void JobStream::write(std::string_view bytes) {
    pending_.append(bytes);
    size_ += bytes.size();
}

void JobStream::open(const Target& target, std::ostream& standard_output,
                     const DeliveryOptions& options) {
    target_ = target;
    options_ = options;
    destination_ = open_destination(target_, standard_output, options_);
}

void JobStream::pass_on() {
    if (destination_ && pending_.size() >= stream_block_size) send_pending();
}

void JobStream::finish() {
    if (!destination_) fail(ExitCode::internal, "the job ended before its target was opened");
    send_pending();
    destination_->finish();
}

std::optional<std::string> JobStream::ask(std::string_view request,
                                          bool (*complete)(std::string_view)) {
    if (!destination_) fail(ExitCode::internal, "a question before the target was opened");
    // The request goes with the bytes before it, in one send: the second of two small sends
    // waits for the peer's delayed acknowledgement of the first.
    std::string block = std::move(pending_);
    pending_.clear();
    block.append(request);
    size_ += request.size();
    return destination_->ask(block, complete);
}

void JobStream::send_pending() {
    destination_->put(pending_);
    pending_.clear();
}

}  // namespace epl2::eplhost
