// The printer-setup dialog through getsetup and savevar: each PrinterType's dialog walked to its
// end answer, the options' prompts, kinds, choices, ranges, defaults and widths on the models
// that change them, the host buffers written exactly, the stored values and their conversions,
// and a chosen value reaching the job header.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "driver_test.h"

namespace epl2::test {
namespace {

using Strings = std::vector<std::string>;

constexpr std::uint32_t untouched_word = 0xDEADBEEFu;
constexpr char untouched_char = '\x7F';

struct Model {
    std::int32_t model_class = 0;
    std::int32_t reduced_options = 0;
    std::int32_t resolution_code = -1;
    std::int32_t memory_code = -1;
    std::int32_t printer_type = -1;
};

// One getsetup answer with everything the driver wrote into the host's buffers.
struct Answer {
    std::string prompt;
    char kind = untouched_char;
    Strings choices;
    bool choices_written = false;
    std::int32_t value = 0;
    std::int32_t width = 0;
    std::array<char, 40> prompt_buffer{};
};

class Setup : public DriverTest {
   protected:
    void select(const Model& m) {
        job.select_model(m.model_class, m.reduced_options, m.resolution_code, m.memory_code,
                         m.printer_type);
    }

    Answer ask(std::int32_t index, std::int32_t value = 0) {
        Answer a;
        a.prompt_buffer.fill(untouched_char);
        std::array<std::uint32_t, 8> array{};
        array.fill(untouched_word);
        std::array<std::uint32_t, 32> arrays{};
        arrays.fill(untouched_word);
        if (index >= 0 && index < 32)
            arrays[static_cast<std::size_t>(index)] = host::word(array.data());
        a.value = value;
        a.width = -99;
        EXPECT_EQ(job.call(ep().getsetup, index, a.prompt_buffer.data(), &a.kind, arrays.data(),
                           &a.value, &a.width),
                  0);
        a.prompt = std::string(a.prompt_buffer.data(),
                               strnlen(a.prompt_buffer.data(), a.prompt_buffer.size()));
        a.choices_written = array[0] != untouched_word;
        for (std::uint32_t w : array) {
            if (w == untouched_word) break;
            const std::string text = reinterpret_cast<const char*>(w);
            if (text.empty()) break;
            a.choices.push_back(text);
        }
        return a;
    }

    // The dialog position of an option id on the selected model, found by walking the dialog.
    std::int32_t position_of(const std::string& prompt) {
        for (std::int32_t i = 0; i < 32; ++i) {
            if (ask(i).prompt == prompt) return i;
        }
        ADD_FAILURE() << "no option " << prompt;
        return 99;
    }

    Answer ask_option(const std::string& prompt, std::int32_t value) {
        return ask(position_of(prompt), value);
    }

