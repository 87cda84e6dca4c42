// The journal of a confirmed batch (eplhost print --confirm --journal FILE): which records the
// printer has confirmed, so that --resume prints the rest and nothing twice. It is a text file
// of lines, each appended with one write and forced to the disk before the batch goes on:
//
//   eplhost journal 1
//   digest 9f2c0d1e5a7b3c44    the label's and the records' bytes (job_digest)
//   records 1000               in the batch
//   every 1                    records between status queries
//   counter serial 1001        a counter's first value in the batch (counters.h)
//   confirmed 400              the printer confirmed every record up to this one
//   stopped 401 out of media (07)   the printer reported an error
//   lost 401 the connection failed     the printer could not be asked
//   done
//
// A line cut short by a crash has no line end and is not read; the lines before it stand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace epl2::eplhost {

// FNV-1a over the label file's bytes and the records file's (none: an empty path): tells one
// batch from another, not an attacker's forgery from the real thing. Throws Failure
// (bad_input) when a file cannot be read.
std::uint64_t job_digest(const std::filesystem::path& label, const std::filesystem::path& records);

struct JournalState {
    std::uint64_t digest = 0;
    std::size_t records = 0;
    std::size_t every = 1;
    std::map<std::string, std::int64_t> counters;  // first values in the batch, by name
    std::size_t confirmed = 0;                     // the last record confirmed; 0: none
    bool stopped = false;  // the run that wrote it stopped at a fault and said so
    bool lost = false;     // it stopped when the printer could no longer be asked
    bool done = false;
};

class Journal {
   public:
    // A new journal; refuses (Failure, usage) a file that exists: it belongs to a batch that
    // --resume would continue.
    Journal(const std::filesystem::path& path, const JournalState& batch);
    // The journal of an earlier run of this batch (digest), read for --resume; refuses
    // (Failure, bad_input) one that is missing, unreadable or of another batch.
    Journal(const std::filesystem::path& path, std::uint64_t digest);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    [[nodiscard]] const JournalState& state() const noexcept { return state_; }

    void confirmed(std::size_t record);
    void stopped(std::size_t record, const std::string& why);
    void lost(std::size_t record, const std::string& why);
    void done();

   private:
    void append(const std::string& line);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    JournalState state_;
};

}  // namespace epl2::eplhost
