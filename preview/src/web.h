// eplview web: the HTTP API (render, lint, labels through eplhost, health) and the label page
// with its assets, all served by this program. Every request is held to the caps below: a body
// beyond max_body_bytes is refused, renders beyond max_renders wait their turn in a queue of at
// most max_waiting, each render stops at render_limit, and a connection idle for idle_seconds is
// closed. Nothing a request says names a file.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace eplview {

struct WebOptions {
    std::string address = "127.0.0.1";  // loopback unless told otherwise
    int port = 8080;                    // 0 picks a free port
    std::size_t max_body_bytes = 4u << 20;
    std::chrono::milliseconds render_limit{10000};  // one render; also the longest wait for it
    int max_renders = 0;                            // at once; 0: one for each processor
    int max_waiting = 64;  // renders waiting beyond those; more are refused (503)
    int connections = 64;  // served at once; further ones wait to be accepted
    int idle_seconds = 10;
    std::string allow_origin;  // empty: no CORS headers at all
    // How to start eplhost: the program and what comes before its own arguments (an emulator).
    std::vector<std::string> eplhost = {"eplhost"};
    std::chrono::milliseconds eplhost_limit{20000};  // one eplhost run
};

class WebServer {
   public:
    explicit WebServer(WebOptions options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds; false with a reason when the address cannot be used.
    bool listen(std::string& error);
    int port() const { return port_; }
    // Serves until stop().
    void run();
    void stop();

   private:
    struct State;
    std::unique_ptr<State> state_;
    int port_ = 0;
};

}  // namespace eplview