    void save(const std::string& prompt, std::int32_t value) {
        EXPECT_EQ(job.call(ep().savevar, position_of(prompt), value), 0);
    }
};

// The option ids' prompts, by id.
const Strings prompts{"Darkness:",
                      "Print speed:",
                      "Default label height:",
                      "Memory available:",
                      "Reconfigure Memory:",
                      "Memory Management:",
                      "Image Buffer Size:",
                      "Form Memory Size:",
                      "Graphics Memory Size:",
                      "Sensor Type:",
                      "Gap or Black Mark Size:",
                      "Extra Gap Offset:",
                      "Print Direction:",
                      "Label Present Sensor:",
                      "Print MaxiCode as a Graphic:",
                      "",
                      "Print Method:",
                      "Print UCC/EAN 128 as Graphic:",
                      "Label Cutter:",
                      "Black Line Offset Direction:",
                      "Top of Form Backup:",
                      "Media Feed Adjustment:"};

TEST_F(Setup, EveryPrinterTypesDialogWalkedToItsEnd) {
    using Ids = std::vector<int>;
    const Ids type_1{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 13, 14, 17};
    const Ids type_2{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 17};
    const Ids type_3{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 16, 17};
    const Ids type_8{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 13, 14, 17, 20, 21};
    const Ids type_9{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 17, 18};
    const Ids type_12{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 16, 17};
    const Ids type_30{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17, 20};
    const Ids generic{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 19, 12, 14, 17};
    struct Row {
        std::int32_t printer_type;
        const Ids* ids;
    };
    const Row rows[] = {
        /*  0*/ {-1, &generic}, /*  1*/ {1, &type_1},   /*  2*/ {2, &type_2},
        /*  3*/ {3, &type_3},   /*  4*/ {4, &generic},  /*  5*/ {5, &generic},
        /*  6*/ {6, &generic},  /*  7*/ {7, &generic},  /*  8*/ {8, &type_8},
        /*  9*/ {9, &type_9},   /* 10*/ {10, &type_8},  /* 11*/ {11, &generic},
        /* 12*/ {12, &type_12}, /* 13*/ {13, &generic}, /* 14*/ {14, &generic},
        /* 15*/ {30, &type_30}, /* 16*/ {0, &generic},  /* 17*/ {15, &generic},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.printer_type);
        select({.printer_type = row.printer_type});
        Strings expected;
        for (int id : *row.ids) expected.push_back(prompts[static_cast<std::size_t>(id)]);
        Strings walked;
        std::int32_t index = 0;
        for (; index < 40; ++index) {
            const Answer a = ask(index);
            if (a.kind == 0) {
                EXPECT_EQ(a.prompt, "");
                EXPECT_EQ(a.width, 0);
                EXPECT_EQ(a.value, 0);
                break;
            }
            walked.push_back(a.prompt);
        }
        EXPECT_EQ(walked, expected);
        EXPECT_EQ(index, rec().get(record::setup_option_count));
    }
}

TEST_F(Setup, EndAnswersAndTheWidthQuery) {
    select({.printer_type = 1});
    // Position 12 of PrinterType 1 is the offset direction, 13 the print direction.
    const Answer offset = ask(12);
    EXPECT_EQ(offset.prompt, "Black Line Offset Direction:");
    EXPECT_EQ(offset.choices, (Strings{"+", "-"}));
    EXPECT_EQ(ask(13).prompt, "Print Direction:");

    // Past the end: empty prompt, kind 0, value and width 0, the choice array just ended.
    const Answer end = ask(17, 5);
    EXPECT_EQ(end.prompt, "");
    EXPECT_EQ(end.kind, 0);
    EXPECT_EQ(end.value, 0);
    EXPECT_EQ(end.width, 0);
    EXPECT_TRUE(end.choices_written);
    EXPECT_TRUE(end.choices.empty());
    EXPECT_EQ(end.prompt_buffer[1], untouched_char);

    // -2: width 1, nothing else.
    const Answer query = ask(-2, 5);
    EXPECT_EQ(query.width, 1);
    EXPECT_EQ(query.prompt_buffer[0], untouched_char);
    EXPECT_EQ(query.kind, untouched_char);
    EXPECT_EQ(query.value, 5);

    // Other negative positions: the end answer without a choice array.
    for (std::int32_t index : {-1, -3, -13, -100}) {
        SCOPED_TRACE(index);
        const Answer a = ask(index, 5);
        EXPECT_EQ(a.prompt, "");
        EXPECT_EQ(a.kind, 0);
        EXPECT_EQ(a.value, 0);
        EXPECT_EQ(a.width, 0);
    }
}

// The host's prompt buffer receives exactly the prompt and its NUL; the longest prompt needs 30.
TEST_F(Setup, PromptCopiedWithItsNulAndNothingMore) {
    select({.printer_type = 1});
    const Answer longest = ask_option("Print UCC/EAN 128 as Graphic:", 0);
    EXPECT_EQ(longest.prompt.size(), 29u);
    EXPECT_EQ(longest.prompt_buffer[29], '\0');
    EXPECT_EQ(longest.prompt_buffer[30], untouched_char);
    const Answer shortest = ask(0);
    EXPECT_EQ(shortest.prompt, "Darkness:");
    EXPECT_EQ(shortest.prompt_buffer[10], untouched_char);
}

TEST_F(Setup, NumberOptionsLeaveTheChoiceArrayAlone) {
    select({});
    const Answer a = ask_option("Gap or Black Mark Size:", 24);
    EXPECT_EQ(a.kind, 'I');
    EXPECT_FALSE(a.choices_written);
    EXPECT_EQ(ask_option("Default label height:", 4000).kind, '3');
    EXPECT_FALSE(ask_option("Default label height:", 4000).choices_written);
}

// Options 13 and 18 answer only on the PrinterTypes that list them; asked for directly they
// write nothing anywhere else.
TEST_F(Setup, ModelSpecificOptions) {
    select({.printer_type = 8});
    const Answer sensor = ask_option("Label Present Sensor:", 3);
    EXPECT_EQ(sensor.choices, (Strings{"Disabled", "Enabled"}));
    EXPECT_EQ(sensor.value, 0);
    select({.printer_type = 9});
    const Answer cutter = ask(15, 1);
    EXPECT_EQ(cutter.prompt, "Label Cutter:");
    EXPECT_EQ(cutter.choices, (Strings{"No", "Yes"}));
    EXPECT_EQ(cutter.value, 1);
}

// A host that passes no buffer for some answer gets the others; nothing is written through a
// null word, and a null choice array (or an array of arrays with a null slot) is skipped.
TEST_F(Setup, NullHostBuffersAreSkipped) {
    select({.printer_type = 8});
    for (std::int32_t index : {0, 1, 9, 18, 19, 30, -1, -2}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(job.call(ep().getsetup, index, 0, 0, 0, 0, 0), 0);
        std::array<std::uint32_t, 32> no_arrays{};
        std::int32_t width = -5;
        EXPECT_EQ(job.call(ep().getsetup, index, 0, 0, no_arrays.data(), 0, &width), 0);
        EXPECT_NE(width, -5);
    }
}

struct RangeRow {
    Model model;
    const char* prompt;
    char kind;
    std::int32_t min, max, default_value, width;
};

// Integer options: the range's ends are kept, one past either end becomes the default.
TEST_F(Setup, IntegerRangesDefaultsAndWidths) {
    // clang-format off
    const RangeRow rows[] = {
        /*  0*/ {{.printer_type = 6}, "Darkness:", 'I', 0, 15, 7, 2},
        /*  1*/ {{.printer_type = 13}, "Darkness:", 'I', 0, 15, 7, 2},
        /*  2*/ {{.reduced_options = -1, .printer_type = 14}, "Darkness:", 'I', 0, 15, 10, 2},
        /*  3*/ {{.reduced_options = -1, .printer_type = -1}, "Darkness:", 'I', 0, 7, 5, 1},
        /*  4*/ {{.model_class = 2, .reduced_options = -1}, "Darkness:", 'I', 0, 15, 5, 2},
        /*  5*/ {{.reduced_options = 0, .printer_type = 14}, "Darkness:", 'I', 0, 15, 5, 2},
        /*  6*/ {{.printer_type = 3}, "Default label height:", '3', 500, 22000, 6000, 6},
        /*  7*/ {{.printer_type = 11}, "Default label height:", '3', 500, 22000, 6000, 6},
        /*  8*/ {{.printer_type = 14}, "Default label height:", '3', 500, 22000, 6000, 6},
        /*  9*/ {{.printer_type = 7}, "Default label height:", '3', 380, 22000, 6000, 6},
        /* 10*/ {{.printer_type = 13}, "Default label height:", '3', 380, 22000, 6000, 6},
        /* 11*/ {{.printer_type = 6}, "Default label height:", '3', 380, 20000, 6000, 6},
        /* 12*/ {{.printer_type = 8}, "Default label height:", '3', 250, 20000, 6000, 6},
        /* 13*/ {{.printer_type = -1}, "Default label height:", '3', 1000, 20000, 4000, 6},
        /* 14*/ {{.printer_type = 1}, "Default label height:", '3', 1000, 20000, 4000, 6},
        /* 15*/ {{.printer_type = 3}, "Image Buffer Size:", 'I', 0, 512, 0, 3},
        /* 16*/ {{.printer_type = 12}, "Form Memory Size:", 'I', 0, 512, 0, 3},
        /* 17*/ {{.printer_type = 6}, "Graphics Memory Size:", 'I', 0, 508, 0, 3},
        /* 18*/ {{.printer_type = -1}, "Image Buffer Size:", 'I', 0, 508, 0, 3},
        /* 19*/ {{.printer_type = -1}, "Gap or Black Mark Size:", 'I', 1, 999, 25, 3},
        /* 20*/ {{.printer_type = -1}, "Extra Gap Offset:", 'I', 0, 999, 0, 3},
        /* 21*/ {{.printer_type = 8}, "Media Feed Adjustment:", 'I', 0, 999, 136, 3},
    };
    // clang-format on
    for (const RangeRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.prompt << " type " << row.model.printer_type);
        select(row.model);
        const std::int32_t at = position_of(row.prompt);
        for (std::int32_t kept : {row.min, row.max}) {
            const Answer a = ask(at, kept);
            EXPECT_EQ(a.kind, row.kind);
            EXPECT_EQ(a.value, kept);
            EXPECT_EQ(a.width, row.width);
        }
        EXPECT_EQ(ask(at, row.min - 1).value, row.default_value);
        EXPECT_EQ(ask(at, row.max + 1).value, row.default_value);
    }
}

