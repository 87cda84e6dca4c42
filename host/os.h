// What the host side asks of the operating system: loading the driver module, a TCP connection
// to a printer, a program fed through a pipe (lp), files committed to disk, the console, and the
// system's converters between UTF-8 and 8-bit code pages.
// os_posix.cpp and os_windows.cpp each answer all of it, and the build picks one; no other file
// of the host library or of eplhost tests the platform.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A function of the host program that the driver module imports from its export table.
#if defined(_WIN32)
#define EPL2_HOST_EXPORT __declspec(dllexport)
#else
#define EPL2_HOST_EXPORT __attribute__((visibility("default")))
#endif  // defined(_WIN32)

namespace epl2::os {

// ---- the driver module ----------------------------------------------------------------------

// The module's file name, as the build places it beside the host program.
extern const char* const module_file_name;

// A loaded module, unloaded with this object.
class Library {
   public:
    // Loads the file; loaded() tells whether that worked and error() why not.
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    [[nodiscard]] bool loaded() const noexcept { return handle_ != nullptr; }
    [[nodiscard]] const std::string& error() const noexcept { return error_; }

    // An exported function or datum by name; nullptr when the module has none.
    [[nodiscard]] void* symbol(const char* name) const noexcept;

    // The model table resource (type "DBI", id 1, language 1033); empty when absent.
    [[nodiscard]] std::span<const std::byte> model_table() const noexcept;

   private:
    void* handle_ = nullptr;
    std::string error_;
};

// ---- TCP ------------------------------------------------------------------------------------

// A socket error number as the system gives it, and its text.
using SocketError = int;
std::string socket_error_text(SocketError code);

struct ConnectOutcome {
    enum class Result {
        connected,
        unresolved,  // the name did not resolve; reason holds the resolver's words
        no_address,  // no address of the name could be given a socket
        timed_out,   // the last address tried gave no answer within the timeout
        failed,      // the last address tried refused; reason holds the system's words
    };
    Result result = Result::connected;
    std::string reason;
};

// A non-blocking TCP connection: every wait has a timeout.
class TcpSocket {
   public:
    TcpSocket();   // starts the system's socket library where one must be started
    ~TcpSocket();  // closes the connection
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves host and port and connects to the first address that answers within timeout.
    ConnectOutcome connect(const std::string& host, const std::string& port,
                           std::chrono::milliseconds timeout);

    // One send: the number of bytes the system took; 0 when its queue is full (wait_writable
    // then), -1 when the connection failed (last_error says why).
    std::ptrdiff_t send_some(std::string_view bytes);

    enum class Wait { ready, timed_out, failed };
    // Until the system takes more bytes; failed when the connection broke or the wait did.
    Wait wait_writable(std::chrono::milliseconds timeout);

    // Reads and drops what the peer sent within timeout; false when the connection failed
    // (last_error says why).
    bool discard_incoming(std::chrono::milliseconds timeout);

    // What the peer sent within timeout, up to room bytes, appended to into: the number of
    // bytes, 0 when none came in time, -1 when the peer closed the connection or it failed
    // (last_error says why; 0 when it was closed).
    std::ptrdiff_t receive_some(std::string& into, std::size_t room,
                                std::chrono::milliseconds timeout);

    // No more bytes follow; the peer sees the end of the stream.
    void shutdown_sending();

    // The error the connection has met; 0 for none.
    [[nodiscard]] SocketError pending_error() const;

    // Bytes sent that the peer's TCP has not acknowledged; nothing where the system does not
    // say (Windows).
    [[nodiscard]] std::optional<int> unacknowledged_bytes() const;

    [[nodiscard]] SocketError last_error() const noexcept { return last_error_; }

