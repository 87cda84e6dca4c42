#include "app.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>

#include "charset.h"
#include "confirmation.h"
#include "counters.h"
#include "errors.h"
#include "findings.h"
#include "journal.h"
#include "label.h"
#include "module.h"
#include "output.h"
#include "print_job.h"
#include "printer.h"
#include "records.h"
#include "setup/option_catalogue.h"
#include "units.h"

namespace epl2::eplhost {

namespace {

constexpr const char* usage_text = R"(usage:
  eplhost models [--module PATH]
  eplhost options [--model MODEL] [--set OPTION=VALUE ...] [--module PATH]
  eplhost print LABEL.json [--model MODEL] [--set OPTION=VALUE ...] [--data RECORDS.csv|.json]
                [--data-encoding utf-8|latin1] [--charset PAGE] [--copies N]
                [--output FILE | --to TARGET] [--timeout SECONDS] [--module PATH]
                [--confirm | --confirm-every N] [--journal FILE [--resume]] [--counters FILE]
  eplhost check LABEL.json [--model MODEL] [--set OPTION=VALUE ...] [--data RECORDS.csv|.json]
                [--data-encoding utf-8|latin1] [--charset PAGE] [--format text|json]
                [--module PATH]

MODEL is a model name (case-insensitive; a prefix that only one name has will do) or its index
from `eplhost models`; without one the label's printer section decides, else "Zebra LP 2844".
OPTION is a setup prompt without its colon ("Darkness", "Print speed") or its option id.
TARGET is tcp://HOST[:PORT] (a printer's raw port, 9100 when none is given), lp:QUEUE (a CUPS
queue; lp alone: the default queue) or file:PATH. Without --output or --to the job goes to
standard output (also --output -).
The job selects the printer's code page PAGE and prints all text in it; a character it lacks is
refused. PAGE is windows-1252 (without --charset the label's printer section decides, else this),
windows-1250 to windows-1255, cp437, cp737, cp850, cp852, cp855, cp857, cp860 to cp863, cp865,
cp866 or cp869. CSV records are UTF-8, or Latin-1 with --data-encoding latin1.
The driver module is epl2drv beside the program, or $EPL2_MODULE, or --module PATH.
--confirm (tcp:// targets) turns the printer's error reporting on and asks for its errors after
each label (--confirm-every N: after every N), stopping at the first; --journal FILE records
each confirmed record, and --resume continues the batch of that journal where it stopped.
A label with counters prints with --counters FILE, where their next values are kept.

exit status: 0 done; 2 command line; 3 label, records or images; 4 model, option or value;
5 driver module; 6 output target (the job was not, or not wholly, taken); 7 the printer
reported an error and the batch stopped; 1 internal fault.
)";

// An hour: far beyond any printer's pause, and short enough that the timeout in milliseconds
// stays a valid poll() argument.
constexpr std::int32_t max_timeout_seconds = 3600;

struct Arguments {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> model, data, output, to, module, format;
    const CodePage* charset = nullptr;
    std::optional<DataEncoding> data_encoding;
    std::optional<std::int32_t> copies;
    std::optional<std::int32_t> timeout_seconds;
    std::vector<std::pair<std::string, std::string>> settings;
    bool help = false;
    std::optional<std::size_t> confirm_every;  // --confirm: 1
    std::optional<std::string> journal, counters;
    bool resume = false;
};

// Status queries more than this many labels apart confirm too little to be worth a journal.
constexpr std::int32_t max_confirm_every = 100000;

const CodePage* parse_charset(const std::string& name) {
    const CodePage* page = find_code_page(name);
    if (page == nullptr)
        fail(ExitCode::usage, "--charset expects a code page the printer can select, not \"" +
                                  name + "\": " + code_page_names());
    return page;
}

DataEncoding parse_data_encoding(const std::string& name) {
    const std::optional<DataEncoding> encoding = find_data_encoding(name);
    if (!encoding)
        fail(ExitCode::usage, "--data-encoding expects utf-8 or latin1, not \"" + name + "\"");
    return *encoding;
}

Arguments parse_arguments(const std::vector<std::string>& args) {
    Arguments a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= args.size()) fail(ExitCode::usage, arg + " needs a value");
            return args[++i];
        };
        if (arg == "-h" || arg == "--help") {
            a.help = true;
        } else if (arg == "--model") {
            a.model = next();
        } else if (arg == "--data") {
            a.data = next();
        } else if (arg == "--data-encoding") {
            a.data_encoding = parse_data_encoding(next());
        } else if (arg == "--charset") {
            a.charset = parse_charset(next());
        } else if (arg == "--output" || arg == "-o") {
            a.output = next();
        } else if (arg == "--to") {
            a.to = next();
        } else if (arg == "--module") {
            a.module = next();
        } else if (arg == "--format") {
            a.format = next();
            if (*a.format != "text" && *a.format != "json")
                fail(ExitCode::usage, "--format expects text or json, not \"" + *a.format + "\"");
        } else if (arg == "--copies") {
            const std::string v = next();
            a.copies = parse_integer(v);
            if (!a.copies || *a.copies < 1 || *a.copies > max_copies)
                fail(ExitCode::usage, "--copies expects a whole number from 1 to " +
                                          std::to_string(max_copies) + ", not \"" + v + "\"");
        } else if (arg == "--timeout") {
            const std::string v = next();
            a.timeout_seconds = parse_integer(v);
            if (!a.timeout_seconds || *a.timeout_seconds < 1 ||
                *a.timeout_seconds > max_timeout_seconds) {
                fail(ExitCode::usage, "--timeout expects whole seconds from 1 to " +
                                          std::to_string(max_timeout_seconds) + ", not \"" + v +
                                          "\"");
            }
        } else if (arg == "--confirm") {
            if (!a.confirm_every) a.confirm_every = 1;
        } else if (arg == "--confirm-every") {
            const std::string v = next();
            const std::optional<std::int32_t> every = parse_integer(v);
            if (!every || *every < 1 || *every > max_confirm_every)
                fail(ExitCode::usage, "--confirm-every expects a number of labels from 1 to " +
                                          std::to_string(max_confirm_every) + ", not \"" + v +
                                          "\"");
            a.confirm_every = static_cast<std::size_t>(*every);
        } else if (arg == "--journal") {
            a.journal = next();
        } else if (arg == "--counters") {
            a.counters = next();
        } else if (arg == "--resume") {
            a.resume = true;
        } else if (arg == "--set") {
            const std::string v = next();
            const auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0)
                fail(ExitCode::usage, "--set expects OPTION=VALUE, not \"" + v + "\"");
            a.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (arg.starts_with("-") && arg != "-") {
            fail(ExitCode::usage, "unknown option " + arg);
        } else if (a.command.empty()) {
            a.command = arg;
        } else {
            a.positional.push_back(arg);
        }
    }
    if (a.output && a.to) fail(ExitCode::usage, "give either --output or --to, not both");
    if (a.data_encoding && !a.data) fail(ExitCode::usage, "--data-encoding needs --data");
    if (a.journal && !a.confirm_every)
        fail(ExitCode::usage, "--journal records what the printer confirmed: give --confirm too");
    if (a.resume && !a.journal)
        fail(ExitCode::usage, "--resume continues a batch from its journal: give --journal FILE");
    return a;
}

