// The eplview program as a virtual printer under load: 32 loopback senders at once, 200 jobs each,
// a mix of good label streams, streams cut short and garbage. Every label a stream prints becomes
// a complete PNG, the server survives it all within a bounded memory and ends cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "client.h"
#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSenders = 32;
constexpr int kJobsPerSender = 200;

// Peak resident memory of the server. Under AddressSanitizer freed memory sits in its quarantine
// for a while and every allocation carries redzones, so the bound is wider there.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakMemoryKib = 1024 * 1024;
#else
constexpr long kPeakMemoryKib = 64 * 1024;
#endif

struct Variant {
    std::string name;
    std::string stream;
    std::size_t labels = 0;  // what the printer prints from it, by the interpreter itself
};

std::string small_label(int index) {
    return driver_lines(
        {"N", "q96", "Q48,16", "LO0,0," + std::to_string(8 + index) + ",8", "X2,2,1,90,40", "P1"});
}

// Good jobs of one to three labels (one with text and a barcode), the same streams cut inside a
// command or inside a raster, and garbage.
std::vector<Variant> variants() {
    std::vector<Variant> list;
    list.push_back({"one label", small_label(1)});
    list.push_back({"three labels", small_label(1) + small_label(2) + small_label(3)});
    list.push_back(
        {"text and barcode", driver_lines({"N", "q200", "Q80,16", "A4,4,0,1,1,1,N,\"load\"",
                                           "B4,24,0,1,1,2,30,N,\"42\"", "P2"})});
    list.push_back({"raster", driver_lines({"N", "q64", "Q16,8"}) +
                                  std::string("GW0,0,2,2,\x0F\xF0\xAA\x55\n") +
                                  driver_lines({"P1"})});
    std::string three = list[1].stream;
    list.push_back({"cut after a label", three.substr(0, three.find("P1") + 7)});
    list.push_back({"cut inside a command", three.substr(0, three.rfind("X2,2") + 3)});
    list.push_back({"cut inside a raster",
                    driver_lines({"N", "q64", "Q16,8"}) + std::string("GW0,0,8,8,\x0F\xF0")});
    std::mt19937 random(7);
    std::string noise;
    for (int i = 0; i < 300; ++i) noise += static_cast<char>(random() & 0xFF);
    list.push_back({"garbage", noise});
    list.push_back({"garbage commands", "\x01\x02 nonsense\nLOx\nP\nGW1,1,9,9,\xFF\nFR\"none\"\n"});
    for (auto& variant : list) variant.labels = run(variant.stream).labels.size();
    return list;
}

fs::path fresh_dir() {
    fs::path dir = fs::temp_directory_path() / ("eplview-load-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

long peak_memory_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// The server's standard output, read on a thread of its own so that the server never blocks on
// its log: the port it listens on and the jobs it has finished.
class ServerLog {
   public:
    explicit ServerLog(int fd) : file_(fdopen(fd, "r")), reader_([this] { read(); }) {}
    ~ServerLog() {
        if (reader_.joinable()) reader_.join();
        if (file_) std::fclose(file_);
    }
    // Waits for the server's own progress; the deadline only stops a broken run.
    template <typename Condition>
    bool wait(Condition condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(3), [&] { return condition(*this); });
    }
    void finish() { reader_.join(); }

    int port = 0;
    std::size_t jobs = 0, labels = 0;  // jobs ended and the labels they printed
    std::size_t written = 0;           // PNG files reported written
    bool stopped = false;
    std::string tail;  // the last lines, for failure messages

   private:
    void read() {
        char line[4096];
        while (std::fgets(line, sizeof line, file_)) {
            std::lock_guard lock(mutex_);
            std::size_t job = 0, bytes = 0, job_labels = 0;
            int listening = 0;
            if (std::sscanf(line, "job %zu: %zu bytes, %zu labels", &job, &bytes, &job_labels) ==
                3) {
                ++jobs;
                labels += job_labels;
            } else if (std::sscanf(line, "job %zu: label %zu -> ", &job, &job_labels) == 2) {
                ++written;
            } else if (std::sscanf(line, "eplview: listening on 127.0.0.1:%d", &listening) == 1) {
                port = listening;
            } else if (std::string(line).rfind("eplview: stopped", 0) == 0) {
                stopped = true;
            }
            tail = (tail.size() > 2000 ? tail.substr(tail.size() - 2000) : tail) + line;
            changed_.notify_all();
        }
    }
    std::FILE* file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread reader_;
};

// The eplview program serving into a fresh directory, its log read as it runs.
class ServeProgram : public testing::Test {
   protected:
    void SetUp() override {
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
        log = std::make_unique<ServerLog>(out[0]);
        ASSERT_TRUE(log->wait([](const ServerLog& l) { return l.port != 0; }));
    }
    void TearDown() override {
        if (child > 0 && !stopped) terminate();
        fs::remove_all(dir);
    }
    // SIGTERM; the exit status, once the server has ended and its log is read to the end.
    int terminate() {
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        log->finish();
        stopped = true;
        return status;
    }

    struct Files {
        std::size_t pngs = 0, partial = 0, unreadable = 0;
    };
    // Every file in the directory; every step-th PNG is decoded as well.
    Files files(std::size_t step) const {
        Files found;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() != ".png") {
                ++found.partial;
                continue;
            }
            if (found.pngs++ % step == 0 && read_png(entry.path().string()).width() == 0)
                ++found.unreadable;
        }
        return found;
    }

    fs::path dir = fresh_dir();
    pid_t child = -1;
    bool stopped = false;
    std::unique_ptr<ServerLog> log;
};

