// eplview render | lint | serve | web: see README.md.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eplview/eplview.h"
#include "label_size.h"
#include "server.h"
#include "whole_number.h"

namespace {

constexpr int exit_ok = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr const char* usage =
    "usage: eplview render IN.epl|- [-o OUT.png|OUT.pdf | -o - [--format png|pdf] | --out-dir DIR]\n"
    "                      [LABEL]\n"
    "       eplview lint IN.epl|- [--strict] [LABEL]\n"
    "       eplview serve [--listen ADDR:PORT] [--out DIR] [--max-bytes N] [--idle-seconds N]\n"
    "                     [--memory BYTES] [FAULT ...] [LABEL]\n"
    "       eplview web [--listen ADDR:PORT] ... (eplview web --help lists its options)\n"
    "FAULT: --media-out-after LABELS | --head-open | --memory-full | --pause |\n"
    "       --drop-at-label N | --answer-delay MS\n"
    "       (kill -USR1 clears every fault with a new roll; kill -USR2 opens the head)\n"
    "LABEL: [--dpi 203|300] [--size WIDTHxLENGTH[in|mm] | --width DOTS] [--as-fed]\n"
    "       (- reads standard input; render - needs -o; -o - writes standard output)\n";

constexpr const char* standard_input = "-";
constexpr const char* standard_output = "-";

// eplview speaks through C's stdio: C++'s streams would set up their locales at every start, a
// third of a millisecond that a preview rendered on every keystroke would pay each time.
void say(std::FILE* to, const std::string& text) { std::fputs(text.c_str(), to); }

// For lines that a watching program waits for (the virtual printer's).
void say_now(std::FILE* to, const std::string& text) {
    say(to, text);
    std::fflush(to);
}

struct Arguments {
    std::string command, input, output, out_dir, listen = "127.0.0.1:9100";
    std::string format;  // --format: what -o - writes, png (the default) or pdf
    std::string size;  // --size as given; read once the resolution is known
    bool strict = false;
    eplview::Options options;
    std::size_t max_bytes = 16u << 20;
    int idle_seconds = 30;
    eplview::Faults faults;
    int answer_delay_ms = 0;
};

bool apply_size(Arguments& args) {
    auto size = eplview::parse_label_size(args.size, args.options.dpi);
    if (!size) return false;
    args.options.width = size->width;
    args.options.length = size->length;
    return true;
}

// The options that describe the label and the printer, shared by every command.
bool take_label_option(Arguments& args, const std::string& arg, const std::string& value) {
    if (arg == "--dpi") {
        auto dpi = eplview::whole_number(value, 0, 1000);
        if (!dpi || (*dpi != 203 && *dpi != 300)) return false;
        args.options.dpi = static_cast<int>(*dpi);
    } else if (arg == "--width") {
        auto width = eplview::whole_number(value, 1, eplview::max_label_width_dots);
        if (!width) return false;
        args.options.width = static_cast<int>(*width);
    } else if (arg == "--size") {
        args.size = value;
    } else {
        return false;
    }
    return true;
}

bool take_fault_option(Arguments& args, const std::string& arg, const std::string& value);

bool take_server_option(Arguments& args, const std::string& arg, const std::string& value) {
    if (arg == "--max-bytes") {
        auto bytes = eplview::whole_number(value, 1, 1L << 34);
        if (!bytes) return false;
        args.max_bytes = static_cast<std::size_t>(*bytes);
    } else if (arg == "--idle-seconds") {
        auto seconds = eplview::whole_number(value, 1, 86400);
        if (!seconds) return false;
        args.idle_seconds = static_cast<int>(*seconds);
    } else if (arg == "--memory") {
        auto bytes = eplview::whole_number(value, 1, 1L << 34);
        if (!bytes) return false;
        args.options.memory = static_cast<std::size_t>(*bytes);
    } else {
        return take_fault_option(args, arg, value);
    }
    return true;
}

// The faults the virtual printer is to have, with a value.
bool take_fault_option(Arguments& args, const std::string& arg, const std::string& value) {
    if (arg == "--media-out-after") {
        auto labels = eplview::whole_number(value, 0, 1L << 40);
        if (!labels) return false;
        args.faults.labels_on_roll = static_cast<std::size_t>(*labels);
    } else if (arg == "--drop-at-label") {
        auto label = eplview::whole_number(value, 1, 1L << 40);
        if (!label) return false;
        args.faults.drop_at_label = static_cast<std::size_t>(*label);
    } else if (arg == "--answer-delay") {
        auto milliseconds = eplview::whole_number(value, 0, 600000);
        if (!milliseconds) return false;
        args.answer_delay_ms = static_cast<int>(*milliseconds);
    } else {
        return false;
    }
    return true;
}

bool take_option(Arguments& args, const std::string& arg, const std::string& value) {
    if (arg == "-o") {
        args.output = value;
    } else if (arg == "--out-dir" || arg == "--out") {
        args.out_dir = value;
    } else if (arg == "--listen") {
        args.listen = value;
    } else if (arg == "--format") {
        if (value != "png" && value != "pdf") return false;
        args.format = value;
    } else {
        return take_label_option(args, arg, value) || take_server_option(args, arg, value);
    }
    return true;
}

std::optional<Arguments> parse_arguments(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    Arguments args;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--strict") {
            args.strict = true;
        } else if (arg == "--as-fed") {
            args.options.as_fed = true;
        } else if (arg == "--head-open") {
            args.faults.head_open = true;
        } else if (arg == "--memory-full") {
            args.faults.memory_full = true;
        } else if (arg == "--pause") {
            args.faults.paused = true;
        } else if ((arg == standard_input || (!arg.empty() && arg[0] != '-')) &&
                   args.input.empty()) {
            args.input = arg;
        } else if (i + 1 >= argc || !take_option(args, arg, argv[++i])) {
            return std::nullopt;
        }
    }
    bool width_twice = !args.size.empty() && args.options.width > 0;
    if (width_twice || (!args.size.empty() && !apply_size(args))) return std::nullopt;
    return args;
}