   private:
    std::uintptr_t handle_;  // the system's socket: an int, or a SOCKET
    SocketError last_error_ = 0;
};

// ---- a program fed through a pipe -------------------------------------------------------------

struct ExitStatus {
    bool exited = false;  // false: ended by a signal
    int code = 0;         // the exit code when it exited
};

// A child program whose standard input is a pipe from this one. While it runs, a write to a
// pipe it closed fails instead of ending this program.
class PipedChild {
   public:
    // Whether this system starts programs this way (not on Windows).
    static bool supported() noexcept;

    // The exit code of a child whose program could not be run, as a shell gives it.
    static constexpr int cannot_run = 127;

    PipedChild();
    ~PipedChild();  // a child still running is stopped and waited for
    PipedChild(const PipedChild&) = delete;
    PipedChild& operator=(const PipedChild&) = delete;

    // no_program: the process started, but the program could not be run in it.
    enum class Start { started, no_pipe, no_process, no_program };
    // Runs arguments[0], found on the PATH, with the arguments; reason says why it could not.
    Start start(const std::vector<std::string>& arguments, std::string& reason);

    // One write: the number of bytes the child took; 0 or less when it stopped reading.
    std::ptrdiff_t write_some(std::string_view bytes);

    // Closes the pipe, so that the child reads the end of its input.
    void close_input() noexcept;

    // Waits for the child to end.
    ExitStatus wait() noexcept;

   private:
    struct State;  // the system's handles
    std::unique_ptr<State> state_;
};

// ---- files and the console ----------------------------------------------------------------

// The path as the system spells it, whatever the code page.
std::FILE* open_for_writing(const std::filesystem::path& path);

// The file's end, for appending; the file is made when there is none.
std::FILE* open_for_appending(const std::filesystem::path& path);

// A file of a name that does not exist yet, for writing: an existing file, or a link someone
// placed under the name, is never opened. nullptr with the system's error otherwise.
std::FILE* create_new_file(const std::filesystem::path& path);

// A temporary file for writing, named `stem` followed by a random number, never an existing
// one. nullptr (with the system's error) when none could be made; `made` holds the name tried
// last.
inline std::FILE* create_temporary_file(const std::filesystem::path& stem,
                                        std::filesystem::path& made) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = stem;
        made += std::to_string(random() % 1000000);
        if (std::FILE* file = create_new_file(made)) return file;
        if (errno != EEXIST) break;
    }
    return nullptr;
}

// On the disk itself: a rename after it cannot outlive the data it makes visible.
bool commit_to_disk(std::FILE* file);

// An exclusive lock on a file (made when missing), held until this object ends and released by
// the system when the process ends, however it ends. Runs that read, change and replace one
// shared file take turns through it. locked() is false when the file could not be locked.
class FileLock {
   public:
    explicit FileLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    [[nodiscard]] bool locked() const noexcept { return locked_; }

   private:
    std::intptr_t handle_ = -1;
    bool locked_ = false;
};

// Printer jobs are bytes: no CR may be added before LF on the way out.
void use_binary_standard_output();

bool standard_error_is_terminal();

// ---- text in 8-bit code pages ---------------------------------------------------------------

// Code pages go by the numbers Windows gives them (437, 850, 1252); ISO-8859-1 is 28591.
inline constexpr int code_page_latin1 = 28591;

struct Conversion {
    enum class Result {
        converted,
        unconvertible,  // a character of the input has no place in the other encoding
        unavailable,    // the system has no converter for the code page
    };
    Result result = Result::converted;
    std::string bytes;       // converted: the whole text in its new encoding
    std::size_t offset = 0;  // unconvertible: where the first such character starts in the input
};

// Valid UTF-8 (the caller checks it) in an 8-bit code page. No character is ever replaced by a
// look-alike or a default one: the first that the page does not hold stops the conversion.
Conversion convert_from_utf8(std::string_view utf8, int code_page);

// Text in an 8-bit code page as UTF-8; a byte the page leaves undefined stops the conversion.
Conversion convert_to_utf8(std::string_view text, int code_page);

}  // namespace epl2::os
