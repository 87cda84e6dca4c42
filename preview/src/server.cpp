#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <system_error>

namespace eplview {
namespace {

constexpr int poll_milliseconds = 200;
// The copies of a job's first labels are listed in its log line; a long batch's are not.
constexpr std::size_t copies_logged = 32;
// Senders beyond the connections being served wait in this queue until one finishes.
constexpr int listen_backlog = 1024;

std::string job_file(const std::string& dir, std::size_t job, std::size_t label) {
    char name[64];
    std::snprintf(name, sizeof name, "job-%06zu-%zu.png", job, label);
    return (std::filesystem::path(dir) / name).string();
}

}  // namespace

VirtualPrinter::VirtualPrinter(ServeOptions options, Log log)
    : options_(std::move(options)),
      log_(std::move(log)),
      device_(options_.render, options_.faults) {}

VirtualPrinter::~VirtualPrinter() {
    stop();
    reap(true);
    if (listen_socket_ >= 0) close(listen_socket_);
    for (int fd : wake_pipe_)
        if (fd >= 0) close(fd);
}

bool VirtualPrinter::listen(std::string& error) {
    if (pipe(wake_pipe_) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    for (int fd : wake_pipe_) fcntl(fd, F_SETFL, O_NONBLOCK);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options_.port));
    if (inet_pton(AF_INET, options_.address.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + options_.address;
        return false;
    }
    listen_socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reuse = 1;
    setsockopt(listen_socket_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (listen_socket_ < 0 ||
        bind(listen_socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_socket_, listen_backlog) != 0) {
        error =
            options_.address + ":" + std::to_string(options_.port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listen_socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

void VirtualPrinter::stop() {
    stopping_ = true;
    wake();
}

void VirtualPrinter::clear_faults() {
    clear_requested_ = true;
    wake();
}

void VirtualPrinter::open_head() {
    head_open_requested_ = true;
    wake();
}

// Between two commands of the job in progress, if there is one.
void VirtualPrinter::apply_operator_requests() {
    std::lock_guard lock(device_mutex_);
    if (head_open_requested_.exchange(false)) {
        device_.open_head();
        log("eplview: head opened");
    }
    if (clear_requested_.exchange(false)) {
        device_.clear_faults();
        log("eplview: faults cleared");
    }
}

void VirtualPrinter::wake() {
    if (wake_pipe_[1] >= 0) {
        char byte = 0;
        [[maybe_unused]] auto written = write(wake_pipe_[1], &byte, 1);
    }
}

void VirtualPrinter::drain_wakes() {
    char bytes[64];
    while (read(wake_pipe_[0], bytes, sizeof bytes) > 0) {
    }
}

void VirtualPrinter::log(const std::string& line) {
    std::lock_guard lock(log_mutex_);
    if (log_) log_(line);
}

void VirtualPrinter::reap(bool all) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (all || (*it)->done) {
            if ((*it)->thread.joinable()) (*it)->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void VirtualPrinter::run() {
    while (!stopping_) {
        // With every connection slot taken the listening socket is left alone: further senders
        // wait in its queue until a job ends, instead of being accepted and cut off with their
        // data unread.
        bool room = connections_.size() < static_cast<std::size_t>(options_.max_connections);
        pollfd watched[2] = {{wake_pipe_[0], POLLIN, 0}, {room ? listen_socket_ : -1, POLLIN, 0}};
        if (poll(watched, 2, poll_milliseconds) < 0 && errno != EINTR) break;
        drain_wakes();
        apply_operator_requests();
        reap(false);
        if (stopping_ || !(watched[1].revents & POLLIN)) continue;
        int socket = accept4(listen_socket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket >= 0) start_connection(socket);
    }
    reap(true);
}

void VirtualPrinter::start_connection(int socket) {
    auto connection = std::make_unique<Connection>();
    Connection& ref = *connection;
    std::size_t job = next_job_++;
    try {
        ref.thread = std::thread([this, socket, job, &ref] { serve_connection(socket, job, ref); });
    } catch (const std::system_error& error) {
        // Out of threads: this sender gets a closed connection, the printer keeps running.
        log("job " + std::to_string(job) + ": not received: " + error.what());
        close(socket);
        end_turn(job);
        return;
    }
    connections_.push_back(std::move(connection));
}

// A job while it arrives: the bytes not yet taken as commands, and where they stand in the job.
struct VirtualPrinter::JobState {
    std::size_t job = 0;
    int socket = -1;
    std::vector<std::uint8_t> pending;
    std::size_t received = 0;         // bytes kept of the job
    std::size_t taken = 0, line = 1;  // offset and line of pending's first byte
    std::size_t labels = 0;
    std::string copies;  // of each label printed, for the log
};

void VirtualPrinter::serve_connection(int socket, std::size_t job, Connection& connection) {
    wait_for_turn(job);
    JobState state;
    state.job = job;
    state.socket = socket;
    std::uint8_t chunk[65536];
    int idle_ms = 0;
    bool discarded = false, dropped = false;
    while (!stopping_) {
        pollfd watched{socket, POLLIN, 0};
        int ready = poll(&watched, 1, poll_milliseconds);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            idle_ms += poll_milliseconds;
            if (idle_ms >= options_.idle_seconds * 1000) {
                log("job " + std::to_string(job) + ": idle for " +
                    std::to_string(options_.idle_seconds) + " s; the job ends here");
                break;
            }
            continue;
        }
        idle_ms = 0;
        auto got = recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        discarded = !keep(state, {chunk, static_cast<std::size_t>(got)}, options_.max_bytes);
        if (!feed(state, false)) {
            dropped = true;
            break;
        }
        if (discarded) break;
    }
    // What had arrived when the printer was told to stop still belongs to the job.
    while (stopping_ && !discarded && !dropped) {
        auto got = recv(socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got <= 0) break;
        discarded = !keep(state, {chunk, static_cast<std::size_t>(got)}, options_.max_bytes);
    }
    if (!dropped) feed(state, true);
    close(socket);
    if (discarded)
        log("job " + std::to_string(job) + ": longer than " + std::to_string(options_.max_bytes) +
            " bytes; the rest was discarded and the connection closed");
    if (dropped)
        log("job " + std::to_string(job) + ": the connection was dropped in the middle of label " +
            std::to_string(device_.labels_printed() + 1) + ", as asked");
    if (state.received > 0) finish_job(state);
    end_turn(job);
    connection.done = true;
    wake();
}

void VirtualPrinter::wait_for_turn(std::size_t job) {
    std::unique_lock lock(turn_mutex_);
    turn_changed_.wait(lock, [&] { return turn_ == job; });
}

// Called for a job that ended or never started; the next job that did start gets the device.
void VirtualPrinter::end_turn(std::size_t job) {
    std::lock_guard lock(turn_mutex_);
    abandoned_.insert(job);
    while (abandoned_.erase(turn_) != 0) ++turn_;
    turn_changed_.notify_all();
}

bool VirtualPrinter::keep(JobState& state, std::span<const std::uint8_t> chunk, std::size_t cap) {
    auto kept = std::min(cap - std::min(cap, state.received), chunk.size());
    state.pending.insert(state.pending.end(), chunk.begin(),
                         chunk.begin() + static_cast<long>(kept));
    state.received += kept;
    return kept == chunk.size();
}

bool VirtualPrinter::feed(JobState& state, bool at_end) {
    if (state.pending.empty() && (!at_end || state.received == 0)) return true;
    std::string reply;
    std::vector<Label> printed;
    bool dropped = false;
    Diagnostics splitting;  // its offsets count from the first pending byte
    auto take = [&](Command&& command) {
        if (dropped) return;
        command.offset += state.taken;
        command.line += state.line - 1;
        Device::Outcome outcome = device_.take(command, printed);
        reply += outcome.reply;
        dropped = outcome.drop_connection;
    };
    std::span<const std::uint8_t> bytes(state.pending);
    std::unique_lock device(device_mutex_);
    std::size_t used = at_end ? (for_each_command(bytes, splitting, take), bytes.size())
                              : for_each_complete_command(bytes, splitting, take);
    device_.add_warnings(splitting.take(), state.taken, state.line);
    device.unlock();
    state.line += static_cast<std::size_t>(
        std::count(state.pending.begin(), state.pending.begin() + static_cast<long>(used), '\n'));
    state.taken += used;
    state.pending.erase(state.pending.begin(), state.pending.begin() + static_cast<long>(used));
    answer(state.socket, reply);
    write_labels(state, printed);
    return !dropped;
}

void VirtualPrinter::answer(int socket, const std::string& reply) const {
    if (reply.empty()) return;
    if (options_.answer_delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options_.answer_delay_ms));
    // A sender that no longer reads its answers loses them; the job goes on.
    [[maybe_unused]] auto sent = send(socket, reply.data(), reply.size(), MSG_NOSIGNAL);
}

void VirtualPrinter::write_labels(JobState& state, std::vector<Label>& printed) {
    std::string prefix = "job " + std::to_string(state.job) + ": ";
    for (Label& label : printed) {
        ++state.labels;
        if (state.labels <= copies_logged) (state.copies += ' ') += std::to_string(label.copies);
        if (state.labels == copies_logged + 1) state.copies += " ...";
        std::string number = std::to_string(state.labels);
        if (options_.out_dir.empty()) {
            std::string data;
            for (const auto& field : label.data) data += " \"" + printable(field) + "\"";
            log(prefix + "label " + number + " printed, " + std::to_string(label.copies) +
                " copies:" + data);
            continue;
        }
        std::string path = job_file(options_.out_dir, state.job, state.labels);
        if (write_png(label.image, options_.render.dpi == 300 ? 300 : 203, path))
            log(prefix + "label " + number + " -> " + path);
        else
            log(prefix + "cannot write " + path);
    }
}

void VirtualPrinter::finish_job(JobState& state) {
    std::vector<Warning> warnings, notes;
    {
        std::lock_guard device(device_mutex_);
        device_.end_job(warnings, notes);
    }
    std::string prefix = "job " + std::to_string(state.job) + ": ";
    std::size_t count = 0;
    for (const auto& warning : warnings) {
        count += 1 + warning.repeats;
        log(prefix + "warning at byte " + std::to_string(warning.offset) + ", line " +
            std::to_string(warning.line) + ": " + warning.message);
    }
    for (const auto& note : notes)
        log(prefix + "note at byte " + std::to_string(note.offset) + ", line " +
            std::to_string(note.line) + ": " + note.message);
    log(prefix + std::to_string(state.received) + " bytes, " + std::to_string(state.labels) +
        " labels (copies:" + (state.copies.empty() ? " -" : state.copies) + "), " +
        std::to_string(count) + " warnings");
    ++jobs_done_;
}

}  // namespace eplview
