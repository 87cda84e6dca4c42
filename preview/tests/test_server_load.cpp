// The eplview serve program as a virtual printer under load: 32 loopback senders at once, 200 jobs
// each, a mix of good label streams, streams cut short and garbage. Every label a stream prints
// becomes a complete PNG, the server survives it all within a bounded memory and ends cleanly on
// SIGTERM, also while senders keep sending (the caps of preview/README.md).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "client.h"
#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t senders = 32, jobs_per_sender = 200, jobs = senders * jobs_per_sender;

// Peak resident memory of the server. Under AddressSanitizer freed memory sits in its quarantine
// for a while and every allocation carries redzones, so the bound is wider there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long peak_memory_bound_kib = 1024 * 1024;
#else
constexpr long peak_memory_bound_kib = 64 * 1024;
#endif  // defined(__SANITIZE_ADDRESS__)

std::string small_label(int index) {
    return driver_lines(
        {"N", "q96", "Q48,16", "LO0,0," + std::to_string(8 + index) + ",8", "X2,2,1,90,40", "P1"});
}

// Good jobs of one to three labels (one with text and a barcode), the same streams cut inside a
// command or inside a raster, and garbage; with the labels each prints.
std::vector<std::pair<std::string, std::size_t>> variants() {
    std::string three = small_label(1) + small_label(2) + small_label(3), noise;
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) noise += static_cast<char>(random() & 0xFF);
    return {{small_label(1), 1},
            {three, 3},
            {driver_lines({"N", "q200", "Q80,16", "A4,4,0,1,1,1,N,\"load\"",
                           "B4,24,0,1,1,2,30,N,\"42\"", "P2"}),
             1},
            {driver_lines({"N", "q64", "Q16,8"}) + "GW0,0,2,2,\x0F\xF0\xAA\x55\n" +
                 driver_lines({"P1"}),
             1},
            {three.substr(0, three.find("P1") + 7), 1},
            {three.substr(0, three.rfind("X2,2") + 3), 2},
            {driver_lines({"N", "q64", "Q16,8"}) + "GW0,0,8,8,\x0F\xF0", 0},
            {noise, run(noise).labels.size()},
            {"\x01\x02 nonsense\nLOx\nP\nGW1,1,9,9,\xFF\nFR\"none\"\n", 0}};
}

// The eplview program serving into a fresh directory; its standard output is read on a thread of
// its own, so that the server never blocks on its log.
class ServeProgram : public testing::Test {
   protected:
    void SetUp() override {
        fs::create_directories(dir);
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        child = fork();
        if (child == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(EPLVIEW_PROGRAM, EPLVIEW_PROGRAM, "serve", "--listen", "127.0.0.1:0", "--out",
                  dir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        reader = std::thread([this, file = fdopen(out[0], "r")] {
            char line[4096];
            std::size_t job = 0, bytes = 0, labels = 0;
            while (std::fgets(line, sizeof line, file)) {
                std::lock_guard lock(mutex);
                if (std::sscanf(line, "job %zu: %zu bytes, %zu labels", &job, &bytes, &labels) ==
                    3) {
                    ++jobs_ended;
                    labels_logged += labels;
                }
                written += std::sscanf(line, "job %zu: label %zu -> ", &job, &labels) == 2;
                std::sscanf(line, "eplview: listening on 127.0.0.1:%d", &port);
                stopped = stopped || std::string(line).starts_with("eplview: stopped");
                changed.notify_all();
            }
            std::fclose(file);
        });
        ASSERT_TRUE(wait([&] { return port != 0; }));
    }
    void TearDown() override {
        if (!reaped) terminate();
        fs::remove_all(dir);
    }
    // Waits for the server's own progress; the deadline only stops a broken run.
    template <typename Condition>
    bool wait(Condition condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::minutes(3), condition);
    }
    // SIGTERM; true when the server exited with status 0 and said it stopped.
    bool terminate() {
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        reader.join();
        reaped = true;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 && stopped;
    }
    // Checks that every file in the directory is a whole PNG; their count.
    std::size_t whole_pngs() const {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            EXPECT_EQ(entry.path().extension(), ".png");
            EXPECT_GT(read_png(entry.path().string()).width(), 0) << entry.path();
            ++count;
        }
        return count;
    }

    fs::path dir = fs::temp_directory_path() / ("eplview-load-" + std::to_string(getpid()));
    pid_t child = -1;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable changed;
    int port = 0;
    std::size_t jobs_ended = 0, labels_logged = 0, written = 0;
    bool stopped = false, reaped = false;
};

long peak_memory_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
    return -1;
}

TEST_F(ServeProgram, ThirtyTwoSendersOfTwoHundredJobsEach) {
    const auto mix = variants();
    for (const auto& [stream, labels] : mix) ASSERT_EQ(run(stream).labels.size(), labels);
    auto started = std::chrono::steady_clock::now();
    std::atomic<std::size_t> expected_labels{0}, failed_sends{0};
    std::vector<std::thread> threads;
    for (std::size_t sender = 0; sender < senders; ++sender)
        threads.emplace_back([&, sender] {
            for (std::size_t job = 0; job < jobs_per_sender; ++job) {
                const auto& [stream, labels] = mix[(sender * 7 + job) % mix.size()];
                Client client(port);
                if (client.connected() && client.send_all(stream))
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
    EXPECT_TRUE(terminate());
    EXPECT_EQ(failed_sends, 0u);
    EXPECT_EQ(jobs_ended, jobs);
    EXPECT_EQ(labels_logged, expected_labels.load());
    EXPECT_EQ(whole_pngs(), expected_labels.load());
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, peak_memory_bound_kib);
    std::printf("[ figures  ] %zu jobs in %.1f s (%.0f jobs/s), peak RSS %ld KiB\n", jobs, seconds,
                static_cast<double>(jobs) / seconds, peak);
}

// SIGTERM while senders keep sending: the server ends with status 0 and leaves only whole PNG
// files, each of them one it reported.
TEST_F(ServeProgram, SigtermWhileJobsArriveLeavesOnlyWholeFiles) {
    const std::string stream = variants()[1].first;
    std::atomic<bool> sending{true};
    std::vector<std::thread> threads;
    for (int sender = 0; sender < 8; ++sender)
        threads.emplace_back([&] {
            while (sending) {
                Client client(port);
                // Refused or reset once the server is gone; that is what the test brings about.
                if (client.connected()) client.send_all(stream);
            }
        });
    EXPECT_TRUE(wait([&] { return jobs_ended >= 100; }));
    EXPECT_TRUE(terminate());
    sending = false;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(whole_pngs(), written);
    EXPECT_GE(written, 300u);
}

}  // namespace
}  // namespace eplview::test
