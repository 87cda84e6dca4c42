// eplview web through a real socket: the server in process, driven by an HTTP client. Images
// come back as the bytes eplview's own encoders make of the stream; every refusal is JSON with
// its status; caps and the render gate hold under 32 clients at once; /v1/labels runs the real
// eplhost (EPLHOST_COMMAND) and answers as eplhost print does.
#include <httplib.h>
#include <sys/socket.h>

#include <future>
#include <nlohmann/json.hpp>

#include "eplhost_job.h"
#include "printer_fixtures.h"
#include "web.h"

namespace eplview::test {
namespace {

using nlohmann::json;

const std::string two_labels = with_header(driver_lines(
    {"A10,10,0,3,1,1,N,\"first\"", "P1", "N", "LO0,0,50,50", "B20,80,0,1,2,4,40,B,\"42\"", "P2"}));

std::string bytes_text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class Web : public testing::Test {
   protected:
    Web() { options.eplhost = eplhost_command(EPLHOST_COMMAND); }
    void start() {
        options.port = 0;
        server = std::make_unique<WebServer>(options);
        std::string error;
        ASSERT_TRUE(server->listen(error)) << error;
        serving = std::thread([this] { server->run(); });
        // Once the health check answers, the server runs and stop() will end it.
        for (int i = 0; i < 500 && !client().Get("/v1/health"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void TearDown() override {
        if (!server) return;
        server->stop();
        serving.join();
    }
    httplib::Client client() const {
        httplib::Client http("127.0.0.1", server->port());
        http.set_read_timeout(30, 0);
        return http;
    }
    httplib::Result post(const std::string& path, const std::string& body,
                         const char* type = "application/octet-stream") const {
        return client().Post(path, body, type);
    }
    // The answer is the JSON error named, with the status given.
    static void expect_error(const httplib::Result& result, int status, const std::string& error) {
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, status) << result->body;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
        json body = json::parse(result->body, nullptr, false);
        EXPECT_EQ(body.value("error", ""), error) << result->body;
        EXPECT_FALSE(body.value("detail", "").empty()) << result->body;
    }

    WebOptions options;
    std::unique_ptr<WebServer> server;
    std::thread serving;
};

// A PNG is the label the query names, a PDF all of them (or the one named), each as eplview's
// encoders make it at the resolution and size asked for; the counts come in headers.
TEST_F(Web, RendersTheLabelsAskedForAsPngAndPdf) {
    start();
    Job job = run(two_labels);
    auto first = post("/v1/render", two_labels);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(first->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(first->get_header_value("X-Label-Count"), "2");
    EXPECT_EQ(first->get_header_value("X-Warning-Count"), "0");
    EXPECT_EQ(first->body, bytes_text(encode_png(job.labels[0].image, 203)));
    auto second = post("/v1/render?label=2&format=png", two_labels, "text/plain; charset=UTF-8");
    EXPECT_EQ(second->body, bytes_text(encode_png(job.labels[1].image, 203)));
    auto all = post("/v1/render?format=pdf", two_labels);
    EXPECT_EQ(all->get_header_value("Content-Type"), "application/pdf");
    EXPECT_EQ(all->body, bytes_text(encode_pdf(job.labels, 203)));
    const std::string bare = driver_lines({"N", "LO0,0,50,50", "P1"});
    Job sized = run(bare, {.dpi = 300, .width = 300, .length = 150});
    auto given = post("/v1/render?dpi=300&size=1x0.5in&label=1&format=pdf", bare);
    EXPECT_EQ(given->body, bytes_text(encode_pdf(sized.labels, 300)));
}

TEST_F(Web, LintListsEachWarningWithItsPlace) {
    start();
    const std::string stream = "N\nLOx\nFOO\nP1\n";
    auto result = post("/v1/lint", stream);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("X-Warning-Count"), "2");
    json expected = {
        {"labels", 1},
        {"warnings",
         {{{"byte", 2},
           {"line", 2},
           {"command", "LO"},
           {"message", "LO: expected 4 parameters, found 1"}},
          {{"byte", 6}, {"line", 3}, {"command", "F"}, {"message", "unknown command \"FOO\""}}}}};
    EXPECT_EQ(json::parse(result->body), expected) << result->body;
}

// Every refusal: its status and its error's name.
TEST_F(Web, RefusesBadRequestsWithJsonErrors) {
    options.max_body_bytes = 4096;
    start();
    const std::string no_label = driver_lines({"N", "LO0,0,50,50"});
    struct Row {
        const char* path;
        std::string body;
        const char* type;
        int status;
        const char* error;
    } rows[] = {
        /*  1*/ {"/v1/render?dpi=250", two_labels, "text/plain", 400, "bad_parameter"},
        /*  2*/ {"/v1/render?size=4x", two_labels, "text/plain", 400, "bad_parameter"},
        /*  3*/ {"/v1/render?label=0", two_labels, "text/plain", 400, "bad_parameter"},
        /*  4*/ {"/v1/render?format=gif", two_labels, "text/plain", 400, "bad_parameter"},
        /*  5*/ {"/v1/render?label=3", two_labels, "text/plain", 422, "no_such_label"},
        /*  6*/ {"/v1/render", no_label, "text/plain", 422, "no_label"},
        /*  7*/ {"/v1/render", two_labels, "application/json", 415, "unsupported_media_type"},
        /*  8*/
        {"/v1/lint", two_labels, "application/x-www-form-urlencoded", 415,
         "unsupported_media_type"},
        /*  9*/ {"/v1/render", std::string(4097, 'N'), "text/plain", 413, "body_too_large"},
        /* 10*/ {"/v1/labels", "{}", "text/plain", 415, "unsupported_media_type"},
        /* 11*/ {"/v1/labels", "{\"name\": ", "application/json", 400, "malformed_json"},
        /* 12*/
        {"/v1/labels", "--x\r\nbroken", "multipart/form-data; boundary=x", 400, "bad_request"},
        /* 13*/ {"/v1/labels?format=epl2", "{}", "application/json", 400, "bad_parameter"},
        /* 14*/ {"/v1/nothing", "", "text/plain", 404, "not_found"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        expect_error(post(row.path, row.body, row.type), row.status, row.error);
    }
    auto health = client().Get("/v1/health");
    EXPECT_EQ(json::parse(health->body), json({{"status", "ok"}, {"version", EPLVIEW_VERSION}}));
}

// A render that overruns its time fails whole rather than answer with part of the job.
TEST_F(Web, ARenderPastItsTimeLimitFails) {
    options.render_limit = std::chrono::milliseconds(0);
    start();
    expect_error(post("/v1/render", two_labels), 503, "render_time_limit");
}

// Renders beyond the two that run at once wait their turn: 32 clients at once all get their
// own label, none refused.
TEST_F(Web, ThirtyTwoClientsAtOnceAllGetTheirLabel) {
    options.max_renders = 2;
    start();
    std::vector<std::future<std::string>> answers;
    for (int i = 0; i < 32; ++i)
        answers.push_back(std::async(std::launch::async, [this, i] {
            std::string stream = with_header(
                driver_lines({"A10,10,0,3,1,1,N,\"client " + std::to_string(i) + "\"", "P1"}));
            auto result = post("/v1/render", stream);
            return result && result->status == 200 ? result->body : std::string();
        }));
    for (int i = 0; i < 32; ++i) {
        Job job = run(with_header(
            driver_lines({"A10,10,0,3,1,1,N,\"client " + std::to_string(i) + "\"", "P1"})));
        EXPECT_EQ(answers[static_cast<std::size_t>(i)].get(),
                  bytes_text(encode_png(job.labels[0].image, 203)))
            << "client " << i;
    }
}

// A port in use is refused, even to a second eplview web, which would otherwise share it and
// answer half the first one's clients.
TEST_F(Web, KeepsItsPort) {
    start();
    WebOptions same = options;
    same.port = server->port();
    WebServer second(same);
    std::string error;
    EXPECT_FALSE(second.listen(error));
    EXPECT_EQ(error, "127.0.0.1:" + std::to_string(server->port()));
}

// With the one turn taken (by an eplhost run that takes a second) and no room to wait, a
// render is refused at once rather than queued.
TEST_F(Web, RefusesRendersBeyondTheQueue) {
    options.max_renders = 1;
    options.max_waiting = 0;
    options.eplhost = {"/bin/sh", "-c", "sleep 1"};  // stands in for eplhost; holds the turn
    start();
    auto slow = std::async(std::launch::async,
                           [this] { return post("/v1/labels", "{}", "application/json"); });
    bool refused = false;
    while (!refused && slow.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        auto result = post("/v1/render", two_labels);
        refused = result && result->status == 503;
        if (refused) expect_error(result, 503, "busy");
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(slow.get()->status, 200);
}

// The page and its files come from the server itself; other origins are not let in unless the
// server was started to allow one.
TEST_F(Web, ServesThePageAndKeepsOtherOriginsOut) {
    start();
    auto page = client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<textarea"), std::string::npos);
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"),
              std::string::npos);
    for (const char* asset : {"/app.js", "/style.css"})
        EXPECT_EQ(client().Get(asset)->status, 200) << asset;
    EXPECT_FALSE(post("/v1/render", two_labels)->has_header("Access-Control-Allow-Origin"));
}

TEST_F(Web, AllowsTheOriginItIsGiven) {
    options.allow_origin = "http://example.test";
    start();
    auto result = post("/v1/render", two_labels);
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Origin"), "http://example.test");
    auto preflight = client().Options("/v1/render");
    EXPECT_EQ(preflight->status, 204);
    EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Methods"), "GET, POST");
}

// A connection that falls silent after an answer is closed once the idle time has passed.
TEST_F(Web, ClosesIdleConnections) {
    options.idle_seconds = 1;
    start();
    int connection = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = "GET /v1/health HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(send(connection, request.data(), request.size(), 0), std::ssize(request));
    timeval patience{5, 0};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char chunk[4096];
    std::string answer;
    while (!answer.ends_with("}"))  // the health JSON's end
        if (ssize_t got = recv(connection, chunk, sizeof chunk, 0); got > 0)
            answer.append(chunk, static_cast<std::size_t>(got));
        else
            FAIL() << "the answer was cut short: " << answer;
    auto silent_since = std::chrono::steady_clock::now();
    EXPECT_EQ(recv(connection, chunk, sizeof chunk, 0), 0);  // closed by the server
    EXPECT_GE(std::chrono::steady_clock::now() - silent_since, std::chrono::milliseconds(900));
    close(connection);
}

// /v1/labels answers with what eplhost print makes of the label, its records and images; a
// label eplhost refuses comes back with eplhost check's findings.
TEST_F(Web, LabelsGoThroughEplhost) {
    ASSERT_STRNE(EPLHOST_COMMAND, "") << "configure with -DEPLHOST_COMMAND=<eplhost>";
    start();
    const std::string examples = EPL2_EXAMPLES_DIR;
    std::string label = contents(examples + "/asset-tag.json");
    auto printed = client().Post(
        "/v1/labels",
        httplib::MultipartFormDataItems{
            {"label", label, "asset-tag.json", "application/json"},
            {"records", contents(examples + "/asset-tags.csv"), "asset-tags.csv", "text/csv"},
            {"image", contents(examples + "/asset-badge.pcx"), "asset-badge.pcx", ""}});
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->status, 200) << printed->body;
    EXPECT_EQ(printed->body, eplhost_print(examples + "/asset-tag.json",
                                           "--data " + examples + "/asset-tags.csv"));

    std::string shipping = contents(examples + "/shipping-4x6.json");
    expect_error(post("/v1/labels", shipping, "application/json"), 422, "image_not_sent");
    auto png =
        client().Post("/v1/labels?format=png",
                      httplib::MultipartFormDataItems{
                          {"label", shipping, "", ""},
                          {"image", contents(examples + "/acme-logo.png"), "acme-logo.png", ""}});
    Job job = run(eplhost_print(examples + "/shipping-4x6.json"));
    EXPECT_EQ(png->body, bytes_text(encode_png(job.labels[0].image, 203)));

    auto refused =
        post("/v1/labels", R"({"objects": [{"type": "text", "x": -5}]})", "application/json");
    expect_error(refused, 422, "label_findings");
    json findings = json::parse(refused->body)["findings"];
    EXPECT_GT(findings.value("count", 0), 0) << refused->body;
    EXPECT_EQ(findings.value("label", ""), "label.json");

    json models = json::parse(client().Get("/v1/models")->body, nullptr, false);
    ASSERT_FALSE(models["models"].empty()) << models;
    EXPECT_EQ(models["models"][0]["index"], "0");
}

TEST_F(Web, AnEplhostRunPastItsTimeLimitFails) {
    options.eplhost_limit = std::chrono::milliseconds(1);
    start();
    expect_error(post("/v1/labels", "{}", "application/json"), 503, "eplhost_time_limit");
}

}  // namespace
}  // namespace eplview::test
