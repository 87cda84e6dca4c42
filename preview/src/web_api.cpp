#include "web_api.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>

#include "commands.h"
#include "eplhost_job.h"
#include "eplview/eplview.h"
#include "label_size.h"
#include "printer_state.h"

namespace eplview {

bool RenderGate::enter(std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(mutex_);
    if (free_ == 0 && waiting_ >= waiting_cap_) return false;
    ++waiting_;
    bool turn = turn_.wait_until(lock, until, [this] { return free_ > 0; });
    --waiting_;
    if (turn) --free_;
    return turn;
}

void RenderGate::leave() {
    {
        std::lock_guard lock(mutex_);
        ++free_;
    }
    turn_.notify_one();
}

namespace {

using httplib::Request;
using httplib::Response;

constexpr int bad_request = 400;
constexpr int unsupported_media_type = 415;
constexpr int unprocessable = 422;
constexpr int internal_error = 500;
constexpr int unavailable = 503;
constexpr std::size_t max_model_name = 100;

// A turn at the render gate for as long as this lives; none to be had is a 503.
class Turn {
   public:
    explicit Turn(ApiContext& context) : gate_(context.gate) {
        if (!gate_.enter(std::chrono::steady_clock::now() + context.options.render_limit))
            throw ApiError{unavailable, "busy", "too many renders are waiting; try again later"};
    }
    ~Turn() { gate_.leave(); }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

