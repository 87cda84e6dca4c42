// eplview web: the program behind "eplview web" (see README.md). It is a program of its own so
// that the HTTP library and what it loads (TLS, compressors) cost a one-shot eplview render
// nothing at start.
#include <pthread.h>

#include <csignal>
#include <iostream>
#include <optional>
#include <thread>

#include "eplhost_job.h"
#include "web.h"
#include "whole_number.h"

namespace {

constexpr const char* usage =
    "usage: eplview web [--listen ADDR:PORT] [--max-body BYTES] [--render-seconds N]\n"
    "                   [--max-renders N] [--max-waiting N] [--idle-seconds N]\n"
    "                   [--allow-origin ORIGIN] [--eplhost 'PROGRAM [ARG...]']\n"
    "                   [--eplhost-seconds N]\n";

bool take_listen(eplview::WebOptions& options, const std::string& value) {
    auto colon = value.rfind(':');
    if (colon == std::string::npos) return false;
    auto port = eplview::whole_number(value.substr(colon + 1), 0, 65535);
    if (!port) return false;
    options.address = value.substr(0, colon);
    options.port = static_cast<int>(*port);
    return true;
}

bool take_option(eplview::WebOptions& options, const std::string& arg, const std::string& value) {
    auto number = [&value](long low, long high) { return eplview::whole_number(value, low, high); };
    auto seconds = [&number] {
        auto given = number(1, 3600);
        return given ? std::optional(std::chrono::milliseconds(*given * 1000)) : std::nullopt;
    };
    if (arg == "--listen") return take_listen(options, value);
    if (arg == "--allow-origin") return !(options.allow_origin = value).empty();
    if (arg == "--eplhost") return !(options.eplhost = eplview::eplhost_command(value)).empty();
    std::optional<long> whole;
    if (arg == "--max-body" && (whole = number(1, 1L << 30)))
        options.max_body_bytes = static_cast<std::size_t>(*whole);
    else if (arg == "--max-renders" && (whole = number(1, 256)))
        options.max_renders = static_cast<int>(*whole);
    else if (arg == "--max-waiting" && (whole = number(0, 10000)))
        options.max_waiting = static_cast<int>(*whole);
    else if (arg == "--idle-seconds" && (whole = number(1, 3600)))
        options.idle_seconds = static_cast<int>(*whole);
    else if (auto limit = seconds(); arg == "--render-seconds" && limit)
        options.render_limit = *limit;
    else if (arg == "--eplhost-seconds" && limit)
        options.eplhost_limit = *limit;
    else
        return false;
    return true;
}

std::optional<eplview::WebOptions> parse_arguments(int argc, char** argv) {
    eplview::WebOptions options;
    for (int i = 1; i < argc; i += 2)
        if (i + 1 >= argc || !take_option(options, argv[i], argv[i + 1])) return std::nullopt;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    auto options = parse_arguments(argc, argv);
    if (!options) {
        std::cerr << usage;
        return 2;
    }
    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server outside any
    // signal handler; every other thread inherits the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    eplview::WebServer server(*options);
    std::string error;
    if (!server.listen(error)) {
        std::cerr << "eplview: cannot listen on " << error << "\n";
        return 1;
    }
    std::thread stopper([&server, &stop_signals] {
        int signal = 0;
        sigwait(&stop_signals, &signal);
        server.stop();
    });
    std::cout << "eplview: serving http://" << options->address << ":" << server.port() << "/"
              << std::endl;
    server.run();
    // Ended by a signal, the stopper has finished; ended otherwise, it is woken to finish.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    std::cout << "eplview: stopped" << std::endl;
    return 0;
}
