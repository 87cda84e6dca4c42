// eplhost end to end: the command line, run in-process, drives the real module and its bytes
// are compared with reviewed goldens; bad input of every kind ends in a clear message, a
// documented exit status and nothing at the output target.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app.h"
#include "images.h"
#include "records.h"
#include "units.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

const fs::path examples = fs::path(EPL2_SOURCE_DIR) / "examples";
const fs::path goldens = fs::path(EPL2_HOST_TEST_DIR) / "golden";

struct Result {
    int status = 0;
    std::string out, err;
};

std::string read_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

class EplhostTest : public ::testing::Test {
   protected:
    EplhostTest() {
        dir = fs::temp_directory_path() /
              ("eplhost-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~EplhostTest() override { fs::remove_all(dir); }

    Result run(std::vector<std::string> args, bool terminal = false) {
        // The test's module first: an argument of the test may name another.
        args.insert(args.begin() + (args.empty() ? 0 : 1), {"--module", EPL2_MODULE_PATH});
        std::ostringstream out, err;
        epl2::eplhost::Io io{out, err, terminal, "eplhost"};
        Result r;
        r.status = epl2::eplhost::run(args, io);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    // Prints and returns the job's bytes; the run must succeed.
    std::string print(std::vector<std::string> args) {
        const fs::path out = dir / "job.epl";
        args.insert(args.begin(), "print");
        args.insert(args.end(), {"--output", out.string()});
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return read_file(out);
    }

    fs::path file(const std::string& name, std::string_view text) {
        write_file(dir / name, text);
        return dir / name;
    }

    fs::path dir;
};

// The job's command lines without their CR LF separators.
std::vector<std::string> lines_of(const std::string& job) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : job) {
        if (c == '\r') continue;
        if (c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void compare_with_golden(const std::string& name, const std::string& job) {
    const fs::path golden = goldens / name;
    if (const char* update = std::getenv("EPL2_UPDATE_GOLDENS");
        update != nullptr && std::string(update) == "1") {
        write_file(golden, job);
        return;
    }
    ASSERT_TRUE(fs::exists(golden))
        << golden << " is missing; run with EPL2_UPDATE_GOLDENS=1 and review it";
    EXPECT_EQ(job, read_file(golden)) << "differs from " << golden;
}

// ---- the examples against their reviewed goldens ---------------------------------------------

TEST_F(EplhostTest, ExamplesMatchTheirGoldens) {
    compare_with_golden("shipping-4x6.epl", print({(examples / "shipping-4x6.json").string()}));
    compare_with_golden("product-2x1.epl", print({(examples / "product-2x1.json").string()}));
    compare_with_golden("asset-tags.epl", print({(examples / "asset-tag.json").string(), "--data",
                                                 (examples / "asset-tags.csv").string()}));
    // PrinterType 8 keeps no stored form: the same tags, every object drawn for every record.
    compare_with_golden(
        "asset-tags-c4.epl",
        print({(examples / "asset-tag.json").string(), "--data",
               (examples / "asset-tags.csv").string(), "--model", "Intermec EasyCoder C4"}));
}

// ---- the pass plan ------------------------------------------------------------------------------

TEST_F(EplhostTest, EachRecordSendsOnlyTheRecallItsVariablesAndThePrintCommand) {
    const auto label = (examples / "asset-tag.json").string();
    const auto lines =
        lines_of(print({label, "--data", (examples / "asset-tags.csv").string(), "--copies", "2"}));
    const auto first_recall = std::find(lines.begin(), lines.end(), "FR\"ASSET\"");
    ASSERT_NE(first_recall, lines.end());
    // The form is built once, before the first record, and holds the fixed objects only.
    const std::vector<std::string> form(std::find(lines.begin(), lines.end(), "FS\"ASSET\""),
                                        first_recall);
    ASSERT_FALSE(form.empty());
    EXPECT_EQ(form.back(), "FE");
    EXPECT_EQ(std::count_if(form.begin(), form.end(),
                            [](const auto& l) { return l.find("AT-0001") != std::string::npos; }),
              0);
    const std::vector<std::string> ids = {"AT-000101", "AT-000102", "AT-000103", "AT-000104",
                                          "AT-000105"};
    auto at = first_recall;
    for (std::size_t r = 0; r < ids.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r + 1));
        ASSERT_LE(at + 5, lines.end());
        EXPECT_EQ(at[0], "FR\"ASSET\"");
        EXPECT_EQ(at[1], "A319,75,0,3,1,1,N,\"" + ids[r] + "\"");
        EXPECT_EQ(at[2], "B319,112,0,1,2,4,81,N,\"" + ids[r] + "\"");
        EXPECT_TRUE(at[3].starts_with("A207,223,0,1,1,1,N,\""));
        EXPECT_EQ(at[4], "P2");
        at += 5;
    }
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*at, "FK\"ASSET\"");
    EXPECT_EQ(at + 1, lines.end());
}

TEST_F(EplhostTest, JsonRecordsPrintLikeCsvRecords) {
    const auto label = (examples / "asset-tag.json").string();
    const auto json =
        file("tags.json", R"([{"asset_id": "AT-000101", "location": "Building 4 / Lab 2"},
        {"asset_id": "AT-000102", "location": "Building 4 / Lab 2"}, {"asset_id": "AT-000103", "location": "Warehouse, bay 7"},
        {"asset_id": "AT-000104", "location": null}, {"asset_id": "AT-000105", "location": "Front office"}])");
    EXPECT_EQ(print({label, "--data", json.string()}),
              print({label, "--data", (examples / "asset-tags.csv").string()}));
}

