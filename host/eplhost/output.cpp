#include "output.h"

#include <filesystem>

#include "destinations/destination.h"
#include "errors.h"

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

constexpr std::string_view tcp_scheme = "tcp://";
constexpr std::string_view lp_scheme = "lp:";

}  // namespace

std::string Target::describe() const {
    switch (kind) {
        case Kind::standard_output:
            return "standard output";
        case Kind::file:
            return path;
        case Kind::tcp:
            return std::string(tcp_scheme) + host + ":" + port;
        case Kind::lp:
            return std::string(lp_scheme) + queue;
    }
    return {};
}

Target parse_target(std::string_view text) {
    Target target;
    if (text == "-" || text.empty()) return target;
    if (text.starts_with(tcp_scheme)) {
        std::string_view rest = text.substr(tcp_scheme.size());
        std::string_view host, port;
        if (rest.starts_with("[")) {  // [IPv6]:port
            const auto close = rest.find("]:");
            if (close != std::string_view::npos) {
                host = rest.substr(1, close - 1);
                port = rest.substr(close + 2);
            }
        } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        }
        if (host.empty() || port.empty() ||
            port.find_first_not_of("0123456789") != std::string_view::npos) {
            fail(ExitCode::usage, "\"" + std::string(text) +
                                      "\" is not tcp://HOST:PORT (the raw port is usually 9100)");
        }
        target.kind = Target::Kind::tcp;
        target.host = host;
        target.port = port;
        return target;
    }
    if (text.starts_with(lp_scheme)) {
        if (text.size() == lp_scheme.size())
            fail(ExitCode::usage, "lp: needs a queue name, as in lp:Zebra");
        target.kind = Target::Kind::lp;
        target.queue = text.substr(lp_scheme.size());
        return target;
    }
    target.kind = Target::Kind::file;
    target.path = text;
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

void JobStream::send_pending() {
    destination_->put(pending_);
    pending_.clear();
}

}  // namespace epl2::eplhost