std::unique_ptr<host::Module> load_module(const Arguments& a, const Io& io) {
    const std::string path = a.module ? *a.module : host::default_module_path(io.argv0.c_str());
    try {
        return std::make_unique<host::Module>(path);
    } catch (const host::ModuleError& e) {
        fail(ExitCode::module, e.what());
    }
}

void list_models(const host::Module& module, std::ostream& out) {
    out << "index  maker       model                          PrinterType  dpi\n";
    for (const Model& m : read_models(module)) {
        out << std::setw(5) << m.index << "  " << std::left << std::setw(10) << m.maker << "  "
            << std::setw(29) << m.name << "  " << std::right << std::setw(11) << m.printer_type
            << "  " << m.dpi() << "\n";
    }
}

const char* kind_name(char kind) {
    switch (kind) {
        case kind_integer:
            return "number";
        case kind_choice:
            return "choice";
        case kind_length:
            return "length";
        default:
            return "?";
    }
}

void list_options(Printer& printer, std::ostream& out) {
    const Model& m = printer.model();
    out << m.name << " (index " << m.index << ", PrinterType " << m.printer_type << ", " << m.dpi()
        << " dpi)\n";
    for (const SetupOption& o : printer.options()) {
        out << std::setw(3) << o.position << "  " << o.prompt << "  [" << kind_name(o.kind)
            << ", id " << o.id << ", width " << o.width << "]  current "
            << o.describe_value(printer.value_of(o)) << "\n";
        if (o.kind == kind_choice) {
            for (std::size_t i = 0; i < o.choices.size(); ++i)
                out << "       " << i << "  " << o.choices[i] << "\n";
        } else {
            out << "       range " << o.describe_range() << "\n";
        }
    }
}

