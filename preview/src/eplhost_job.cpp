#include "eplhost_job.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "child_process.h"

namespace eplview {
namespace {

namespace fs = std::filesystem;

// eplhost's exit status for a label, records or images it refuses, and for a model, option or
// value it does not know.
constexpr int eplhost_bad_input = 3;
constexpr int eplhost_bad_choice = 4;

bool put(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

std::string take(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The names eplhost is given, in the scratch folder it runs in: its messages name these rather
// than the folder.
constexpr const char* label_name = "label.json";
constexpr const char* printed_name = "job.epl";

// eplhost VERB label.json [--data records.csv|.json] [--model MODEL], after the command that
// starts it; every element a separate argument, never read by a shell.
std::vector<std::string> arguments(const std::vector<std::string>& command, const char* verb,
                                   const std::string& records, const std::string& model) {
    std::vector<std::string> argv = command;
    argv.insert(argv.end(), {verb, label_name});
    if (!records.empty()) argv.insert(argv.end(), {"--data", records});
    if (!model.empty()) argv.insert(argv.end(), {"--model", model});
    return argv;
}

std::string failure_text(const ChildOutcome& outcome, const std::string& errors) {
    if (outcome.kind == ChildOutcome::Kind::not_started) return "eplhost could not be started";
    if (outcome.kind == ChildOutcome::Kind::killed_by_signal) return "eplhost crashed";
    return "eplhost exited with status " + std::to_string(outcome.exit_code) + ": " + errors;
}

}  // namespace

std::vector<std::string> eplhost_command(const std::string& text) {
    std::vector<std::string> command;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        std::error_code error;
        if (word.find('/') != std::string::npos && fs::exists(word, error))
            word = fs::absolute(word, error).string();
        command.push_back(word);
    }
    return command;
}

EplhostOutcome run_eplhost(const std::vector<std::string>& command, std::chrono::milliseconds limit,
                           const EplhostJob& job) {
    using Kind = EplhostOutcome::Kind;
    ScratchFolder folder;
    if (!folder.made()) return {Kind::failed, "no scratch folder for eplhost"};
    const fs::path& in = folder.path();
    fs::path errors = in / "errors.txt";
    std::string records;
    if (job.records_kind != EplhostJob::Records::none)
        records = job.records_kind == EplhostJob::Records::csv ? "records.csv" : "records.json";
    bool written =
        put(in / label_name, job.label) && (records.empty() || put(in / records, job.records));
    for (const auto& [name, bytes] : job.images) written = written && put(in / name, bytes);
    if (!written) return {Kind::failed, "cannot write eplhost's input"};

    std::vector<std::string> print = arguments(command, "print", records, job.model);
    print.insert(print.end(), {"--output", printed_name});
    ChildOutcome outcome = run_child(print, in, in / "output.txt", errors, limit);
    if (outcome.kind == ChildOutcome::Kind::timed_out) return {Kind::timed_out, ""};
    bool exited = outcome.kind == ChildOutcome::Kind::exited;
    if (exited && outcome.exit_code == 0) return {Kind::printed, take(in / printed_name)};
    if (exited && outcome.exit_code == eplhost_bad_choice) return {Kind::refused, take(errors)};
    if (!exited || outcome.exit_code != eplhost_bad_input)
        return {Kind::failed, failure_text(outcome, take(errors))};

    // The label or its records were refused: eplhost check lists why, as JSON.
    std::vector<std::string> check = arguments(command, "check", records, job.model);
    check.insert(check.end(), {"--format", "json"});
    fs::path findings = in / "findings.json";
    outcome = run_child(check, in, findings, errors, limit);
    if (outcome.kind == ChildOutcome::Kind::timed_out) return {Kind::timed_out, ""};
    if (outcome.kind != ChildOutcome::Kind::exited || outcome.exit_code != eplhost_bad_input)
        return {Kind::failed, failure_text(outcome, take(errors))};
    return {Kind::findings, take(findings)};
}

}  // namespace eplview

namespace eplview {

EplhostOutcome list_models(const std::vector<std::string>& command,
                           std::chrono::milliseconds limit) {
    using Kind = EplhostOutcome::Kind;
    ScratchFolder folder;
    if (!folder.made()) return {Kind::failed, "no scratch folder for eplhost"};
    std::vector<std::string> argv = command;
    argv.push_back("models");
    fs::path table = folder.path() / "models.txt", errors = folder.path() / "errors.txt";
    ChildOutcome outcome = run_child(argv, folder.path(), table, errors, limit);
    if (outcome.kind == ChildOutcome::Kind::timed_out) return {Kind::timed_out, ""};
    if (outcome.kind == ChildOutcome::Kind::exited && outcome.exit_code == 0)
        return {Kind::printed, take(table)};
    return {Kind::failed, failure_text(outcome, take(errors))};
}

}  // namespace eplview
