// Soak: eplhost prints the asset-tag label for a batch of 100,000 records. The stream prints each
// record once, in order, and eplhost's peak memory does not grow with the number of records: a
// batch ten times smaller peaks at about the same size.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "programs.h"

namespace epl2::wellformed {
namespace {

std::string asset_id(std::size_t record) {
    char id[32];
    std::snprintf(id, sizeof id, "AT-%06zu", record);
    return id;
}

// Asset ids in sequence; the location column is plain, quoted with a comma, or empty (the label
// marks it optional).
void write_records(const fs::path& file, std::size_t count) {
    std::ofstream out(file, std::ios::binary);
    out << "asset_id,location\n";
    static const char* const locations[] = {"Building 4 / Lab 2", "\"Warehouse, bay 7\"", ""};
    for (std::size_t i = 0; i < count; ++i) out << asset_id(i) << ',' << locations[i % 3] << '\n';
}

// The first record the stream does not print once, in order: each record's asset id goes out
// after the previous record's print command and before its own. Empty when all do and no print
// command follows.
std::string first_misprint(const std::string& stream, std::size_t records) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < records; ++n) {
        const std::size_t id = stream.find('"' + asset_id(n) + '"', at);
        const std::size_t print = stream.find("\nP1\n", at);
        if (print == std::string::npos || id > print) return "record " + std::to_string(n);
        at = print + 1;
    }
    return stream.find("\nP1\n", at) == std::string::npos ? "" : "a print after the last record";
}

struct Batch {
    ProgramRun run;
    std::string stream;
};

Batch print_batch(const fs::path& dir, std::size_t records) {
    const fs::path csv = dir / (std::to_string(records) + ".csv");
    const fs::path out = dir / (std::to_string(records) + ".epl");
    write_records(csv, records);
    const auto start = std::chrono::steady_clock::now();
    const ProgramRun run =
        run_program(EPLHOST_COMMAND " print " EPL2_EXAMPLES_DIR "/asset-tag.json --data " +
                    csv.string() + " --output " + out.string());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    Batch batch{run, read_file(out)};
    std::printf("eplhost %zu records: %.2f s, peak RSS %ld KB (launcher %ld KB), %zu bytes\n",
                records, took.count(), run.peak_rss_kb, run.launcher_rss_kb, batch.stream.size());
    return batch;
}

// A host that keeps nothing per record peaks at the same size for both batches. The tolerance
// covers allocator and page-cache noise, and is far below what keeping 90,000 more records (or
// their bytes) in memory costs.
constexpr long rss_tolerance_kb = 4096;

TEST(Soak, HundredThousandRecordsPrintOnceEachInBoundedMemory) {
    ASSERT_CONFIGURED(EPLHOST_COMMAND);
    const fs::path dir = scratch_directory("epl2-soak");
    const Batch small = print_batch(dir, 10'000), large = print_batch(dir, 100'000);
    for (const Batch* b : {&small, &large}) {
        ASSERT_EQ(b->run.exit_status, 0);
        // A peak no larger than the launcher's own may be the launcher's: nothing was measured.
        ASSERT_GT(b->run.peak_rss_kb, b->run.launcher_rss_kb)
            << "cannot tell eplhost's peak memory from the launcher's own ("
            << b->run.launcher_rss_kb << " KB): the measurement shows nothing";
    }
    EXPECT_EQ(first_misprint(large.stream, 100'000), "");
    EXPECT_LE(large.run.peak_rss_kb, small.run.peak_rss_kb + rss_tolerance_kb)
        << "eplhost's peak memory grows with the number of records";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace epl2::wellformed
