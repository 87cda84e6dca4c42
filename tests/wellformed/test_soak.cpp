// Soak: eplhost prints the asset-tag label for a batch of 100,000 records. The stream holds one
// print command per record and passes the stream checker from end to end, and eplhost's peak
// memory does not grow with the number of records: a batch ten times smaller peaks at about the
// same size.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace epl2::wellformed {
namespace {

namespace fs = std::filesystem;

struct Run {
    int exit_status = -1;
    long peak_rss_kb = 0;      // the program's own peak resident size
    long launcher_rss_kb = 0;  // the launcher's, which the program's peak cannot fall below
    double seconds = 0;
};

std::vector<std::string> split_words(const std::string& command) {
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Runs the program to its end through the peak_memory launcher, which reports the program's own
// peak: measured here, the peak would include the copy of this test process that a child holds
// until it execs (peak_memory.c says more).
Run run_program(const std::vector<std::string>& program, const fs::path& result) {
    std::vector<std::string> args = {PEAK_MEMORY_PROGRAM, result.string()};
    args.insert(args.end(), program.begin(), program.end());
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    Run run;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
        WEXITSTATUS(status) == 0) {
        std::ifstream in(result);
        in >> run.exit_status >> run.peak_rss_kb >> run.launcher_rss_kb;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// Asset ids in sequence; the location column is plain, quoted with a comma, or empty (the label
// marks it optional).
void write_records(const fs::path& file, std::size_t count) {
    std::ofstream out(file, std::ios::binary);
    out << "asset_id,location\n";
    static const char* const locations[] = {"Building 4 / Lab 2", "\"Warehouse, bay 7\"", ""};
    char id[32];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(id, sizeof id, "AT-%06zu", i);
        out << id << ',' << locations[i % 3] << '\n';
    }
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// How many records, from the first, went out in order: each one's asset id after the previous
// record's print command, and a print command of its own.
std::size_t records_in_order(const std::string& stream, std::size_t records) {
    std::size_t at = 0, n = 0;
    for (char id[32]; n < records; ++n) {
        std::snprintf(id, sizeof id, "\"AT-%06zu\"", n);
        const std::size_t found = stream.find(id, at);
        if (found == std::string::npos) break;
        at = stream.find("\nP1\n", found);
        if (at == std::string::npos) break;
    }
    return n;
}

std::size_t count_of(const std::string& stream, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = stream.find(what); at != std::string::npos;
         at = stream.find(what, at + 1))
        ++n;
    return n;
}

struct Batch {
    std::size_t records = 0;
    Run run;
    std::string stream;
};

Batch print_batch(const std::string& command, const fs::path& dir, std::size_t records) {
    const fs::path csv = dir / ("records-" + std::to_string(records) + ".csv");
    const fs::path out = dir / ("batch-" + std::to_string(records) + ".epl");
    write_records(csv, records);
    std::vector<std::string> args = split_words(command);
    for (const char* a : {"print", EPL2_EXAMPLES_DIR "/asset-tag.json", "--data"})
        args.emplace_back(a);
    args.push_back(csv.string());
    args.emplace_back("--output");
    args.push_back(out.string());
    Batch batch{records, run_program(args, dir / ("peak-" + std::to_string(records))), {}};
    batch.stream = read_file(out);
    return batch;
}

// The two sizes differ tenfold; a host that streamed nothing of its own per record would peak
// at the same size for both. The tolerance covers allocator and page-cache noise, and is far
// below what keeping 90,000 more records (or their bytes) in memory costs.
constexpr long rss_tolerance_kb = 4096;

TEST(Soak, HundredThousandRecordsPrintOnceEachInBoundedMemory) {
    const std::string command = EPLHOST_COMMAND;
    ASSERT_FALSE(command.empty()) << "EPLHOST_COMMAND is not set: build the i386 tree first, then "
                                     "configure this one with scripts/build.sh";
    const fs::path dir = fs::temp_directory_path() / ("epl2-soak-" + std::to_string(::getpid()));
    fs::create_directories(dir);

    const Batch small = print_batch(command, dir, 10'000);
    const Batch large = print_batch(command, dir, 100'000);
    ASSERT_EQ(small.run.exit_status, 0);
    ASSERT_EQ(large.run.exit_status, 0);
    for (const Batch* b : {&small, &large}) {
        std::printf("eplhost %zu records: %.2f s, peak RSS %ld KB (launcher %ld KB), %zu bytes\n",
                    b->records, b->run.seconds, b->run.peak_rss_kb, b->run.launcher_rss_kb,
                    b->stream.size());
    }

    // Every record printed once, in order, and nothing else printed.
    EXPECT_EQ(records_in_order(large.stream, 100'000), 100'000u);
    EXPECT_EQ(count_of(large.stream, "\nP1\n"), 100'000u);

    // A peak no larger than the launcher's own may be the launcher's: then nothing was measured.
    for (const Batch* b : {&small, &large}) {
        ASSERT_GT(b->run.peak_rss_kb, b->run.launcher_rss_kb)
            << "cannot tell eplhost's peak memory from the launcher's own ("
            << b->run.launcher_rss_kb << " KB): the measurement shows nothing";
    }
    EXPECT_LE(large.run.peak_rss_kb, small.run.peak_rss_kb + rss_tolerance_kb)
        << "eplhost's peak memory grows with the number of records";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epl2::wellformed
