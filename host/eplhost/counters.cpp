#include "counters.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "destinations/destination.h"
#include "errors.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// As the label format caps a counter's start.
constexpr std::int64_t largest_value = 999'999'999'999'999;

CounterBases read_counters(const std::filesystem::path& file) {
    CounterBases next;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (!std::filesystem::exists(file)) return next;
        fail(ExitCode::bad_input,
             file.string() + ": cannot read the counters (" + system_error_text() + ")");
    }
    std::size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::istringstream words(line);
        std::string name, value;
        std::int64_t parsed = -1;
        words >> name >> value;
        std::from_chars(value.data(), value.data() + value.size(), parsed);
        if (name.empty() || parsed < 0 || parsed > largest_value + 1)
            fail(ExitCode::bad_input, file.string() + " line " + std::to_string(number) +
                                          ": expected a counter's name and its next value");
        next[name] = parsed;
    }
    return next;
}

void replace_counters(const std::filesystem::path& file, const CounterBases& next) {
    std::string text;
    for (const auto& [name, value] : next) text += name + " " + std::to_string(value) + "\n";
    std::filesystem::path temporary;
    std::FILE* out = os::create_temporary_file(file.string() + ".tmp-", temporary);
    std::string problem = out == nullptr ? system_error_text() : write_all(out, text);
    if (out != nullptr && problem.empty() && !os::commit_to_disk(out))
        problem = system_error_text();
    if (out != nullptr) {
        if (std::string closed = close_file(out); problem.empty()) problem = closed;
    }
    std::error_code error;
    if (problem.empty()) std::filesystem::rename(temporary, file, error);
    if (problem.empty() && error) problem = error.message();
    if (problem.empty()) return;
    std::filesystem::remove(temporary, error);
    fail(ExitCode::output, "cannot write the counters to " + file.string() + " (" + problem +
                               "); nothing was printed");
}

}  // namespace

CounterBases reserve_counters(const std::filesystem::path& file,
                              const std::vector<Counter>& counters, std::size_t labels) {
    // Two batches started at once from the same file would otherwise both read the same next
    // values and print the same serials.
    const std::filesystem::path lock_file = file.string() + ".lock";
    const os::FileLock lock(lock_file);
    if (!lock.locked())
        fail(ExitCode::output, "cannot lock the counters in " + file.string() + " through " +
                                   lock_file.string() + " (" + system_error_text() +
                                   "); nothing was printed");
    CounterBases next = read_counters(file);
    CounterBases bases;
    for (const Counter& counter : counters) {
        const std::int64_t base = next.count(counter.name) ? next[counter.name] : counter.start;
        const auto count = static_cast<std::int64_t>(labels);
        if (count > (largest_value - base) / counter.step + 1)
            fail(ExitCode::bad_input, "counter \"" + counter.name + "\" would pass " +
                                          std::to_string(largest_value) + " within this batch");
        bases[counter.name] = base;
        next[counter.name] = base + count * counter.step;
    }
    replace_counters(file, next);
    return bases;
}

std::string counter_text(const Counter& counter, std::int64_t base, std::size_t index) {
    const std::string digits =
        std::to_string(base + static_cast<std::int64_t>(index) * counter.step);
    const auto width = static_cast<std::size_t>(counter.width);
    return counter.prefix + std::string(width > digits.size() ? width - digits.size() : 0, '0') +
           digits;
}

}  // namespace epl2::eplhost
