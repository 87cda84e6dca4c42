// The module's tables as a host sees them, against golden files in tests/driver/golden/: the
// ModelTable resource, and for every model the host's reader finds in it (and for some model
// fields no record carries) the capability area prtsetup fills and the whole setup dialog getsetup
// answers. EPL2_UPDATE_GOLDEN=1 rewrites the golden files from the module; review every changed
// line by hand before committing it. What savevar does with a value is behaviour and lives in
// cases/setup.cases; the dialog tests here are those that need the host's buffer shapes.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver_test.h"
#include "model_table.h"
#include "golden_text.h"
#include "named_fields.h"

namespace epl2::test {
namespace {

template <class... T>
std::string cat(const T&... parts) {
    std::ostringstream s;
    (s << ... << parts);
    return s.str();
}

std::string hex(std::uint64_t v) {
    return cat("0x", std::uppercase, std::hex, v);
}

// ---- The capability area ------------------------------------------------------------------------

// The pointer words among the fields: each shows as the text it points to.
bool is_pointer(const std::string& name) {
    static const std::set<std::string> pointers{"maker_name",   "cap_text_104", "font_name",
                                                "printer_font", "font_text",    "name_text"};
    return pointers.count(name) != 0;
}

// prtsetup runs on a record of zeros and on one of 0xFF bytes: what both runs agree on is the
// module's; a bit that follows the host's byte is the host's. "" when every bit is the host's.
// Integers show as numbers (bit words in hex by the host bits they keep), pointer words as their
// text, byte arrays byte by byte.
std::string value_text(const NamedField& f, std::size_t base, const std::byte* zeros,
                       const std::byte* ones) {
    const std::size_t at = base + f.offset;
    if (!f.integer) {
        std::string text;
        for (std::size_t i = at; i < at + f.width; ++i) {
            const std::string digits = hex(0x100u | std::to_integer<unsigned>(zeros[i]));
            text += zeros[i] == std::byte{0} && ones[i] == std::byte{0xFF} ? " .."
                    : zeros[i] == ones[i]                                  ? " " + digits.substr(3)
                                                                           : " ??";
        }
        return text.find_first_not_of(" .") == std::string::npos ? "" : text.substr(1);
    }
    const NamedField word{f.name, at, f.width};  // unsigned, wherever it lies
    const auto a = static_cast<std::uint64_t>(word.get(zeros)),
               b = static_cast<std::uint64_t>(word.get(ones));
    if (a == 0 && b == ~0ull >> (64 - 8 * f.width)) return "";
    if (a != b) return hex(a) + " keeps host bits " + hex(a ^ b);
    if (!is_pointer(f.name) || a == 0) return std::to_string(a);
    return '"' + std::string(reinterpret_cast<const char*>(static_cast<std::uintptr_t>(a))) + '"';
}

// One byte field for each byte of [0, size) that no field names, so that no write goes unseen.
Fields with_unnamed_bytes(Fields fields, std::size_t size) {
    std::vector<bool> named(size);
    for (const NamedField& f : fields)
        std::fill_n(named.begin() + static_cast<std::ptrdiff_t>(f.offset), f.width, true);
    for (std::size_t k = 0; k < size; ++k)
        if (!named[k]) fields.push_back({"+" + std::to_string(k), k, 1, false});
    return fields;
}

// The record's fields but its tables (shown by entry) and the model fields the host fills.
const Fields& record_items() {
    static const Fields items = [] {
        Fields v = with_unnamed_bytes(record_fields(), record_size);
        const std::set<std::string> host_fields{"model_class", "reduced_options", "resolution_code",
                                                "memory_code", "printer_type"};
        std::erase_if(v, [&](const NamedField& f) {
            return host_fields.count(f.name) != 0 ||
                   std::any_of(record_tables().begin(), record_tables().end(),
                               [&](const NamedTable& t) { return t.name == f.name; });
        });
        return v;
    }();
    return items;
}

// Every value the module wrote: record fields one a line, table entries one a line.
std::string capability_text(const std::byte* zeros, const std::byte* ones) {
    std::string out;
    for (const NamedField& f : record_items()) {
        const std::string v = value_text(f, 0, zeros, ones);
        if (!v.empty()) out += cat("  ", f.name, " ", v, "\n");
    }
    for (const NamedTable& t : record_tables()) {
        const Fields entry = with_unnamed_bytes(t.entry, t.stride);
        for (std::size_t i = 0; i < t.capacity; ++i) {
            std::string line;
            for (const NamedField& f : entry) {
                const std::string v = value_text(f, t.offset + t.stride * i, zeros, ones);
                if (!v.empty()) line += (line.empty() ? " " : ", ") + f.name + " " + v;
            }
            if (!line.empty()) out += cat("  ", t.name, "[", i, "]:", line, "\n");
        }
    }
    return out;
}

// ---- The setup dialog ---------------------------------------------------------------------------

constexpr char untouched = '\x7F';
constexpr std::uint32_t untouched_word = 0xDEADBEEFu;

struct Answer {
    std::string prompt;
    bool prompt_written = false;
    char kind = untouched;
    std::vector<std::string> choices;
    bool choices_written = false, choices_ended = false;  // ended: by the empty text
    std::int32_t value = 0, width = -99;
};

// One getsetup call with every host buffer marked, so that each byte the module writes shows: the
// prompt with its NUL and the choice pointers with their end, never more.
Answer ask(host::HostJob& job, std::int32_t position, std::int32_t value) {
    Answer a;
    a.value = value;
    std::array<char, 64> prompt;
    prompt.fill(untouched);
    std::array<std::uint32_t, 8> choices;
    choices.fill(untouched_word);
    std::array<std::uint32_t, 40> arrays{};  // null but for the position's own array
    if (position >= 0 && position < 40)
        arrays[static_cast<std::size_t>(position)] = host::word(choices.data());
    EXPECT_EQ(job.call(job.entry().getsetup, position, prompt.data(), &a.kind, arrays.data(),
                       &a.value, &a.width),
              0);
    a.prompt_written = prompt[0] != untouched;
    a.prompt = std::string(prompt.data(), strnlen(prompt.data(), prompt.size()));
    EXPECT_TRUE(!a.prompt_written || prompt.at(a.prompt.size() + 1) == untouched) << position;
    for (std::uint32_t w : choices) {
        if (w == untouched_word) break;
        a.choices_written = true;
        const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(w));
        a.choices_ended = *text == '\0';
        if (a.choices_ended) break;
        a.choices.push_back(text);
    }
    EXPECT_TRUE(!a.choices_written || choices.at(a.choices.size() + 1) == untouched_word)
        << position;
    return a;
}

// Each dialog position up to the end answer: prompt, kind, width, the values it keeps (found by
// halving: any other becomes the default) and the choices it wrote.
std::string dialog_text(host::HostJob& job) {
    std::string out;
    for (std::int32_t position = 0; position < 40; ++position) {
        const std::int32_t fallback = ask(job, position, INT32_MIN).value;
        const auto kept = [&](std::int64_t v) {
            return v == fallback || ask(job, position, static_cast<std::int32_t>(v)).value == v;
        };
        // Halves [kept, refused) down to the last value kept.
        const auto edge = [&](std::int64_t kept_at, std::int64_t refused_at) {
            while (std::abs(refused_at - kept_at) > 1) {
                const std::int64_t mid = kept_at + (refused_at - kept_at) / 2;
                (kept(mid) ? kept_at : refused_at) = mid;
            }
            return kept_at;
        };
        const Answer a = ask(job, position, fallback);
        out += cat("  ", position, " \"", a.prompt, "\" kind ",
                   a.kind ? std::string(1, a.kind) : "0", " width ", a.width, " keeps ",
                   edge(fallback, INT32_MIN), "..", edge(fallback, INT32_MAX + 1ll), " default ",
                   fallback, a.choices_written ? " choices:" : "");
        for (const std::string& c : a.choices) out += " \"" + c + "\"";
        out += a.choices_ended ? " \"\"\n" : "\n";
        if (a.kind == 0) break;
    }
    return out;
}

// ---- Golden files -------------------------------------------------------------------------------

// The golden file of that name.
void compare_with_golden(const std::string& name, const std::string& text) {
    test::compare_with_golden(std::filesystem::path(EPL2_SOURCE_DIR) / "tests/driver/golden" / name,
                              text);
}

struct Golden {
    std::string text;
    std::map<std::string, std::string> seen;  // a section's text: the first heading that had it

