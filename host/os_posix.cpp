// The host side on Linux (and other POSIX systems).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os.h"

#if defined(__linux__)
#include <linux/sockios.h>
#endif  // defined(__linux__)

namespace epl2::os {

// ---- the driver module ----------------------------------------------------------------------

const char* const module_file_name = "epl2drv.so";

Library::Library(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ != nullptr) return;
    const char* e = ::dlerror();
    error_ = e ? e : "unknown error";
}

Library::~Library() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

void* Library::symbol(const char* name) const noexcept {
    return ::dlsym(handle_, name);
}

// Linux modules carry the table's bytes under two data symbols in place of a resource section.
std::span<const std::byte> Library::model_table() const noexcept {
    const auto* bytes = static_cast<const std::byte*>(symbol("resource_DBI_1_1033"));
    const auto* size = static_cast<const std::uint32_t*>(symbol("resource_DBI_1_1033_size"));
    if (bytes == nullptr || size == nullptr) return {};
    return {bytes, *size};
}

// ---- TCP ------------------------------------------------------------------------------------

namespace {

constexpr std::uintptr_t no_socket = static_cast<std::uintptr_t>(-1);

int fd(std::uintptr_t handle) {
    return static_cast<int>(handle);
}

bool would_block(SocketError code) {
    return code == EINPROGRESS || code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}

// The events that came, 0 when the time ran out, negative when the wait itself failed.
int poll_socket(int s, short events, std::chrono::milliseconds timeout) {
    pollfd p{s, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(timeout.count()));
    return n <= 0 ? n : p.revents;
}

SocketError error_of(int s) {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
}

// 0 when connected within timeout, else the cause.
SocketError connect_one(int s, const addrinfo& address, std::chrono::milliseconds timeout) {
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL, 0) | O_NONBLOCK);
    if (::connect(s, address.ai_addr, address.ai_addrlen) == 0) return 0;
    const SocketError error = errno;
    if (!would_block(error)) return error;
    const int ready = poll_socket(s, POLLOUT, timeout);
    return ready == 0 ? ETIMEDOUT : ready < 0 ? errno : error_of(s);
}

}  // namespace

std::string socket_error_text(SocketError code) {
    return std::strerror(code);
}

TcpSocket::TcpSocket() : handle_(no_socket) {}

TcpSocket::~TcpSocket() {
    if (handle_ != no_socket) ::close(fd(handle_));
}

ConnectOutcome TcpSocket::connect(const std::string& host, const std::string& port,
                                  std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int e = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        e != 0 || found == nullptr) {
        return {ConnectOutcome::Result::unresolved, ::gai_strerror(e)};
    }
    ConnectOutcome outcome{ConnectOutcome::Result::no_address, {}};
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s < 0) continue;
        const SocketError error = connect_one(s, *a, timeout);
        if (error == 0) {
            handle_ = static_cast<std::uintptr_t>(s);
            outcome = {};
            break;
        }
        outcome = error == ETIMEDOUT
                      ? ConnectOutcome{ConnectOutcome::Result::timed_out, {}}
                      : ConnectOutcome{ConnectOutcome::Result::failed, socket_error_text(error)};
        ::close(s);
    }
    ::freeaddrinfo(found);
    return outcome;
}

