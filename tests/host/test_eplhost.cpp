// eplhost end to end: the command line, run in-process, drives the real module. Its answers to
// every kind of input are the cases of cases.txt, its jobs and listings compared byte for byte
// with reviewed goldens (golden/); and every kind of output target is made to fail: the job is
// then never reported as sent and leaves nothing behind.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iomanip>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app.h"
#include "errors.h"
#include "golden_text.h"
#include "images.h"
#include "os.h"
#include "records.h"

namespace fs = std::filesystem;

namespace {

const fs::path examples = fs::path(EPL2_SOURCE_DIR) / "examples";
const fs::path here = EPL2_HOST_TEST_DIR;

std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& file, std::string_view text) {
    std::ofstream(file, std::ios::binary).write(text.data(), std::ssize(text));
}

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Asset tags, a batch whose job spans several of the blocks the job goes out in; the last
// record's id may be given.
std::string tag_records(int count, const std::string& last_id = {}) {
    std::string csv = "asset_id,location\n";
    for (int i = 0; i < count; ++i) {
        const std::string id =
            i + 1 == count && !last_id.empty() ? last_id : "AT-" + std::to_string(100000 + i);
        csv += id + ",\"Building 4, shelf " + std::to_string(i) + "\"\n";
    }
    return csv;
}

struct Result {
    int status = 0;
    std::string out, err;
};