// A command line whose parts fit together: render and lint read a stream, render from standard
// input names its output, and --format says only what standard output is to hold.
bool consistent(const Arguments& args) {
    bool render = args.command == "render";
    if (render || args.command == "lint") {
        if (args.input.empty()) return false;
    } else if (args.command != "serve") {
        return false;
    }
    bool from_input = args.input == standard_input;
    bool to_output = args.output == standard_output;
    if (!args.format.empty() && !(render && to_output)) return false;
    return !render ||
           ((args.output.empty() || args.out_dir.empty()) && (!from_input || !args.output.empty()));
}

bool is_pdf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".pdf";
}

// A file as it comes, every byte: a stream is binary (GW rasters, PCX files). It is read straight
// into its buffer, which doubles as it fills.
std::optional<std::vector<std::uint8_t>> read_all(std::FILE* file) {
    std::vector<std::uint8_t> bytes(16384);
    std::size_t size = 0;
    while (std::size_t got = std::fread(bytes.data() + size, 1, bytes.size() - size, file)) {
        size += got;
        if (size == bytes.size()) bytes.resize(2 * size);
    }
    if (std::ferror(file)) return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::optional<std::vector<std::uint8_t>> read_file(const std::string& path) {
    if (path == standard_input) return read_all(stdin);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    auto bytes = read_all(file);
    std::fclose(file);
    return bytes;
}

// The name the input goes by in messages.
std::string input_name(const Arguments& args) {
    return args.input == standard_input ? "stdin" : args.input;
}

// One label keeps the chosen name; several are numbered OUT-1.png, OUT-2.png, ...
std::string label_path(const Arguments& args, std::size_t index, std::size_t count) {
    namespace fs = std::filesystem;
    fs::path base = !args.output.empty() ? fs::path(args.output)
                                         : fs::path(args.input).replace_extension(".png");
    if (!args.out_dir.empty()) base = fs::path(args.out_dir) / base.filename();
    if (count == 1) return base.string();
    return (base.parent_path() /
            (base.stem().string() + "-" + std::to_string(index + 1) + base.extension().string()))
        .string();
}

// Interprets the input and reports its warnings and notes; nothing when it cannot be read.
std::optional<eplview::Job> interpret_input(const Arguments& args) {
    auto bytes = read_file(args.input);
    if (!bytes) {
        say(stderr, "eplview: cannot read " + input_name(args) + "\n");
        return std::nullopt;
    }
    eplview::Job job = eplview::interpret(*bytes, args.options);
    std::string name = input_name(args);
    for (const auto& warning : job.warnings)
        say(stderr, name + ":" + std::to_string(warning.line) + ": warning (byte " +
                        std::to_string(warning.offset) + "): " + warning.message + "\n");
    for (const auto& note : job.notes)
        say(stderr, name + ":" + std::to_string(note.line) + ": note (byte " +
                        std::to_string(note.offset) + "): " + note.message + "\n");
    return job;
}

// The output folder and any missing above it; false, with a message, when it cannot be made.
bool make_output_folder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        say(stderr, "eplview: cannot write into " + folder + ": " + error.message() + "\n");
    return !error;
}

std::string copies_note(const eplview::Label& label) {
    return " (" + std::to_string(label.copies) + " copies)\n";
}

// Every label as a page of the PDF called name, with its copies.
void list_pages(std::FILE* to, const std::string& name, const eplview::Job& job) {
    for (std::size_t i = 0; i < job.labels.size(); ++i)
        say(to, name + " page " + std::to_string(i + 1) + copies_note(job.labels[i]));
}

// Every label a page of one PDF file.
int write_pages(const Arguments& args, const eplview::Job& job) {
    if (!eplview::write_pdf(job.labels, job.summary.dpi, args.output)) {
        say(stderr, "eplview: cannot write " + args.output + "\n");
        return exit_failure;
    }
    list_pages(stdout, args.output, job);
    return exit_ok;
}

