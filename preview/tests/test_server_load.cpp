// The eplview serve program as a virtual printer under load: 32 loopback senders at once, 200 jobs
// each, a mix of good label streams, streams cut short and garbage (data/load_streams.txt) and
// random bytes. Every label a stream prints becomes a complete PNG and the server survives it all
// within a bounded memory (the caps of preview/README.md); SIGTERM ends it cleanly while senders
// keep sending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "printer_fixtures.h"

namespace eplview::test {
namespace {

constexpr std::size_t senders = 32, jobs_per_sender = 200, jobs = senders * jobs_per_sender;

// Peak resident memory of the server. Under AddressSanitizer freed memory sits in its quarantine
// for a while and every allocation carries redzones, so the bound is wider there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long peak_memory_bound_kib = 1024 * 1024;
#else
constexpr long peak_memory_bound_kib = 64 * 1024;
#endif  // defined(__SANITIZE_ADDRESS__)

// A stream and the labels it prints.
using Sent = std::pair<std::string, std::size_t>;

std::vector<Sent> load_mix() {
    std::string noise;
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) noise += static_cast<char>(random() & 0xFF);
    std::vector<Sent> mix = {{noise, run(noise).labels.size()}};
    for (const CaseRow& row : read_cases("load_streams.txt"))
        mix.emplace_back(unescape(row.head), std::stoul(item(row, "labels")));
    return mix;
}

long peak_memory_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    return -1;
}

class ServeLoad : public ServeProgram {
   protected:
    void SetUp() override {
        ServeProgram::SetUp();
        start({"--out", dir.string()});
    }
};

// The mix from 32 senders at once; then SIGTERM while 8 senders keep sending the stream of the most
// labels: the server ends with status 0 and leaves only whole PNG files, each one it reported.
TEST_F(ServeLoad, ThirtyTwoSendersThenSigtermWhileJobsArrive) {
    const auto mix = load_mix();
    for (const auto& [stream, labels] : mix) ASSERT_EQ(run(stream).labels.size(), labels);
    auto started = std::chrono::steady_clock::now();
    std::atomic<std::size_t> expected_labels{0}, failed_sends{0};
    std::vector<std::thread> threads;
    for (std::size_t sender = 0; sender < senders; ++sender)
        threads.emplace_back([&, sender] {
            for (std::size_t job = 0; job < jobs_per_sender; ++job) {
                const auto& [stream, labels] = mix[(sender * 7 + job) % mix.size()];
                if (Client(port).send_all(stream))
                    expected_labels += labels;
                else
                    ++failed_sends;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(wait([&] { return jobs_ended >= jobs; })) << jobs_ended << " jobs ended";
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    long peak = peak_memory_kib(child);
    EXPECT_EQ(failed_sends, 0u);
    EXPECT_EQ(jobs_ended, jobs);
    EXPECT_EQ(labels_logged, expected_labels.load());
    EXPECT_EQ(whole_pngs(), expected_labels.load());
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, peak_memory_bound_kib);
    std::printf("[ figures  ] %zu jobs in %.1f s (%.0f jobs/s), peak RSS %ld KiB\n", jobs, seconds,
                static_cast<double>(jobs) / seconds, peak);

    const std::string& most = std::ranges::max_element(mix, {}, &Sent::second)->first;
    std::atomic<bool> sending{true};
    threads.clear();
    for (int sender = 0; sender < 8; ++sender)
        threads.emplace_back([&] {
            // Refused or reset once the server is gone; that is what the test brings about.
            while (sending) Client(port).send_all(most);
        });
    EXPECT_TRUE(wait([&] { return jobs_ended >= jobs + 100; }));
    EXPECT_TRUE(terminate());
    sending = false;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(whole_pngs(), written);
    EXPECT_GE(written, expected_labels + 300);
}

}  // namespace
}  // namespace eplview::test