class EplhostTest : public ::testing::Test {
   protected:
    EplhostTest()
        : dir(fs::temp_directory_path() /
              ("eplhost-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~EplhostTest() override {
        ::unsetenv("EPL2_LP");
        fs::remove_all(dir);
    }

    Result run(std::vector<std::string> args, bool terminal = false) {
        // The test's module first: an argument of the test may name another.
        args.insert(args.begin() + (args.empty() ? 0 : 1), {"--module", EPL2_MODULE_PATH});
        std::ostringstream out, err;
        epl2::eplhost::Io io{out, err, terminal, "eplhost"};
        const int status = epl2::eplhost::run(args, io);
        return {status, out.str(), err.str()};
    }

    // The job's bytes through a file; the run must succeed.
    std::string print(std::vector<std::string> args) {
        args.insert(args.begin(), "print");
        args.insert(args.end(), {"--output", (dir / "job.epl").string()});
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return read_file(dir / "job.epl");
    }

    fs::path file(const std::string& name, std::string_view text) {
        write_file(dir / name, text);
        return dir / name;
    }

    // A shell script (or, given a path, a program) stands in for lp from now on.
    void use_lp(const std::string& name, const std::string& body) {
        const fs::path script =
            body.starts_with("/") ? fs::path(body) : file(name, "#!/bin/sh\n" + body);
        if (script.parent_path() == dir) fs::permissions(script, fs::perms::owner_all);
        ::setenv("EPL2_LP", script.c_str(), 1);
    }

    const fs::path dir;
};

// ---- cases.txt --------------------------------------------------------------------------------

struct Case {
    std::string number{};
    std::vector<std::pair<std::string, std::string>> files{};
    std::vector<std::string> args{};
    int exit = 0;
    std::string error{};
    std::vector<std::string> lines{};
    std::string golden{};
    bool terminal = false;
};

std::vector<Case> read_cases(const fs::path& dir) {
    std::ifstream in(here / "cases.txt");
    std::vector<Case> cases;
    std::string* text = nullptr;  // the file or the lines that following lines extend
    std::vector<std::string>* lines = nullptr;
    const std::set<std::string> keys = {"run", "exit", "error", "lines", "golden", "terminal"};
    for (std::string line; std::getline(in, line);) {
        for (const auto& [name, value] : {std::pair{"$DIR", dir.string()},
                                          {"$EXAMPLES", examples.string()},
                                          {"$HERE", here.string()}})
            for (auto at = line.find(name); at != std::string::npos; at = line.find(name, at))
                line.replace(at, std::strlen(name), value);
        const std::string key = line.substr(0, line.find(':'));
        const std::string rest = line.substr(std::min(line.size(), key.size() + 2));
        if (line.starts_with("#")) {
            if (line.size() > 2 && std::isdigit(static_cast<unsigned char>(line[2])))
                cases.push_back({line.substr(2)});
            text = nullptr, lines = nullptr;
        } else if (key.starts_with("file ")) {
            cases.back().files.emplace_back(key.substr(5), rest);
            text = rest.empty() ? &cases.back().files.back().second : nullptr, lines = nullptr;
        } else if (keys.contains(key)) {
            // Arguments are split at spaces outside double quotes.
            std::istringstream words(rest);
            for (std::string w; key == "run" && words >> std::quoted(w);)
                cases.back().args.push_back(w);
            if (key == "exit") cases.back().exit = std::stoi(rest);
            if (key == "error") cases.back().error = rest;
            if (key == "golden") cases.back().golden = rest;
            if (key == "terminal") cases.back().terminal = rest == "yes";
            text = nullptr, lines = key == "lines" ? &cases.back().lines : nullptr;
        } else if (lines && !line.empty()) {
            lines->push_back(line);
        } else if (text) {
            *text += line + "\n";
        }
    }
    return cases;
}

TEST_F(EplhostTest, CommandLineCases) {
    for (const Case& c : read_cases(dir)) {
        SCOPED_TRACE("case " + c.number);
        for (const auto& [name, text] : c.files) file(name, text);
        file("out.epl", "previous job");
        const std::set<std::string> before = names_in(dir);
        const Result r = run(c.args, c.terminal);
        EXPECT_EQ(r.status, c.exit) << r.err;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        std::istringstream out(std::regex_replace(r.out, std::regex("\r\n"), "\n"));
        std::set<std::string> printed;
        for (std::string line; std::getline(out, line);) printed.insert(line);
        for (const std::string& line : c.lines) EXPECT_TRUE(printed.contains(line)) << line;
        if (!c.golden.empty()) epl2::test::compare_with_golden(here / "golden" / c.golden, r.out);
        if (c.exit == 0) continue;
        EXPECT_EQ(read_file(dir / "out.epl"), "previous job");
        EXPECT_EQ(names_in(dir), before) << "a file was left behind";
    }
}

// ---- output targets ---------------------------------------------------------------------------

// How a test printer on the other end of a connection treats the job.
enum class Peer {
    none,          // nobody listens: the port is bound, never listened on
    reads_all,     //
    closes_early,  // reads a little, then closes with the rest unread
    never_reads,   // keeps the connection open and reads nothing until the test ends
};

class Listener {
   public:
    explicit Listener(Peer peer) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        // A small receive window, inherited by the accepted connection: it fills at once.
        const int window = 4096;
        if (peer == Peer::never_reads)
            ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&a), length);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length);
        url_ = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        if (peer == Peer::none || ::listen(socket_, 1) != 0) return;
        thread_ = std::thread([this, peer, released = release_.get_future()] {
            const int connection = ::accept(socket_, nullptr, nullptr);
            if (peer == Peer::never_reads) released.wait();
            char buffer[4096];
            for (ssize_t n = 1; peer != Peer::never_reads && n > 0 &&
                                (peer == Peer::reads_all || received_.size() < 100);) {
                if ((n = ::recv(connection, buffer, sizeof buffer, 0)) > 0)
                    received_.append(buffer, static_cast<std::size_t>(n));
            }
            ::close(connection);
        });
    }
    ~Listener() {
        received();
        ::close(socket_);
    }
    [[nodiscard]] const std::string& url() const { return url_; }
    const std::string& received() {
        if (!thread_.joinable()) return received_;
        release_.set_value();
        // Nobody connected, and nobody will: wake the accept up. A connection that is waiting
        // to be accepted keeps the port open.
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 0) == 0) ::shutdown(socket_, SHUT_RDWR);
        thread_.join();
        return received_;
    }

   private:
    int socket_;
    std::string url_;
    std::promise<void> release_;
    std::thread thread_;
    std::string received_;
};