// Every label a PNG file of its own, listed with its copies.
int write_images(const Arguments& args, const eplview::Job& job) {
    if (!args.out_dir.empty() && !make_output_folder(args.out_dir)) return exit_failure;
    int status = exit_ok;
    for (std::size_t i = 0; i < job.labels.size(); ++i) {
        std::string path = label_path(args, i, job.labels.size());
        if (!eplview::write_png(job.labels[i].image, job.summary.dpi, path)) {
            say(stderr, "eplview: cannot write " + path + "\n");
            status = exit_failure;
            continue;
        }
        say(stdout, path + copies_note(job.labels[i]));
    }
    return status;
}

// The image itself on standard output, for a pipeline; the list and the summary then go to
// standard error. A PNG holds one label, so a job of several needs --format pdf or files.
int write_to_output(const Arguments& args, const eplview::Job& job) {
    bool pdf = args.format == "pdf";
    if (!pdf && job.labels.size() > 1) {
        say(stderr, "eplview: " + input_name(args) + " prints " +
                        std::to_string(job.labels.size()) +
                        " labels and a PNG holds one: use --format pdf, -o FILE or --out-dir\n");
        return exit_failure;
    }
    std::vector<std::uint8_t> bytes = pdf ? eplview::encode_pdf(job.labels, job.summary.dpi)
                                          : eplview::encode_png(job.labels[0].image,
                                                                job.summary.dpi);
    if (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        say(stderr, "eplview: cannot write standard output\n");
        return exit_failure;
    }
    if (pdf)
        list_pages(stderr, "stdout", job);
    else
        say(stderr, "stdout" + copies_note(job.labels[0]));
    return exit_ok;
}

int render(const Arguments& args) {
    auto interpreted = interpret_input(args);
    if (!interpreted) return exit_failure;
    const eplview::Job& job = *interpreted;
    bool to_output = args.output == standard_output;
    int status = exit_ok;
    if (job.labels.empty())
        say(stderr, "eplview: " + input_name(args) + " prints no label\n");
    else if (to_output)
        status = write_to_output(args, job);
    else
        status = is_pdf(args.output) ? write_pages(args, job) : write_images(args, job);
    say(to_output ? stderr : stdout, eplview::summary_text(job.summary));
    return status;
}

int lint(const Arguments& args) {
    auto interpreted = interpret_input(args);
    if (!interpreted) return exit_failure;
    const eplview::Job& job = *interpreted;
    say(stdout, input_name(args) + ": " + std::to_string(eplview::warning_count(job)) +
                    " warnings, " + std::to_string(job.labels.size()) + " labels\n");
    return args.strict && !job.warnings.empty() ? exit_failure : exit_ok;
}

eplview::VirtualPrinter* running_printer = nullptr;

extern "C" void on_stop_signal(int) {
    if (running_printer) running_printer->stop();
}

extern "C" void on_clear_signal(int) {
    if (running_printer) running_printer->clear_faults();
}

extern "C" void on_open_head_signal(int) {
    if (running_printer) running_printer->open_head();
}

int serve(const Arguments& args) {
    eplview::ServeOptions options;
    auto colon = args.listen.rfind(':');
    auto port = colon == std::string::npos
                    ? std::nullopt
                    : eplview::whole_number(args.listen.substr(colon + 1), 0, 65535);
    if (!port) {
        say(stderr, usage);
        return exit_usage;
    }
    options.address = args.listen.substr(0, colon);
    options.port = static_cast<int>(*port);
    options.out_dir = args.out_dir;
    options.max_bytes = args.max_bytes;
    options.idle_seconds = args.idle_seconds;
    options.render = args.options;
    options.faults = args.faults;
    options.answer_delay_ms = args.answer_delay_ms;
    if (!options.out_dir.empty() && !make_output_folder(options.out_dir)) return exit_failure;
    eplview::VirtualPrinter printer(
        options, [](const std::string& line) { say_now(stdout, line + "\n"); });
    std::string error;
    if (!printer.listen(error)) {
        say(stderr, "eplview: cannot listen on " + error + "\n");
        return exit_failure;
    }
    running_printer = &printer;
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    std::signal(SIGUSR1, on_clear_signal);
    std::signal(SIGUSR2, on_open_head_signal);
    std::signal(SIGPIPE, SIG_IGN);
    say_now(stdout, "eplview: listening on " + options.address + ":" +
                        std::to_string(printer.port()) + "\n");
    printer.run();
    running_printer = nullptr;
    say_now(stdout, "eplview: stopped after " + std::to_string(printer.jobs_done()) + " jobs\n");
    return exit_ok;
}

// eplview web is the program eplview-web beside this one, started in this one's place.
int web(char** argv) {
    std::error_code error;
    auto program =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "eplview-web";
    argv[1] = const_cast<char*>(program.c_str());
    execv(program.c_str(), argv + 1);
    say(stderr, "eplview: cannot start " + program.string() + ": " + std::strerror(errno) + "\n");
    return exit_failure;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "web") return web(argv);
    auto args = parse_arguments(argc, argv);
    if (!args || !consistent(*args)) {
        say(stderr, usage);
        return exit_usage;
    }
    if (args->command == "render") return render(*args);
    if (args->command == "lint") return lint(*args);
    return serve(*args);
}
