// eplhost end to end: the command line, run in-process, drives the real module. Its answers to
// every kind of input are the cases of cases.txt, its jobs and listings compared byte for byte
// with reviewed goldens (golden/); and every kind of output target, the rows of targets.txt, takes
// the whole job or is made to fail: the job is then never reported as sent and leaves nothing
// behind.
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
#include <filesystem>
#include <fstream>
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
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// Asset tags, a batch whose job spans several of the blocks the job goes out in.
std::string tag_records(int count) {
    std::string csv = "asset_id,location\n";
    for (int i = 100000; i < 100000 + count; ++i)
        csv += "AT-" + std::to_string(i) + ",\"Building 4, shelf " + std::to_string(i) + "\"\n";
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
        ::unsetenv("TMPDIR");
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

// ---- data files: cases.txt, targets.txt ------------------------------------------------------

// A case of a data file: "# N" opens it, then come its keys, "key: value" a line; a line that
// starts with "|" goes on with the value before it, as a line of its own.
using Names = std::map<std::string, std::string>;  // $NAMEs and what they stand for

struct Case {
    std::string name{};
    std::multimap<std::string, std::string> keys{};  // a key given again keeps each value, in order
    std::string operator[](const std::string& key) const {
        return keys.contains(key) ? keys.find(key)->second : "";
    }
};

std::string expand(std::string text, const Names& names) {
    for (const auto& [name, value] : names)
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at))
            text.replace(at, name.size(), value);
    return text;
}

std::vector<Case> read_cases(const std::string& file, const Names& names) {
    std::ifstream in(here / file);
    std::vector<Case> cases;
    std::multimap<std::string, std::string>::iterator value;
    for (std::string line; std::getline(in, line);) {
        line = expand(line, names);
        const std::size_t colon = std::min(line.find(':'), line.size());
        if (line.starts_with("|"))
            value->second += line.substr(std::min<std::size_t>(line.size(), 2)) + "\n";
        else if (line.starts_with("# ") && std::isdigit(static_cast<unsigned char>(line[2])))
            cases.push_back({line.substr(2, colon - 2)});
        else if (!line.empty() && !line.starts_with("#"))
            value = cases.back().keys.emplace(line.substr(0, colon),
                                              line.substr(std::min(line.size(), colon + 2)));
    }
    EXPECT_FALSE(cases.empty()) << file;
    return cases;
}

// Arguments are split at spaces outside double quotes.
std::vector<std::string> split(const std::string& arguments) {
    std::istringstream in(arguments);
    std::vector<std::string> words;
    for (std::string word; in >> std::quoted(word);) words.push_back(word);
    return words;
}

TEST_F(EplhostTest, CommandLineCases) {
    const Names folders = {
        {"$DIR", dir.string()}, {"$EXAMPLES", examples.string()}, {"$HERE", here.string()}};
    for (const Case& c : read_cases("cases.txt", folders)) {
        SCOPED_TRACE("case " + c.name);
        for (const auto& [key, text] : c.keys)
            if (key.starts_with("file ")) file(key.substr(5), text);
        file("out.epl", "previous job");
        const std::set<std::string> before = names_in(dir);
        const Result r = run(split(c["run"]), c["terminal"] == "yes");
        EXPECT_EQ(r.status, std::stoi(c["exit"])) << r.err;
        EXPECT_NE(r.err.find(c["error"]), std::string::npos) << r.err;
        const std::string out = "\n" + std::regex_replace(r.out, std::regex("\r\n"), "\n") + "\n";
        for (auto [line, end] = c.keys.equal_range("line"); line != end; ++line)
            EXPECT_NE(out.find("\n" + line->second + "\n"), std::string::npos) << line->second;
        if (!c["golden"].empty())
            epl2::test::compare_with_golden(here / "golden" / c["golden"], r.out);
        if (c["exit"] == "0") continue;
        EXPECT_EQ(read_file(dir / "out.epl"), "previous job");
        EXPECT_EQ(names_in(dir), before) << "a file was left behind";
    }
}

// ---- output targets ---------------------------------------------------------------------------