    // A section the file already holds under another heading is named, not repeated.
    void section(const std::string& title, const std::string& body, const std::string& label) {
        const auto [first, fresh] = seen.emplace(title + body, label);
        text += fresh ? title + "\n" + body : title + " as " + first->second + "\n";
    }
};

// A model as the host selects it: once on a zeroed record (select_model), once on a record of
// 0xFF bytes (the model fields filled, then prtsetup). Neither run may send a byte.
void add_model(std::map<std::int32_t, Golden>& files, const host::ModelRecord& m,
               const std::string& label, const std::string& heading) {
    host::RecordingSink sink;
    host::HostJob zeroed(driver_module(), sink), filled(driver_module(), sink);
    host::select_model(zeroed, m);
    std::memset(filled.record().data(), 0xFF, record_size);
    host::fill_model_fields(filled.record(), m);
    EXPECT_EQ(filled.call(filled.entry().prtsetup), 0);
    EXPECT_EQ(sink.bytes(), "") << label;
    Golden& file = files[m.printer_type];
    file.text += cat("== ", label, heading, " class ", m.model_class, " reduced_options ",
                     m.reduced_options, " resolution_code ", m.resolution_code, " memory_code ",
                     m.memory_code, " printer_type ", m.printer_type, "\n");
    file.section("capabilities", capability_text(zeroed.record().data(), filled.record().data()),
                 label);
    file.section("dialog", dialog_text(zeroed), label);
}

TEST(Tables, MatchTheirGoldenFiles) {
    // Every byte of the resource by a digest (FNV-1a, 64 bits); the reader's view of it below.
    const std::span<const std::byte> resource = driver_module().model_table();
    std::uint64_t digest = 0xCBF29CE484222325u;
    for (std::byte b : resource) digest = (digest ^ std::to_integer<unsigned>(b)) * 0x100000001B3u;
    compare_with_golden("model_table.txt",
                        cat("size ", resource.size(), " fnv1a64 ", hex(digest), "\n"));

    std::map<std::int32_t, Golden> files;
    for (const host::ModelRecord& m : host::read_model_table(driver_module())) {
        add_model(files, m, cat("model ", m.model_index),
                  cat(" \"", m.maker, "\" \"", m.model, "\" model_flags ", hex(m.model_flags)));
    }
    // Model fields no record carries but a host may pass.
    std::ifstream selections(std::filesystem::path(EPL2_SOURCE_DIR) /
                             "tests/driver/golden/unlisted_selections.txt");
    int k = 0;
    for (std::string line; std::getline(selections, line);) {
        host::ModelRecord m;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream(line) >> m.model_class >> m.reduced_options >> m.resolution_code >>
            m.memory_code >> m.printer_type;
        add_model(files, m, cat("no record ", k++), ":");
    }
    for (const auto& [type, file] : files)
        compare_with_golden(cat("printer_type_", type, ".txt"), file.text);
}

// A table that is cut short or points outside itself is refused with a message; it is never read
// past its end.
TEST(ModelTableReader, RefusesBrokenTables) {
    EXPECT_TRUE(host::read_model_table(std::span<const std::byte>{}).empty());
    const std::span<const std::byte> table = driver_module().model_table();
    for (std::size_t cut : {5000u, 3u})
        EXPECT_THROW(host::read_model_table(table.first(cut)), host::ModelTableError) << cut;
    const std::pair<std::size_t, std::uint32_t> spoiled_words[] = {
        /* 0*/ {0, 0xFFFFFFF0},  // header outside
        /* 1*/ {5150, 0xE802},   // header tag
        /* 2*/ {5162, 100000},   // a count the table cannot hold
        /* 3*/ {5166, 5170},     // index outside
        /* 4*/ {4942, 5160},     // record outside
        /* 5*/ {50, 0},          // record tag
        /* 6*/ {54, 9000},       // maker outside
        /* 7*/ {58, 5177},       // model text in the last byte, which is not a NUL below
    };
    for (const auto& [at, value] : spoiled_words) {
        std::vector<std::byte> t(table.begin(), table.end());
        store_le(t.data() + at, value);
        if (at == 58) t.back() = std::byte{'x'};
        EXPECT_THROW(host::read_model_table(std::span<const std::byte>(t)), host::ModelTableError)
            << at;
    }
    // A table without records is a valid, empty table.
    std::vector<std::byte> none(table.begin(), table.end());
    store_le(none.data() + 5162, std::uint32_t{0});
    EXPECT_TRUE(host::read_model_table(std::span<const std::byte>(none)).empty());
}

// ---- The dialog's host buffers ------------------------------------------------------------------

using SetupDialog = DriverTest;

TEST_F(SetupDialog, SpecialPositionsAndMissingBuffers) {
    job.select_model(0, 0, -1, -1, 1);
    // -2 asks for the width only: 1, and nothing else is written.
    const Answer query = ask(job, -2, 5);
    EXPECT_EQ(query.width, 1);
    EXPECT_FALSE(query.prompt_written);
    EXPECT_EQ(query.kind, untouched);
    EXPECT_EQ(query.value, 5);
    // Other negative positions: the end answer without a choice array.
    for (std::int32_t position : {-1, -3, -13, -100}) {
        const Answer a = ask(job, position, 5);
        EXPECT_TRUE(a.prompt_written && a.prompt.empty()) << position;
        EXPECT_EQ(a.kind, 0) << position;
        EXPECT_EQ(a.value, 0) << position;
        EXPECT_EQ(a.width, 0) << position;
    }
    // A host that passes no buffer for some answer gets the others; nothing is written through a
    // null word, and a null choice array (or an array of arrays with a null slot) is skipped.
    job.select_model(0, 0, -1, -1, 8);
    for (std::int32_t position : {0, 1, 9, 18, 19, 30, -1, -2}) {
        EXPECT_EQ(job.call(ep().getsetup, position, 0, 0, 0, 0, 0), 0);
        std::array<std::uint32_t, 32> no_arrays{};
        std::int32_t width = -5;
        EXPECT_EQ(job.call(ep().getsetup, position, 0, 0, no_arrays.data(), 0, &width), 0);
        EXPECT_NE(width, -5) << position;
    }
}

// The sensor choices follow the host's model_class, the darkness range the registered copy.
TEST_F(SetupDialog, SensorFollowsTheModelClassDarknessTheRegisteredClass) {
    job.select_model(0, -1, -1, -1, -1);
    rec().set(record::model_class, 2);
    EXPECT_EQ(ask(job, 9, 0).choices.size(), 3u);
    EXPECT_EQ(ask(job, 0, 8).value, 5);  // class 0 registered: 0..7
    job.select_model(2, -1, -1, -1, -1);
    EXPECT_EQ(ask(job, 0, 8).value, 8);
}

}  // namespace
}  // namespace epl2::test
