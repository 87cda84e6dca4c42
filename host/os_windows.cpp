// The host side on Windows.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include <cerrno>

#include "os.h"

namespace epl2::os {

// ---- the driver module ----------------------------------------------------------------------

const char* const module_file_name = "epl2drv.dll";

namespace {

HMODULE module_of(void* handle) {
    return reinterpret_cast<HMODULE>(handle);
}

}  // namespace

Library::Library(const std::string& path)
    : handle_(reinterpret_cast<void*>(LoadLibraryA(path.c_str()))) {
    if (handle_ == nullptr) error_ = "error " + std::to_string(GetLastError());
}

Library::~Library() {
    if (handle_ != nullptr) FreeLibrary(module_of(handle_));
}

void* Library::symbol(const char* name) const noexcept {
    return reinterpret_cast<void*>(GetProcAddress(module_of(handle_), name));
}

std::span<const std::byte> Library::model_table() const noexcept {
    const HMODULE module = module_of(handle_);
    HRSRC info = FindResourceExA(module, "DBI", MAKEINTRESOURCEA(1),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (info == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, info);
    if (loaded == nullptr) return {};
    const void* bytes = LockResource(loaded);
    return {static_cast<const std::byte*>(bytes), SizeofResource(module, info)};
}

// ---- TCP ------------------------------------------------------------------------------------

namespace {

SOCKET socket_of(std::uintptr_t handle) {
    return static_cast<SOCKET>(handle);
}

bool would_block(SocketError code) {
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}

// The events that came, 0 when the time ran out, negative when the wait itself failed.
int poll_socket(SOCKET s, short events, std::chrono::milliseconds timeout) {
    WSAPOLLFD p{};
    p.fd = s;
    p.events = events;
    const int n = WSAPoll(&p, 1, static_cast<int>(timeout.count()));
    return n <= 0 ? n : p.revents;
}

SocketError error_of(SOCKET s) {
    int error = 0;
    int length = sizeof error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error;
}

// 0 when connected within timeout, else the cause.
SocketError connect_one(SOCKET s, const addrinfo& address, std::chrono::milliseconds timeout) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
    const SocketError error = WSAGetLastError();
    if (!would_block(error)) return error;
    const int ready = poll_socket(s, POLLOUT, timeout);
    return ready == 0 ? ETIMEDOUT : ready < 0 ? WSAGetLastError() : error_of(s);
}

}  // namespace

std::string socket_error_text(SocketError code) {
    return "socket error " + std::to_string(code);
}

TcpSocket::TcpSocket() : handle_(INVALID_SOCKET) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

TcpSocket::~TcpSocket() {
    if (socket_of(handle_) != INVALID_SOCKET) closesocket(socket_of(handle_));
    WSACleanup();
}

ConnectOutcome TcpSocket::connect(const std::string& host, const std::string& port,
                                  std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int e = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
        e != 0 || found == nullptr) {
        return {ConnectOutcome::Result::unresolved, gai_strerror(e)};
    }
    ConnectOutcome outcome{ConnectOutcome::Result::no_address, {}};
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        const SocketError error = connect_one(s, *a, timeout);
        if (error == 0) {
            handle_ = static_cast<std::uintptr_t>(s);
            outcome = {};
            break;
        }
        outcome = error == ETIMEDOUT
                      ? ConnectOutcome{ConnectOutcome::Result::timed_out, {}}
                      : ConnectOutcome{ConnectOutcome::Result::failed, socket_error_text(error)};
        closesocket(s);
    }
    freeaddrinfo(found);
    return outcome;
}

