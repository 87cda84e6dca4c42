// The eplview serve program as a printer that answers, and eplhost --confirm, --journal and
// --resume against it: status answers in the formats of preview/README.md, forms and graphics
// kept from job to job within the memory, faults on demand, and batches that stop at a fault
// and resume with every record printed once. The printer runs without --out, so that it logs
// each label with its data instead of drawing it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "printer_fixtures.h"

namespace eplview::test {
namespace {

const std::string nak = "\x15", xoff = "\x13", xon = "\x11";

std::string badge() {
    return contents(fs::path(EPL2_EXAMPLES_DIR) / "asset-badge.pcx");
}

// Forms and graphics stay across connections until the memory (2000 bytes) is full; the
// answers are those the formats give, error 04 is reported unasked and then once by ^ee, and
// copies count as labels printed.
TEST_F(ServeProgram, AnswersStatusQueriesAndKeepsFormsAndGraphicsWithinItsMemory) {
    start({"--memory", "2000"});
    const std::string form = "FS\"F1\"\nA10,10,0,3,1,1,N,\"kept\"\nFE\n";
    {
        Client first(port);
        /* 1*/ EXPECT_EQ(first.ask("^ee\n"), "00\r\n");
        ASSERT_TRUE(first.send_all(form + "GM\"LOGO\"" + std::to_string(badge().size()) + "\n" +
                                   badge() + "\n"));
        /* 2*/ EXPECT_EQ(first.ask("UF\n", 2), "001\r\nF1\r\n");
    }
    Client second(port);
    /* 3*/ EXPECT_EQ(second.ask("UF\n", 2), "001\r\nF1\r\n");
    /* 4*/ EXPECT_EQ(second.ask("UG\n", 2), "001\r\nLOGO\r\n");
    std::string big = "FS\"BIG\"\nA10,10,0,3,1,1,N,\"" + std::string(1000, 'x') + "\"\nFE\n";
    /* 5*/ EXPECT_EQ(second.ask("US\n" + big + "^ee\n"), nak + "04" + xoff + "04\r\n");
    /* 6*/ EXPECT_EQ(second.ask("^ee\n"), "00\r\n");
    /* 7*/ EXPECT_EQ(second.ask("UF\n", 2), "001\r\nF1\r\n");
    const std::string dump = second.ask("N\nq400\nQ200,24\nFR\"F1\"\nP2,3\nUQ\n", 10);
    const std::size_t form_bytes = 24,  // its A line and line end
        graphic_bytes = badge().size();
    for (const std::string& line : std::vector<std::string>{
             "Image buffer size:0010K", "Fmem used: " + std::to_string(form_bytes) + " (bytes)",
             "Gmem used: " + std::to_string(graphic_bytes),
             "Available: " + std::to_string(2000 - form_bytes - graphic_bytes), " R0,0 ZT US",
             "q400 Q200,24", "Labels printed: 6"})
        /* 8*/ EXPECT_NE(dump.find(line + "\r\n"), std::string::npos) << line << "\n" << dump;
    second.close_now();
    ASSERT_TRUE(wait([&] { return jobs_ended == 2; }));
    EXPECT_NE(log.find("job 2: label 1 printed, 6 copies: \"kept\""), std::string::npos) << log;
}

// With the head open nothing prints and ^ee says 11; SIGUSR1 closes it, which error reporting
// announces with XON, and the next label prints.
TEST_F(ServeProgram, ReportsTheHeadOpenUntilItIsClosed) {
    start({"--head-open"});
    Client client(port);
    EXPECT_EQ(client.ask("US\nN\nA1,1,0,1,1,1,N,\"lost\"\nP1\n^ee\n"), "11\r\n");
    operator_signal(SIGUSR1, "faults cleared");
    EXPECT_EQ(client.ask("^ee\n"), xon + "00\r\n");
    EXPECT_EQ(client.ask("N\nA1,1,0,1,1,1,N,\"kept\"\nP1\n^ee\n"), "00\r\n");
    operator_signal(SIGUSR2, "head opened");
    EXPECT_EQ(client.ask("^ee\n"), nak + "11" + xoff + "11\r\n");
    client.close_now();
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    EXPECT_EQ(labels_logged, 1u) << log;
    EXPECT_NE(log.find("label 1 printed, 1 copies: \"kept\""), std::string::npos) << log;
}

struct Outcome {
    int status = -1;
    std::string said;  // standard error and output
};

// eplhost as the tests run it (EPLHOST_COMMAND may start with an emulator).
std::vector<std::string> eplhost_words() {
    std::vector<std::string> words;
    std::istringstream command(EPLHOST_COMMAND);
    for (std::string word; command >> word;) words.push_back(word);
    return words;
}

// Prints a serial-numbered asset tag to the printer with the records and the extra arguments.
class Batch : public ServeProgram {
   protected:
    void SetUp() override {
        ServeProgram::SetUp();
        ASSERT_STRNE(EPLHOST_COMMAND, "") << "EPLHOST_COMMAND is not set (scripts/build.sh)";
        std::ofstream(dir / "tag.json") << R"({"name": "TAG", "width": "2in", "height": "1in",
            "objects": [
              {"type": "box", "x": 10, "y": 10, "width": 1900, "height": 900, "thickness": 20},
              {"type": "text", "x": 50, "y": 250, "font": 2, "text": {"counter":
                {"start": 1, "width": 7, "prefix": "SN-", "name": "serial"}}},
              {"type": "text", "x": 50, "y": 600, "font": 2, "text": {"field": "asset_id"}}]})";
    }
    void write_records(std::size_t count, const std::string& name = "tags.csv") {
        std::ofstream out(dir / name);
        out << "asset_id,location\n";
        for (std::size_t i = 1; i <= count; ++i)
            out << "AT-" << 100000 + i << ",Room " << i << "\n";
    }
    std::vector<std::string> print_arguments(const std::string& extra) const {
        std::vector<std::string> words = eplhost_words();
        for (const std::string& word :
             {std::string("print"), (dir / "tag.json").string(), std::string("--counters"),
              (dir / "counters").string(), std::string("--data"), (dir / "tags.csv").string(),
              std::string("--to"), "tcp://127.0.0.1:" + std::to_string(port),
              std::string("--confirm"), std::string("--journal"), (dir / "journal").string()})
            words.push_back(word);
        std::istringstream more(extra);
        for (std::string word; more >> word;) words.push_back(word == "DIR" ? dir.string() : word);
        return words;
    }
    // Starts eplhost with its standard error into a file; its pid.
    pid_t start_eplhost(const std::string& extra) {
        std::vector<std::string> words = print_arguments(extra);
        pid_t pid = fork();
        if (pid == 0) {
            FILE* said = std::fopen((dir / "said").c_str(), "w");
            dup2(fileno(said), 1);
            dup2(fileno(said), 2);
            std::vector<char*> argv;
            for (auto& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    Outcome finish_eplhost(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                contents(dir / "said")};
    }
    Outcome print(const std::string& extra = "") { return finish_eplhost(start_eplhost(extra)); }
    // Prints and expects the exit status and each of the words in what eplhost said.
    void expect_print(const std::string& extra, int status,
                      std::initializer_list<std::string_view> words) {
        Outcome outcome = print(extra);
        EXPECT_EQ(outcome.status, status) << outcome.said;
        for (std::string_view word : words)
            EXPECT_NE(outcome.said.find(word), std::string::npos) << word << "\n" << outcome.said;
    }

    // How often each asset id (or serial, with prefix SN-) printed, from the printer's log.
    std::map<std::string, int> printed(const std::string& prefix = "AT-") {
        std::map<std::string, int> counts;
        std::lock_guard lock(mutex);
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            const auto id = line.find("\"" + prefix);
            if (line.find(" printed, 1 copies: ") != std::string::npos && id != std::string::npos)
                ++counts[line.substr(id + 1, line.find('"', id + 1) - id - 1)];
        }
        return counts;
    }
    void expect_each_printed_once(std::size_t records) {
        for (const char* prefix : {"AT-", "SN-"}) {
            auto counts = printed(prefix);
            EXPECT_EQ(counts.size(), records) << prefix;
            for (const auto& [id, count] : counts) EXPECT_EQ(count, 1) << id;
        }
    }
};

// Media runs out after label 400 of 1000: eplhost stops at the right record and says how to go
// on; a resume after clearing prints records 401 to 1000, each label with its own serial; a
// resume of a finished batch prints nothing, a journal of other records is refused, and the
// next batch's serials go on from 1001.
TEST_F(Batch, MediaOutAt400ThenResumePrintsEveryRecordOnce) {
    start({"--media-out-after", "400"});
    write_records(1000);
    expect_print("", 7,
                 {"the printer reported out of media (labels or ribbon) (07) after record 401 "
                  "was sent; record 400 of 1000 was the last confirmed",
                  "with --resume to print records 401 to 1000"});
    EXPECT_EQ(printed().size(), 400u);
    operator_signal(SIGUSR1, "faults cleared");
    expect_print("--resume", 0,
                 {"resuming after the printer's fault: records 401 to 1000", "600 labels"});
    ASSERT_TRUE(wait([&] { return jobs_ended == 2; }));
    expect_each_printed_once(1000);

    expect_print("--resume", 0, {"every record of this batch was confirmed; nothing to print"});
    write_records(2);
    expect_print("--resume", 3, {"is the journal of another label or other records"});
    fs::remove(dir / "journal");
    EXPECT_EQ(print().status, 0);
    ASSERT_TRUE(wait([&] { return jobs_ended == 3; }));  // the refused runs never connect
    EXPECT_EQ(printed("SN-").count("SN-0001002"), 1u);
    EXPECT_EQ(printed("SN-").size(), 1002u);
}

// Each fault stops the batch before its first label is confirmed, in the printer's words; a
// dropped connection stops it after the last label confirmed, and a resume prints the rest once.
TEST_F(Batch, HeadOpenMemoryFullPauseAndADroppedConnectionStopTheBatch) {
    write_records(20);
    struct Row {
        std::vector<std::string> fault;
        int status;
        std::string said, said_on_resume;
    };
    const std::string after_fault = "resuming after the printer's fault: records 1 to 20 print now";
    const Row rows[] = {
        /* 1*/ {{"--head-open"},
                7,
                "reported print head open (11) before record 1 was sent; no record was confirmed",
                after_fault},
        /* 2*/
        {{"--memory-full"},
         7,
         "reported insufficient memory to store a form or graphic (04) before record 1 "
         "was sent",
         after_fault},
        /* 3*/ {{"--pause"}, 7, "reported paused (92) before record 1 was sent", after_fault},
        /* 4*/
        {{"--drop-at-label", "5"},
         6,
         "record 4 of 20 was the last confirmed",
         "the previous run lost the printer: record 5 may have printed and prints again"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault[0]);
        start(row.fault);
        fs::remove(dir / "journal");
        expect_print("", row.status, {row.said});
        operator_signal(SIGUSR1, "faults cleared");
        expect_print("--resume", 0, {row.said_on_resume});
        ASSERT_TRUE(wait([&] { return jobs_ended == 2; }));
        expect_each_printed_once(20);
        EXPECT_TRUE(terminate());
        std::lock_guard lock(mutex);
        log.clear();
        jobs_ended = 0;
        port = 0;
        stopped = false;
    }
}

// eplhost killed with SIGKILL in the middle of a batch, as it appended to its journal: the
// resume says which label was in flight, reprints at most that one, and every record prints.
TEST_F(Batch, KilledMidBatchThenResumed) {
    start({"--answer-delay", "20"});
    write_records(60);
    pid_t eplhost = start_eplhost("");
    ASSERT_TRUE(wait([&] { return log.find("label 10 printed") != std::string::npos; }));
    kill(eplhost, SIGKILL);
    EXPECT_EQ(finish_eplhost(eplhost).status, 128 + SIGKILL);
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    // A line the kill cut short is not read: were it, the batch would count as all confirmed.
    std::ofstream(dir / "journal", std::ios::app) << "confirmed 60";
    expect_print("--resume", 0,
                 {"ended without a word from the printer (was it killed?): record ",
                  " may have printed and prints again"});
    ASSERT_TRUE(wait([&] { return jobs_ended == 2; }));
    auto counts = printed();
    EXPECT_EQ(counts.size(), 60u);
    int twice = 0;
    for (const auto& [id, count] : counts) twice += count - 1;
    EXPECT_LE(twice, 1);
    // The label in flight prints again with the same serial: its record's.
    EXPECT_EQ(printed("SN-").size(), 60u);
}

// Batches that share a counters file take turns: while another batch holds the file's lock this
// one sends nothing, and then it takes the values that batch left.
TEST_F(Batch, WaitsForTheBatchThatHoldsTheCounters) {
    start({"--answer-delay", "0"});
    write_records(2);
    const int held = open((dir / "counters.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    pid_t eplhost = start_eplhost("");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(printed().empty());
    std::ofstream(dir / "counters") << "serial 501\n";
    close(held);
    EXPECT_EQ(finish_eplhost(eplhost).status, 0);
    ASSERT_TRUE(wait([&] { return jobs_ended == 1; }));
    auto serials = printed("SN-");
    EXPECT_EQ(serials.size(), 2u);
    EXPECT_TRUE(serials.contains("SN-0000501") && serials.contains("SN-0000502")) << log;
    EXPECT_EQ(contents(dir / "counters"), "serial 503\n");
}

}  // namespace
}  // namespace eplview::test
