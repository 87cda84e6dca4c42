#include <algorithm>
#include <chrono>

#include "destinations/destination.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// The most one send hands the system at a time.
constexpr std::size_t send_chunk_size = 1 << 16;
// Status answers are a few lines long.
constexpr std::size_t answer_chunk_size = 256;

// How long one wait for the printer's acknowledgements lasts before the deadline is looked at
// again.
constexpr std::chrono::milliseconds acknowledgement_poll{10};

// The printer's raw port, connected when the job is about to begin.
class Connection final : public Destination {
   public:
    Connection(const Target& target, const DeliveryOptions& options)
        : target_(target), options_(options) {
        connect();
    }

    void put(std::string_view block) override;
    void finish() override;
    std::optional<std::string> ask(std::string_view request, AnswerComplete complete) override;

   private:
    void connect();
    [[noreturn]] void closed_early(os::SocketError error) const {
        output_error(target_, "the printer closed the connection before taking the whole job: " +
                                  os::socket_error_text(error));
    }

    const Target& target_;
    const DeliveryOptions& options_;
    os::TcpSocket socket_;
    std::size_t sent_ = 0;  // over the whole job, for messages
};

void Connection::connect() {
    using Result = os::ConnectOutcome::Result;
    const os::ConnectOutcome outcome =
        socket_.connect(target_.host, target_.port, options_.connect_timeout);
    switch (outcome.result) {
        case Result::connected:
            return;
        case Result::unresolved:
            output_error(target_, "cannot resolve " + target_.host + " (" + outcome.reason + ")");
        case Result::no_address:
            output_error(target_, "cannot connect: no address; nothing was sent");
        case Result::timed_out:
            output_error(target_,
                         "cannot connect: no answer within the connect timeout; nothing was sent");
        case Result::failed:
            break;
    }
    output_error(target_, "cannot connect: " + outcome.reason + "; nothing was sent");
}

void Connection::put(std::string_view block) {
    std::size_t done = 0;
    while (done < block.size()) {
        const auto n = socket_.send_some(block.substr(done, send_chunk_size));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            sent_ += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) {
            const auto wait = socket_.wait_writable(options_.write_timeout);
            if (wait == os::TcpSocket::Wait::ready) continue;
            if (wait == os::TcpSocket::Wait::timed_out) {
                output_error(target_, "the printer stopped taking data (write timeout) after " +
                                          std::to_string(sent_) + " bytes");
            }
        }
        const os::SocketError cause = socket_.pending_error();
        output_error(target_, "the connection failed after " + std::to_string(sent_) + " bytes: " +
                                  os::socket_error_text(cause != 0 ? cause : socket_.last_error()));
    }
}

// The job counts as sent only when the peer's TCP has acknowledged every byte: a printer that
// closed early answers the data with a reset instead.
void Connection::finish() {
    socket_.shutdown_sending();
    const auto deadline = std::chrono::steady_clock::now() + options_.write_timeout;
    for (;;) {
        if (const os::SocketError error = socket_.pending_error(); error != 0) closed_early(error);
        const std::optional<int> queued = socket_.unacknowledged_bytes();
        if (!queued || *queued == 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            output_error(target_,
                         std::to_string(*queued) +
                             " bytes were never acknowledged by the printer (write timeout)");
        }
        if (!socket_.discard_incoming(acknowledgement_poll)) closed_early(socket_.last_error());
    }
    if (const os::SocketError error = socket_.pending_error(); error != 0) closed_early(error);
}

// The answer must come within the write timeout: a printer that takes longer is treated as one
// that does not answer.
std::optional<std::string> Connection::ask(std::string_view request, AnswerComplete complete) {
    put(request);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + options_.write_timeout;
    while (!complete(answer)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            output_error(target_, "the printer did not answer its status query within " +
                                      std::to_string(options_.write_timeout.count() / 1000) +
                                      " s (--timeout)");
        if (socket_.receive_some(answer, answer_chunk_size, left) < 0) {
            const os::SocketError error = socket_.last_error();
            output_error(target_, "the printer closed the connection before answering" +
                                      (error != 0 ? ": " + os::socket_error_text(error) : ""));
        }
    }
    return answer;
}

}  // namespace

std::unique_ptr<Destination> open_tcp_connection(const Target& target,
                                                 const DeliveryOptions& options) {
    return std::make_unique<Connection>(target, options);
}

}  // namespace epl2::eplhost