// A test printer at the other end of a connection; targets.txt tells the ways it treats the job.
class Listener {
   public:
    explicit Listener(const std::string& peer) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        // A small receive window, inherited by the connection: it fills at once.
        const int window = 4096;
        if (peer == "never reads")
            ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&a), length);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length);
        url_ = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
        // A printer that never reads never accepts either: the connection waits in the queue,
        // open, until the listener closes.
        if (peer.empty() || ::listen(socket_, 1) != 0 || peer == "never reads") return;
        thread_ = std::thread([this, all = peer == "reads all"] {
            const int connection = ::accept(socket_, nullptr, nullptr);
            char buffer[4096];
            for (ssize_t n; (all || received_.size() < 100) &&
                            (n = ::recv(connection, buffer, sizeof buffer, 0)) > 0;)
                received_.append(buffer, static_cast<std::size_t>(n));
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
    std::thread thread_;
    std::string received_;
};

// Every row of targets.txt: standard output, a TCP port, lp and a printer port each take the whole
// job or fail without trace; a record that cannot be printed is refused before any is opened.
TEST_F(EplhostTest, EveryTargetTakesTheWholeJobOrFailsWithoutTrace) {
    const auto data = file("many.csv", tag_records(3000)).string();
    file("bad.csv", tag_records(2999) + std::string(300, 'A') + ",here\n");
    const std::string expected = print({(examples / "asset-tag.json").string(), "--data", data});
    ASSERT_GT(expected.size(), 4u << 16);
    const std::string port = (dir / "lp0").string();
    ASSERT_EQ(::mkfifo(port.c_str(), 0600), 0);
    file("plain", "a file, not a folder");
    fs::create_directories(dir / "folder");
    const Names names = {{"$DIR", dir.string()},
                         {"$EXAMPLES", examples.string()},
                         {"$PORT", port},
                         {"$BYTES", std::to_string(expected.size())}};
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the file size limit fails with EFBIG instead
    for (const Case& row : read_cases("targets.txt", names)) {
        SCOPED_TRACE("row " + row.name);
        Listener printer(row["peer"]);
        const Names tcp = {{"$TCP", printer.url()}};
        if (!row["lp"].empty()) use_lp("lp-" + row.name, row["lp"]);
        file("out.epl", "previous job");
        std::string arrived;
        std::thread reader;
        if (row["job"] == port) reader = std::thread([&] { arrived = read_file(port); });
        const std::set<std::string> files = names_in(dir);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t row_limit = row["limit"].empty() ? limit.rlim_cur : std::stoul(row["limit"]);
        const rlimit limited{row_limit, limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
        const Result r = run(split(expand(row["run"], tcp)));
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (reader.joinable()) {
            // Should eplhost never have opened the port, the reader still waits: let it go. (If
            // it has gone, the open fails and closing -1 does nothing.)
            ::close(::open(port.c_str(), O_WRONLY | O_NONBLOCK));
            reader.join();
        }
        EXPECT_EQ(r.status, std::stoi(row["exit"])) << r.err;
        const std::regex error(row["error"].empty() ? "" : expand(row["error"], tcp) + "\n");
        EXPECT_TRUE(std::regex_match(r.err, error)) << r.err;
        const std::map<std::string, std::string> arrivals = {
            {"standard output", r.out}, {"the printer", printer.received()}, {port, arrived}};
        const std::string job = row["job"];
        arrived = arrivals.contains(job) ? arrivals.at(job) : read_file(job);
        EXPECT_TRUE(arrived == (row["exit"] == "0" ? expected : "")) << arrived.size() << " bytes";
        EXPECT_TRUE(job == "standard output" || r.out.empty())
            << "standard output: " << r.out.size();
        if (row["exit"] == "0") continue;
        EXPECT_EQ(names_in(dir), files);
        EXPECT_EQ(read_file(dir / "out.epl"), "previous job");
    }
    EXPECT_TRUE(fs::is_fifo(port));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_FALSE(fs::exists("/proc/eplhost-job.epl"));
}

// Records from a pipe (standard input, say) can be read only once: they print as from a file,
// and the copy eplhost keeps of them, in the temporary folder, goes with the run.
TEST_F(EplhostTest, RecordsFromAPipePrintAsFromAFile) {
    const auto label = (examples / "asset-tag.json").string();
    const std::string csv = tag_records(3000), pipe = (dir / "records").string();
    const std::string expected = print({label, "--data", file("many.csv", csv).string()});
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directories(dir / "temporary");
    ::signal(SIGPIPE, SIG_IGN);  // a run that refuses the records may leave the writer no reader
    const auto print_piped = [&](const std::string& temporary) {
        ::setenv("TMPDIR", (dir / temporary).c_str(), 1);
        std::thread writer([&] { write_file(pipe, csv); });
        const Result r = run({"print", label, "--data", pipe, "-o", (dir / "piped.epl").string()});
        writer.join();
        return r;
    };
    // A copy that cannot be made is refused: nothing prints.
    const Result refused = print_piped("no-such-folder");
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("cannot keep a copy of it to read it again: no temporary folder"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir / "piped.epl"));
    const Result piped = print_piped("temporary");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(read_file(dir / "piped.epl") == expected) << "the piped records print otherwise";
    EXPECT_TRUE(fs::is_empty(dir / "temporary"));
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
    using Values = std::map<std::string, std::string>;
    std::string csv = "\xEF\xBB\xBFid,note\r\n", json = "[";
    for (int i = 0; i < 9000; ++i) {
        csv += "R" + std::to_string(i) + ",\"" +
               std::string(static_cast<std::size_t>(i % 17), 'x') + "say \"\"hi\"\"\nthere\"\r\n";
        json += std::string(i ? "," : "") + R"({"z": )" + std::to_string(i - 4500) +
                R"(, "a": [1], "a": null, "m": "row\n)" + std::to_string(i) + "\"}";
    }
    const auto csv_rows = epl2::eplhost::parse_csv(csv, "r.csv");
    const auto json_rows = epl2::eplhost::parse_json_records(json + "]", "r.json");
    EXPECT_EQ(csv_rows.rows[1].values, (Values{{"id", "R1"}, {"note", "xsay \"hi\"\nthere"}}));
    EXPECT_EQ(csv_rows.rows[1].where, "line 4");
    EXPECT_EQ(json_rows.columns, (std::vector<std::string>{"a", "m", "z"}));
    EXPECT_EQ(json_rows.rows[0].values, (Values{{"a", ""}, {"m", "row\n0"}, {"z", "-4500"}}));
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
    for (const auto& [threshold, line] :
         {std::pair{128, "\x6F\xC1\xFF"}, {201, "\x2F\xC1\xFF"}, {1, "\xC1\xEF\xC1\xFF"}}) {
        const std::string pcx =
            epl2::eplhost::load_image_as_pcx(here / "images" / "four-pixels.png", threshold);
        epl2::eplhost::PcxInfo info;
        EXPECT_EQ(epl2::eplhost::pcx_problem(pcx, &info), "");
        EXPECT_EQ(std::tuple(info.width, info.height, info.bytes_per_line), std::tuple(4, 1, 2));
        EXPECT_EQ(pcx.substr(128), line) << "threshold " << threshold;
    }
}

}  // namespace
