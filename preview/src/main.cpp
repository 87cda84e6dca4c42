// eplview render | lint | serve: see README.md.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "eplview/eplview.h"
#include "server.h"

namespace {

constexpr int exit_ok = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr const char* usage =
    "usage: eplview render IN.epl [-o OUT.png | --out-dir DIR] [--dpi 203|300] [--width DOTS]\n"
    "       eplview lint IN.epl [--strict] [--dpi 203|300] [--width DOTS]\n"
    "       eplview serve [--listen ADDR:PORT] --out DIR [--max-bytes N] [--idle-seconds N]\n"
    "                     [--dpi 203|300] [--width DOTS]\n";

struct Arguments {
    std::string command, input, output, out_dir, listen = "127.0.0.1:9100";
    bool strict = false;
    eplview::Options options;
    std::size_t max_bytes = 16u << 20;
    int idle_seconds = 30;
};

std::optional<long> to_number(const std::string& text, long low, long high) {
    try {
        std::size_t used = 0;
        long value = std::stol(text, &used);
        if (used == text.size() && value >= low && value <= high) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::optional<Arguments> parse_arguments(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    Arguments args;
    args.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--strict") {
            args.strict = true;
        } else if ((arg == "-o" || arg == "--out-dir" || arg == "--out" || arg == "--listen") &&
                   (v = value())) {
            (arg == "-o" ? args.output : arg == "--listen" ? args.listen : args.out_dir) = *v;
        } else if (arg == "--dpi" && (v = value())) {
            auto dpi = to_number(*v, 0, 1000);
            if (!dpi || (*dpi != 203 && *dpi != 300)) return std::nullopt;
            args.options.dpi = static_cast<int>(*dpi);
        } else if (arg == "--width" && (v = value())) {
            auto width = to_number(*v, 1, eplview::max_label_width_dots);
            if (!width) return std::nullopt;
            args.options.width = static_cast<int>(*width);
        } else if (arg == "--max-bytes" && (v = value())) {
            auto bytes = to_number(*v, 1, 1L << 34);
            if (!bytes) return std::nullopt;
            args.max_bytes = static_cast<std::size_t>(*bytes);
        } else if (arg == "--idle-seconds" && (v = value())) {
            auto seconds = to_number(*v, 1, 86400);
            if (!seconds) return std::nullopt;
            args.idle_seconds = static_cast<int>(*seconds);
        } else if (!arg.empty() && arg[0] != '-' && args.input.empty()) {
            args.input = arg;
        } else {
            return std::nullopt;
        }
    }
    return args;
}

std::optional<std::vector<std::uint8_t>> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
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

// Interprets the input file and reports its warnings; nothing when the file cannot be read.
std::optional<eplview::Job> interpret_input(const Arguments& args) {
    auto bytes = read_file(args.input);
    if (!bytes) {
        std::cerr << "eplview: cannot read " << args.input << "\n";
        return std::nullopt;
    }
    eplview::Job job = eplview::interpret(*bytes, args.options);
    for (const auto& warning : job.warnings)
        std::cerr << args.input << ":" << warning.line << ": warning (byte " << warning.offset
                  << "): " << warning.message << "\n";
    return job;
}

// The output folder and any missing above it; false, with a message, when it cannot be made.
bool make_output_folder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) std::cerr << "eplview: cannot write into " << folder << ": " << error.message() << "\n";
    return !error;
}

int render(const Arguments& args) {
    auto interpreted = interpret_input(args);
    if (!interpreted) return exit_failure;
    const eplview::Job& job = *interpreted;
    if (!args.out_dir.empty() && !make_output_folder(args.out_dir)) return exit_failure;
    int status = exit_ok;
    for (std::size_t i = 0; i < job.labels.size(); ++i) {
        std::string path = label_path(args, i, job.labels.size());
        if (!eplview::write_png(job.labels[i].image, job.summary.dpi, path)) {
            std::cerr << "eplview: cannot write " << path << "\n";
            status = exit_failure;
            continue;
        }
        std::cout << path << " (" << job.labels[i].copies << " copies)\n";
    }
    if (job.labels.empty()) std::cerr << "eplview: " << args.input << " prints no label\n";
    std::cout << eplview::summary_text(job.summary);
    return status;
}

int lint(const Arguments& args) {
    auto interpreted = interpret_input(args);
    if (!interpreted) return exit_failure;
    const eplview::Job& job = *interpreted;
    std::cout << args.input << ": " << job.warnings.size() << " warnings, " << job.labels.size()
              << " labels\n";
    return args.strict && !job.warnings.empty() ? exit_failure : exit_ok;
}

eplview::VirtualPrinter* running_printer = nullptr;

extern "C" void on_stop_signal(int) {
    if (running_printer) running_printer->stop();
}

int serve(const Arguments& args) {
    eplview::ServeOptions options;
    auto colon = args.listen.rfind(':');
    auto port = colon == std::string::npos ? std::nullopt
                                           : to_number(args.listen.substr(colon + 1), 0, 65535);
    if (!port || args.out_dir.empty()) {
        std::cerr << usage;
        return exit_usage;
    }
    options.address = args.listen.substr(0, colon);
    options.port = static_cast<int>(*port);
    options.out_dir = args.out_dir;
    options.max_bytes = args.max_bytes;
    options.idle_seconds = args.idle_seconds;
    options.render = args.options;
    if (!make_output_folder(options.out_dir)) return exit_failure;
    eplview::VirtualPrinter printer(
        options, [](const std::string& line) { std::cout << line << std::endl; });
    std::string error;
    if (!printer.listen(error)) {
        std::cerr << "eplview: cannot listen on " << error << "\n";
        return exit_failure;
    }
    running_printer = &printer;
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << "eplview: listening on " << options.address << ":" << printer.port() << std::endl;
    printer.run();
    running_printer = nullptr;
    std::cout << "eplview: stopped after " << printer.jobs_done() << " jobs" << std::endl;
    return exit_ok;
}

}  // namespace

int main(int argc, char** argv) {
    auto args = parse_arguments(argc, argv);
    bool needs_input = args && (args->command == "render" || args->command == "lint");
    if (!args || (needs_input && args->input.empty()) ||
        (!args->output.empty() && !args->out_dir.empty() && args->command == "render")) {
        std::cerr << usage;
        return exit_usage;
    }
    if (args->command == "render") return render(*args);
    if (args->command == "lint") return lint(*args);
    if (args->command == "serve") return serve(*args);
    std::cerr << usage;
    return exit_usage;
}