   private:
    RenderGate& gate_;
};

enum class Format { epl, png, pdf };

// What the query asks of a render: the options of the CLI's LABEL arguments, one label or all,
// and the output format.
struct RenderQuery {
    Options options;
    std::size_t label = 0;  // 1-based; 0: all (PDF) or the first (PNG)
    Format format = Format::png;
};

std::string parameter(const Request& request, const char* name) {
    return request.has_param(name) ? request.get_param_value(name) : "";
}

Format read_format(const Request& request, Format fallback) {
    std::string format = parameter(request, "format");
    if (format.empty()) return fallback;
    if (format == "png") return Format::png;
    if (format == "pdf") return Format::pdf;
    if (format == "epl" && fallback == Format::epl) return Format::epl;
    throw ApiError{bad_request, "bad_parameter",
                   "format must be png or pdf, not \"" + format + "\""};
}

RenderQuery read_render_query(const Request& request, Format fallback) {
    RenderQuery query;
    query.format = read_format(request, fallback);
    std::string dpi = parameter(request, "dpi");
    if (dpi == "300")
        query.options.dpi = 300;
    else if (!dpi.empty() && dpi != "203")
        throw ApiError{bad_request, "bad_parameter", "dpi must be 203 or 300"};
    if (std::string text = parameter(request, "size"); !text.empty()) {
        auto size = parse_label_size(text, query.options.dpi);
        if (!size)
            throw ApiError{bad_request, "bad_parameter",
                           "size must be WIDTHxLENGTH in dots, or followed by in or mm"};
        query.options.width = size->width;
        query.options.length = size->length;
    }
    if (std::string label = parameter(request, "label"); !label.empty()) {
        bool digits = label.size() <= 4 && std::ranges::all_of(label, [](unsigned char c) {
                          return std::isdigit(c) != 0;
                      });
        query.label = digits ? std::stoul(label) : 0;
        if (query.label == 0 || query.label > max_labels)
            throw ApiError{
                bad_request, "bad_parameter",
                "label must be a label's number, from 1 to " + std::to_string(max_labels)};
    }
    return query;
}

// The body's media type without its parameters, in lower case.
std::string media_type(const Request& request) {
    std::string type = request.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    std::erase_if(type, [](unsigned char c) { return std::isspace(c) != 0; });
    std::ranges::transform(type, type.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type;
}

// An EPL2 stream comes as bytes or as text, never as a form or JSON.
std::span<const std::uint8_t> stream_body(const Request& request) {
    std::string type = media_type(request);
    if (!type.empty() && type != "application/octet-stream" && type != "text/plain")
        throw ApiError{
            unsupported_media_type, "unsupported_media_type",
            "send the EPL2 stream as application/octet-stream or text/plain, not " + type};
    return {reinterpret_cast<const std::uint8_t*>(request.body.data()), request.body.size()};
}

// The stream interpreted by a request that holds a turn at the gate; past options.deadline the
// request fails rather than answer with part of the job.
Job render_in_turn(std::span<const std::uint8_t> stream, const Options& options) {
    Job job = interpret(stream, options);
    if (job.cut_short)
        throw ApiError{unavailable, "render_time_limit",
                       "the stream took longer to render than the server allows"};
    return job;
}

Job render(ApiContext& context, std::span<const std::uint8_t> stream, Options options) {
    Turn turn(context);
    options.deadline = std::chrono::steady_clock::now() + context.options.render_limit;
    return render_in_turn(stream, options);
}

void count_headers(Response& response, const Job& job) {
    response.set_header("X-Label-Count", std::to_string(job.labels.size()));
    response.set_header("X-Warning-Count", std::to_string(warning_count(job)));
}

// The image of the labels the query names: a PNG of one label, or a PDF of one or all.
void send_image(Response& response, const Job& job, const RenderQuery& query) {
    count_headers(response, job);
    if (job.labels.empty()) throw ApiError{unprocessable, "no_label", "the stream prints no label"};
    if (query.label > job.labels.size())
        throw ApiError{unprocessable, "no_such_label",
                       "label " + std::to_string(query.label) + " asked for; the stream prints " +
                           std::to_string(job.labels.size())};
    std::span<const Label> labels = job.labels;
    if (query.label > 0) labels = labels.subspan(query.label - 1, 1);
    bool pdf = query.format == Format::pdf;
    std::vector<std::uint8_t> bytes = pdf ? encode_pdf(labels, job.summary.dpi)
                                          : encode_png(labels.front().image, job.summary.dpi);
    if (bytes.empty())
        throw ApiError{internal_error, "encoding_failed", "the image could not be encoded"};
    response.set_content(reinterpret_cast<const char*>(bytes.data()), bytes.size(),
                         pdf ? "application/pdf" : "image/png");
}

// The command a warning points at, as its name stands in the stream.
std::string command_at(std::span<const std::uint8_t> stream, std::size_t offset) {
    if (offset >= stream.size()) return "";
    std::string_view rest(reinterpret_cast<const char*>(stream.data()) + offset,
                          std::min<std::size_t>(stream.size() - offset, 8));
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    return rest.empty() ? "" : printable(command_name(rest));
}

nlohmann::json warnings_json(const Job& job, std::span<const std::uint8_t> stream) {
    nlohmann::json list = nlohmann::json::array();
    for (const Warning& warning : job.warnings)
        list.push_back({{"byte", warning.offset},
                        {"line", warning.line},
                        {"command", command_at(stream, warning.offset)},
                        {"message", warning.message}});
    return list;
}

void send_json(Response& response, int status, const nlohmann::json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                         "application/json");
}

// An image file's name as a request may give it: a plain name of letters, digits, dots, dashes
// and underscores that starts with a letter or digit, so that it can only name a file in
// eplhost's scratch folder.
bool plain_file_name(std::string_view name) {
    return !name.empty() && name.size() <= 64 &&
           std::isalnum(static_cast<unsigned char>(name[0])) &&
           std::ranges::all_of(name, [](unsigned char c) {
               return std::isalnum(c) || c == '.' || c == '-' || c == '_';
           });
}

void read_records(const httplib::MultipartFormData& records, EplhostJob& job) {
    bool csv = records.filename.ends_with(".csv") || records.content_type == "text/csv";
    bool json = records.filename.ends_with(".json") || records.content_type == "application/json";
    if (!csv && !json)
        throw ApiError{unsupported_media_type, "unsupported_media_type",
                       "records must be CSV (.csv, text/csv) or JSON (.json)"};
    job.records_kind = csv ? EplhostJob::Records::csv : EplhostJob::Records::json;
    job.records = records.content;
}

void read_form(const Request& request, EplhostJob& job) {
    if (!request.has_file("label"))
        throw ApiError{bad_request, "no_label", "the form has no part named label"};
    job.label = request.get_file_value("label").content;
    if (request.has_file("records")) read_records(request.get_file_value("records"), job);
    auto [first, last] = request.files.equal_range("image");
    for (const auto& [part, image] : std::ranges::subrange(first, last)) {
        if (!plain_file_name(image.filename))
            throw ApiError{bad_request, "bad_file_name",
                           "an image's file name must be a plain name such as logo.png"};
        job.images[image.filename] = image.content;
    }
}

// Every image object of the label names one of the images sent with it: eplhost reads no file
// but those.
void expect_images_sent(const nlohmann::json& label, const EplhostJob& job) {
    const nlohmann::json* objects =
        label.is_object() && label.contains("objects") ? &label["objects"] : nullptr;
    if (!objects || !objects->is_array()) return;
    for (std::size_t i = 0; i < objects->size(); ++i) {
        const nlohmann::json& object = (*objects)[i];
        if (!object.is_object() || !object.contains("file")) continue;
        const nlohmann::json& file = object["file"];
        if (file.is_string() && job.images.contains(file.get<std::string>())) continue;
        throw ApiError{unprocessable, "image_not_sent",
                       "objects[" + std::to_string(i) + "] names the image file " + file.dump() +
                           "; send it as a form part named image with that file name"};
    }
}

// The label of a /v1/labels request with its records and images: the body itself as JSON, or
// the parts "label", "records" (optional) and "image" (any number) of a form.
EplhostJob read_label_job(const Request& request) {
    EplhostJob job;
    std::string type = media_type(request);
    if (type == "application/json")
        job.label = request.body;
    else if (request.is_multipart_form_data())
        read_form(request, job);
    else
        throw ApiError{unsupported_media_type, "unsupported_media_type",
                       "send the label as application/json or multipart/form-data"};
    nlohmann::json label = nlohmann::json::parse(job.label, nullptr, false);
    if (label.is_discarded())
        throw ApiError{bad_request, "malformed_json", "the label is not well-formed JSON"};
    expect_images_sent(label, job);
    job.model = parameter(request, "model");
    if (job.model.size() > max_model_name)
        throw ApiError{bad_request, "bad_parameter", "model names a printer model, briefly"};
    return job;
}

// What eplhost said when it printed nothing, as the answer to the request: its findings in
// full (eplhost check's JSON), or an error.
void refuse(Response& response, const EplhostOutcome& outcome) {
    using Kind = EplhostOutcome::Kind;
    if (outcome.kind == Kind::findings) {
        nlohmann::json findings = nlohmann::json::parse(outcome.text, nullptr, false);
        if (findings.is_discarded())
            throw ApiError{internal_error, "eplhost_failed", "eplhost check wrote no JSON"};
        std::size_t count = findings.value("count", std::size_t{0});
        send_json(response, unprocessable,
                  {{"error", "label_findings"},
                   {"detail", "eplhost found " + std::to_string(count) +
                                  (count == 1 ? " problem" : " problems") + " in the label"},
                   {"findings", std::move(findings)}});
        return;
    }
    if (outcome.kind == Kind::refused) throw ApiError{unprocessable, "label_refused", outcome.text};
    if (outcome.kind == Kind::timed_out)
        throw ApiError{unavailable, "eplhost_time_limit", "eplhost took longer than allowed"};
    throw ApiError{internal_error, "eplhost_failed", outcome.text};
}

// The rows of eplhost's model table (index, maker, model, PrinterType, dpi; the model's name
// is the words between the maker and the last two columns).
nlohmann::json models_json(const std::string& table) {
    nlohmann::json models = nlohmann::json::array();
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream row(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(row), {}};
        if (words.size() < 5) continue;
        std::string name;
        for (std::size_t i = 2; i + 2 < words.size(); ++i)
            name += (name.empty() ? "" : " ") + words[i];
        models.push_back(
            {{"index", words[0]}, {"maker", words[1]}, {"name", name}, {"dpi", words.back()}});
    }
    return models;
}

}  // namespace

