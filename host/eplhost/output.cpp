#include "output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "errors.h"

#if defined(_WIN32)
#include <io.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/sockios.h>
#endif
#endif

namespace epl2::eplhost {

namespace {

[[noreturn]] void output_error(const Target& target, const std::string& what) {
    fail(ExitCode::output, target.describe() + ": " + what);
}

std::string system_error_text() {
    return errno != 0 ? std::strerror(errno) : "unknown error";
}

// The whole job into an open file, pushed past the C library's buffer to the system; the answer
// is empty on success, else what went wrong.
std::string write_all(std::FILE* file, std::string_view job) {
    errno = 0;
    if (std::fwrite(job.data(), 1, job.size(), file) != job.size() || std::fflush(file) != 0)
        return system_error_text();
    return {};
}

std::FILE* open_for_writing(const std::filesystem::path& path) {
#if defined(_WIN32)
    return ::_wfopen(path.c_str(), L"wb");  // the path as Windows spells it, whatever the code page
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

// On the disk itself, so that the rename below cannot outlive the data it makes visible.
bool commit_to_disk(std::FILE* file) {
#if defined(_WIN32)
    return ::_commit(::_fileno(file)) == 0;
#else
    return ::fsync(::fileno(file)) == 0;
#endif
}

// A device or a pipe (a printer port such as /dev/usb/lp0) takes the job as it is written; a
// temporary file renamed over it would replace the device node with a plain file.
bool is_device_or_pipe(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

void write_to_device(const Target& target, std::string_view job) {
    std::FILE* device = open_for_writing(target.path);
    if (device == nullptr) output_error(target, "cannot open it (" + system_error_text() + ")");
    std::string problem = write_all(device, job);
    if (std::fclose(device) != 0 && problem.empty()) problem = system_error_text();
    if (!problem.empty()) output_error(target, "writing failed (" + problem + ")");
}

void write_file(const Target& target, std::string_view job) {
    namespace fs = std::filesystem;
    const fs::path final_path(target.path);
    if (is_device_or_pipe(final_path)) return write_to_device(target, job);
    if (final_path.has_parent_path()) {
        std::error_code error;
        fs::create_directories(final_path.parent_path(), error);
        if (error)
            output_error(target, "cannot create the folder " + final_path.parent_path().string() +
                                     ": " + error.message());
    }
    std::random_device random;
    const fs::path temporary = final_path.string() + ".tmp-" + std::to_string(random() % 1000000);
    std::FILE* out = open_for_writing(temporary);
    if (out == nullptr)
        output_error(target, "cannot create " + temporary.string() + " (" + system_error_text() +
                                 "); nothing was written");
    std::string problem = write_all(out, job);
    if (problem.empty() && !commit_to_disk(out)) problem = system_error_text();
    if (std::fclose(out) != 0 && problem.empty()) problem = system_error_text();
    if (!problem.empty()) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        output_error(target, "writing " + temporary.string() + " failed (" + problem +
                                 "); it was removed and " + target.path + " left as it was");
    }
    std::error_code error;
    fs::rename(temporary, final_path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        output_error(target, "cannot move the job into place: " + error.message());
    }
}

// ---- TCP -------------------------------------------------------------------------------------

#if defined(_WIN32)
using Socket = SOCKET;
constexpr Socket no_socket = INVALID_SOCKET;
int last_socket_error() {
    return WSAGetLastError();
}
std::string socket_error_text(int code) {
    return "socket error " + std::to_string(code);
}
void close_socket(Socket s) {
    closesocket(s);
}
bool would_block(int code) {
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}
int poll_socket(Socket s, short events, int timeout_ms) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = events;
    const int n = WSAPoll(&p, 1, timeout_ms);
    return n <= 0 ? n : p.revents;
}
void set_nonblocking(Socket s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
struct SocketLibrary {
    SocketLibrary() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~SocketLibrary() { WSACleanup(); }
};
constexpr int send_flags = 0;
constexpr int shut_write = SD_SEND;
// Windows does not say how much of the send queue the peer has acknowledged.
bool unacknowledged_bytes(Socket, int& count) {
    count = 0;
    return false;
}
#else
using Socket = int;
constexpr Socket no_socket = -1;
int last_socket_error() {
    return errno;
}
std::string socket_error_text(int code) {
    return std::strerror(code);
}
void close_socket(Socket s) {
    ::close(s);
}
bool would_block(int code) {
    return code == EINPROGRESS || code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}
int poll_socket(Socket s, short events, int timeout_ms) {
    pollfd p{s, events, 0};
    const int n = ::poll(&p, 1, timeout_ms);
    return n <= 0 ? n : p.revents;
}
void set_nonblocking(Socket s) {
    fcntl(s, F_SETFL, fcntl(s, F_GETFL, 0) | O_NONBLOCK);
}
struct SocketLibrary {};
constexpr int send_flags = MSG_NOSIGNAL;
constexpr int shut_write = SHUT_WR;
bool unacknowledged_bytes(Socket s, int& count) {
#if defined(SIOCOUTQ)
    return ioctl(s, SIOCOUTQ, &count) == 0;
#else
    (void)s;
    count = 0;
    return false;
#endif
}
#endif

int pending_error(Socket s) {
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error;
}

class Connection {
   public:
    Connection(const Target& target, const DeliveryOptions& options)
        : target_(target), options_(options) {}
    ~Connection() {
        if (socket_ != no_socket) close_socket(socket_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void connect();
    void send_all(std::string_view job);
    void finish();

   private:
    const Target& target_;
    const DeliveryOptions& options_;
    Socket socket_ = no_socket;
};

void Connection::connect() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int e = getaddrinfo(target_.host.c_str(), target_.port.c_str(), &hints, &found);
        e != 0 || found == nullptr) {
        output_error(target_, "cannot resolve " + target_.host + " (" + gai_strerror(e) + ")");
    }
    std::string last_problem = "no address";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        Socket s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == no_socket) continue;
        set_nonblocking(s);
        int result = ::connect(s, a->ai_addr, static_cast<socklen_t>(a->ai_addrlen));
        int error = result == 0 ? 0 : last_socket_error();
        if (result != 0 && would_block(error)) {
            const int ready =
                poll_socket(s, POLLOUT, static_cast<int>(options_.connect_timeout.count()));
            error = ready == 0 ? ETIMEDOUT : ready < 0 ? last_socket_error() : pending_error(s);
        }
        if (error == 0) {
            socket_ = s;
            freeaddrinfo(found);
            return;
        }
        last_problem =
            error == ETIMEDOUT ? "no answer within the connect timeout" : socket_error_text(error);
        close_socket(s);
    }
    freeaddrinfo(found);
    output_error(target_, "cannot connect: " + last_problem + "; nothing was sent");
}

void Connection::send_all(std::string_view job) {
    std::size_t sent = 0;
    while (sent < job.size()) {
        const std::size_t chunk = std::min<std::size_t>(job.size() - sent, 1 << 16);
        const auto n = ::send(socket_, job.data() + sent, static_cast<int>(chunk), send_flags);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const int error = last_socket_error();
        if (n < 0 && would_block(error)) {
            const int ready =
                poll_socket(socket_, POLLOUT, static_cast<int>(options_.write_timeout.count()));
            if (ready > 0 && (ready & (POLLERR | POLLHUP)) == 0) continue;
            if (ready == 0) {
                output_error(target_, "the printer stopped taking data (write timeout) after " +
                                          std::to_string(sent) + " of " +
                                          std::to_string(job.size()) + " bytes");
            }
        }
        const int cause = pending_error(socket_);
        output_error(target_, "the connection failed after " + std::to_string(sent) + " of " +
                                  std::to_string(job.size()) +
                                  " bytes: " + socket_error_text(cause != 0 ? cause : error));
    }
}

// The job counts as sent only when the peer's TCP has acknowledged every byte: a printer that
// closed early answers the data with a reset instead.
void Connection::finish() {
    ::shutdown(socket_, shut_write);
    const auto deadline = std::chrono::steady_clock::now() + options_.write_timeout;
    for (;;) {
        if (const int error = pending_error(socket_); error != 0) {
            output_error(target_,
                         "the printer closed the connection before taking the whole job: " +
                             socket_error_text(error));
        }
        int queued = 0;
        if (!unacknowledged_bytes(socket_, queued) || queued == 0) break;
        if (std::chrono::steady_clock::now() > deadline) {
            output_error(target_,
                         std::to_string(queued) +
                             " bytes were never acknowledged by the printer (write timeout)");
        }
        char discard[256];
        const int ready = poll_socket(socket_, POLLIN, 10);
        if (ready > 0) {
            const auto n = ::recv(socket_, discard, sizeof discard, 0);
            if (n < 0 && !would_block(last_socket_error())) {
                output_error(target_,
                             "the printer closed the connection before taking the whole job: " +
                                 socket_error_text(last_socket_error()));
            }
        }
    }
    if (const int error = pending_error(socket_); error != 0) {
        output_error(target_, "the printer closed the connection before taking the whole job: " +
                                  socket_error_text(error));
    }
}

void send_tcp(const Target& target, std::string_view job, const DeliveryOptions& options) {
    [[maybe_unused]] SocketLibrary library;
    Connection connection(target, options);
    connection.connect();
    connection.send_all(job);
    connection.finish();
}

// ---- lp ----------------------------------------------------------------------------------------

void send_lp(const Target& target, std::string_view job, const DeliveryOptions& options) {
#if defined(_WIN32)
    (void)job;
    (void)options;
    output_error(
        target,
        "print queues through lp are not available on Windows; use --output or --to tcp://");
#else
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        output_error(target, std::string("cannot create a pipe: ") + std::strerror(errno));
    const pid_t child = ::fork();
    if (child < 0) output_error(target, std::string("cannot start lp: ") + std::strerror(errno));
    if (child == 0) {
        ::dup2(pipe_fds[0], 0);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        const char* argv[] = {
            options.lp_command.c_str(), "-d", target.queue.c_str(), "-o", "raw", nullptr};
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(pipe_fds[0]);
    // A queue that refuses the job closes the pipe; the write then fails instead of killing us.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    std::size_t written = 0;
    while (written < job.size()) {
        const ssize_t n = ::write(pipe_fds[1], job.data() + written, job.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(pipe_fds[1]);
    ::sigaction(SIGPIPE, &previous, nullptr);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const std::string why =
            WIFEXITED(status) && WEXITSTATUS(status) == 127
                ? "cannot run " + options.lp_command
                : options.lp_command + " failed (status " +
                      std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
        output_error(target, why);
    }
    if (written < job.size()) {
        output_error(target, options.lp_command + " took only " + std::to_string(written) + " of " +
                                 std::to_string(job.size()) + " bytes");
    }
#endif
}

}  // namespace

std::string Target::describe() const {
    switch (kind) {
        case Kind::standard_output:
            return "standard output";
        case Kind::file:
            return path;
        case Kind::tcp:
            return "tcp://" + host + ":" + port;
        case Kind::lp:
            return "lp:" + queue;
    }
    return {};
}

Target parse_target(std::string_view text) {
    Target target;
    if (text == "-" || text.empty()) return target;
    if (text.starts_with("tcp://")) {
        std::string_view rest = text.substr(6);
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
    if (text.starts_with("lp:")) {
        if (text.size() == 3) fail(ExitCode::usage, "lp: needs a queue name, as in lp:Zebra");
        target.kind = Target::Kind::lp;
        target.queue = text.substr(3);
        return target;
    }
    target.kind = Target::Kind::file;
    target.path = text;
    return target;
}

void deliver(const Target& target, std::string_view job, std::ostream& standard_output,
             const DeliveryOptions& options) {
    switch (target.kind) {
        case Target::Kind::standard_output:
            standard_output.write(job.data(), static_cast<std::streamsize>(job.size()));
            standard_output.flush();
            if (!standard_output) output_error(target, "writing failed");
            return;
        case Target::Kind::file:
            write_file(target, job);
            return;
        case Target::Kind::tcp:
            send_tcp(target, job, options);
            return;
        case Target::Kind::lp:
            send_lp(target, job, options);
            return;
    }
}

}  // namespace epl2::eplhost
