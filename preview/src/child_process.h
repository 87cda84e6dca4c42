// Programs eplview starts itself (eplhost for the web API): an argument vector run without a
// shell, its output into files the caller chose, ended when it overruns its time.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace eplview {

struct ChildOutcome {
    enum class Kind { exited, timed_out, not_started, killed_by_signal };
    Kind kind = Kind::not_started;
    int exit_code = 0;  // for exited
};

// Runs argv[0] (searched on PATH when it names no folder) with argv in the folder `in`,
// standard input empty, standard output and error written to the two files; kills it (and
// whatever it started in its process group) once it has run for `limit`.
ChildOutcome run_child(const std::vector<std::string>& argv, const std::filesystem::path& in,
                       const std::filesystem::path& output, const std::filesystem::path& errors,
                       std::chrono::milliseconds limit);

// A folder of its own under the system's temporary folder, removed with everything in it when
// this goes out of scope. Nothing a caller sends names anything in it.
class ScratchFolder {
   public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool made() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }

   private:
    std::filesystem::path path_;
};

}  // namespace eplview