std::ptrdiff_t TcpSocket::send_some(std::string_view bytes) {
    // MSG_NOSIGNAL: a peer that closed makes the send fail instead of ending the program.
    const ssize_t n = ::send(fd(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) return n;
    last_error_ = errno;
    return n < 0 && would_block(last_error_) ? 0 : -1;
}

TcpSocket::Wait TcpSocket::wait_writable(std::chrono::milliseconds timeout) {
    const int ready = poll_socket(fd(handle_), POLLOUT, timeout);
    if (ready > 0 && (ready & (POLLERR | POLLHUP)) == 0) return Wait::ready;
    return ready == 0 ? Wait::timed_out : Wait::failed;
}

bool TcpSocket::discard_incoming(std::chrono::milliseconds timeout) {
    if (poll_socket(fd(handle_), POLLIN, timeout) <= 0) return true;
    char discard[256];
    if (::recv(fd(handle_), discard, sizeof discard, 0) >= 0) return true;
    last_error_ = errno;
    return would_block(last_error_);
}

std::ptrdiff_t TcpSocket::receive_some(std::string& into, std::size_t room,
                                       std::chrono::milliseconds timeout) {
    const int ready = poll_socket(fd(handle_), POLLIN, timeout);
    if (ready == 0) return 0;
    const std::size_t before = into.size();
    into.resize(before + room);
    const auto got = ::recv(fd(handle_), into.data() + before, room, 0);
    into.resize(before + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got > 0) return got;
    last_error_ = got == 0 ? 0 : errno;
    if (got < 0 && would_block(last_error_)) return 0;
    return -1;
}

void TcpSocket::shutdown_sending() {
    ::shutdown(fd(handle_), SHUT_WR);
}

SocketError TcpSocket::pending_error() const {
    return error_of(fd(handle_));
}

std::optional<int> TcpSocket::unacknowledged_bytes() const {
#if defined(SIOCOUTQ)
    int count = 0;
    if (::ioctl(fd(handle_), SIOCOUTQ, &count) == 0) return count;
#endif  // defined(SIOCOUTQ)
    return std::nullopt;
}

// ---- a program fed through a pipe -------------------------------------------------------------

struct PipedChild::State {
    pid_t child = -1;
    int pipe = -1;
    struct sigaction previous {};  // SIGPIPE's handling before the child started

    void close_pipe() noexcept {
        if (pipe >= 0) ::close(pipe);
        pipe = -1;
    }
};

bool PipedChild::supported() noexcept {
    return true;
}

PipedChild::PipedChild() = default;

PipedChild::~PipedChild() {
    if (!state_) return;
    if (state_->child > 0) {
        ::kill(state_->child, SIGTERM);
        state_->close_pipe();
        wait();
    }
    ::sigaction(SIGPIPE, &state_->previous, nullptr);
}

PipedChild::Start PipedChild::start(const std::vector<std::string>& arguments,
                                    std::string& reason) {
    // Built before the fork: the child of a program with threads may only call what is safe
    // after one, and allocating memory is not.
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) {
        reason = std::strerror(errno);
        return Start::no_pipe;
    }
    // The child reports a failed exec through this pipe; a successful exec closes it unwritten.
    int report_fds[2];
    if (::pipe2(report_fds, O_CLOEXEC) != 0) {
        reason = std::strerror(errno);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        return Start::no_pipe;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        reason = std::strerror(errno);
        for (const int fd : {pipe_fds[0], pipe_fds[1], report_fds[0], report_fds[1]}) ::close(fd);
        return Start::no_process;
    }
    if (child == 0) {
        ::dup2(pipe_fds[0], 0);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        ::close(report_fds[0]);
        ::execvp(argv[0], argv.data());
        const int error = errno;
        [[maybe_unused]] const auto ignored = ::write(report_fds[1], &error, sizeof error);
        ::_exit(cannot_run);
    }
    ::close(pipe_fds[0]);
    ::close(report_fds[1]);
    state_ = std::make_unique<State>();
    state_->child = child;
    state_->pipe = pipe_fds[1];
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &state_->previous);
    int exec_error = 0;
    ssize_t n;
    while ((n = ::read(report_fds[0], &exec_error, sizeof exec_error)) < 0 && errno == EINTR) {
    }
    ::close(report_fds[0]);
    if (n != static_cast<ssize_t>(sizeof exec_error)) return Start::started;
    reason = std::strerror(exec_error);
    state_->close_pipe();
    wait();
    return Start::no_program;
}

std::ptrdiff_t PipedChild::write_some(std::string_view bytes) {
    for (;;) {
        const ssize_t n = ::write(state_->pipe, bytes.data(), bytes.size());
        if (n >= 0 || errno != EINTR) return n;
    }
}

void PipedChild::close_input() noexcept {
    state_->close_pipe();
}

ExitStatus PipedChild::wait() noexcept {
    int status = 0;
    while (::waitpid(state_->child, &status, 0) < 0 && errno == EINTR) {
    }
    state_->child = -1;
    if (!WIFEXITED(status)) return {};
    return {true, WEXITSTATUS(status)};
}

// ---- files and the console ----------------------------------------------------------------

std::FILE* open_for_writing(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "wb");
}

std::FILE* open_for_appending(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "ab");
}

std::FILE* create_new_file(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd < 0 ? nullptr : ::fdopen(fd, "wb");
}

bool commit_to_disk(std::FILE* file) {
    return ::fsync(::fileno(file)) == 0;
}

FileLock::FileLock(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    handle_ = fd;
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    locked_ = result == 0;
}

FileLock::~FileLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing releases the lock
}

void use_binary_standard_output() {}  // POSIX writes bytes as they are

bool standard_error_is_terminal() {
    return ::isatty(::fileno(stderr)) != 0;
}

// ---- text in 8-bit code pages ---------------------------------------------------------------

namespace {

// glibc's name of a code page.
std::string iconv_name(int code_page) {
    return code_page == code_page_latin1 ? "ISO-8859-1" : "CP" + std::to_string(code_page);
}

// iconv without //TRANSLIT or //IGNORE: a character the target lacks is an error, never a
// replacement.
Conversion convert_with_iconv(std::string_view input, const std::string& to,
                              const std::string& from) {
    const iconv_t converter = ::iconv_open(to.c_str(), from.c_str());
    if (converter == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)))
        return {Conversion::Result::unavailable, {}, 0};
    // Between UTF-8 and an 8-bit page a character takes at most three bytes for each byte it
    // took before, so the output never runs out of room.
    std::string output(3 * input.size(), '\0');
    char* in = const_cast<char*>(input.data());  // iconv never writes through it
    std::size_t in_left = input.size();
    char* out = output.data();
    std::size_t out_left = output.size();
    std::size_t done = ::iconv(converter, &in, &in_left, &out, &out_left);
    // A converter that holds a character back, to combine it with the next, gives it up here.
    if (done != static_cast<std::size_t>(-1))
        done = ::iconv(converter, nullptr, nullptr, &out, &out_left);
    ::iconv_close(converter);
    if (done == static_cast<std::size_t>(-1))
        return {Conversion::Result::unconvertible, {}, input.size() - in_left};
    output.resize(output.size() - out_left);
    return {Conversion::Result::converted, std::move(output), 0};
}

}  // namespace

Conversion convert_from_utf8(std::string_view utf8, int code_page) {
    return convert_with_iconv(utf8, iconv_name(code_page), "UTF-8");
}

Conversion convert_to_utf8(std::string_view text, int code_page) {
    return convert_with_iconv(text, "UTF-8", iconv_name(code_page));
}

}  // namespace epl2::os
