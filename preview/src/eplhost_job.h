// A JSON label printed through the real driver module by eplhost, started as a child of eplview
// (the web API's /v1/labels): the label and its records go into a scratch folder under names
// eplview chooses, eplhost prints the job into a file there, and the folder is removed after.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace eplview {

struct EplhostJob {
    std::string label;  // the JSON label, as eplhost reads it
    enum class Records { none, csv, json } records_kind = Records::none;
    std::string records;
    std::string model;  // empty: the label's printer section decides
    // The image files the label's image objects name, by those names: plain file names (no
    // folder), written beside the label.
    std::map<std::string, std::string> images;
};

struct EplhostOutcome {
    enum class Kind {
        printed,    // text: the EPL2 job
        findings,   // text: eplhost check's findings as JSON
        refused,    // text: eplhost's message (a model or option it does not know)
        timed_out,  // text: empty
        failed,     // text: what went wrong (eplhost missing, crashed, the module failed)
    };
    Kind kind = Kind::failed;
    std::string text;
};

// The words of a command line that starts eplhost ("qemu-i386 build/i386/eplhost"), split at
// spaces; no shell reads it. Files it names are made absolute: eplhost runs in a scratch folder.
std::vector<std::string> eplhost_command(const std::string& text);

// command: the eplhost program and anything before its own arguments (an emulator such as
// qemu-i386 and the program); limit: how long each eplhost run may take.
EplhostOutcome run_eplhost(const std::vector<std::string>& command, std::chrono::milliseconds limit,
                           const EplhostJob& job);
// eplhost models: the table of the module's printer models (printed), or why not.
EplhostOutcome list_models(const std::vector<std::string>& command,
                           std::chrono::milliseconds limit);

}  // namespace eplview