TEST_F(ServeProgram, ThirtyTwoSendersOfTwoHundredJobsEach) {
    const std::vector<Variant> mix = variants();
    // The written streams print what they were written to print, cut ones what precedes the cut.
    const std::size_t written[] = {1, 3, 1, 1, 1, 2, 0};
    for (std::size_t i = 0; i < std::size(written); ++i)
        ASSERT_EQ(mix[i].labels, written[i]) << mix[i].name;

    auto started = std::chrono::steady_clock::now();
    std::atomic<std::size_t> expected_labels{0}, failed_sends{0};
    std::vector<std::thread> senders;
    for (int sender = 0; sender < kSenders; ++sender)
        senders.emplace_back([&, sender] {
            for (int job = 0; job < kJobsPerSender; ++job) {
                const Variant& variant =
                    mix[static_cast<std::size_t>(sender * 7 + job) % mix.size()];
                Client client(log->port);
                if (!client.connected() || !client.send_all(variant.stream)) {
                    ++failed_sends;
                    continue;
                }
                expected_labels += variant.labels;
            }
        });
    for (auto& sender : senders) sender.join();
    constexpr std::size_t kJobs = kSenders * kJobsPerSender;
    bool all_done = log->wait([&](const ServerLog& l) { return l.jobs >= kJobs; });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    long peak = peak_memory_kib(child);
    int status = terminate();

    EXPECT_EQ(failed_sends, 0u);
    EXPECT_TRUE(all_done) << log->tail;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(log->stopped) << log->tail;
    EXPECT_EQ(log->jobs, kJobs);
    EXPECT_EQ(log->labels, expected_labels.load());
    Files found = files(64);
    EXPECT_EQ(found.pngs, expected_labels.load());
    EXPECT_EQ(found.partial, 0u);
    EXPECT_EQ(found.unreadable, 0u);
    EXPECT_GT(peak, 0);
    EXPECT_LE(peak, kPeakMemoryKib);
    std::printf("[ figures  ] %zu jobs in %.1f s (%.0f jobs/s), %zu labels, peak RSS %ld KiB\n",
                kJobs, seconds, static_cast<double>(kJobs) / seconds, found.pngs, peak);
}

// SIGTERM while senders keep sending: the server ends with status 0 and leaves only whole PNG
// files, each of them one it reported.
TEST_F(ServeProgram, SigtermWhileJobsArriveLeavesOnlyWholeFiles) {
    const std::string stream = variants()[1].stream;
    std::atomic<bool> sending{true};
    std::vector<std::thread> senders;
    for (int sender = 0; sender < 8; ++sender)
        senders.emplace_back([&] {
            while (sending) {
                Client client(log->port);
                // Refused or reset once the server is gone; that is what the test brings about.
                if (client.connected()) client.send_all(stream);
            }
        });
    bool busy = log->wait([](const ServerLog& l) { return l.jobs >= 100; });
    int status = terminate();
    sending = false;
    for (auto& sender : senders) sender.join();

    EXPECT_TRUE(busy) << log->tail;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(log->stopped) << log->tail;
    Files found = files(1);
    EXPECT_EQ(found.partial, 0u);
    EXPECT_EQ(found.unreadable, 0u);
    EXPECT_EQ(found.pngs, log->written);
    EXPECT_GE(found.pngs, 300u);
}

}  // namespace
}  // namespace eplview::test