void models_endpoint(const Request&, Response& response, ApiContext& context) {
    EplhostOutcome outcome = list_models(context.options.eplhost, context.options.eplhost_limit);
    if (outcome.kind != EplhostOutcome::Kind::printed) return refuse(response, outcome);
    send_json(response, 200, {{"models", models_json(outcome.text)}});
}

void render_endpoint(const Request& request, Response& response, ApiContext& context) {
    RenderQuery query = read_render_query(request, Format::png);
    std::span<const std::uint8_t> stream = stream_body(request);
    send_image(response, render(context, stream, query.options), query);
}

void lint_endpoint(const Request& request, Response& response, ApiContext& context) {
    RenderQuery query = read_render_query(request, Format::png);
    std::span<const std::uint8_t> stream = stream_body(request);
    Job job = render(context, stream, query.options);
    count_headers(response, job);
    send_json(response, 200,
              {{"labels", job.labels.size()}, {"warnings", warnings_json(job, stream)}});
}

void labels_endpoint(const Request& request, Response& response, ApiContext& context) {
    RenderQuery query = read_render_query(request, Format::epl);
    EplhostJob job = read_label_job(request);
    Turn turn(context);
    EplhostOutcome outcome =
        run_eplhost(context.options.eplhost, context.options.eplhost_limit, job);
    if (outcome.kind != EplhostOutcome::Kind::printed) return refuse(response, outcome);
    if (query.format == Format::epl) {
        response.set_content(outcome.text, "application/octet-stream");
        return;
    }
    query.options.deadline = std::chrono::steady_clock::now() + context.options.render_limit;
    std::span<const std::uint8_t> stream(reinterpret_cast<const std::uint8_t*>(outcome.text.data()),
                                         outcome.text.size());
    send_image(response, render_in_turn(stream, query.options), query);
}

}  // namespace eplview