// The model from the command line, else the label, else the default.
const Model& choose_model(const std::vector<Model>& models, const Arguments& a,
                          const Label* label) {
    if (a.model) return find_model(models, *a.model);
    if (label && label->printer.model) return find_model(models, *label->printer.model);
    return find_model(models, default_model_name);
}

// The module the command line names and the printer it chooses there, with the label's option
// settings and then the command line's, the later winning.
class PrinterSession {
   public:
    PrinterSession(const Arguments& a, const Io& io, host::Sink& sink, const Label* label)
        : module_(load_module(a, io)),
          printer_(*module_, sink, choose_model(read_models(*module_), a, label)) {
        if (label) printer_.set_options(label->printer.options);
        printer_.set_options(a.settings);
    }
    [[nodiscard]] Printer& printer() noexcept { return printer_; }

   private:
    std::unique_ptr<host::Module> module_;
    Printer printer_;
};

// The command line's code page, else the label's, else the default.
const CodePage& choose_code_page(const Arguments& a, const Label& label) {
    const CodePage& page = a.charset               ? *a.charset
                           : label.printer.charset ? *label.printer.charset
                                                   : default_code_page();
    if (!can_convert_to(page))
        fail(ExitCode::usage, "this system cannot convert text to code page " +
                                  std::string(page.name) + "; choose another with --charset");
    return page;
}

