// The module driven by case files: each tests/driver/cases/*.cases file holds cases that call the
// real epl2drv.so through its entry points, as a host does, and compare every byte it sends, each
// call's result and the record fields it leaves. The language is small on purpose; see
// tests/driver/cases/README.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "driver_test.h"
#include "named_fields.h"
#include "pcx_header.h"
#include "unescape.h"

namespace epl2::test {
namespace {

namespace fs = std::filesystem;

struct Line {
    int number = 0;
    std::string text;
};

struct Case {
    std::string file, name;
    std::vector<Line> lines;
};

// ---- Reading case files ----------------------------------------------------------------------

// Words separated by blanks; a "quoted word" may hold blanks and escapes and keeps its quotes
// (so that a value can tell a string from a number).
std::vector<std::string> words_of(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        std::size_t end = i;
        if (text[i] == '"') {
            for (++end; end < text.size() && text[end] != '"'; ++end)
                if (text[end] == '\\') ++end;
            ++end;
        } else {
            while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
        }
        words.emplace_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}

// A file's cases, with every `use NAME` replaced by the lines of its `define NAME` block, added
// to `cases`.
void read_cases(const fs::path& path, std::vector<Case>& cases) {
    std::ifstream in(path);
    std::map<std::string, std::vector<Line>> blocks;
    std::vector<Line>* into = nullptr;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (text.empty() || text[0] == '#') continue;
        const std::vector<std::string> w = words_of(text);
        if (w.empty()) continue;
        if (w[0] == "define" && w.size() == 2) {
            into = &blocks[w[1]];
        } else if (w[0] == "case") {
            cases.push_back({path.filename().string(), text.substr(5), {}});
            into = &cases.back().lines;
        } else if (w[0] == "use" && w.size() == 2 && into) {
            const auto block = blocks.find(w[1]);
            if (block == blocks.end())
                throw std::runtime_error(path.string() + ":" + std::to_string(number) +
                                         ": no block " + w[1]);
            into->insert(into->end(), block->second.begin(), block->second.end());
        } else if (into) {
            into->push_back({number, text});
        } else {
            throw std::runtime_error(path.string() + ":" + std::to_string(number) +
                                     ": outside a case");
        }
    }
}

std::vector<Case> all_cases() {
    std::vector<fs::path> files;
    for (const auto& entry :
         fs::directory_iterator(fs::path(EPL2_SOURCE_DIR) / "tests/driver/cases"))
        if (entry.path().extension() == ".cases") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Case> cases;
    for (const fs::path& f : files) read_cases(f, cases);
    return cases;
}

// ---- Running a case ---------------------------------------------------------------------------

class CaseRun {
   public:
    explicit CaseRun(const Case& c) : case_(c), job_(driver_module(), sink_) {
        slots_.fill(0xDEADBEEFu);
    }

    void run() {
        for (std::size_t i = 0; i < case_.lines.size(); ++i) {
            line_ = &case_.lines[i];
            const std::vector<std::string> w = words_of(line_->text);
            if (is_entry_point(w[0])) {
                i = call_and_compare(w, i);
            } else {
                command(w);
            }
        }
    }

   private:
    std::string where() const { return case_.file + ":" + std::to_string(line_->number); }

    static bool is_expectation(const std::string& text) {
        return text.starts_with("> ") || text == ">" || text.starts_with("| ") ||
               text.starts_with("= ") || text == "...";
    }

    // One call, then its expectations: `> text` is a command line (text, LF, then CR LF), `| text`
    // raw bytes with escapes, `= n` the result (0 when not given), `...` any bytes at all.
    std::size_t call_and_compare(const std::vector<std::string>& w, std::size_t i) {
        const Line* call_line = line_;
        const std::int32_t result = call(w);
        std::string expected;
        std::int32_t expected_result = 0;
        bool any_bytes = false;
        while (i + 1 < case_.lines.size() && is_expectation(case_.lines[i + 1].text)) {
            const std::string& e = case_.lines[++i].text;
            if (e == "...")
                any_bytes = true;
            else if (e[0] == '>')
                expected += (e.size() > 2 ? e.substr(2) : "") + "\n\r\n";
            else if (e[0] == '|')
                expected += unescape(e.substr(2));
            else
                expected_result = static_cast<std::int32_t>(std::stoll(e.substr(2), nullptr, 0));
        }
        const std::string sent = take_bytes();
        line_ = call_line;
        if (!any_bytes) {
            EXPECT_EQ(sent, expected) << where() << ": " << call_line->text;
        }
        EXPECT_EQ(result, expected_result) << where() << ": " << call_line->text;
        return i;
    }

    std::string take_bytes() {
        last_writes_ = sink_.calls().size();
        std::string out = sink_.bytes();
        sink_.clear();
        return out;
    }

    // ---- Values ----

