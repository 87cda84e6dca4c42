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

}  // namespace

// The JobStream's view of its target: takes the job a block at a time, then confirms that it
// holds all of it. Each part throws Failure (output) naming the target and the cause.
class JobStream::Destination {
   public:
    virtual ~Destination() = default;
    virtual void put(std::string_view block) = 0;
    virtual void finish() = 0;
};

namespace {

// A block into an open file, pushed past the C library's buffer to the system; the answer is
// empty on success, else what went wrong.
std::string write_all(std::FILE* file, std::string_view block) {
    errno = 0;
    if (std::fwrite(block.data(), 1, block.size(), file) != block.size() || std::fflush(file) != 0)
        return system_error_text();
    return {};
}

// The answer of fclose as write_all gives it; the file is closed either way.
std::string close_file(std::FILE*& file) {
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    return closed ? std::string() : system_error_text();
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

class StandardOutput final : public JobStream::Destination {
   public:
    StandardOutput(const Target& target, std::ostream& out) : target_(target), out_(out) {}
    void put(std::string_view block) override {
        out_.write(block.data(), static_cast<std::streamsize>(block.size()));
        if (!out_) output_error(target_, "writing failed");
    }
    void finish() override {
        out_.flush();
        if (!out_) output_error(target_, "writing failed");
    }

   private:
    const Target& target_;
    std::ostream& out_;
};

class Device final : public JobStream::Destination {
   public:
    explicit Device(const Target& target) : target_(target), file_(open_for_writing(target.path)) {
        if (file_ == nullptr) output_error(target, "cannot open it (" + system_error_text() + ")");
    }
    ~Device() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void put(std::string_view block) override {
        if (std::string problem = write_all(file_, block); !problem.empty()) {
            close_file(file_);
            output_error(target_, "writing failed (" + problem + ")");
        }
    }
    void finish() override {
        if (std::string problem = close_file(file_); !problem.empty())
            output_error(target_, "writing failed (" + problem + ")");
    }

   private:
    const Target& target_;
    std::FILE* file_;
};

// A regular file: the job goes to a temporary file beside it, which replaces it only once the
// whole job is on the disk. Until then the target keeps what it held, and a job that fails
// leaves no temporary file behind.
class ReplacedFile final : public JobStream::Destination {
   public:
    explicit ReplacedFile(const Target& target);
    ~ReplacedFile() override { abandon(); }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    void put(std::string_view block) override {
        if (std::string problem = write_all(file_, block); !problem.empty()) refuse(problem);
    }
    void finish() override;

   private:
    [[noreturn]] void refuse(const std::string& problem) {
        const std::string message = "writing " + temporary_.string() + " failed (" + problem +
                                    "); it was removed and " + target_.path + " left as it was";
        abandon();
        output_error(target_, message);
    }
    void abandon() noexcept {
        if (file_ != nullptr) close_file(file_);
        if (!temporary_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(temporary_, ignored);
            temporary_.clear();
        }
    }

    const Target& target_;
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
};

ReplacedFile::ReplacedFile(const Target& target) : target_(target) {
    namespace fs = std::filesystem;
    const fs::path final_path(target.path);
    if (final_path.has_parent_path()) {
        std::error_code error;
        fs::create_directories(final_path.parent_path(), error);
        if (error)
            output_error(target, "cannot create the folder " + final_path.parent_path().string() +
                                     ": " + error.message());
    }
    std::random_device random;
    const fs::path temporary = final_path.string() + ".tmp-" + std::to_string(random() % 1000000);
    file_ = open_for_writing(temporary);
    if (file_ == nullptr)
        output_error(target, "cannot create " + temporary.string() + " (" + system_error_text() +
                                 "); nothing was written");
    temporary_ = temporary;
}

void ReplacedFile::finish() {
    std::string problem = commit_to_disk(file_) ? std::string() : system_error_text();
    if (std::string closed = close_file(file_); problem.empty()) problem = closed;
    if (!problem.empty()) refuse(problem);
    std::error_code error;
    std::filesystem::rename(temporary_, target_.path, error);
    if (error) {
        abandon();
        output_error(target_, "cannot move the job into place: " + error.message());
    }
    temporary_.clear();
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

// The printer's raw port, connected when the job is about to begin.
class Connection final : public JobStream::Destination {
   public:
    Connection(const Target& target, const DeliveryOptions& options)
        : target_(target), options_(options) {
        connect();
    }
    ~Connection() override {
        if (socket_ != no_socket) close_socket(socket_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void put(std::string_view block) override;
    void finish() override;

   private:
    void connect();

    [[no_unique_address]] SocketLibrary library_;  // before the socket, and outliving it
    const Target& target_;
    const DeliveryOptions& options_;
    Socket socket_ = no_socket;
    std::size_t sent_ = 0;  // over the whole job, for messages
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

void Connection::put(std::string_view block) {
    std::size_t done = 0;
    while (done < block.size()) {
        const std::size_t chunk = std::min<std::size_t>(block.size() - done, 1 << 16);
        const auto n = ::send(socket_, block.data() + done, static_cast<int>(chunk), send_flags);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            sent_ += static_cast<std::size_t>(n);
            continue;
        }
        const int error = last_socket_error();
        if (n < 0 && would_block(error)) {
            const int ready =
                poll_socket(socket_, POLLOUT, static_cast<int>(options_.write_timeout.count()));
            if (ready > 0 && (ready & (POLLERR | POLLHUP)) == 0) continue;
            if (ready == 0) {
                output_error(target_, "the printer stopped taking data (write timeout) after " +
                                          std::to_string(sent_) + " bytes");
            }
        }
        const int cause = pending_error(socket_);
        output_error(target_, "the connection failed after " + std::to_string(sent_) +
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

// ---- lp ----------------------------------------------------------------------------------------

#if !defined(_WIN32)
// `lp -d QUEUE -o raw` reading the job from a pipe as it is produced. lp queues the job only
// once it has read all of it, so a job abandoned half way stops lp before that.
class LpQueue final : public JobStream::Destination {
   public:
    LpQueue(const Target& target, const DeliveryOptions& options);
    ~LpQueue() override {
        if (child_ > 0) {
            ::kill(child_, SIGTERM);
            close_pipe();
            reap();
        }
        ::sigaction(SIGPIPE, &previous_, nullptr);
    }
    LpQueue(const LpQueue&) = delete;
    LpQueue& operator=(const LpQueue&) = delete;

    void put(std::string_view block) override;
    void finish() override {
        close_pipe();
        check_status();
    }

   private:
    void close_pipe() noexcept {
        if (pipe_ >= 0) ::close(pipe_);
        pipe_ = -1;
    }
    int reap() noexcept {
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
        child_ = -1;
        return status;
    }
    void check_status();

    const Target& target_;
    const DeliveryOptions& options_;
    pid_t child_ = -1;
    int pipe_ = -1;
    std::size_t written_ = 0;
    struct sigaction previous_ {};
};

LpQueue::LpQueue(const Target& target, const DeliveryOptions& options)
    : target_(target), options_(options) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0)
        output_error(target, std::string("cannot create a pipe: ") + std::strerror(errno));
    child_ = ::fork();
    if (child_ < 0) {
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        output_error(target, std::string("cannot start lp: ") + std::strerror(errno));
    }
    if (child_ == 0) {
        ::dup2(pipe_fds[0], 0);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        const char* argv[] = {
            options.lp_command.c_str(), "-d", target.queue.c_str(), "-o", "raw", nullptr};
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(pipe_fds[0]);
    pipe_ = pipe_fds[1];
    // A queue that refuses the job closes the pipe; the write then fails instead of killing us.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous_);
}

void LpQueue::put(std::string_view block) {
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t n = ::write(pipe_, block.data() + done, block.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // lp stopped reading: its own verdict says why, if it gives one.
            close_pipe();
            check_status();
            output_error(target_,
                         options_.lp_command + " took only " + std::to_string(written_) + " bytes");
        }
        done += static_cast<std::size_t>(n);
        written_ += static_cast<std::size_t>(n);
    }
}

void LpQueue::check_status() {
    const int status = reap();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    output_error(target_, WIFEXITED(status) && WEXITSTATUS(status) == 127
                              ? "cannot run " + options_.lp_command
                              : options_.lp_command + " failed (status " +
                                    std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                                    ")");
}
#endif

std::unique_ptr<JobStream::Destination> open_destination(const Target& target,
                                                         std::ostream& standard_output,
                                                         const DeliveryOptions& options) {
    switch (target.kind) {
        case Target::Kind::standard_output:
            return std::make_unique<StandardOutput>(target, standard_output);
        case Target::Kind::file:
            if (is_device_or_pipe(target.path)) return std::make_unique<Device>(target);
            return std::make_unique<ReplacedFile>(target);
        case Target::Kind::tcp:
            return std::make_unique<Connection>(target, options);
        case Target::Kind::lp:
#if defined(_WIN32)
            (void)options;
            output_error(target,
                         "print queues through lp are not available on Windows; use --output or "
                         "--to tcp://");
#else
            return std::make_unique<LpQueue>(target, options);
#endif
    }
    output_error(target, "unknown kind of target");
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