std::ptrdiff_t TcpSocket::send_some(std::string_view bytes) {
    const int n = ::send(socket_of(handle_), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (n > 0) return n;
    last_error_ = WSAGetLastError();
    return n < 0 && would_block(last_error_) ? 0 : -1;
}

TcpSocket::Wait TcpSocket::wait_writable(std::chrono::milliseconds timeout) {
    const int ready = poll_socket(socket_of(handle_), POLLOUT, timeout);
    if (ready > 0 && (ready & (POLLERR | POLLHUP)) == 0) return Wait::ready;
    return ready == 0 ? Wait::timed_out : Wait::failed;
}

bool TcpSocket::discard_incoming(std::chrono::milliseconds timeout) {
    if (poll_socket(socket_of(handle_), POLLIN, timeout) <= 0) return true;
    char discard[256];
    if (::recv(socket_of(handle_), discard, sizeof discard, 0) >= 0) return true;
    last_error_ = WSAGetLastError();
    return would_block(last_error_);
}

std::ptrdiff_t TcpSocket::receive_some(std::string& into, std::size_t room,
                                       std::chrono::milliseconds timeout) {
    const int ready = poll_socket(socket_of(handle_), POLLIN, timeout);
    if (ready == 0) return 0;
    const std::size_t before = into.size();
    into.resize(before + room);
    const auto got = ::recv(socket_of(handle_), into.data() + before, static_cast<int>(room), 0);
    into.resize(before + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got > 0) return got;
    last_error_ = got == 0 ? 0 : WSAGetLastError();
    if (got < 0 && would_block(last_error_)) return 0;
    return -1;
}

void TcpSocket::shutdown_sending() {
    ::shutdown(socket_of(handle_), SD_SEND);
}

SocketError TcpSocket::pending_error() const {
    return error_of(socket_of(handle_));
}

// Windows does not say how much of the send queue the peer has acknowledged.
std::optional<int> TcpSocket::unacknowledged_bytes() const {
    return std::nullopt;
}

// ---- a program fed through a pipe -------------------------------------------------------------

// eplhost on Windows prints to files and TCP ports only: there is no lp to start.
struct PipedChild::State {};

bool PipedChild::supported() noexcept {
    return false;
}

PipedChild::PipedChild() = default;
PipedChild::~PipedChild() = default;

PipedChild::Start PipedChild::start(const std::vector<std::string>&, std::string& reason) {
    reason = "not supported on Windows";
    return Start::no_process;
}

std::ptrdiff_t PipedChild::write_some(std::string_view) {
    return -1;
}

void PipedChild::close_input() noexcept {}

ExitStatus PipedChild::wait() noexcept {
    return {};
}

// ---- files and the console ----------------------------------------------------------------

std::FILE* open_for_writing(const std::filesystem::path& path) {
    return ::_wfopen(path.c_str(), L"wb");
}

std::FILE* open_for_appending(const std::filesystem::path& path) {
    return ::_wfopen(path.c_str(), L"ab");
}

std::FILE* create_new_file(const std::filesystem::path& path) {
    const int fd =
        ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    return fd < 0 ? nullptr : ::_fdopen(fd, "wb");
}

bool commit_to_disk(std::FILE* file) {
    return ::_commit(::_fileno(file)) == 0;
}

FileLock::FileLock(const std::filesystem::path& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    OVERLAPPED whole{};
    locked_ = ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

FileLock::~FileLock() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // and the lock with it
}

void use_binary_standard_output() {
    _setmode(_fileno(stdout), _O_BINARY);
}

bool standard_error_is_terminal() {
    return _isatty(_fileno(stderr)) != 0;
}

// ---- text in 8-bit code pages ---------------------------------------------------------------

namespace {

// The text as UTF-16; nothing when a byte sequence is not a character of the code page.
std::optional<std::wstring> to_wide(std::string_view text, UINT code_page) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int size =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
    return wide;
}

// UTF-16 in the code page; nothing when a character has no place in it. WC_NO_BEST_FIT_CHARS
// and the used-default flag keep Windows from printing a look-alike or a '?' in its place.
std::optional<std::string> from_wide(const std::wstring& wide, UINT code_page) {
    if (wide.empty()) return std::string();
    const bool utf8 = code_page == CP_UTF8;  // which takes neither the flag nor the check
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = static_cast<int>(wide.size());
    BOOL used_default = FALSE;
    BOOL* check = utf8 ? nullptr : &used_default;
    const int size =
        WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr, check);
    if (size <= 0 || used_default) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), size, nullptr, check);
    if (used_default) return std::nullopt;
    return bytes;
}

std::optional<std::string> convert(std::string_view text, UINT from, UINT to) {
    const auto wide = to_wide(text, from);
    if (!wide) return std::nullopt;
    return from_wide(*wide, to);
}

// The bytes of the character that starts at `at`: in UTF-8, a lead byte and its continuation
// bytes; in an 8-bit page, one byte.
std::size_t character_length(std::string_view text, std::size_t at, UINT code_page) {
    std::size_t length = 1;
    if (code_page != CP_UTF8) return length;
    while (at + length < text.size() &&
           (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

Conversion convert_text(std::string_view text, UINT from, UINT to) {
    const UINT page = from == CP_UTF8 ? to : from;
    if (!IsValidCodePage(page)) return {Conversion::Result::unavailable, {}, 0};
    if (auto whole = convert(text, from, to)) return {Conversion::Result::converted, *whole, 0};
    // A character at a time, only to find the first that stopped the whole.
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = character_length(text, at, from);
        if (!convert(text.substr(at, length), from, to))
            return {Conversion::Result::unconvertible, {}, at};
        at += length;
    }
    return {Conversion::Result::unconvertible, {}, 0};
}

}  // namespace

Conversion convert_from_utf8(std::string_view utf8, int code_page) {
    return convert_text(utf8, CP_UTF8, static_cast<UINT>(code_page));
}

Conversion convert_to_utf8(std::string_view text, int code_page) {
    return convert_text(text, static_cast<UINT>(code_page), CP_UTF8);
}

}  // namespace epl2::os