    // A number, a "string" (its address, kept for the case), h (this job's handle), pcx (the
    // image object's address) or &N (the address of word slot N).
    std::uint32_t word_value(const std::string& w) {
        if (w == "h") return job_.handle();
        if (w == "pcx") return image_.word();
        if (w.starts_with('"')) return job_.keep_string(unescape(w.substr(1, w.size() - 2)));
        if (w.starts_with('&')) return host::word(&slots_.at(std::stoul(w.substr(1))));
        return static_cast<std::uint32_t>(std::stoll(w, nullptr, 0));
    }

    static bool is_entry_point(const std::string& name) { return entry_index().count(name) != 0; }

    static const std::map<std::string, int>& entry_index() {
        static const std::map<std::string, int> index = [] {
            std::map<std::string, int> m;
            int n = 0;
#define EPL2_ENTRY(result, name, words) m[#name] = n++;
#include "entry_points.inc"
#undef EPL2_ENTRY
            return m;
        }();
        return index;
    }

    // Calls the entry point with the words given; missing trailing words are 0. A pointer result
    // is its word; a call without a result answers 0.
    std::int32_t call(const std::vector<std::string>& w) {
        Words a{};
        for (std::size_t k = 1; k < w.size() && k <= a.size(); ++k) a[k - 1] = word_value(w[k]);
        const host::EntryPoints& e = job_.entry();
#define EPL2_ENTRY(result, name, words) \
    if (w[0] == #name) return invoke(e.name, a, std::make_index_sequence<words>{});
#include "entry_points.inc"
#undef EPL2_ENTRY
        return 0;
    }

    using Words = std::array<std::uint32_t, 13>;
    template <class R, class... A, std::size_t... K>
    static std::int32_t invoke(R (*fn)(A...), const Words& a, std::index_sequence<K...>) {
        if constexpr (std::is_void_v<R>) {
            fn(a[K]...);
            return 0;
        } else if constexpr (std::is_pointer_v<R>) {
            return static_cast<std::int32_t>(host::word(fn(a[K]...)));
        } else {
            return fn(a[K]...);
        }
    }

    // ---- Commands ----

    void command(const std::vector<std::string>& w) {
        const std::string& c = w[0];
        if (c == "model") {
            job_.select_model(arg(w, 1), arg(w, 2), arg(w, 3), arg(w, 4), arg(w, 5));
            EXPECT_EQ(take_bytes(), "") << where() << ": prtsetup sends nothing";
        } else if (c == "set") {
            set_fields(record_fields(), job_.record().data(), w);
        } else if (c == "barcode") {
            set_fields(barcode_object_fields(), job_.barcode().data(), w);
        } else if (c == "pcx") {
            set_fields(pcx_object_fields(), image_.view().data(), w);
        } else if (c == "handle") {
            set_fields(handle_fields(),
                       reinterpret_cast<std::byte*>(static_cast<std::uintptr_t>(job_.handle())), w);
        } else if (c == "entry" || c == "check_entry") {
            on_entry(w, c == "check_entry");
        } else if (c == "check") {
            check_fields(record_fields(), job_.record().data(), w);
        } else if (c == "check_barcode") {
            check_fields(barcode_object_fields(), job_.barcode().data(), w);
        } else if (c == "writes") {
            EXPECT_EQ(last_writes_, static_cast<std::size_t>(arg(w, 1))) << where();
        } else if (c == "image") {
            make_image(w);
        } else if (c == "chunk") {
            const std::size_t from = static_cast<std::size_t>(arg(w, 1));
            const std::size_t to = std::min(file_.size(), static_cast<std::size_t>(arg(w, 2)));
            image_.set_chunk(std::string_view(file_).substr(from, to - from), from != 0);
        } else if (c == "snapshot") {
            std::memcpy(snapshot_.data(), job_.record().data(), record_size);
        } else if (c == "unchanged") {
            EXPECT_EQ(std::memcmp(snapshot_.data(), job_.record().data(), record_size), 0)
                << where() << ": the record changed";
        } else if (c == "slot") {
            check_slot(w);
        } else if (c == "let") {
            slots_.at(static_cast<std::size_t>(arg(w, 1))) = static_cast<std::uint32_t>(arg(w, 2));
        } else {
            ADD_FAILURE() << where() << ": unknown command " << c;
        }
    }

    std::int32_t arg(const std::vector<std::string>& w, std::size_t k) {
        if (k >= w.size()) {
            ADD_FAILURE() << where() << ": missing word " << k;
            return 0;
        }
        return static_cast<std::int32_t>(word_value(w[k]));
    }

    const NamedField* find(const Fields& fields, const std::string& name) {
        const NamedField* f = find_field(fields, name);
        if (!f) ADD_FAILURE() << where() << ": no field " << name;
        return f;
    }

    // `set NAME VALUE ...`: a number into an integer field; a "string" into an integer field is
    // its address, into a byte array its bytes, NUL-padded; x:HEX fills a byte array with a byte.
    void set_fields(const Fields& fields, std::byte* block, const std::vector<std::string>& w) {
        for (std::size_t k = 1; k + 1 < w.size(); k += 2) {
            const NamedField* f = find(fields, w[k]);
            if (!f) continue;
            if (f->integer) {
                f->set(block, static_cast<std::int32_t>(word_value(w[k + 1])));
            } else if (w[k + 1].starts_with("fill:")) {
                std::memset(block + f->offset, std::stoi(w[k + 1].substr(5), nullptr, 0), f->width);
            } else {
                const std::string s = unescape(w[k + 1].substr(1, w[k + 1].size() - 2));
                std::memset(block + f->offset, 0, f->width);
                std::memcpy(block + f->offset, s.data(), std::min(s.size(), f->width));
            }
        }
    }

    // `entry TABLE N NAME VALUE ...` and `check_entry ...`: as `set` and `check` do, on the
    // fields of entry N of a record table.
    void on_entry(const std::vector<std::string>& w, bool check) {
        const auto index = static_cast<std::size_t>(arg(w, 2));
        for (const NamedTable& t : record_tables()) {
            if (t.name != w[1] || index >= t.capacity) continue;
            std::byte* block = job_.record().data() + t.offset + t.stride * index;
            // From the index on, the words read as a `set` or `check` line does.
            const std::vector<std::string> rest(w.begin() + 2, w.end());
            check ? check_fields(t.entry, block, rest) : set_fields(t.entry, block, rest);
            return;
        }
        ADD_FAILURE() << where() << ": no entry " << index << " in " << w[1];
    }

    // `check NAME VALUE ...`: an integer field's value, or a byte array's string up to its NUL;
    // fill:N asks that every byte of the array be N.
    void check_fields(const Fields& fields, std::byte* block, const std::vector<std::string>& w) {
        for (std::size_t k = 1; k + 1 < w.size(); k += 2) {
            const NamedField* f = find(fields, w[k]);
            if (!f) continue;
            const std::string& v = w[k + 1];
            if (f->integer) {
                EXPECT_EQ(f->get(block), static_cast<std::int64_t>(std::stoll(v, nullptr, 0)))
                    << where() << ": " << w[k];
            } else if (v.starts_with("fill:")) {
                const auto b = static_cast<std::byte>(std::stoi(v.substr(5), nullptr, 0));
                EXPECT_TRUE(std::all_of(block + f->offset, block + f->offset + f->width,
                                        [b](std::byte x) { return x == b; }))
                    << where() << ": " << w[k];
            } else {
                const char* s = reinterpret_cast<const char*>(block + f->offset);
                EXPECT_EQ(std::string(s, strnlen(s, f->width)), unescape(v.substr(1, v.size() - 2)))
                    << where() << ": " << w[k];
            }
        }
    }

    // `slot N VALUE`: word slot N holds VALUE; `slot N "text"`: it points to that string.
    void check_slot(const std::vector<std::string>& w) {
        const std::uint32_t got = slots_.at(static_cast<std::size_t>(arg(w, 1)));
        if (w.size() > 2 && w[2].starts_with('"')) {
            // A slot the call left alone (0xDEADBEEF) holds no address at all.
            ASSERT_TRUE(got != 0 && got != 0xDEADBEEFu) << where() << ": no text";
            EXPECT_STREQ(reinterpret_cast<const char*>(got),
                         unescape(w[2].substr(1, w[2].size() - 2)).c_str())
                << where();
        } else {
            EXPECT_EQ(got, static_cast<std::uint32_t>(arg(w, 2))) << where();
        }
    }

    // `image WIDTH HEIGHT BYTES_PER_LINE HEX`: a one-bit PCX file of that extent whose encoded
    // lines are the hex bytes; `image raw HEX`: exactly those bytes. The object's file_size
    // follows.
    void make_image(const std::vector<std::string>& w) {
        std::string hex;
        std::size_t k = w[1] == "raw" ? 2 : 4;
        for (; k < w.size(); ++k) hex += w[k];
        file_ = w[1] == "raw" ? ""
                              : test_support::pcx_header(0, 0, static_cast<unsigned>(arg(w, 1) - 1),
                                                         static_cast<unsigned>(arg(w, 2) - 1),
                                                         static_cast<unsigned>(arg(w, 3)));
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            file_.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        image_.view().set(pcx_object::file_size, static_cast<std::uint32_t>(file_.size()));
    }

    const Case& case_;
    const Line* line_ = nullptr;
    host::RecordingSink sink_;
    host::HostJob job_;
    host::PcxObject image_;
    std::string file_;
    std::size_t last_writes_ = 0;
    std::array<std::uint32_t, 8> slots_{};
    std::array<std::byte, record_size> snapshot_{};
};

class DriverCase : public ::testing::TestWithParam<Case> {};

TEST_P(DriverCase, SendsWhatItSays) {
    CaseRun(GetParam()).run();
}

std::string test_name(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.file.substr(0, info.param.file.find('.')) + "_" + info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, DriverCase, ::testing::ValuesIn(all_cases()), test_name);

}  // namespace
}  // namespace epl2::test
