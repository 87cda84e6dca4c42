// The virtual printer on loopback, in process (Loopback) or as the eplview program: a raw TCP
// client, and the printer's log followed line by line, so that tests wait for its own progress
// (jobs ended, labels written) and find every label as a whole PNG file in its directory.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "server.h"
#include "support.h"

namespace eplview::test {

class Client {
   public:
    explicit Client(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            close_now();
    }
    ~Client() { close_now(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // What the printer answers to the request: every byte until `lines` line feeds have come
    // (or the printer closed the connection).
    std::string ask(std::string_view request, int lines = 1) {
        std::string answer;
        if (!send_all(request)) return answer;
        char byte;
        while (lines > 0 && ::recv(socket_, &byte, 1, 0) == 1) {
            answer += byte;
            lines -= byte == '\n';
        }
        return answer;
    }

    // False when the connection failed or the printer closed it.
    bool send_all(std::string_view bytes) {
        for (ssize_t n = 0; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(n)))
            if ((n = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) return false;
        return true;
    }
    void close_now() {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
    }

   private:
    int socket_;
};

// The printer's log as it comes: the jobs ended and the labels they printed, the PNG files
// written, and the port and stop the eplview program announces.
class Served : public InScratchDirectory {
   protected:
    void follow(const std::string& line) {
        std::size_t job = 0, bytes = 0, labels = 0;
        std::lock_guard lock(mutex);
        log += line + "\n";
        if (std::sscanf(line.c_str(), "job %zu: %zu bytes, %zu labels", &job, &bytes, &labels) ==
            3) {
            ++jobs_ended;
            labels_logged += labels;
        }
        written += std::sscanf(line.c_str(), "job %zu: label %zu -> ", &job, &labels) == 2;
        std::sscanf(line.c_str(), "eplview: listening on 127.0.0.1:%d", &port);
        stopped = stopped || line.starts_with("eplview: stopped");
        changed.notify_all();
    }
    // Waits for the printer's progress; the deadline only stops a broken run.
    template <typename Condition>
    bool wait(Condition condition) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::minutes(3), condition);
    }
    std::string job_file(std::size_t job, std::size_t label) const {
        char name[64];
        std::snprintf(name, sizeof name, "job-%06zu-%zu.png", job, label);
        return (dir / name).string();
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

    std::mutex mutex;
    std::condition_variable changed;
    std::string log;  // read once the jobs that write it have ended
    int port = 0;
    std::atomic<std::size_t> jobs_ended{0}, labels_logged{0}, written{0};
    bool stopped = false;
};

// The virtual printer in process, serving into the scratch directory with the options the test
// chose once started.
class Loopback : public Served {
   protected:
    void start() {
        options.port = 0;
        options.out_dir = dir.string();
        printer = std::make_unique<VirtualPrinter>(
            options, [this](const std::string& line) { follow(line); });
        std::string error;
        ASSERT_TRUE(printer->listen(error)) << error;
        port = printer->port();
        serving = std::thread([this] { printer->run(); });
    }
    void TearDown() override {
        if (printer) printer->stop();
        if (serving.joinable()) serving.join();
        Served::TearDown();
    }

    ServeOptions options;
    std::unique_ptr<VirtualPrinter> printer;
    std::thread serving;
};

// The eplview program serving with the arguments a test gives; its standard output is read on a
// thread of its own, so that the server never blocks on its log.
class ServeProgram : public Served {
   protected:
    void start(std::vector<std::string> arguments) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        arguments.insert(arguments.begin(), {EPLVIEW_PROGRAM, "serve", "--listen", "127.0.0.1:0"});
        child = fork();
        if (child == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<char*> argv;
            for (auto& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            execv(EPLVIEW_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        reader = std::thread([this, file = fdopen(out[0], "r")] {
            for (char line[4096]; std::fgets(line, sizeof line, file);) {
                line[std::strcspn(line, "\n")] = '\0';
                follow(line);
            }
            std::fclose(file);
        });
        ASSERT_TRUE(wait([&] { return port != 0; }));
    }
    void TearDown() override {
        if (child > 0) terminate();
        Served::TearDown();
    }
    // What an operator does at the printer, and the printer saying it was done.
    void operator_signal(int signal, const std::string& done) {
        std::size_t seen = 0;
        {
            std::lock_guard lock(mutex);
            for (auto at = log.find(done); at != std::string::npos; at = log.find(done, at + 1))
                ++seen;
        }
        kill(child, signal);
        ASSERT_TRUE(wait([&] {
            std::size_t now = 0;
            for (auto at = log.find(done); at != std::string::npos; at = log.find(done, at + 1))
                ++now;
            return now > seen;
        }));
    }
    // SIGTERM; true when the server exited with status 0 and said it stopped.
    bool terminate() {
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        reader.join();
        child = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 && stopped;
    }

    pid_t child = -1;  // until it is reaped
    std::thread reader;
};

}  // namespace eplview::test