struct ChoiceRow {
    Model model;
    const char* prompt;
    Strings choices;
    std::int32_t default_value, width;
};

TEST_F(Setup, ChoiceListsDefaultsAndWidths) {
    const Strings s_2_4{"2 inches/sec", "3 inches/sec", "4 inches/sec"};
    const Strings m_508{"124", "252", "380", "508"};
    const Strings m_512{"124", "252", "380", "512"};
    const Strings no_yes{"No", "Yes"};
    // clang-format off
    const ChoiceRow rows[] = {
        /*  0*/ {{.printer_type = 2}, "Print speed:", s_2_4, 0, 0},
        /*  1*/ {{.printer_type = 3}, "Print speed:", s_2_4, 0, 0},
        /*  2*/ {{.printer_type = 8}, "Print speed:", {"1.2 inches/sec", "1.6 inches/sec", "2 inches/sec", "3 inches/sec"}, 2, 0},
        /*  3*/ {{.printer_type = 7}, "Print speed:", {"2 inches/sec", "3 inches/sec", "4 inches/sec", "5 inches/sec", "6 inches/sec"}, 2, 0},
        /*  4*/ {{.printer_type = 5}, "Print speed:", {"1 inch/sec", "1.5 inches/sec", "2 inches/sec", "2.5 inches/sec", "3.5 inches/sec"}, 2, 0},
        /*  5*/ {{.printer_type = 11}, "Print speed:", s_2_4, 0, 0},
        /*  6*/ {{.printer_type = 14}, "Print speed:", {"1 inch/sec", "1.5 inches/sec", "2 inches/sec", "2.5 inches/sec"}, 0, 0},
        /*  7*/ {{.model_class = 1}, "Print speed:", {"1 inch/sec", "1.5 inches/sec", "2 inches/sec"}, 1, 0},
        /*  8*/ {{.model_class = 2, .reduced_options = -1}, "Print speed:", {"1 inch/sec", "1.5 inches/sec", "2 inches/sec", "4 inches/sec"}, 3, 0},
        /*  9*/ {{.model_class = 2, .reduced_options = 0}, "Print speed:", {"1 inch/sec", "1.5 inches/sec", "2 inches/sec", "4 inches/sec", "6 inches/sec"}, 3, 0},
        /* 10*/ {{.memory_code = 9, .printer_type = 3}, "Memory available:", {"124", "252"}, 0, 3},
        /* 11*/ {{.printer_type = 6}, "Memory available:", m_512, 3, 3},
        /* 12*/ {{.printer_type = 30}, "Memory available:", m_508, 1, 3},
        /* 13*/ {{.printer_type = 8}, "Memory available:", m_508, 1, 3},
        /* 14*/ {{.printer_type = -1}, "Memory available:", m_508, 0, 3},
        /* 15*/ {{.memory_code = 1, .printer_type = 1}, "Memory available:", m_508, 0, 3},
        /* 16*/ {{.model_class = 1}, "Sensor Type:", {"Gap", "Continuous"}, 0, 0},
        /* 17*/ {{.reduced_options = -1, .printer_type = -1}, "Sensor Type:", {"Gap", "Continuous"}, 0, 0},
        /* 18*/ {{.reduced_options = -1, .printer_type = 8}, "Sensor Type:", {"Gap", "Continuous", "Black Mark"}, 0, 0},
        /* 19*/ {{.reduced_options = -1, .printer_type = 14}, "Sensor Type:", {"Gap", "Continuous", "Black Mark"}, 0, 0},
        /* 20*/ {{.model_class = 2, .reduced_options = -1}, "Sensor Type:", {"Gap", "Continuous", "Black Mark"}, 0, 0},
        /* 21*/ {{.reduced_options = 0}, "Sensor Type:", {"Gap", "Continuous", "Black Mark"}, 0, 0},
        /* 22*/ {{}, "Reconfigure Memory:", no_yes, 0, 0},
        /* 23*/ {{}, "Memory Management:", {"Auto-set (skip next 3 options)", "User sets (use next 3 options)"}, 0, 0},
        /* 24*/ {{}, "Print Direction:", {"Upside down", "Right side up"}, 0, 0},
        /* 25*/ {{.printer_type = 10}, "Label Present Sensor:", {"Disabled", "Enabled"}, 0, 0},
        /* 26*/ {{}, "Print MaxiCode as a Graphic:", no_yes, 0, 0},
        /* 27*/ {{.printer_type = 2}, "Print Method:", {"Thermal Transfer", "Direct Thermal"}, 0, 0},
        /* 28*/ {{}, "Print UCC/EAN 128 as Graphic:", no_yes, 0, 0},
        /* 29*/ {{.printer_type = 9}, "Label Cutter:", no_yes, 0, 0},
        /* 30*/ {{}, "Black Line Offset Direction:", {"+", "-"}, 0, 0},
        /* 31*/ {{.printer_type = 30}, "Top of Form Backup:", {"Enable", "Disable"}, 0, 0},
    };
    // clang-format on
    for (const ChoiceRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.prompt << " type " << row.model.printer_type
                                        << " class " << row.model.model_class);
        select(row.model);
        const std::int32_t at = position_of(row.prompt);
        const auto last = static_cast<std::int32_t>(row.choices.size()) - 1;
        const Answer a = ask(at, last);
        EXPECT_EQ(a.kind, 'M');
        EXPECT_EQ(a.choices, row.choices);
        EXPECT_EQ(a.value, last);
        EXPECT_EQ(a.width, row.width);
        EXPECT_EQ(ask(at, last + 1).value, row.default_value);
        EXPECT_EQ(ask(at, -1).value, row.default_value);
    }
}

