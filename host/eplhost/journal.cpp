#include "journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>

#include "destinations/destination.h"
#include "errors.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

constexpr std::string_view first_line = "eplhost journal 1";

std::string hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::size_t number(std::string_view text, int base = 10) {
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, base);
    return static_cast<std::size_t>(value);
}

[[noreturn]] void refuse(const std::filesystem::path& path, const std::string& why) {
    fail(ExitCode::bad_input, path.string() + ": " + why);
}

void read_line(JournalState& state, std::string_view line) {
    const auto space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value =
        space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    if (key == "digest") {
        std::uint64_t digest = 0;
        std::from_chars(value.data(), value.data() + value.size(), digest, 16);
        state.digest = digest;
    } else if (key == "records") {
        state.records = number(value);
    } else if (key == "every") {
        state.every = std::max<std::size_t>(1, number(value));
    } else if (key == "counter") {
        const auto gap = value.find(' ');
        std::int64_t base = 0;
        if (gap != std::string_view::npos)
            std::from_chars(value.data() + gap + 1, value.data() + value.size(), base);
        state.counters[std::string(value.substr(0, gap))] = base;
    } else if (key == "confirmed") {
        // A run that resumed after a stop confirms again: it is no longer stopped.
        state.confirmed = std::max(state.confirmed, number(value));
        state.stopped = state.lost = false;
    } else if (key == "stopped") {
        state.stopped = true;
    } else if (key == "lost") {
        state.lost = true;
    } else if (key == "done") {
        state.done = true;
    }
}

std::string file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) refuse(path, "cannot read it (" + system_error_text() + ")");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

JournalState read_journal(const std::filesystem::path& path) {
    const std::string text = file_bytes(path);
    if (!text.starts_with(std::string(first_line) + "\n"))
        refuse(path, "is not an eplhost journal");
    JournalState state;
    std::size_t start = 0;
    // A line without its line end was cut short as it was written; it is not read.
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        read_line(state, std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    return state;
}

}  // namespace

std::uint64_t job_digest(const std::filesystem::path& label_file,
                         const std::filesystem::path& records_file) {
    const std::string label = file_bytes(label_file);
    const std::string records = records_file.empty() ? std::string() : file_bytes(records_file);
    std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a 64 offset basis and prime
    auto mix = [&hash](std::string_view bytes) {
        for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3ull;
    };
    // The length first, so that bytes moved from one file to the other change the digest.
    mix(std::to_string(label.size()) + ":");
    mix(label);
    mix(records);
    return hash;
}

Journal::Journal(const std::filesystem::path& path, const JournalState& batch)
    : path_(path), state_(batch) {
    file_ = os::create_new_file(path);
    if (file_ == nullptr && errno == EEXIST)
        fail(ExitCode::usage, path.string() +
                                  " exists: it is the journal of an earlier batch; continue that "
                                  "batch with --resume, or remove the journal to start anew");
    if (file_ == nullptr)
        fail(ExitCode::output,
             "cannot create the journal " + path.string() + " (" + system_error_text() + ")");
    append(std::string(first_line));
    append("digest " + hex(batch.digest));
    append("records " + std::to_string(batch.records));
    append("every " + std::to_string(batch.every));
    for (const auto& [name, base] : batch.counters)
        append("counter " + name + " " + std::to_string(base));
}

Journal::Journal(const std::filesystem::path& path, std::uint64_t digest) : path_(path) {
    state_ = read_journal(path);
    if (state_.digest != digest)
        refuse(path, "is the journal of another label or other records (digest " +
                         hex(state_.digest) + "; this batch has " + hex(digest) +
                         "); give this batch's journal");
    file_ = os::open_for_appending(path);
    if (file_ == nullptr)
        refuse(path, "cannot append to the journal (" + system_error_text() + ")");
}

Journal::~Journal() {
    if (file_ != nullptr) close_file(file_);
}

void Journal::confirmed(std::size_t record) {
    append("confirmed " + std::to_string(record));
    state_.confirmed = record;
    state_.stopped = state_.lost = false;
}

void Journal::stopped(std::size_t record, const std::string& why) {
    append("stopped " + std::to_string(record) + " " + why);
    state_.stopped = true;
}

void Journal::lost(std::size_t record, const std::string& why) {
    std::string line = "lost " + std::to_string(record) + " " + why;
    std::replace(line.begin(), line.end(), '\n', ' ');
    append(line);
    state_.lost = true;
}

void Journal::done() {
    append("done");
    state_.done = true;
}

// One write of the whole line, then the disk: a crash leaves the line whole or cut short, and
// a confirmation is never reported done before it is on the disk.
void Journal::append(const std::string& line) {
    std::string problem = write_all(file_, line + "\n");
    if (problem.empty() && !os::commit_to_disk(file_)) problem = system_error_text();
    if (!problem.empty())
        fail(ExitCode::output, "cannot write the journal " + path_.string() + " (" + problem +
                                   "); the batch stops so that no label goes unrecorded");
}

}  // namespace epl2::eplhost
