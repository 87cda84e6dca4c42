#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace eplview {
namespace {

struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// Waits for the child until the deadline; a child still running then is killed, with its group.
ChildOutcome wait_for(pid_t child, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            return {ChildOutcome::Kind::timed_out, 0};
        }
        std::this_thread::sleep_for(pause);
        // A short program is seen to end soon after it does; a long one costs few wake-ups.
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    if (WIFEXITED(status)) return {ChildOutcome::Kind::exited, WEXITSTATUS(status)};
    return {ChildOutcome::Kind::killed_by_signal, 0};
}

}  // namespace

ChildOutcome run_child(const std::vector<std::string>& argv, const std::filesystem::path& in,
                       const std::filesystem::path& output, const std::filesystem::path& errors,
                       std::chrono::milliseconds limit) {
    if (argv.empty()) return {};
    std::vector<char*> pointers;
    for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    SpawnSetup setup;
    posix_spawn_file_actions_addchdir_np(&setup.actions, in.c_str());
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // A group of its own, so that an emulator and whatever it started end together; and the
    // signals a server blocks or ignores (it takes SIGTERM on a thread of its own and ignores
    // SIGPIPE) as a program started from a shell finds them.
    posix_spawnattr_setflags(
        &setup.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&setup.attributes, &signals);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM}) sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&setup.attributes, &signals);
    auto deadline = std::chrono::steady_clock::now() + limit;
    pid_t child = 0;
    if (posix_spawnp(&child, pointers[0], &setup.actions, &setup.attributes, pointers.data(),
                     environ) != 0)
        return {};
    return wait_for(child, deadline);
}

ScratchFolder::ScratchFolder() {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "eplview-web-XXXXXX").string();
    if (error) return;
    if (mkdtemp(pattern.data())) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (made()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace eplview