// The sensor choices follow the host's model_class, the darkness range the registered copy.
TEST_F(Setup, SensorFollowsTheModelClassDarknessTheRegisteredClass) {
    select({.model_class = 0, .reduced_options = -1});
    rec().set(record::model_class, 2);
    EXPECT_EQ(ask_option("Sensor Type:", 0).choices.size(), 3u);
    EXPECT_EQ(ask_option("Darkness:", 8).value, 5);  // class 0 registered: 0..7
    select({.model_class = 2, .reduced_options = -1});
    EXPECT_EQ(ask_option("Darkness:", 8).value, 8);
}

struct SpeedRow {
    Model model;
    std::vector<std::int32_t> codes;  // speed code of each choice
    std::int32_t invalid_code;
};

TEST_F(Setup, SpeedChoicesBecomePrinterSpeedCodes) {
    // clang-format off
    const SpeedRow rows[] = {
        /*  0*/ {{.printer_type = 2}, {2, 3, 4}, 2},
        /*  1*/ {{.printer_type = 3}, {2, 3, 4}, 2},
        /*  2*/ {{.printer_type = 11}, {2, 3, 4}, 2},
        /*  3*/ {{.printer_type = 12}, {2, 3, 4}, 2},
        /*  4*/ {{.printer_type = 8}, {0, 1, 2, 3}, 2},
        /*  5*/ {{.printer_type = 7}, {2, 3, 4, 5, 6}, 4},
        /*  6*/ {{.printer_type = 13}, {2, 3, 4, 5, 6}, 4},
        /*  7*/ {{.printer_type = 14}, {0, 1, 2, 3}, 0},
        /*  8*/ {{.printer_type = 5}, {0, 1, 2, 3, 4}, 2},
        /*  9*/ {{.model_class = 2, .reduced_options = 0}, {0, 1, 2, 4, 6}, 4},
        /* 10*/ {{.model_class = 2, .reduced_options = -1}, {0, 1, 2, 4}, 4},
        /* 11*/ {{.model_class = 0}, {0, 1, 2}, 1},
        /* 12*/ {{.model_class = 1, .printer_type = 10}, {0, 1, 2}, 1},
    };
    // clang-format on
    for (const SpeedRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "type " << row.model.printer_type << " class " << row.model.model_class);
        select(row.model);
        const auto n = static_cast<std::int32_t>(row.codes.size());
        for (std::int32_t choice = 0; choice < n; ++choice) {
            EXPECT_EQ(job.call(ep().savevar, 1, choice), 0);
            EXPECT_EQ(rec().get(record::speed_setting),
                      row.codes[static_cast<std::size_t>(choice)]);
        }
        for (std::int32_t invalid : {n, n + 4, -1}) {
            rec().set(record::speed_setting, 99);
            job.call(ep().savevar, 1, invalid);
            EXPECT_EQ(rec().get(record::speed_setting), row.invalid_code);
        }
    }
}

