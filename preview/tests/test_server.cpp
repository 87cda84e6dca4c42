// The virtual printer in process: jobs over loopback become PNG files as their labels arrive,
// garbage gets warnings and leaves the server running, caps end jobs. The eplview serve program
// itself, under load and SIGTERM, is test_server_load.cpp's.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "client.h"
#include "server.h"
#include "support.h"

namespace eplview::test {
namespace {

namespace fs = std::filesystem;

const std::string two_labels =
    with_header(driver_lines({"A10,10,0,3,1,1,N,\"first\"", "P1", "N", "LO0,0,50,50", "P2"}));

// Waits for the server's own progress, not for a time: the deadline only stops a broken run.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 1000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

class Loopback : public testing::Test {
   protected:
    void start(ServeOptions options = {}) {
        fs::create_directories(dir);
        options.port = 0;
        options.out_dir = dir.string();
        printer = std::make_unique<VirtualPrinter>(
            options, [this](const std::string& line) { log += line + "\n"; });
        std::string error;
        ASSERT_TRUE(printer->listen(error)) << error;
        serving = std::thread([this] { printer->run(); });
    }
    void TearDown() override {
        if (printer) printer->stop();
        if (serving.joinable()) serving.join();
        fs::remove_all(dir);
    }
    void send(const std::string& stream) {
        Client client(printer->port());
        ASSERT_TRUE(client.send_all(stream));
    }
    bool done(std::size_t jobs) {
        return eventually([&] { return printer->jobs_done() == jobs; });
    }
    std::string job_file(int job, int label) const {
        char name[64];
        std::snprintf(name, sizeof name, "job-%06d-%d.png", job, label);
        return (dir / name).string();
    }

    fs::path dir =
        fs::temp_directory_path() /
        ("eplview-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
         "-" + std::to_string(getpid()));
    std::unique_ptr<VirtualPrinter> printer;
    std::thread serving;
    std::string log;  // written by the server's threads; read after done() saw the job end
};

TEST_F(Loopback, WritesEachLabelWhileTheJobIsStillArriving) {
    start();
    Client client(printer->port());
    auto second = two_labels.find("N\n\r\nLO");
    ASSERT_TRUE(client.send_all(two_labels.substr(0, second)));
    ASSERT_TRUE(eventually([&] { return fs::exists(job_file(1, 1)); }));
    EXPECT_EQ(printer->jobs_done(), 0u);
    EXPECT_FALSE(fs::exists(job_file(1, 2)));
    ASSERT_TRUE(client.send_all(two_labels.substr(second)));
    client.close_now();
    ASSERT_TRUE(done(1));
    Job expected = run(two_labels);
    EXPECT_TRUE(read_png(job_file(1, 1)) == expected.labels[0].image);
    EXPECT_TRUE(read_png(job_file(1, 2)) == expected.labels[1].image);
    EXPECT_NE(log.find("2 labels (copies: 1 2)"), std::string::npos) << log;
}

TEST_F(Loopback, GarbageGetsWarningsAndTheServerGoesOn) {
    start();
    send("\x01\x02 nonsense\nLOx\nGW1,1,9,9,\xFF");
    ASSERT_TRUE(done(1));
    send(two_labels);
    ASSERT_TRUE(done(2));
    EXPECT_NE(log.find("job 1: warning at byte 0, line 1: unknown command \"\\x01\\x02 nonse\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("job 1: warning at byte 12, line 2: LO"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(job_file(1, 1)));
    EXPECT_TRUE(fs::exists(job_file(2, 2)));
}

// Senders beyond the connections received at once wait in the listening queue and are served in
// turn, whatever order they finish in; none of their data is lost.
TEST_F(Loopback, SendersBeyondTheConnectionCapWaitTheirTurn) {
    ServeOptions options;
    options.max_connections = 2;
    start(options);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<Client>(printer->port()));
        ASSERT_TRUE(clients.back()->send_all(two_labels.substr(0, 20)));
    }
    for (auto client = clients.rbegin(); client != clients.rend(); ++client) {
        ASSERT_TRUE((*client)->send_all(two_labels.substr(20)));
        (*client)->close_now();
    }
    ASSERT_TRUE(done(5));
    for (int job = 1; job <= 5; ++job) EXPECT_TRUE(fs::exists(job_file(job, 2))) << job;
}

TEST_F(Loopback, CapsTheBytesOfAJob) {
    ServeOptions options;
    options.max_bytes = 64;
    start(options);
    send(two_labels);
    ASSERT_TRUE(done(1));
    EXPECT_NE(log.find("longer than 64 bytes; the rest was discarded"), std::string::npos) << log;
}

TEST_F(Loopback, EndsAJobWhoseSenderFallsSilent) {
    ServeOptions options;
    options.idle_seconds = 1;
    start(options);
    Client client(printer->port());
    ASSERT_TRUE(client.send_all(two_labels));
    ASSERT_TRUE(done(1));
    EXPECT_NE(log.find("idle for 1 s"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(job_file(1, 2)));
}

}  // namespace
}  // namespace eplview::test