// Standard output, a TCP port, lp and a printer port (a pipe or device, written in place) each
// take exactly the bytes a file takes, however many blocks they span, and only then is the job
// reported sent. A printer that refuses, closes mid-job or stops reading; files that cannot be
// made (even by root: /proc takes no new files, a plain file is no folder, a folder cannot be
// replaced by a file, /dev/full is always full, a file size limit fills the disk mid-job); an lp
// that fails, stops reading or cannot run: exit status 6, a message naming the target and the
// cause, and no file left behind or replaced. A record that cannot be printed, last in the
// batch: refused before any target is opened, whichever it is.
TEST_F(EplhostTest, EveryTargetTakesTheWholeJobOrFailsWithoutTrace) {
    const auto label = (examples / "asset-tag.json").string();
    const auto data = file("many.csv", tag_records(3000)).string();
    const auto bad = file("bad.csv", tag_records(3000, std::string(300, 'A'))).string();
    const std::string expected = print({label, "--data", data});
    ASSERT_GT(expected.size(), 4u << 16);
    const std::string port = (dir / "lp0").string(), out = file("out.epl", "previous job");
    file("plain", "a file, not a folder");
    fs::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo(port.c_str(), 0600), 0);
    struct Row {
        std::string target;  // after --to or --output; "tcp": the peer's url; "": standard output
        Peer peer = Peer::none;
        std::string lp{};  // lp's stand-in
        int status = 0;
        std::string cause{};    // a regular expression, after the target for status 6
        rlim_t file_limit = 0;  // bytes a file may hold; 0: as before
    };
    const std::string bad_record = ".+/bad.csv line 3001, .+: is 300 characters long.+\n";
    const Row rows[] = {
        /* 0*/ {""},
        /* 1*/ {"tcp", Peer::reads_all},
        /* 2*/ {"lp:Zebra_LP2844", Peer::none, R"(echo "$@" >"$0.args"; cat >"$0.job")"},
        /* 3*/ {port},
        /* 4*/ {"tcp", Peer::none, "", 6, "cannot connect: Connection refused; nothing was sent\n"},
        /* 5*/
        {"tcp", Peer::closes_early, "", 6,
         "(the connection failed after [0-9]+ bytes|the printer closed the connection before "
         "taking the whole job): Connection reset by peer\n"},
        /* 6*/
        {"tcp", Peer::never_reads, "", 6,
         "(the printer stopped taking data \\(write timeout\\) after [0-9]+ bytes|[0-9]+ bytes "
         "were never acknowledged by the printer \\(write timeout\\))\n"},
        /* 7*/
        {"/proc/eplhost-job.epl", Peer::none, "", 6,
         "cannot create /proc/eplhost-job.epl.tmp-[0-9]+ \\(.+\\); nothing was written\n"},
        /* 8*/
        {(dir / "plain" / "job.epl").string(), Peer::none, "", 6,
         "cannot create the folder " + (dir / "plain").string() + ": .+\n"},
        /* 9*/
        {(dir / "folder").string(), Peer::none, "", 6,
         "cannot move the job into place: Is a directory\n"},
        /*10*/ {"/dev/full", Peer::none, "", 6, "writing failed \\(No space left on device\\)\n"},
        /*11*/
        {out, Peer::none, "", 6,
         "writing " + out + "\\.tmp-[0-9]+ failed \\(File too large\\); it was removed and " + out +
             " left as it was\n",
         1024},
        /*12*/
        {"lp:Zebra", Peer::none, "cat >/dev/null; exit 1", 6, ".*/lp-12 failed \\(status 1\\)\n"},
        /*13*/ {"lp:Zebra", Peer::none, "exit 1", 6, ".*/lp-13 failed \\(status 1\\)\n"},
        /*14*/ {"lp:Zebra", Peer::none, "/nonexistent/lp", 6, "cannot run /nonexistent/lp\n"},
        /*15*/ {"", Peer::none, "", 3, bad_record},
        /*16*/ {"tcp", Peer::reads_all, "", 3, bad_record},
        /*17*/ {"lp:Zebra", Peer::none, R"(cat >"$0.job")", 3, bad_record},
        /*18*/ {(dir / "new" / "job.epl").string(), Peer::none, "", 3, bad_record},
    };
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the file size limit fails with EFBIG instead
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const Row& row = rows[i];
        Listener printer(row.peer);
        const std::string target = row.target == "tcp" ? printer.url() : row.target;
        std::vector<std::string> args = {"print", label, "--data", row.status == 3 ? bad : data};
        args.insert(args.end(), {"--timeout", "1"});
        if (!target.empty()) args.insert(args.end(), {target[0] == '/' ? "-o" : "--to", target});
        if (!row.lp.empty()) use_lp("lp-" + std::to_string(i), row.lp);
        std::string arrived;
        std::thread reader;
        if (target == port) reader = std::thread([&] { arrived = read_file(port); });
        const std::set<std::string> files = names_in(dir);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit row_limit{row.file_limit ? row.file_limit : limit.rlim_cur, limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &row_limit);
        const Result r = run(args);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (reader.joinable()) {
            // Should eplhost never have opened the port, the reader still waits: let it go.
            if (const int release = ::open(port.c_str(), O_WRONLY | O_NONBLOCK); release >= 0)
                ::close(release);
            reader.join();
        }
        EXPECT_EQ(r.status, row.status) << r.err;
        if (row.status == 0) {
            EXPECT_EQ(r.err, target.empty()
                                 ? ""
                                 : "eplhost: 3000 labels (" + std::to_string(expected.size()) +
                                       " bytes) for the Zebra LP 2844 sent to " + target + "\n");
            arrived = target.empty()           ? r.out
                      : row.peer != Peer::none ? printer.received()
                      : !row.lp.empty()        ? read_file(dir / "lp-2.job")
                                               : arrived;
            EXPECT_TRUE(arrived == expected) << arrived.size() << " bytes";
            continue;
        }
        const std::string where = row.status == 6 ? target + ": " : "";
        EXPECT_TRUE(std::regex_search(r.err, std::regex("^eplhost: " + where + row.cause + "$")))
            << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(names_in(dir), files);
        EXPECT_TRUE(row.peer != Peer::reads_all || printer.received().empty());
    }
    EXPECT_EQ(read_file(dir / "lp-2.args"), "-d Zebra_LP2844 -o raw\n");
    EXPECT_TRUE(fs::is_fifo(port));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(read_file(out), "previous job");
    EXPECT_FALSE(fs::exists("/proc/eplhost-job.epl"));
}

