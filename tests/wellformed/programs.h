// What the well-formedness tests share: the i386 programs they run, through the peak_memory
// launcher, and the files those programs write.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace epl2::wellformed {

namespace fs = std::filesystem;

// The native tree runs the i386 programs by the commands scripts/build.sh configures it with.
#define ASSERT_CONFIGURED(command)                                     \
    ASSERT_FALSE(std::string_view(command).empty()) << #command        \
        " is not set: build the i386 tree first, then configure this " \
        "one with scripts/build.sh"

// How a program ran, as the launcher reports it (peak_memory.c says why a launcher).
struct ProgramRun {
    int exit_status = -1;      // also when the program could not be run or reported on
    long peak_rss_kb = 0;      // the program's own peak resident size
    long launcher_rss_kb = 0;  // the launcher's, which the program's peak cannot fall below
};

// Runs a command line to its end: a configured command (perhaps behind qemu-i386) and its
// arguments, words without spaces like the commands themselves. Its output is discarded; what
// it says on stderr shows in the test's log.
inline ProgramRun run_program(const std::string& command_line) {
    ProgramRun run;
    FILE* report = ::popen((PEAK_MEMORY_PROGRAM " " + command_line).c_str(), "r");
    if (!report) return run;
    const bool reported = std::fscanf(report, "%d %ld %ld", &run.exit_status, &run.peak_rss_kb,
                                      &run.launcher_rss_kb) == 3;
    return ::pclose(report) == 0 && reported ? run : ProgramRun{};
}

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// An empty directory of this test process's own.
inline fs::path scratch_directory(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace epl2::wellformed
