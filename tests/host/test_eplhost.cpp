// eplhost end to end: the command line, run in-process, drives the real module and its bytes
// are compared with reviewed goldens; bad input of every kind ends in a clear message, a
// documented exit status and nothing at the output target.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app.h"
#include "errors.h"
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

// Whole numbers beyond 64-bit signed range print with every digit, as the label gives them.
TEST_F(EplhostTest, WholeNumbersPrintAsWritten) {
    const auto label = file("n.json", R"({"width": 2000, "height": 1000, "objects": [
        {"type": "text", "x": 100, "y": 300, "text": 18446744073709551615},
        {"type": "text", "x": 100, "y": 500, "text": {"field": "n"}}]})");
    const auto data = file("n-records.json", R"([{"n": 9223372036854775808}, {"n": -12}])");
    const auto lines = lines_of(print({label.string(), "--data", data.string()}));
    for (const char* expected :
         {"A232,51,0,1,1,1,N,\"18446744073709551615\"", "A232,92,0,1,1,1,N,\"9223372036854775808\"",
          "A232,92,0,1,1,1,N,\"-12\""}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
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

std::set<std::string> names_in(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A PNG of one grey column, `height` pixels high.
std::string tall_png(int height) {
    const std::vector<unsigned char> pixels(static_cast<std::size_t>(height), 100);
    int length = 0;
    unsigned char* png = stbi_write_png_to_mem(pixels.data(), 1, 1, height, 1, &length);
    std::string bytes(reinterpret_cast<const char*>(png), static_cast<std::size_t>(length));
    STBIW_FREE(png);
    return bytes;
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
    file("nul.csv", std::string("asset_id,location\nAT\0-1,here\n", 29));
    file("deep.json", std::string(40, '['));
    file("tall.png", tall_png(70000));
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
        {plain, {"--copies", "0"}, 2, "--copies expects a whole number from 1 to 99999, not \"0\""},
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
        /* 33*/
        {v(R"({"type": "line", "x": 0, "y": 1e99999, "length": 100})"),
         {},
         3,
         "label.json: the number 1e99999 is too large at line 1, column 75"},
        /* 34*/
        {R"({"width": 2000, "height": 1000, "objects": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})",
         {},
         3,
         "label.json: JSON nested more than 32 levels deep at line 1, column 75"},
        /* 35*/
        {plain,
         {"--data", (dir / "deep.json").string()},
         3,
         "deep.json: JSON nested more than 32 levels deep at line 1, column 33"},
        /* 36*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "f", "default": "A\u0000B"}})"),
         {},
         3,
         "objects[0] (text): field \"text\": NUL characters cannot be printed"},
        /* 37*/
        {v(R"({"type": "text", "x": 1, "y": 2, "text": {"field": "asset_id"}})"),
         {"--data", (dir / "nul.csv").string()},
         3,
         "nul.csv line 2, " + (dir / "label.json").string() +
             ": objects[0] (text): field \"text\": column \"asset_id\" holds a NUL character"},
        /* 38*/
        {v(R"({"type": "image", "x": 1, "y": 2, "file": "tall.png"})"),
         {},
         3,
         "tall.png is 70000 pixels high; a PCX image holds at most 65536 rows"},
        /* 39*/
        {plain, {"--data", dir.string()}, 3, dir.string() + ": is a folder, not a file"},
        /* 40*/
        {plain,
         {"--copies", "100000"},
         2,
         "--copies expects a whole number from 1 to 99999, not \"100000\""},
        /* 41*/
        {plain,
         {"--timeout", "2147484"},
         2,
         "--timeout expects whole seconds from 1 to 3600, not \"2147484\""},
    };
    const std::size_t inputs = names_in(dir).size();
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
        EXPECT_EQ(names_in(dir).size(), inputs + 2) << "a temporary file was left behind";
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

unsigned short port_of(int socket) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

// A loopback port that nobody listens on: bound for a moment, then given up.
unsigned short refusing_port() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const unsigned short port = port_of(s);
    ::close(s);
    return port;
}

// How a test printer on the other end of the connection treats the job.
enum class Peer {
    reads_all,
    closes_early,  // reads a little, then closes with the rest unread
    never_reads,   // keeps the connection open and reads nothing until the test ends
};

class Listener {
   public:
    explicit Listener(Peer peer) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (peer == Peer::never_reads) {
            // A small receive window, inherited by the accepted connection: it fills at once.
            const int size = 4096;
            ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
        sockaddr_in a = loopback(0);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(socket_, 1);
        port_ = port_of(socket_);
        thread_ = std::thread([this, peer, released = release_.get_future()] {
            const int connection = ::accept(socket_, nullptr, nullptr);
            if (peer == Peer::never_reads) {
                released.wait();
            } else {
                const std::size_t limit = peer == Peer::closes_early ? 100 : SIZE_MAX;
                char buffer[4096];
                while (received_.size() < limit) {
                    const auto n = ::recv(connection, buffer, sizeof buffer, 0);
                    if (n <= 0) break;
                    received_.append(buffer, static_cast<std::size_t>(n));
                }
            }
            ::close(connection);
        });
    }
    ~Listener() {
        finish();
        ::close(socket_);
    }
    [[nodiscard]] std::string url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    std::string received() {
        finish();
        return received_;
    }

   private:
    void finish() {
        if (!thread_.joinable()) return;
        release_.set_value();
        // Nobody connected, and nobody will: wake the accept up. A connection that is waiting
        // to be accepted keeps the port open.
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 0) == 0) ::shutdown(socket_, SHUT_RDWR);
        thread_.join();
    }

    int socket_ = -1;
    unsigned short port_ = 0;
    std::promise<void> release_;
    std::thread thread_;
    std::string received_;
};