class ProgressBar {
   public:
    ProgressBar(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
    void update(std::size_t done, std::size_t total) {
        if (!shown_ || total < minimum_records) return;
        const std::size_t percent = done * 100 / total;
        if (percent == last_percent_ && done != total) return;
        last_percent_ = percent;
        const std::size_t filled = percent * bar_width / 100;
        err_ << "\r[" << std::string(filled, '#') << std::string(bar_width - filled, ' ') << "] "
             << done << "/" << total << (done == total ? "\n" : "") << std::flush;
    }

   private:
    static constexpr std::size_t minimum_records =
        100;  // shorter batches finish before a bar helps
    static constexpr std::size_t bar_width = 40;
    std::ostream& err_;
    bool shown_;
    std::size_t last_percent_ = 101;
};

// A print findings are listed up to here; "eplhost check" lists them all.
constexpr std::size_t findings_shown_by_print = 20;

// The label and records of a print or check, read and checked against each other.
struct JobInput {
    Label label;
    const CodePage* code_page = nullptr;
    std::optional<RecordsFile> records;
};

void read_job_input(const Arguments& a, JobInput& input) {
    if (a.positional.size() != 1)
        fail(ExitCode::usage, a.command + " needs exactly one LABEL.json");
    input.label = load_label(a.positional.front());
    input.code_page = &choose_code_page(a, input.label);
    if (a.data) {
        input.records.emplace(*a.data, a.data_encoding.value_or(DataEncoding::utf8));
        if (input.records->summary().count == 0)
            fail(ExitCode::bad_input, *a.data + ": holds no records");
    }
    check_fields(input.label, input.records ? &input.records->summary() : nullptr);
}

JobPlan plan_for(const Arguments& a, const JobInput& input, Findings& findings) {
    JobPlan plan;
    plan.label = &input.label;
    plan.records = input.records ? &*input.records : nullptr;
    plan.copies = a.copies.value_or(input.label.copies);
    plan.code_page = input.code_page;
    plan.findings = &findings;
    return plan;
}

std::size_t label_count(const JobInput& input) {
    return input.records ? input.records->summary().count : 1;
}

int check(const Arguments& a, Io& io) {
    const bool as_json = a.format.value_or("text") == "json";
    Findings findings;
    CheckSummary summary;
    summary.label = a.positional.empty() ? "" : a.positional.front();
    try {
        JobInput input;
        read_job_input(a, input);
        JobBytes ignored;
        PrinterSession session(a, io, ignored, &input.label);
        session.printer().save_options();
        summary.model = session.printer().model().name;
        summary.labels = label_count(input);
        check_job(session.printer(), plan_for(a, input, findings));
    } catch (const Failure& f) {
        // A label or records file that cannot be read at all is one finding, the only one.
        if (f.code() != ExitCode::bad_input || !as_json) throw;
        findings.add({"input", {}, {}, {}, {}, {}, 0, {}, {}, f.what()});
    }
    if (as_json) {
        write_findings_json(io.out, findings, summary);
    } else {
        for (const Finding& finding : findings.kept()) io.out << finding.text() << "\n";
        io.err << "eplhost: " << findings.count()
               << (findings.count() == 1 ? " finding" : " findings") << " in " << summary.labels
               << (summary.labels == 1 ? " label" : " labels") << " for the " << summary.model
               << "\n";
    }
    return findings.empty() ? 0 : static_cast<int>(ExitCode::bad_input);
}

// Which record the printer last confirmed, and how the batch goes on from there.
std::string where_it_stopped(const Arguments& a, std::size_t confirmed, std::size_t total) {
    std::string text = confirmed == 0 ? std::string("no record was confirmed")
                                      : "record " + std::to_string(confirmed) + " of " +
                                            std::to_string(total) + " was the last confirmed";
    const std::string rest =
        "records " + std::to_string(confirmed + 1) + " to " + std::to_string(total);
    if (a.journal)
        return text +
               "; clear the printer's fault (and its buffer), then run the same command "
               "with --resume to print " +
               rest;
    return text + "; " + rest +
           " did not print for certain; with --journal FILE a batch resumes where it stopped";
}

// The batch's journal: a new one, or with --resume the one of an earlier run of this batch,
// whose story is told before the batch goes on.
std::unique_ptr<Journal> open_journal(const Arguments& a, const JobInput& input,
                                      const CounterBases& counters, std::ostream& err) {
    if (!a.journal) return nullptr;
    const std::uint64_t digest = job_digest(
        input.label.source, a.data ? std::filesystem::path(*a.data) : std::filesystem::path());
    if (!a.resume) {
        JournalState batch;
        batch.digest = digest;
        batch.records = label_count(input);
        batch.every = *a.confirm_every;
        batch.counters = counters;
        return std::make_unique<Journal>(*a.journal, batch);
    }
    auto journal = std::make_unique<Journal>(*a.journal, digest);
    const JournalState& state = journal->state();
    if (state.done) return journal;
    const std::size_t next = state.confirmed + 1;
    if (state.stopped) {
        err << "eplhost: resuming after the printer's fault: records " << next << " to "
            << state.records << " print now\n";
        return journal;
    }
    // Killed, or cut off, between a label's bytes and its confirmation: the labels in flight
    // may have printed, and nothing can tell.
    const std::size_t last = std::min(state.records, state.confirmed + state.every);
    err << "eplhost: the previous run "
        << (state.lost ? "lost the printer"
                       : "ended without a word from the printer (was it killed?)")
        << ": record" << (last > next ? "s " : " ") << next;
    if (last > next) err << " to " << last;
    err << " may have printed and print" << (last > next ? "" : "s") << " again\n";
    return journal;
}

int print(const Arguments& a, Io& io) {
    if (a.positional.size() != 1) fail(ExitCode::usage, "print needs exactly one LABEL.json");
    if (a.format) fail(ExitCode::usage, "--format belongs to check");
    // Everything that can fail on bad input is checked before the module draws anything.
    const Target target = a.to ? parse_target(*a.to) : output_path_target(a.output.value_or("-"));
    if (a.confirm_every && target.kind != Target::Kind::tcp)
        fail(ExitCode::usage,
             "--confirm asks the printer for its errors, which only a printer's raw port "
             "answers: give --to tcp://HOST[:PORT]");
    JobInput input;
    read_job_input(a, input);
    JobStream stream;
    // Ahead of the module's first byte: the printer reads all text of the job in this page.
    stream.write(select_code_page(*input.code_page));
    PrinterSession session(a, io, stream, &input.label);
    Printer& printer = session.printer();
    printer.save_options();
    Findings findings;
    JobPlan plan = plan_for(a, input, findings);
    check_job(printer, plan);
    if (!findings.empty()) {
        write_findings_text(io.err, findings, findings_shown_by_print);
        return static_cast<int>(ExitCode::bad_input);
    }
    DeliveryOptions delivery;
    if (a.timeout_seconds)
        delivery.connect_timeout = delivery.write_timeout =
            std::chrono::seconds(*a.timeout_seconds);
    if (const char* lp = std::getenv("EPL2_LP"); lp != nullptr && *lp != '\0')
        delivery.lp_command = lp;
    // A new batch takes its counters' values before anything is sent; a resumed batch goes on
    // with those its journal took.
    const std::vector<Counter> counters = input.label.counters();
    CounterBases bases;
    if (!counters.empty() && !a.counters && !a.resume)
        fail(ExitCode::usage,
             "the label has counters: give --counters FILE, where their next "
             "values are kept from batch to batch");
    if (!counters.empty() && !a.resume)
        bases = reserve_counters(*a.counters, counters, label_count(input));
    const std::unique_ptr<Journal> journal = open_journal(a, input, bases, io.err);
    if (journal && a.resume) bases = journal->state().counters;
    plan.counter_bases = &bases;
    if (journal && journal->state().done) {
        io.err << "eplhost: " << *a.journal
               << " says every record of this batch was confirmed; nothing to print\n";
        return 0;
    }
    plan.skip = journal ? journal->state().confirmed : 0;
    std::optional<Confirmation> confirmation;
    if (a.confirm_every) {
        confirmation.emplace(stream, *a.confirm_every, label_count(input), journal.get(),
                             plan.skip);
        confirmation->begin();
        plan.before_records = [&] { confirmation->before_records(); };
    }
    stream.open(target, io.out, delivery);
    ProgressBar bar(io.err, io.err_is_terminal);
    plan.progress = [&](std::size_t done, std::size_t total) {
        bar.update(done, total);
        stream.pass_on();
        if (confirmation) confirmation->after_record(done);
    };
    try {
        run_job(printer, plan);
        stream.finish();
    } catch (const PrinterFault& fault) {
        io.err << "eplhost: the printer reported " << fault.status.words()
               << (fault.before_records ? " before record " : " after record ")
               << fault.record + (fault.before_records ? 1 : 0) << " was sent; "
               << where_it_stopped(a, confirmation->last_confirmed(), label_count(input)) << "\n";
        return static_cast<int>(ExitCode::printer_fault);
    } catch (const Failure& failure) {
        if (!confirmation || failure.code() != ExitCode::output) throw;
        if (journal) journal->lost(confirmation->last_confirmed(), failure.what());
        fail(ExitCode::output,
             std::string(failure.what()) + "; " +
                 where_it_stopped(a, confirmation->last_confirmed(), label_count(input)));
    }
    if (journal) journal->done();
    if (target.kind != Target::Kind::standard_output) {
        const std::size_t labels = label_count(input) - plan.skip;
        io.err << "eplhost: " << labels << (labels == 1 ? " label" : " labels") << " ("
               << stream.size() << " bytes) for the " << printer.model().name
               << (confirmation ? " printed and confirmed by " : " sent to ") << target.describe()
               << "\n";
    }
    return 0;
}

int dispatch(const Arguments& a, Io& io) {
    if (a.help || a.command.empty() || a.command == "help") {
        (a.command.empty() && !a.help ? io.err : io.out) << usage_text;
        return a.command.empty() && !a.help ? static_cast<int>(ExitCode::usage) : 0;
    }
    if (a.command == "models") {
        if (!a.positional.empty()) fail(ExitCode::usage, "models takes no further arguments");
        const auto module = load_module(a, io);
        list_models(*module, io.out);
        return 0;
    }
    if (a.command == "options") {
        if (!a.positional.empty()) fail(ExitCode::usage, "options takes no further arguments");
        JobBytes ignored;
        PrinterSession session(a, io, ignored, nullptr);
        list_options(session.printer(), io.out);
        return 0;
    }
    if (a.command == "print") return print(a, io);
    if (a.command == "check") return check(a, io);
    fail(ExitCode::usage,
         "unknown command \"" + a.command + "\"; expected models, options, print or check");
}

}  // namespace

int run(const std::vector<std::string>& args, Io& io) {
    try {
        return dispatch(parse_arguments(args), io);
    } catch (const Failure& f) {
        io.err << "eplhost: " << f.what() << "\n";
        if (f.code() == ExitCode::usage) io.err << "run \"eplhost --help\" for the usage\n";
        return static_cast<int>(f.code());
    } catch (const std::exception& e) {
        io.err << "eplhost: internal error: " << e.what() << "\n";
        return static_cast<int>(ExitCode::internal);
    }
}

}  // namespace epl2::eplhost
