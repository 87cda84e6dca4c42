// The virtual printer: accepts raw print jobs on a TCP port, one job per connection, carries out
// each command as soon as it has arrived whole, on one printer device (device.h) that keeps its
// stored forms and graphics, its settings and its faults from job to job, answers the status
// commands on the job's connection, and renders every printed label into a directory (or only
// logs it, without one). A job ends when the sender closes, falls silent or reaches the byte cap;
// its warnings are logged then. Several connections are received at once, each on its own
// thread, and the device takes one job at a time, in the order they were accepted, as a
// printer's raw port does: a job waits, unread, until the jobs before it have ended.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "device.h"
#include "eplview/eplview.h"

namespace eplview {

struct ServeOptions {
    std::string address = "127.0.0.1";  // loopback unless told otherwise
    int port = 9100;                    // 0 picks a free port
    std::string out_dir;                // empty: labels are logged with their data, not drawn
    std::size_t max_bytes = 16u << 20;  // bytes kept of one job; the rest is discarded
    int idle_seconds = 30;              // a connection silent this long ends its job
    int max_connections = 16;           // received at once; further senders wait their turn
    Options render;
    Faults faults;
    int answer_delay_ms = 0;  // before each answer on the status channel
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
    // Safe to call from a signal handler, as are the two below.
    void stop();
    // As an operator would; carried out before the device's next command.
    void clear_faults();
    void open_head();
    std::size_t jobs_done() const { return jobs_done_.load(); }
    std::size_t jobs_started() const { return next_job_.load() - 1; }

   private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void start_connection(int socket);
    void serve_connection(int socket, std::size_t job, Connection& connection);
    struct JobState;
    // Feeds the commands that have arrived whole (all of them, at the end) to the device and
    // answers on the socket; false when the device dropped the connection.
    bool feed(JobState& state, bool at_end);
    void answer(int socket, const std::string& reply) const;
    // Appends what fits under the job's byte cap; false when part of the chunk was discarded.
    static bool keep(JobState& state, std::span<const std::uint8_t> chunk, std::size_t cap);
    void apply_operator_requests();
    void wake();
    void drain_wakes();
    void write_labels(JobState& state, std::vector<Label>& printed);
    void finish_job(JobState& state);
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
    Device device_;  // the job whose turn it is, and the operator between its commands
    std::mutex device_mutex_;
    void wait_for_turn(std::size_t job);
    void end_turn(std::size_t job);
    std::mutex turn_mutex_;
    std::condition_variable turn_changed_;
    std::size_t turn_ = 1;             // the job the device takes
    std::set<std::size_t> abandoned_;  // jobs that never started; their turn is passed over
    std::atomic<bool> clear_requested_{false}, head_open_requested_{false};
};

}  // namespace eplview