TEST_F(EplhostTest, TcpTargetSendsTheWholeJob) {
    const auto label = (examples / "shipping-4x6.json").string();
    const std::string expected = print({label});
    Listener printer(Peer::reads_all);
    const Result r = run({"print", label, "--to", printer.url()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("sent to " + printer.url()), std::string::npos) << r.err;
    EXPECT_EQ(printer.received(), expected);
}

// A printer that refuses, one that closes mid-job and one that stops reading: exit status 6, a
// message naming the target and the cause, and never the report of a job sent.
TEST_F(EplhostTest, TcpFaultsFailTheJob) {
    std::string csv = "asset_id,location\n";
    for (int i = 0; i < 3000; ++i)
        csv += "AT-" + std::to_string(100000 + i) + ",Building 4 / Lab 2 / shelf " +
               std::to_string(i) + "\n";
    const auto data = file("many.csv", csv);
    struct Row {
        std::optional<Peer> peer;  // none: nobody listens
        std::string cause;         // a regular expression
    };
    const Row rows[] = {
        /*  0*/ {{}, "cannot connect: Connection refused; nothing was sent\n"},
        /*  1*/
        {Peer::closes_early,
         "(the connection failed after [0-9]+ bytes|the printer closed the connection "
         "before taking the whole job): Connection reset by peer\n"},
        /*  2*/
        {Peer::never_reads,
         "(stopped taking data \\(write timeout\\) after [0-9]+ bytes|[0-9]+ bytes were "
         "never acknowledged by the printer \\(write timeout\\))\n"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        std::optional<Listener> printer;
        if (rows[i].peer) printer.emplace(*rows[i].peer);
        const std::string url =
            printer ? printer->url() : "tcp://127.0.0.1:" + std::to_string(refusing_port());
        const Result r = run({"print", (examples / "asset-tag.json").string(), "--data",
                              data.string(), "--to", url, "--timeout", "1"});
        EXPECT_EQ(r.status, 6) << r.err;
        const std::regex message("^eplhost: " + url + ": " + rows[i].cause);
        EXPECT_TRUE(std::regex_search(r.err, message)) << r.err;
        EXPECT_EQ(r.err.find("sent to"), std::string::npos) << r.err;
        if (printer) {
            EXPECT_LT(printer->received().size(), 5000u);
        }
    }
}

// ---- file targets that cannot take the job
// -------------------------------------------------------

// Places that even root cannot write to, as the tests may run as root: /proc takes no new files,
// a plain file is no folder, a folder cannot be replaced by a file, /dev/full is always full.
TEST_F(EplhostTest, FileTargetsThatRefuseTheJobLeaveNothingBehind) {
    const auto label = (examples / "product-2x1.json").string();
    file("plain", "a file, not a folder");
    fs::create_directories(dir / "folder");
    struct Row {
        fs::path target;
        std::string cause;
    };
    const Row rows[] = {
        /*  0*/ {"/proc/eplhost-job.epl",
                 "cannot create /proc/eplhost-job.epl.tmp-[0-9]+ \\(.+\\); nothing was written\n"},
        /*  1*/
        {dir / "plain" / "job.epl", "cannot create the folder " + (dir / "plain").string() + ": "},
        /*  2*/ {dir / "folder", "cannot move the job into place: Is a directory\n"},
        /*  3*/ {"/dev/full", "writing failed \\(No space left on device\\)\n"},
    };
    const std::set<std::string> before = names_in(dir);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const Result r = run({"print", label, "--output", rows[i].target.string()});
        EXPECT_EQ(r.status, 6) << r.err;
        const std::regex message("^eplhost: " + rows[i].target.string() + ": " + rows[i].cause);
        EXPECT_TRUE(std::regex_search(r.err, message)) << r.err;
        EXPECT_EQ(r.err.find("sent to"), std::string::npos) << r.err;
        EXPECT_EQ(names_in(dir), before);
        EXPECT_TRUE(fs::is_directory(dir / "folder"));
    }
    EXPECT_FALSE(fs::exists("/proc/eplhost-job.epl"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A disk that fills up mid-job, as a file size limit makes it: the previous file stays as it was
// and no temporary file remains. The limit holds in a child process only.
TEST_F(EplhostTest, FullDiskKeepsThePreviousFile) {
    const fs::path out = file("out.epl", "previous job");
    const auto data = (examples / "asset-tags.csv").string();
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Result r = run({"print", (examples / "asset-tag.json").string(), "--data", data,
                              "--output", out.string()});
        const std::string text = std::to_string(r.status) + "\n" + r.err;
        const auto written = ::write(report[1], text.data(), text.size());
        ::_exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    ::close(report[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    const std::regex message("^6\neplhost: " + out.string() + ": writing " + out.string() +
                             "\\.tmp-[0-9]+ failed \\(File too large\\); it was removed and " +
                             out.string() + " left as it was\n$");
    EXPECT_TRUE(std::regex_search(text, message)) << text;
    EXPECT_EQ(read_file(out), "previous job");
    EXPECT_EQ(names_in(dir), std::set<std::string>{"out.epl"});
}

// A printer port (a device or a pipe) is written in place, not replaced by a renamed file.
TEST_F(EplhostTest, DeviceTargetIsWrittenInPlace) {
    const auto label = (examples / "product-2x1.json").string();
    const fs::path port = dir / "lp0";
    ASSERT_EQ(::mkfifo(port.c_str(), 0600), 0);
    std::string received;
    std::thread printer([&] {
        std::ifstream in(port, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    const Result r = run({"print", label, "--output", port.string()});
    // Should eplhost never have opened the port, the reader still waits: let it go.
    if (const int release = ::open(port.c_str(), O_WRONLY | O_NONBLOCK); release >= 0)
        ::close(release);
    printer.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("sent to " + port.string()), std::string::npos) << r.err;
    EXPECT_EQ(received, print({label}));
    EXPECT_TRUE(fs::is_fifo(port));
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

// ---- long batches -------------------------------------------------------------------------------

// Asset tags for a batch whose job spans several of the blocks in which the job goes out; the
// last record's id may be given.
std::string tag_records(int count, const std::string& last_id = {}) {
    std::string csv = "asset_id,location\n";
    for (int i = 0; i < count; ++i) {
        const std::string id =
            i + 1 == count && !last_id.empty() ? last_id : "AT-" + std::to_string(100000 + i);
        csv += id + ",\"Building 4, shelf " + std::to_string(i) + "\"\n";
    }
    return csv;
}

// Every target gets the bytes a file gets, however many blocks they span, and the report
// counts all of them.
TEST_F(EplhostTest, LongBatchesReachEveryTargetWhole) {
    const auto label = (examples / "asset-tag.json").string();
    const auto data = file("many.csv", tag_records(3000)).string();
    const std::string expected = print({label, "--data", data});
    ASSERT_GT(expected.size(), 4u << 16);
    const std::string report = "3000 labels (" + std::to_string(expected.size()) + " bytes)";

    const Result to_stdout = run({"print", label, "--data", data});
    EXPECT_EQ(to_stdout.status, 0) << to_stdout.err;
    EXPECT_TRUE(to_stdout.out == expected) << to_stdout.out.size() << " bytes";

    Listener printer(Peer::reads_all);
    const Result to_tcp = run({"print", label, "--data", data, "--to", printer.url()});
    EXPECT_EQ(to_tcp.status, 0) << to_tcp.err;
    EXPECT_NE(to_tcp.err.find(report), std::string::npos) << to_tcp.err;
    EXPECT_TRUE(printer.received() == expected) << printer.received().size() << " bytes";

    const fs::path lp = file("lp", "#!/bin/sh\ncat > \"$(dirname \"$0\")/job\"\n");
    fs::permissions(lp, fs::perms::owner_all);
    ::setenv("EPL2_LP", lp.c_str(), 1);
    const Result to_lp = run({"print", label, "--data", data, "--to", "lp:Zebra"});
    EXPECT_EQ(to_lp.status, 0) << to_lp.err;
    EXPECT_NE(to_lp.err.find(report), std::string::npos) << to_lp.err;
    EXPECT_TRUE(read_file(dir / "job") == expected) << read_file(dir / "job").size() << " bytes";

    // A queue that refuses the job without reading it: lp's own verdict, and no report.
    const fs::path refusing = file("lp-refuses", "#!/bin/sh\nexit 1\n");
    fs::permissions(refusing, fs::perms::owner_all);
    ::setenv("EPL2_LP", refusing.c_str(), 1);
    const Result refused = run({"print", label, "--data", data, "--to", "lp:Zebra"});
    ::unsetenv("EPL2_LP");
    EXPECT_EQ(refused.status, 6);
    EXPECT_NE(refused.err.find("eplhost: lp:Zebra: " + refusing.string() + " failed (status 1)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.err.find("sent to"), std::string::npos) << refused.err;
}

// Records from a pipe (standard input, say) can be read only once: they print as from a file,
// and the copy eplhost keeps of them goes with the run.
TEST_F(EplhostTest, RecordsFromAPipePrintAsFromAFile) {
    const auto label = (examples / "asset-tag.json").string();
    const std::string csv = tag_records(3000);
    const std::string expected = print({label, "--data", file("many.csv", csv).string()});
    const auto spools = [] {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(fs::temp_directory_path()))
            if (e.path().filename().string().starts_with("eplhost-records-"))
                names.insert(e.path().filename().string());
        return names;
    };
    const std::set<std::string> before = spools();
    const fs::path pipe = dir / "records";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { write_file(pipe, csv); });
    const std::string piped = print({label, "--data", pipe.string()});
    writer.join();
    EXPECT_TRUE(piped == expected) << piped.size() << " bytes";
    EXPECT_EQ(spools(), before);
}

// A record that cannot be printed, last in a batch far longer than one block: refused before
// any target is opened, whichever it is.
TEST_F(EplhostTest, BadLastRecordOfALongBatchSendsNothing) {
    const auto label = (examples / "asset-tag.json").string();
    const auto data = file("many.csv", tag_records(3000, std::string(300, 'A'))).string();
    const fs::path lp = file("lp", "#!/bin/sh\ncat > \"$(dirname \"$0\")/job\"\n");
    fs::permissions(lp, fs::perms::owner_all);
    ::setenv("EPL2_LP", lp.c_str(), 1);
    Listener printer(Peer::reads_all);
    const fs::path out = dir / "out" / "job.epl";
    const std::vector<std::vector<std::string>> targets = {
        /*  0*/ {"--output", out.string()},
        /*  1*/ {},
        /*  2*/ {"--to", printer.url()},
        /*  3*/ {"--to", "lp:Zebra"},
    };
    const std::set<std::string> before = names_in(dir);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        std::vector<std::string> args = {"print", label, "--data", data};
        args.insert(args.end(), targets[i].begin(), targets[i].end());
        const Result r = run(args);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_NE(r.err.find("many.csv line 3001, "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("is 300 characters long"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(names_in(dir), before);
    }
    ::unsetenv("EPL2_LP");
    EXPECT_EQ(printer.received(), "");
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

// A records file is read in blocks: rows of every length put each of a doubled quote, a
// closing quote, a CR LF and a quoted line break across a block's edge somewhere.
TEST_F(EplhostTest, RecordsReadInBlocksAsInOnePiece) {
    using epl2::eplhost::Record;
    std::string csv = "\xEF\xBB\xBFid,note\r\n";
    std::vector<std::string> notes;
    for (int i = 0; i < 9000; ++i) {
        notes.push_back(std::string(static_cast<std::size_t>(i % 17), 'x') + "say \"hi\"\nthere");
        csv += "R" + std::to_string(i) + ",\"" +
               std::string(static_cast<std::size_t>(i % 17), 'x') + "say \"\"hi\"\"\nthere\"\r\n";
    }
    ASSERT_GT(csv.size(), 4u << 16);
    const fs::path records = file("r.csv", csv);
    std::size_t count = 0;
    const auto summary = epl2::eplhost::read_records(records, [&](const Record& r) {
        const std::size_t i = count++;
        ASSERT_EQ(r.number, i + 1);
        ASSERT_EQ(r.where, "line " + std::to_string(2 + 2 * i));
        ASSERT_EQ(r.values.at("id"), "R" + std::to_string(i));
        ASSERT_EQ(r.values.at("note"), notes[i]);
    });
    EXPECT_EQ(count, notes.size());
    EXPECT_EQ(summary.count, notes.size());
    EXPECT_EQ(summary.columns, (std::vector<std::string>{"id", "note"}));

    // JSON from a file reads as from memory: keys in order of name, the last of a repeated key.
    std::string json = "[";
    for (int i = 0; i < 9000; ++i)
        json += std::string(i ? "," : "") + R"({"z": )" + std::to_string(i - 4500) +
                R"(, "a": [1], "a": null, "m": "row\n)" + std::to_string(i) + "\"}";
    json += "]";
    const auto whole = epl2::eplhost::parse_json_records(json, "r.json");
    ASSERT_EQ(whole.rows.size(), 9000u);
    EXPECT_EQ(whole.columns, (std::vector<std::string>{"a", "m", "z"}));
    EXPECT_EQ(whole.rows[0].values,
              (std::map<std::string, std::string>{{"a", ""}, {"m", "row\n0"}, {"z", "-4500"}}));
    count = 0;
    epl2::eplhost::read_records(file("r.json", json), [&](const Record& r) {
        ASSERT_EQ(r.where, whole.rows[count].where);
        ASSERT_EQ(r.values, whole.rows[count].values);
        ++count;
    });
    EXPECT_EQ(count, 9000u);
}

// A fault in the text is reported wherever it lies, before any fault of a row ahead of it; of
// the faulty rows the first is named, of an object's values the first by name. The same from a
// file as from memory.
TEST_F(EplhostTest, RecordFaultsAreNamedAsInOnePiece) {
    struct Row {
        const char* name;
        std::string text;
        std::string message;
    };
    const Row rows[] = {
        /*  0*/ {"a.csv", "id,n\n1,2,3\n4,5\n\"6,7\n",
                 "a.csv: a quoted field starting on line 4 is never closed"},
        /*  1*/
        {"a.csv", "id,n\n1,2,3\n\"4\"x,5\n", "a.csv line 3: a closing quote must end its field"},
        /*  2*/ {"a.csv", "id,,id\n1,2,3\n", "a.csv line 1: column 2 has no name"},
        /*  3*/ {"a.csv", "id,n,id\n1,2\n", "a.csv line 1: column \"id\" is named twice"},
        /*  4*/
        {"a.csv", "id,n\n1,2\n3\n4,5,6\n",
         "a.csv line 3: 1 fields, but the header names 2 columns"},
        /*  5*/ {"a.csv", "\r\n\n", "a.csv: empty; the first row must name the columns"},
        /*  6*/
        {"a.json", R"([{"id": 1}, 2, {"id": )",
         "a.json: malformed JSON at line 1, column 22: syntax error while parsing value - "
         "unexpected "
         "end of input; expected '[', '{', or a literal"},
        /*  7*/ {"a.json", R"({"id": 1})", "a.json: expected a JSON array of objects"},
        /*  8*/ {"a.json", R"("id")", "a.json: expected a JSON array of objects"},
        /*  9*/ {"a.json", R"([{"id": 1}, "id", [2]])", "a.json element 1: expected an object"},
        /* 10*/
        {"a.json", R"([{"id": 1}, [{"id": 2}], "id"])", "a.json element 1: expected an object"},
        /* 11*/
        {"a.json", R"([{"id": 1}, {"z": 1.5, "b": true, "a": "x"}])",
         "a.json element 1: \"b\" must be a string or a whole number"},
        /* 12*/
        {"a.json", R"([{"id": {"n": 1}}])",
         "a.json element 0: \"id\" must be a string or a whole number"},
        /* 13*/
        {"a.json", R"([{"id": 1}, {"id": 1e400}])",
         "a.json: the number 1e400 is too large at line 1, column 20"},
        /* 14*/
        {"a.json", "[" + std::string(32, '[') + std::string(33, ']'),
         "a.json: JSON nested more than 32 levels deep at line 1, column 33"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const bool json = std::string_view(rows[i].name).ends_with(".json");
        std::string from_memory, from_file;
        try {
            if (json)
                epl2::eplhost::parse_json_records(rows[i].text, rows[i].name);
            else
                epl2::eplhost::parse_csv(rows[i].text, rows[i].name);
        } catch (const epl2::eplhost::Failure& f) {
            from_memory = f.what();
        }
        const fs::path path = file(rows[i].name, rows[i].text);
        std::size_t handed_on = 0;
        try {
            epl2::eplhost::read_records(path, [&](const auto&) { ++handed_on; });
        } catch (const epl2::eplhost::Failure& f) {
            from_file = f.what();
        }
        EXPECT_EQ(from_memory, rows[i].message);
        EXPECT_EQ(from_file, path.string() + rows[i].message.substr(std::strlen(rows[i].name)));
        EXPECT_LE(handed_on, 1u);
    }
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
