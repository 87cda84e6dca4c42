// The virtual printer, in process and as the eplview program: jobs over loopback become PNG files,
// garbage gets warnings and leaves the server running, caps and signals end jobs and the server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

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

std::string two_labels() {
    return with_header(
        driver_lines({"A10,10,0,3,1,1,N,\"first\"", "P1", "N", "LO0,0,50,50", "P2"}));
}

fs::path fresh_dir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("eplview-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Waits for the server's own progress, not for a time: the deadline only stops a broken run.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 1000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

class Server : public testing::Test {
   protected:
    void start(ServeOptions options) {
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
    std::string job_file(int job, int label) const {
        char name[64];
        std::snprintf(name, sizeof name, "job-%06d-%d.png", job, label);
        return (dir / name).string();
    }

    fs::path dir = fresh_dir(testing::UnitTest::GetInstance()->current_test_info()->name());
    std::unique_ptr<VirtualPrinter> printer;
    std::thread serving;
    std::string log;  // written by the server's threads; read after eventually() saw the job end
};

TEST_F(Server, RendersEveryLabelOfAJobAsThePngOfThatLabel) {
    start({});
    {
        Client client(printer->port());
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send_all(two_labels()));
    }
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 1; }));
    Job expected = run(two_labels());
    ASSERT_EQ(expected.labels.size(), 2u);
    EXPECT_TRUE(read_png(job_file(1, 1)) == expected.labels[0].image);
    EXPECT_TRUE(read_png(job_file(1, 2)) == expected.labels[1].image);
    EXPECT_NE(log.find("2 labels (copies: 1 2)"), std::string::npos) << log;
}

TEST_F(Server, GarbageGetsWarningsAndTheServerGoesOn) {
    start({});
    {
        Client garbage(printer->port());
        ASSERT_TRUE(garbage.send_all("\x01\x02 nonsense\nLOx\nGW1,1,9,9,\xFF"));
    }
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 1; }));
    {
        Client good(printer->port());
        ASSERT_TRUE(good.send_all(two_labels()));
    }
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 2; }));
    EXPECT_NE(log.find("job 1: warning at byte 0, line 1: unknown command"), std::string::npos)
        << log;
    EXPECT_NE(log.find("job 1: warning at byte 12, line 2: LO"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(job_file(1, 1)));
    EXPECT_TRUE(fs::exists(job_file(2, 2)));
}

TEST_F(Server, ServesSeveralConnectionsAtOnce) {
    start({});
    std::string stream = two_labels();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<Client>(printer->port()));
        ASSERT_TRUE(clients.back()->send_all(stream.substr(0, 20)));
    }
    // All three are open at once; they finish in the reverse order.
    for (int i = 2; i >= 0; --i) {
        ASSERT_TRUE(clients[static_cast<std::size_t>(i)]->send_all(stream.substr(20)));
        clients[static_cast<std::size_t>(i)]->close_now();
    }
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 3; }));
    for (int job = 1; job <= 3; ++job) EXPECT_TRUE(fs::exists(job_file(job, 2))) << job;
}

// Senders beyond the connections received at once wait in the listening queue and are served in
// turn; none of their data is lost.
TEST_F(Server, SendersBeyondTheConnectionCapWaitTheirTurn) {
    ServeOptions options;
    options.max_connections = 2;
    start(options);
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 5; ++i) {
        clients.push_back(std::make_unique<Client>(printer->port()));
        ASSERT_TRUE(clients.back()->send_all(two_labels()));
    }
    for (auto& client : clients) client->close_now();
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 5; }));
    for (int job = 1; job <= 5; ++job) EXPECT_TRUE(fs::exists(job_file(job, 2))) << job;
}

TEST_F(Server, WritesEachLabelWhileTheJobIsStillArriving) {
    start({});
    Client client(printer->port());
    std::string stream = two_labels();
    auto second = stream.find("N\n\r\nLO");
    ASSERT_TRUE(client.send_all(stream.substr(0, second)));
    ASSERT_TRUE(eventually([&] { return fs::exists(job_file(1, 1)); }));
    EXPECT_EQ(printer->jobs_done(), 0u);
    EXPECT_FALSE(fs::exists(job_file(1, 2)));
    ASSERT_TRUE(client.send_all(stream.substr(second)));
    client.close_now();
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 1; }));
    Job expected = run(stream);
    EXPECT_TRUE(read_png(job_file(1, 1)) == expected.labels[0].image);
    EXPECT_TRUE(read_png(job_file(1, 2)) == expected.labels[1].image);
}

TEST_F(Server, CapsTheBytesOfAJob) {
    ServeOptions options;
    options.max_bytes = 64;
    start(options);
    {
        Client client(printer->port());
        client.send_all(two_labels());
    }
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 1; }));
    EXPECT_NE(log.find("longer than 64 bytes; the rest was discarded"), std::string::npos) << log;
}

TEST_F(Server, EndsAJobWhoseSenderFallsSilent) {
    ServeOptions options;
    options.idle_seconds = 1;
    start(options);
    Client client(printer->port());
    ASSERT_TRUE(client.send_all(two_labels()));
    ASSERT_TRUE(eventually([&] { return printer->jobs_done() == 1; }));
    EXPECT_NE(log.find("idle for 1 s"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(job_file(1, 2)));
}

TEST_F(Server, StopEndsRunEvenWithAConnectionOpen) {
    start({});
    Client client(printer->port());
    ASSERT_TRUE(client.send_all("N\n"));
    ASSERT_TRUE(eventually([&] { return printer->jobs_started() == 1; }));
    printer->stop();
    serving.join();
    EXPECT_EQ(printer->jobs_done(), 1u);
}

// The eplview program itself: binds loopback, prints its port, stops on SIGTERM.
TEST(ServeProgram, StopsCleanlyOnSigterm) {
    fs::path dir = fresh_dir("program");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        execl(EPLVIEW_PROGRAM, EPLVIEW_PROGRAM, "serve", "--listen", "127.0.0.1:0", "--out",
              dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* output = fdopen(out[0], "r");
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, output), nullptr);
    std::string listening = line;
    ASSERT_EQ(listening.rfind("eplview: listening on 127.0.0.1:", 0), 0u) << listening;
    int port = std::stoi(listening.substr(listening.rfind(':') + 1));
    {
        Client client(port);
        ASSERT_TRUE(client.send_all(two_labels()));
    }
    std::string rest;
    while (std::fgets(line, sizeof line, output)) {
        rest += line;
        if (rest.find("2 labels") != std::string::npos) break;
    }
    kill(child, SIGTERM);
    while (std::fgets(line, sizeof line, output)) rest += line;
    std::fclose(output);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(rest.find("eplview: stopped after 1 jobs"), std::string::npos) << rest;
    EXPECT_TRUE(fs::exists(dir / "job-000001-2.png"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace eplview::test
