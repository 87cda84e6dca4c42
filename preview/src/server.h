// The virtual printer: accepts raw print jobs on a TCP port, one job per connection, and renders
// every printed label into a directory as soon as its P command has arrived. A job ends when the
// sender closes, falls silent or reaches the byte cap; its warnings are logged then. Several
// connections are served at once, each on its own thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "eplview/eplview.h"

namespace eplview {

struct ServeOptions {
    std::string address = "127.0.0.1";  // loopback unless told otherwise
    int port = 9100;                    // 0 picks a free port
    std::string out_dir;
    std::size_t max_bytes = 16u << 20;  // bytes kept of one job; the rest is discarded
    int idle_seconds = 30;              // a connection silent this long ends its job
    int max_connections = 16;           // received at once; further senders wait their turn
    Options render;
};

class VirtualPrinter {
   public:
    using Log = std::function<void(const std::string&)>;
    VirtualPrinter(ServeOptions options, Log log);
    ~VirtualPrinter();
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    // Binds and listens; false with a reason when the address cannot be used.
    bool listen(std::string& error);
    int port() const { return port_; }
    // Serves until stop(); returns after every connection has finished its job.
    void run();
    // Safe to call from a signal handler.
    void stop();
    std::size_t jobs_done() const { return jobs_done_.load(); }
    std::size_t jobs_started() const { return next_job_.load() - 1; }

   private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void start_connection(int socket);
    void serve_connection(int socket, std::size_t job, Connection& connection);
    void wake();
    void drain_wakes();
    std::size_t write_printed_labels(std::size_t job, const std::vector<std::uint8_t>& bytes,
                                     std::size_t written);
    std::size_t write_labels(std::size_t job, const Job& result, std::size_t from);
    void finish_job(std::size_t job, const std::vector<std::uint8_t>& bytes, std::size_t written);
    void log(const std::string& line);
    void reap(bool all);

    ServeOptions options_;
    Log log_;
    std::mutex log_mutex_;
    int listen_socket_ = -1;
    int wake_pipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> next_job_{1};
    std::atomic<std::size_t> jobs_done_{0};
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace eplview
