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
// Senders beyond the connections being served wait in this queue until one finishes.
constexpr int listen_backlog = 1024;

std::string job_file(const std::string& dir, std::size_t job, std::size_t label) {
    char name[64];
    std::snprintf(name, sizeof name, "job-%06zu-%zu.png", job, label);
    return (std::filesystem::path(dir) / name).string();
}

// Appends what fits under the job's byte cap; false when part of the chunk had to be discarded.
bool keep(std::vector<std::uint8_t>& bytes, std::span<const std::uint8_t> chunk, std::size_t cap) {
    auto kept = std::min(cap - std::min(cap, bytes.size()), chunk.size());
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<long>(kept));
    return kept == chunk.size();
}

}  // namespace

VirtualPrinter::VirtualPrinter(ServeOptions options, Log log)
    : options_(std::move(options)), log_(std::move(log)) {}

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
        return;
    }
    connections_.push_back(std::move(connection));
}

void VirtualPrinter::serve_connection(int socket, std::size_t job, Connection& connection) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    int idle_ms = 0;
    bool discarded = false;
    bool print_pending = false;  // a P command may have arrived since labels were last written
    std::size_t written = 0;
    while (!stopping_) {
        pollfd watched{socket, POLLIN, 0};
        int ready = poll(&watched, 1, poll_milliseconds);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            if (print_pending) written = write_printed_labels(job, bytes, written);
            print_pending = false;
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
        auto before = static_cast<long>(bytes.size());
        discarded = !keep(bytes, {chunk, static_cast<std::size_t>(got)}, options_.max_bytes);
        print_pending =
            print_pending || std::find(bytes.begin() + before, bytes.end(), 'P') != bytes.end();
        if (discarded) break;
    }
    // What had arrived when the printer was told to stop still belongs to the job.
    while (stopping_ && !discarded) {
        auto got = recv(socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got <= 0) break;
        discarded = !keep(bytes, {chunk, static_cast<std::size_t>(got)}, options_.max_bytes);
    }
    close(socket);
    if (discarded)
        log("job " + std::to_string(job) + ": longer than " + std::to_string(options_.max_bytes) +
            " bytes; the rest was discarded and the connection closed");
    if (!bytes.empty()) finish_job(job, bytes, written);
    connection.done = true;
    wake();
}

// Labels print while the job still arrives: the bytes up to the last line end are interpreted
// and every label beyond those already written is written. A label depends only on the commands
// before its P, so the final pass over the whole job gives the same images.
std::size_t VirtualPrinter::write_printed_labels(std::size_t job,
                                                 const std::vector<std::uint8_t>& bytes,
                                                 std::size_t written) {
    auto last_line_end = std::find(bytes.rbegin(), bytes.rend(), '\n');
    std::span<const std::uint8_t> complete(bytes.data(),
                                           static_cast<std::size_t>(bytes.rend() - last_line_end));
    Job so_far = interpret(complete, options_.render);
    return write_labels(job, so_far, written);
}

std::size_t VirtualPrinter::write_labels(std::size_t job, const Job& result, std::size_t from) {
    std::string prefix = "job " + std::to_string(job) + ": ";
    for (std::size_t i = from; i < result.labels.size(); ++i) {
        std::string path = job_file(options_.out_dir, job, i + 1);
        const Label& label = result.labels[i];
        if (write_png(label.image, result.summary.dpi, path))
            log(prefix + "label " + std::to_string(i + 1) + " -> " + path);
        else
            log(prefix + "cannot write " + path);
    }
    return std::max(from, result.labels.size());
}

void VirtualPrinter::finish_job(std::size_t job, const std::vector<std::uint8_t>& bytes,
                                std::size_t written) {
    Job result = interpret(bytes, options_.render);
    std::string prefix = "job " + std::to_string(job) + ": ";
    for (const auto& warning : result.warnings)
        log(prefix + "warning at byte " + std::to_string(warning.offset) + ", line " +
            std::to_string(warning.line) + ": " + warning.message);
    for (const auto& note : result.notes)
        log(prefix + "note at byte " + std::to_string(note.offset) + ", line " +
            std::to_string(note.line) + ": " + note.message);
    write_labels(job, result, written);
    std::string copies;
    for (const auto& label : result.labels) {
        copies += ' ';
        copies += std::to_string(label.copies);
    }
    log(prefix + std::to_string(bytes.size()) + " bytes, " + std::to_string(result.labels.size()) +
        " labels (copies:" + (copies.empty() ? " -" : copies) + "), " +
        std::to_string(warning_count(result)) + " warnings");
    ++jobs_done_;
}

}  // namespace eplview
