// eplview web under load: CLIENTS connections (default 32), each posting the same EPL2 job to
// /v1/render and waiting for its PNG, for SECONDS after a second of warm-up. Prints renders per
// second and the median and 99th-percentile latency. A benchmark, not a test: no goal is checked
// here (bench/web_bench.sh writes the figures down).
//   web_bench PORT JOB.epl [CLIENTS] [SECONDS]
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
    std::mutex mutex;
    std::vector<double> latencies_ms;  // of renders finished after the warm-up
    std::atomic<long> failures{0};
};

void client(int port, const std::string& job, Clock::time_point measure_from,
            Clock::time_point until, Tally& tally) {
    httplib::Client http("127.0.0.1", port);
    http.set_keep_alive(true);
    std::vector<double> mine;
    while (Clock::now() < until) {
        auto start = Clock::now();
        auto result = http.Post("/v1/render?format=png", job, "application/octet-stream");
        auto end = Clock::now();
        if (!result || result->status != 200 || result->body.empty()) {
            // The first few failures say what they were: a status and its body, or the
            // client's error.
            if (tally.failures++ < 5)
                std::fprintf(stderr, "web_bench: %s after %.1f ms at %.3f s\n",
                             result ? (std::to_string(result->status) + " " + result->body).c_str()
                                    : httplib::to_string(result.error()).c_str(),
                             std::chrono::duration<double, std::milli>(end - start).count(),
                             std::chrono::duration<double>(end - measure_from).count());
        } else if (start >= measure_from)
            mine.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::lock_guard lock(tally.mutex);
    tally.latencies_ms.insert(tally.latencies_ms.end(), mine.begin(), mine.end());
}

double percentile(std::vector<double>& sorted, double share) {
    if (sorted.empty()) return 0;
    auto index = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: web_bench PORT JOB.epl [CLIENTS] [SECONDS]\n");
        return 2;
    }
    int port = std::stoi(argv[1]);
    std::ifstream in(argv[2], std::ios::binary);
    std::string job{std::istreambuf_iterator<char>(in), {}};
    int clients = argc > 3 ? std::stoi(argv[3]) : 32;
    int seconds = argc > 4 ? std::stoi(argv[4]) : 10;
    auto measure_from = Clock::now() + std::chrono::seconds(1);
    auto until = measure_from + std::chrono::seconds(seconds);
    Tally tally;
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back(client, port, std::cref(job), measure_from, until, std::ref(tally));
    for (std::thread& thread : threads) thread.join();
    std::vector<double>& latencies = tally.latencies_ms;
    std::sort(latencies.begin(), latencies.end());
    std::printf(
        "clients %d seconds %d renders %zu failures %ld renders_per_second %.0f "
        "p50_ms %.1f p99_ms %.1f\n",
        clients, seconds, latencies.size(), tally.failures.load(),
        static_cast<double>(latencies.size()) / seconds, percentile(latencies, 0.5),
        percentile(latencies, 0.99));
    return tally.failures.load() == 0 ? 0 : 1;
}