TEST_F(EplhostTest, FieldDefaultsPrintOneLabelWithoutRecords) {
    const auto label = file("l.json", R"({"width": 2000, "height": 1000, "objects": [
        {"type": "text", "x": 100, "y": 300, "text": {"field": "name", "default": "SAMPLE"}}]})");
    const auto lines = lines_of(print({label.string()}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "A232,51,0,1,1,1,N,\"SAMPLE\""), lines.end());
}

TEST_F(EplhostTest, ProgressBarOnATerminalForLongBatches) {
    std::string csv = "asset_id,location\n";
    for (int i = 0; i < 150; ++i) csv += "AT-" + std::to_string(100000 + i) + ",here\n";
    const auto data = file("many.csv", csv);
    const auto out = (dir / "many.epl").string();
    const auto label = (examples / "asset-tag.json").string();
    Result r = run({"print", label, "--data", data.string(), "--output", out}, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("] 150/150\n"), std::string::npos) << r.err;
    r = run({"print", label, "--data", data.string(), "--output", out}, false);
    EXPECT_EQ(r.err.find("150/150"), std::string::npos);
}

// ---- models and options -------------------------------------------------------------------------

TEST_F(EplhostTest, ModelsListsTheModuleTable) {
    const Result r = run({"models"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 52);  // heading and 51 models
    EXPECT_NE(r.out.find("   46  Zebra       Zebra LP 2844                           11  203\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("   15  Zadivi      Zadivi TLP/LP 3642                      -1  300\n"),
              std::string::npos)
        << r.out;
}

TEST_F(EplhostTest, OptionsShowTheDialogAsGetsetupAnswers) {
    const Result r = run({"options", "--model", "zebra lp 2844", "--set", "Darkness=12"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Zebra LP 2844 (index 46, PrinterType 11, 203 dpi)"), std::string::npos);
    EXPECT_NE(
        r.out.find("  0  Darkness:  [number, id 0, width 2]  current 12\n       range 0 to 15\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(
        r.out.find("  1  Print speed:  [choice, id 1, width 0]  current 0 \"2 inches/sec\"\n"),
        std::string::npos);
    EXPECT_NE(r.out.find("range 0.5in to 22in (500 to 22000 thousandths of an inch)"),
              std::string::npos);
}

TEST_F(EplhostTest, SetOptionsReachTheJobHeader) {
    const auto label = (examples / "product-2x1.json").string();
    struct Row {
        std::vector<std::string> sets;
        std::vector<std::string> expected;  // header lines
    };
    const Row rows[] = {
        /*  0*/ {{}, {"D10", "S3"}},  // the label's own printer section
        /*  1*/ {{"--set", "Darkness=12"}, {"D12", "S3"}},
        /*  2*/ {{"--set", "darkness=3", "--set", "Print speed=4 inches/sec"}, {"D3", "S4"}},
        /*  3*/ {{"--set", "0=7", "--set", "1=0"}, {"D7", "S2"}},  // by option id; choice by
                                                                   // position
        /*  4*/ {{"--set", "Print Direction=Right side up"}, {"ZB"}},
        /*  5*/ {{"--set", "Sensor Type=Continuous"}, {"Q41,0", "P1"}},     // length sent with the
                                                                            // print
        /*  6*/ {{"--set", "Darkness=12", "--set", "Darkness=1"}, {"D1"}},  // the last one wins
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        std::vector<std::string> args = {label};
        args.insert(args.end(), rows[i].sets.begin(), rows[i].sets.end());
        const auto lines = lines_of(print(args));
        for (const auto& line : rows[i].expected)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

TEST_F(EplhostTest, ModelsByIndexNameAndPrefix) {
    const auto label = (examples / "product-2x1.json").string();
    const std::string by_index = print({label, "--model", "47"});
    EXPECT_EQ(print({label, "--model", "ZEBRA TLP 2844"}), by_index);
    EXPECT_EQ(print({label, "--model", "Zebra TLP"}), by_index);
    EXPECT_EQ(print({label}), by_index);  // the label names the same model
    EXPECT_NE(print({label, "--model", "Intermec EasyCoder C4"}), by_index);
}

// ---- bad input: a message, an exit status and nothing at the target
// ------------------------------

TEST_F(EplhostTest, BadInputIsRefusedAndNothingIsWritten) {
    const std::string objects = R"("objects": [{"type": "text", "x": 100, "y": 300, "text": "A"}])";
    const std::string plain = R"({"width": 2000, "height": 1000, )" + objects + "}";
    file("garbage.pcx", std::string(200, 'x'));
    file("short.pcx", read_file(examples / "asset-badge.pcx").substr(0, 300));
    file("tags.csv", "asset_id,location\nAT-1,here\n,there\n");
    file("ragged.csv", "asset_id,location\nAT-1,here,extra\n");
    file("header-only.csv", "asset_id,location\n");
    file("broken.json", "[{\"asset_id\": }]");
    struct Row {
        std::string label;
        std::vector<std::string> extra;
        int status;
        std::string message;
    };
    const auto v = [&](const std::string& list) {
        return R"({"width": 2000, "height": 1000, "objects": [)" + list + "]}";
    };
    const Row rows[] = {
        /*  0*/ {"{\n  \"width\": 2000,\n  \"height\" 1000\n}",
                 {},
                 3,
                 "label.json: malformed JSON at line 3, column 15"},
        /*  1*/ {R"({"width": 2000, "objects": []})", {}, 3, "label: field \"height\": missing"},
        /*  2*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": "A"}, {"type": "text", "x": 1, "y": 2, "text": "B", "font": 9})"),
         {},
         3,
         "objects[1] (text): field \"font\": expected a font index 0 to 4 or a font name"},
        /*  3*/
        {v(R"({"type": "circle"})"),
         {},
         3,
         "objects[0] (circle): field \"type\": \"circle\" is unknown"},
        /*  4*/
        {v(R"({"type": "line", "x": "1 furlong", "y": 0, "length": 100})"),
         {},
         3,
         "objects[0] (line): field \"x\": expected a length"},
        /*  5*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": "A", "rotation": 45})"),
         {},
         3,
         "expected 0, 90, 180 or 270"},
        /*  6*/
        {v(R"({"type": "text", "x": 1, "y": 2, "txt": "A"})"),
         {},
         3,
         "field \"txt\": unknown field"},
        /*  7*/
        {v(R"({"type": "barcode", "x": 1, "y": 2, "symbology": "Code 129", "data": "1"})"),
         {},
         3,
         "\"Code 129\" is not supported; expected one of UPC-A"},
        /*  8*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": "A", "font": "9 X 99"})"),
         {},
         3,
         "objects[0] (text): field \"font\": the Zebra LP 2844 has no font \"9 X 99\"; its fonts "
         "are \"8 X 12\""},
        /*  9*/
        {plain,
         {"--model", "Zebra LP 2845"},
         4,
         "unknown model \"Zebra LP 2845\"; did you mean \"Zebra LP 2844\""},
        /* 10*/
        {plain, {"--model", "Zebra"}, 4, "is ambiguous"},
        /* 11*/
        {plain,
         {"--set", "Darknes=3"},
         4,
         "has no setup option \"Darknes\"; did you mean \"Darkness\""},
        /* 12*/
        {plain,
         {"--set", "Darkness=16"},
         4,
         "option \"Darkness\": \"16\" is not accepted by the Zebra LP 2844; expected 0 to 15 (the "
         "module would use its default, 5)"},
        /* 13*/
        {plain,
         {"--set", "Print speed=9 inches/sec"},
         4,
         "expected one of 0 \"2 inches/sec\", 1 \"3 inches/sec\", 2 \"4 inches/sec\""},
        /* 14*/
        {R"({"width": 2000, "height": 1000, "printer": {"options": {"Default label height": "30in"}}, )" +
             objects + "}",
         {},
         4,
         "expected 0.5in to 22in"},
        /* 15*/
        {v(R"({"type": "image", "x": 1, "y": 2, "file": "nowhere.png"})"),
         {},
         3,
         "objects[0] (image): field \"file\": image file " + (dir / "nowhere.png").string() +
             " cannot be read"},
        /* 16*/
        {v(R"({"type": "image", "x": 1, "y": 2, "file": "garbage.pcx"})"),
         {},
         3,
         "is not a usable PCX file: it is not a run-length"},
        /* 17*/
        {v(R"({"type": "image", "x": 1, "y": 2, "file": "short.pcx"})"),
         {},
         3,
         "its image data ends after"},
        /* 18*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "asset"}})"),
         {"--data", (dir / "tags.csv").string()},
         3,
         "tags.csv: the label reads column \"asset\", which is missing; did you mean "
         "\"asset_id\"?"},
        /* 19*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "asset_id"}})"),
         {"--data", (dir / "tags.csv").string()},
         3,
         "tags.csv line 3, " + (dir / "label.json").string() +
             ": objects[0] (text): field \"text\": column \"asset_id\" is empty"},
        /* 20*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "asset_id"}})"),
         {"--data", (dir / "ragged.csv").string()},
         3,
         "ragged.csv line 2: 3 fields, but the header names 2 columns"},
        /* 21*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "asset_id"}})"),
         {},
         3,
         "reads column \"asset_id\" and has no default; give the records with --data"},
        /* 22*/
        {v(R"({"type": "barcode", "x": 1, "y": 2, "symbology": "SSCC", "data": "12345"})"),
         {},
         3,
         "an SSCC is 18 digits"},
        /* 23*/
        {v(R"({"type": "barcode", "x": 1, "y": 2, "symbology": "UPC-A", "data": "0360002914A"})"),
         {},
         3,
         "UPC-A encodes digits only"},
        /* 24*/
        {v(R"({"type": "maxicode", "x": 1, "y": 2, "postal_code": "90210", "country": "US", "service_class": "001"})"),
         {},
         3,
         "field \"country\": expected a three-digit country code"},
        /* 25*/
        {R"({"width": "5in", "height": 1000, "objects": []})",
         {},
         3,
         "the label is 5in wide; the Zebra LP 2844 prints at most 4.09in"},
        /* 26*/
        {v(R"({"type": "barcode", "x": 1, "y": 2, "symbology": "Code 39", "data": "A\"B"})"),
         {},
         3,
         "cannot hold a double quote"},
        /* 27*/
        {plain, {"--copies", "0"}, 2, "--copies expects a whole number"},
        /* 28*/ {plain, {"--set", "18=1"}, 4, "the Zebra LP 2844 has no setup option with id 18"},
        /* 29*/
        {plain,
         {"--module", "/nonexistent/epl2drv.so"},
         5,
         "cannot load driver module /nonexistent/epl2drv.so"},
        /* 30*/
        {v(R"({"type": "line", "x": 1e12, "y": 0, "length": 100})"),
         {},
         3,
         "field \"x\": expected a length within 1000in"},
        /* 31*/
        {plain,
         {"--data", (dir / "header-only.csv").string()},
         3,
         "header-only.csv: holds no records"},
        /* 32*/
        {plain,
         {"--data", (dir / "broken.json").string()},
         3,
         "broken.json: malformed JSON at line 1, column"},
    };
    const fs::path out = dir / "out.epl";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        write_file(out, "previous job");
        const fs::path label = file("label.json", rows[i].label);
        std::vector<std::string> args = {"print", label.string(), "--output", out.string()};
        args.insert(args.end(), rows[i].extra.begin(), rows[i].extra.end());
        const Result r = run(args);
        EXPECT_EQ(r.status, rows[i].status) << r.err;
        EXPECT_NE(r.err.find(rows[i].message), std::string::npos) << r.err;
        EXPECT_EQ(read_file(out), "previous job");
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
        EXPECT_EQ(files, 8u) << "a temporary file was left behind";
    }
}

// ---- output targets -----------------------------------------------------------------------------

sockaddr_in loopback(unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

class Listener {
   public:
    // close_after: bytes to read before closing early; -1 reads to the end.
    explicit Listener(long close_after) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(0);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(socket_, 1);
        socklen_t length = sizeof a;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, close_after] {
            const int peer = ::accept(socket_, nullptr, nullptr);
            char buffer[4096];
            for (;;) {
                if (close_after >= 0 && static_cast<long>(received_.size()) >= close_after) break;
                const auto n = ::recv(peer, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                received_.append(buffer, static_cast<std::size_t>(n));
            }
            ::close(peer);
        });
    }
    ~Listener() {
        if (thread_.joinable()) thread_.join();
        ::close(socket_);
    }
    [[nodiscard]] std::string url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    std::string received() {
        thread_.join();
        return received_;
    }

   private:
    int socket_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
    std::string received_;
};

TEST_F(EplhostTest, TcpTargetSendsTheWholeJob) {
    const auto label = (examples / "shipping-4x6.json").string();
    const std::string expected = print({label});
    Listener printer(-1);
    const Result r = run({"print", label, "--to", printer.url()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("sent to " + printer.url()), std::string::npos) << r.err;
    EXPECT_EQ(printer.received(), expected);
}

TEST_F(EplhostTest, TcpPeerThatClosesEarlyFailsTheJob) {
    std::string csv = "asset_id,location\n";
    for (int i = 0; i < 3000; ++i)
        csv += "AT-" + std::to_string(100000 + i) + ",Building 4 / Lab 2 / shelf " +
               std::to_string(i) + "\n";
    const auto data = file("many.csv", csv);
    Listener printer(100);
    const Result r = run({"print", (examples / "asset-tag.json").string(), "--data", data.string(),
                          "--to", printer.url()});
    EXPECT_EQ(r.status, 6) << r.err;
    EXPECT_NE(r.err.find("eplhost: " + printer.url() + ": "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("sent to"), std::string::npos) << r.err;
    EXPECT_LT(printer.received().size(), 5000u);
}

TEST_F(EplhostTest, TcpRefusedConnectionSendsNothing) {
    unsigned short port = 0;
    {
        Listener closed(0);  // a port that was just free: nobody listens there any more
        port = static_cast<unsigned short>(
            std::stoi(closed.url().substr(closed.url().rfind(':') + 1)));
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);  // let the listener's accept return
        const sockaddr_in a = loopback(port);
        ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a);
        ::close(s);
    }
    const Result r = run({"print", (examples / "product-2x1.json").string(), "--to",
                          "tcp://127.0.0.1:" + std::to_string(port), "--timeout", "2"});
    EXPECT_EQ(r.status, 6) << r.err;
    EXPECT_NE(r.err.find("cannot connect"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
}

TEST_F(EplhostTest, StandardOutputCarriesTheJobAlone) {
    const auto label = (examples / "product-2x1.json").string();
    const Result r = run({"print", label});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, print({label}));
    EXPECT_EQ(r.err, "");
}

TEST_F(EplhostTest, LpTargetRunsLpRawWithTheJob) {
    const auto label = (examples / "product-2x1.json").string();
    const fs::path script = file(
        "lp",
        "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/args\"\ncat > \"$(dirname \"$0\")/job\"\n");
    fs::permissions(script, fs::perms::owner_all);
    ::setenv("EPL2_LP", script.c_str(), 1);
    Result r = run({"print", label, "--to", "lp:Zebra_LP2844"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file(dir / "args"), "-d Zebra_LP2844 -o raw\n");
    EXPECT_EQ(read_file(dir / "job"), print({label}));
    const fs::path failing = file("lp-fails",
                                  "#!/bin/sh\ncat > /dev/null\necho 'lp: The printer or class does "
                                  "not exist.' >&2\nexit 1\n");
    fs::permissions(failing, fs::perms::owner_all);
    ::setenv("EPL2_LP", failing.c_str(), 1);
    r = run({"print", label, "--to", "lp:Nowhere"});
    EXPECT_EQ(r.status, 6);
    EXPECT_NE(r.err.find("eplhost: lp:Nowhere: " + failing.string() + " failed (status 1)"),
              std::string::npos)
        << r.err;
    ::unsetenv("EPL2_LP");
}

// ---- input pieces -------------------------------------------------------------------------------

TEST(EplhostUnits, Lengths) {
    using epl2::eplhost::parse_length;
    struct Row {
        const char* text;
        std::optional<std::int32_t> thousandths;
    };
    const Row rows[] = {
        /*  0*/ {"1500", 1500},   /*  1*/ {"1.5in", 1500},
        /*  2*/ {"25.4mm", 1000}, /*  3*/ {"2.54cm", 1000},
        /*  4*/ {"72pt", 1000},   /*  5*/ {"10mil", 10},
        /*  6*/ {" 1 in ", 1000}, /*  7*/ {"-0.5in", -500},
        /*  8*/ {"1mm", 39},      /*  9*/ {"in", {}},
        /* 10*/ {"1.5 inch", {}}, /* 11*/ {"", {}},
        /* 12*/ {"1e12in", {}},   /* 13*/ {"abc", {}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(parse_length(rows[i].text), rows[i].thousandths) << "row " << i;
}

TEST(EplhostRecords, CsvQuotingAndLineEnds) {
    const auto r = epl2::eplhost::parse_csv(
        "\xEF\xBB\xBFid,note\r\n1,\"a, b\"\r\n\r\n2,\"say \"\"hi\"\"\nthere\"\n3,\n", "t.csv");
    ASSERT_EQ(r.columns, (std::vector<std::string>{"id", "note"}));
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].values.at("note"), "a, b");
    EXPECT_EQ(r.rows[1].values.at("note"), "say \"hi\"\nthere");
    EXPECT_EQ(r.rows[1].where, "line 4");
    EXPECT_EQ(r.rows[2].values.at("note"), "");
    EXPECT_EQ(r.rows[2].where, "line 6");
}

TEST(EplhostImages, PngBecomesOneBitPcxByThreshold) {
    // Four pixels: dark grey, light grey, black but transparent, black.
    const unsigned char rgba[] = {100, 100, 100, 255, 200, 200, 200, 255, 0, 0, 0, 0, 0, 0, 0, 255};
    int length = 0;
    unsigned char* png = stbi_write_png_to_mem(rgba, 16, 4, 1, 4, &length);
    ASSERT_NE(png, nullptr);
    const fs::path path =
        fs::temp_directory_path() / ("eplhost-" + std::to_string(::getpid()) + ".png");
    write_file(path, std::string_view(reinterpret_cast<const char*>(png),
                                      static_cast<std::size_t>(length)));
    STBIW_FREE(png);
    struct Row {
        int threshold;
        unsigned char row_byte;  // 1 = white; the four pixels are the top bits, the rest padding
    };
    const Row rows[] = {/* 0*/ {128, 0x6F}, /* 1*/ {201, 0x2F}, /* 2*/ {1, 0xEF}};
    for (const Row& row : rows) {
        const std::string pcx = epl2::eplhost::load_image_as_pcx(path, row.threshold);
        epl2::eplhost::PcxInfo info;
        EXPECT_EQ(epl2::eplhost::pcx_problem(pcx, &info), "");
        EXPECT_EQ(info.width, 4);
        EXPECT_EQ(info.height, 1);
        EXPECT_EQ(info.bytes_per_line, 2);
        // Line: the pixel byte (a run of one, escaped when its top bits are set), then the pad.
        const std::string data = pcx.substr(128);
        const std::string expected =
            (row.row_byte & 0xC0) == 0xC0
                ? std::string{'\xC1', static_cast<char>(row.row_byte), '\xC1', '\xFF'}
                : std::string{static_cast<char>(row.row_byte), '\xC1', '\xFF'};
        EXPECT_EQ(data, expected) << "threshold " << row.threshold;
    }
    fs::remove(path);
}

}  // namespace