// Records from a pipe (standard input, say) can be read only once: they print as from a file,
// and the copy eplhost keeps of them, in the temporary folder, goes with the run.
TEST_F(EplhostTest, RecordsFromAPipePrintAsFromAFile) {
    const auto label = (examples / "asset-tag.json").string();
    const std::string csv = tag_records(3000);
    const std::string expected = print({label, "--data", file("many.csv", csv).string()});
    const fs::path pipe = dir / "records", temporary = dir / "temporary";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directories(temporary);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    std::thread writer([&] { write_file(pipe, csv); });
    const std::string piped = print({label, "--data", pipe.string()});
    writer.join();
    ::unsetenv("TMPDIR");
    EXPECT_TRUE(piped == expected) << piped.size() << " bytes";
    EXPECT_TRUE(fs::is_empty(temporary));
    // A copy that cannot be made is refused: nothing prints. The writer may find the pipe closed.
    ::signal(SIGPIPE, SIG_IGN);
    ::setenv("TMPDIR", (dir / "no-such-folder").c_str(), 1);
    std::thread again([&] { write_file(pipe, csv); });
    const Result refused =
        run({"print", label, "--data", pipe.string(), "-o", (dir / "unused.epl").string()});
    again.join();
    ::unsetenv("TMPDIR");
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("cannot keep a copy of it to read it again: no temporary folder"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir / "unused.epl"));
}

