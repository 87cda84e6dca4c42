#include "web.h"

#include <httplib.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>

#include "web_api.h"

namespace eplview {
namespace {

// A file of the page, compiled into the program (preview/web, embedded by embed.cmake).
struct WebAsset {
    std::string_view path;
    const unsigned char* bytes;
    std::size_t size;
};

#include EPLVIEW_WEB_ASSETS

constexpr int not_found = 404;
constexpr int internal_error = 500;

std::string_view content_type(std::string_view path) {
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (path.ends_with(".css")) return "text/css; charset=utf-8";
    if (path.ends_with(".png")) return "image/png";
    return "application/octet-stream";
}

void send_error(httplib::Response& response, const ApiError& error) {
    response.status = error.status;
    nlohmann::json body = {{"error", error.error}, {"detail", error.detail}};
    response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                         "application/json");
}

// An endpoint whose ApiError, or any other failure, becomes a JSON answer.
template <class Endpoint>
httplib::Server::Handler guarded(Endpoint endpoint) {
    return [endpoint](const httplib::Request& request, httplib::Response& response) {
        try {
            endpoint(request, response);
        } catch (const ApiError& error) {
            send_error(response, error);
        }
    };
}

// The statuses the HTTP library answers by itself, put in the API's JSON form.
httplib::Server::HandlerResponse library_error(const httplib::Request&,
                                               httplib::Response& response) {
    if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    switch (response.status) {
        case 413:
            send_error(response,
                       {413, "body_too_large", "the body is larger than the server takes"});
            break;
        case not_found:
            send_error(response, {not_found, "not_found", "no such endpoint or file"});
            break;
        case 400:
            send_error(response, {400, "bad_request", "the request is malformed"});
            break;
        default:
            send_error(response, {response.status, "http_error",
                                  "HTTP status " + std::to_string(response.status)});
    }
    return httplib::Server::HandlerResponse::Handled;
}

void serve_asset(const WebAsset& asset, httplib::Response& response) {
    response.set_content(reinterpret_cast<const char*>(asset.bytes), asset.size,
                         std::string(content_type(asset.path)).c_str());
    // Only this server's own files, scripts and images made in the page.
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' blob:; object-src 'self' blob:");
    response.set_header("Cache-Control", "no-cache");
}

}  // namespace

struct WebServer::State {
    explicit State(WebOptions given)
        : options(std::move(given)),
          gate(options.max_renders > 0
                   ? options.max_renders
                   : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())),
               options.max_waiting),
          context{options, gate} {}

    void route();
    void allow_origin();

    WebOptions options;
    RenderGate gate;
    ApiContext context;
    httplib::Server http;
    socket_t listening = INVALID_SOCKET;  // the one socket the server binds
};

namespace {

// The library's own options reuse the port, which lets a second server bind the same port
// and take half its connections; only the address of a closed server is reused here.
void reuse_address_only(socket_t socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace

void WebServer::State::route() {
    auto endpoint = [this](auto work) {
        return guarded([this, work](const httplib::Request& request, httplib::Response& response) {
            work(request, response, context);
        });
    };
    http.Post("/v1/render", endpoint(render_endpoint));
    http.Post("/v1/lint", endpoint(lint_endpoint));
    http.Post("/v1/labels", endpoint(labels_endpoint));
    http.Get("/v1/models", endpoint(models_endpoint));
    http.Get("/v1/health", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(nlohmann::json{{"status", "ok"}, {"version", EPLVIEW_VERSION}}.dump(),
                             "application/json");
    });
    for (const WebAsset& asset : web_assets) {
        std::string path(asset.path);
        auto serve = [&asset](const httplib::Request&, httplib::Response& response) {
            serve_asset(asset, response);
        };
        http.Get(path, serve);
        if (path == "/index.html") http.Get("/", serve);
    }
    http.set_error_handler(httplib::Server::HandlerWithResponse(library_error));
    http.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            send_error(response, {internal_error, "internal_error", "the server failed"});
        });
}

// Pages of other origins may call the API only when the server was started to allow one.
void WebServer::State::allow_origin() {
    if (options.allow_origin.empty()) return;
    http.set_post_routing_handler([this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Access-Control-Allow-Origin", options.allow_origin);
        response.set_header("Access-Control-Expose-Headers", "X-Label-Count, X-Warning-Count");
        response.set_header("Vary", "Origin");
    });
    http.Options("/v1/.*", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Access-Control-Allow-Methods", "GET, POST");
        response.set_header("Access-Control-Allow-Headers", "Content-Type");
        response.set_header("Access-Control-Max-Age", "600");
        response.status = 204;
    });
}

WebServer::WebServer(WebOptions options) : state_(std::make_unique<State>(std::move(options))) {
    const WebOptions& o = state_->options;
    httplib::Server& http = state_->http;
    http.set_payload_max_length(o.max_body_bytes);
    http.set_keep_alive_timeout(o.idle_seconds);
    http.set_keep_alive_max_count(1000);
    http.set_read_timeout(o.idle_seconds, 0);
    http.set_write_timeout(o.idle_seconds, 0);
    http.set_tcp_nodelay(true);
    http.set_socket_options([state = state_.get()](socket_t socket) {
        reuse_address_only(socket);
        state->listening = socket;
    });
    int connections = o.connections;
    http.new_task_queue = [connections] {
        return new httplib::ThreadPool(static_cast<std::size_t>(connections));
    };
    state_->route();
    state_->allow_origin();
}

WebServer::~WebServer() = default;

bool WebServer::listen(std::string& error) {
    const WebOptions& o = state_->options;
    port_ = o.port == 0 ? state_->http.bind_to_any_port(o.address)
                        : (state_->http.bind_to_port(o.address, o.port) ? o.port : -1);
    // The library listens with a backlog of 5: the kernel then turns away a burst of clients
    // that connect at once before they are accepted, and they see a reset rather than a
    // wait. Listening again on the bound socket raises the backlog.
    if (port_ > 0) {
        ::listen(state_->listening, SOMAXCONN);
        return true;
    }
    error = o.address + ":" + std::to_string(o.port);
    return false;
}

void WebServer::run() {
    state_->http.listen_after_bind();
}

void WebServer::stop() {
    state_->http.stop();
}

}  // namespace eplview