TEST_F(Setup, MemorySizeAndLongestLabel) {
    struct Row {
        Model model;
        std::int32_t choice;
        std::int32_t kb, length;
    };
    // clang-format off
    const Row rows[] = {
        /*  0*/ {{}, 0, 124, 4818},
        /*  1*/ {{}, 1, 252, 10636},
        /*  2*/ {{}, 2, 380, 16454},
        /*  3*/ {{}, 3, 508, 22272},
        /*  4*/ {{.printer_type = 3}, 3, 508, 22272},  // shown as "512"
        /*  5*/ {{}, 4, 124, 4818},                    // invalid: generic takes the smallest
        /*  6*/ {{.printer_type = 6}, -1, 508, 22272},
        /*  7*/ {{.printer_type = 12}, 9, 508, 22272},
        /*  8*/ {{.printer_type = 30}, 4, 252, 10636},
        /*  9*/ {{.printer_type = 8}, 4, 252, 10636},
        /* 10*/ {{.memory_code = 9}, 1, 252, 10636},
        /* 11*/ {{.memory_code = 9}, 3, 124, 4818},    // not offered on these printers
        /* 12*/ {{.memory_code = 9, .printer_type = 7}, 2, 252, 10636},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "type " << row.model.printer_type << " choice " << row.choice);
        select(row.model);
        save("Memory available:", row.choice);
        EXPECT_EQ(rec().get(record::memory_size_kb), row.kb);
        EXPECT_EQ(rec().get(record::max_label_length), row.length);
    }
}