// Temporary files are only ever new ones: neither a file nor a link under the name is opened.
TEST_F(EplhostTest, TemporaryFilesNeverOpenWhatExists) {
    const fs::path taken = file("taken", "kept"), link = dir / "link";
    fs::create_symlink(dir / "elsewhere", link);
    for (const fs::path& name : {taken, link}) {
        EXPECT_EQ(epl2::os::create_new_file(name), nullptr) << name;
        EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_EQ(read_file(taken), "kept");
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

// ---- input pieces -----------------------------------------------------------------------------

// A records file is read in blocks: rows of every length put each of a doubled quote, a
// closing quote, a CR LF and a quoted line break across a block's edge somewhere, and the file
// reads as the text does in one piece. JSON keys come in order of name, the last of a repeated
// key winning; no record after a faulty one is handed on.
TEST_F(EplhostTest, RecordsReadInBlocksAsInOnePiece) {
    using epl2::eplhost::Record;
    std::string csv = "\xEF\xBB\xBFid,note\r\n", json = "[";
    for (int i = 0; i < 9000; ++i) {
        csv += "R" + std::to_string(i) + ",\"" +
               std::string(static_cast<std::size_t>(i % 17), 'x') + "say \"\"hi\"\"\nthere\"\r\n";
        json += std::string(i ? "," : "") + R"({"z": )" + std::to_string(i - 4500) +
                R"(, "a": [1], "a": null, "m": "row\n)" + std::to_string(i) + "\"}";
    }
    const auto csv_rows = epl2::eplhost::parse_csv(csv, "r.csv");
    const auto json_rows = epl2::eplhost::parse_json_records(json + "]", "r.json");
    EXPECT_EQ(csv_rows.rows[1].values,
              (std::map<std::string, std::string>{{"id", "R1"}, {"note", "xsay \"hi\"\nthere"}}));
    EXPECT_EQ(csv_rows.rows[1].where, "line 4");
    EXPECT_EQ(json_rows.columns, (std::vector<std::string>{"a", "m", "z"}));
    EXPECT_EQ(json_rows.rows[0].values,
              (std::map<std::string, std::string>{{"a", ""}, {"m", "row\n0"}, {"z", "-4500"}}));
    for (const auto& [name, text, whole] :
         {std::tuple{"r.csv", csv, &csv_rows}, std::tuple{"r.json", json + "]", &json_rows}}) {
        ASSERT_GT(text.size(), 4u << 16);
        std::size_t count = 0;
        const auto summary = epl2::eplhost::read_records(file(name, text), [&](const Record& r) {
            ASSERT_EQ(r.number, count + 1);
            ASSERT_EQ(r.where, whole->rows[count].where);
            ASSERT_EQ(r.values, whole->rows[count++].values);
        });
        EXPECT_EQ(count, 9000u);
        EXPECT_EQ(summary.count, 9000u);
        EXPECT_EQ(summary.columns, whole->columns);
    }
    std::size_t handed_on = 0;
    EXPECT_THROW(epl2::eplhost::read_records(file("bad.csv", "id\n1\n2,3\n4\n"),
                                             [&](const Record&) { ++handed_on; }),
                 epl2::eplhost::Failure);
    EXPECT_EQ(handed_on, 1u);
}

TEST(EplhostImages, PngBecomesOneBitPcxByThreshold) {
    // The PNG's four pixels: dark grey, light grey, black but transparent, black. The line: the
    // pixel byte (1 = white, the pixels its top bits), a run of one where its top bits are set,
    // then the padding byte as a run of one.
    const std::pair<int, std::string> rows[] = {
        /* 0*/ {128, "\x6F\xC1\xFF"}, /* 1*/ {201, "\x2F\xC1\xFF"}, /* 2*/ {1, "\xC1\xEF\xC1\xFF"}};
    for (const auto& [threshold, line] : rows) {
        const std::string pcx =
            epl2::eplhost::load_image_as_pcx(here / "images" / "four-pixels.png", threshold);
        epl2::eplhost::PcxInfo info;
        EXPECT_EQ(epl2::eplhost::pcx_problem(pcx, &info), "");
        EXPECT_EQ(std::tuple(info.width, info.height, info.bytes_per_line), std::tuple(4, 1, 2));
        EXPECT_EQ(pcx.substr(128), line) << "threshold " << threshold;
    }
}

}  // namespace
