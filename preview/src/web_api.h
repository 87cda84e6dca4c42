// The endpoints of eplview web that do work (render, lint, labels), and what they share: the
// gate that bounds renders running at once, and the error a handler throws to answer with.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "web.h"

namespace eplview {

// Answered as JSON {error, detail} with this status.
struct ApiError {
    int status;
    std::string error;   // a short name a program can test
    std::string detail;  // a sentence for a person
};

// At most `running` renders at once; up to `waiting` more wait for a turn, further ones are
// refused rather than queued without end.
class RenderGate {
   public:
    RenderGate(int running, int waiting) : free_(running), waiting_cap_(waiting) {}
    // A turn, waited for until `until`; false when the queue is full or the wait ran out.
    bool enter(std::chrono::steady_clock::time_point until);
    void leave();

   private:
    std::mutex mutex_;
    std::condition_variable turn_;
    int free_;
    int waiting_ = 0;
    const int waiting_cap_;
};

struct ApiContext {
    const WebOptions& options;
    RenderGate& gate;
};

void render_endpoint(const httplib::Request& request, httplib::Response& response,
                     ApiContext& context);
void lint_endpoint(const httplib::Request& request, httplib::Response& response,
                   ApiContext& context);
void labels_endpoint(const httplib::Request& request, httplib::Response& response,
                     ApiContext& context);
void models_endpoint(const httplib::Request& request, httplib::Response& response,
                     ApiContext& context);

}  // namespace eplview