TEST_F(Setup, DefaultLabelHeightCappedByTheLongestLabel) {
    select({.printer_type = 3});
    save("Default label height:", 6000);
    EXPECT_EQ(rec().get(record::default_label_height), 6000);
    save("Memory available:", 0);
    EXPECT_EQ(rec().get(record::default_label_height), 4818);
    save("Default label height:", 6000);
    EXPECT_EQ(rec().get(record::default_label_height), 4818);
    save("Memory available:", 3);
    EXPECT_EQ(rec().get(record::max_label_length), 22272);
    save("Default label height:", 500);
    EXPECT_EQ(rec().get(record::default_label_height), 500);
    save("Default label height:", 499);
    EXPECT_EQ(rec().get(record::default_label_height), 6000);

    select({.model_class = 3});
    save("Default label height:", 6000);
    EXPECT_EQ(rec().get(record::default_label_height), 5000);
    select({});
    save("Default label height:", 999);
    EXPECT_EQ(rec().get(record::default_label_height), 4000);
}

TEST_F(Setup, StorageDefaultsWhereTheyDifferFromTheDialogs) {
    select({.printer_type = 8});
    save("Darkness:", 16);
    EXPECT_EQ(rec().get(record::darkness), 5);
    EXPECT_EQ(ask_option("Darkness:", 16).value, 7);
    save("Darkness:", 15);
    EXPECT_EQ(rec().get(record::darkness), 15);
    save("Reconfigure Memory:", 2);
    EXPECT_EQ(rec().get(record::memory_reconfigure), 1);
    save("Media Feed Adjustment:", 1000);
    EXPECT_EQ(rec().get(record::media_feed_adjust), 137);
    save("Media Feed Adjustment:", 0);
    EXPECT_EQ(rec().get(record::media_feed_adjust), 0);
    save("Gap or Black Mark Size:", 0);
    EXPECT_EQ(rec().get(record::gap_size), 25);

    select({.reduced_options = -1, .printer_type = 14});
    save("Darkness:", 16);
    EXPECT_EQ(rec().get(record::darkness), 10);
}

TEST_F(Setup, StoredFieldsOfTheSimpleOptions) {
    select({.printer_type = 8});
    const RecordView r = rec();
    r.set(record::form_store_enabled, 0);
    save("Reconfigure Memory:", 0);
    EXPECT_EQ(r.get(record::memory_reconfigure), 0);
    EXPECT_EQ(r.get(record::form_store_enabled), 1);
    save("Memory Management:", 1);
    EXPECT_EQ(r.get(record::memory_auto), 1);
    save("Image Buffer Size:", 100);
    save("Form Memory Size:", 20);
    save("Graphics Memory Size:", 508);
    EXPECT_EQ(r.get(record::image_buffer_size), 100);
    EXPECT_EQ(r.get(record::form_memory_size), 20);
    EXPECT_EQ(r.get(record::graphics_memory_size), 508);
    save("Graphics Memory Size:", 509);
    EXPECT_EQ(r.get(record::graphics_memory_size), 0);
    save("Sensor Type:", 2);
    EXPECT_EQ(r.get(record::sensor_type), 2);
    save("Extra Gap Offset:", 999);
    EXPECT_EQ(r.get(record::extra_gap_offset), 999);
    save("Print Direction:", 1);
    EXPECT_EQ(r.get(record::print_direction), 1);
    save("Label Present Sensor:", 1);
    EXPECT_EQ(r.get(record::label_present_sensor), 1);
    save("Black Line Offset Direction:", 1);
    EXPECT_EQ(r.get(record::black_line_direction), 1);
    save("Top of Form Backup:", 1);
    EXPECT_EQ(r.get(record::top_of_form_backup), 2);
    // Another model keeps the stored options; its own dialog adds the backup and feed.
    select({.model_class = 0, .reduced_options = 0, .resolution_code = 1, .printer_type = 8});
    rec().set(record::label_height, 2000);
    save("Top of Form Backup:", 0);
    EXPECT_EQ(r.get(record::top_of_form_backup), 1);
    save("Top of Form Backup:", 7);
    EXPECT_EQ(r.get(record::top_of_form_backup), 1);

    select({.printer_type = 2});
    save("Print Method:", 1);
    EXPECT_EQ(r.get(record::print_method), 1);
    select({.printer_type = 9});
    save("Label Cutter:", 1);
    EXPECT_EQ(r.get(record::label_cutter), 1);
}

TEST_F(Setup, AsGraphicOptionsChangeOnlyTheHostsCapabilityTables) {
    select({});
    const RecordView r = rec();
    EXPECT_EQ(r.get(record::barcode_table, 7, barcode_entry::barcode_flags), 0x1CFFu);
    save("Print UCC/EAN 128 as Graphic:", 1);
    EXPECT_EQ(r.get(record::barcode_table, 7, barcode_entry::barcode_flags), 0xDCFFu);
    save("Print UCC/EAN 128 as Graphic:", 0);
    EXPECT_EQ(r.get(record::barcode_table, 7, barcode_entry::barcode_flags), 0x1CFFu);
    r.set(record::barcode_table, 7, barcode_entry::barcode_flags, 0xFFFF3CFFu);
    save("Print UCC/EAN 128 as Graphic:", 1);
    EXPECT_EQ(r.get(record::barcode_table, 7, barcode_entry::barcode_flags), 0xFFFFFCFFu);

    save("Print MaxiCode as a Graphic:", 1);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::as_graphic), 3);
    save("Print MaxiCode as a Graphic:", 2);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::as_graphic), 0);

    // No code-8 or MaxiCode entry among the registered ones: nothing is written.
    r.set(record::barcode_count, std::uint8_t{7});
    const std::uint32_t entry_7 = r.get(record::barcode_table, 7, barcode_entry::barcode_flags);
    save("Print UCC/EAN 128 as Graphic:", 0);
    EXPECT_EQ(r.get(record::barcode_table, 7, barcode_entry::barcode_flags), entry_7);
    r.set(record::symbol2d_table, 0, symbol2d_entry::symbology, 6);
    save("Print MaxiCode as a Graphic:", 1);
    EXPECT_EQ(r.get(record::symbol2d_table, 0, symbol2d_entry::as_graphic), 0);
}

// Positions outside the dialog, and an option the PrinterType does not have, change nothing.
TEST_F(Setup, SavevarOutsideTheDialogChangesNothing) {
    select({.printer_type = 1});
    std::array<std::byte, record_size> before{};
    std::memcpy(before.data(), rec().data(), record_size);
    for (std::int32_t index : {17, 18, 100, -1, -2, -3, -21}) {
        EXPECT_EQ(job.call(ep().savevar, index, 1), 0);
    }
    EXPECT_EQ(std::memcmp(before.data(), rec().data(), record_size), 0);
}

// The values chosen in the dialog reach the job header.
TEST_F(Setup, ChosenValuesReachTheJobHeader) {
    select({.model_class = 0, .reduced_options = 0, .resolution_code = 1, .printer_type = 1});
    rec().set(record::label_height, 2000);
    save("Darkness:", 10);
    save("Print speed:", 3);  // "4 inches/sec" is not offered here: choice 1 is stored
    save("Print speed:", 1);
    save("Memory available:", 3);
    save("Reconfigure Memory:", 1);
    save("Memory Management:", 0);
    save("Sensor Type:", 2);
    save("Gap or Black Mark Size:", 24);
    save("Extra Gap Offset:", 0);
    save("Black Line Offset Direction:", 1);
    save("Print Direction:", 1);
    save("Label Present Sensor:", 1);
    take_bytes();
    EXPECT_EQ(job.call(ep().maininit), 0);
    const std::string expected = std::string("\r\n") + line("M44,8,446") + "\nN\n\r\n" +
                                 "Q406,B24-0\n\r\n" + line("D10") + line("ZB") + line("R8,0") +
                                 line("S1") + line("O");
    EXPECT_EQ(take_bytes(), expected);

    // Another model keeps the stored options; its own dialog adds the backup and feed.
    select({.model_class = 0, .reduced_options = 0, .resolution_code = 1, .printer_type = 8});
    rec().set(record::label_height, 2000);
    save("Top of Form Backup:", 0);
    save("Media Feed Adjustment:", 12);
    save("Sensor Type:", 0);
    save("Extra Gap Offset:", 5);
    save("Memory Management:", 1);
    save("Image Buffer Size:", 100);
    save("Form Memory Size:", 20);
    save("Graphics Memory Size:", 300);
    save("Label Present Sensor:", 0);
    EXPECT_EQ(job.call(ep().maininit), 0);
    const std::string second = std::string("\r\n") + line("M100,20,300") + "\nN\n\r\n" +
                               "Q406,24-5\n\r\n" + line("JF") + line("j12") + line("D10") +
                               line("ZB") + line("R8,0") + line("S1") + line("ON");
    EXPECT_EQ(take_bytes(), second);
}

}  // namespace
}  // namespace epl2::test
