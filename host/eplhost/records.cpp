#include "records.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <optional>
#include <set>

#include "charset.h"
#include "errors.h"
#include "json_text.h"
#include "letter_case.h"
#include "os.h"

namespace epl2::eplhost {

namespace {

// Read size for records files: a few of these in memory, however long the batch.
constexpr std::size_t read_block_size = 1 << 16;

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// Text a character at a time with one character of lookahead, from memory or from a file read
// a block at a time.
class TextSource {
   public:
    TextSource(std::string_view text, const std::filesystem::path& source)
        : block_(text), source_(source) {}
    TextSource(std::istream& in, const std::filesystem::path& source)
        : in_(&in), buffer_(read_block_size, '\0'), source_(source) {}

    bool next(char& c) {
        if (!fill()) return false;
        c = block_[at_++];
        return true;
    }
    [[nodiscard]] std::optional<char> peek() {
        if (!fill()) return std::nullopt;
        return block_[at_];
    }
    // At the very start only, where the first block holds at least the prefix when the text
    // does.
    void skip_prefix(std::string_view prefix) {
        if (fill() && block_.substr(at_).starts_with(prefix)) at_ += prefix.size();
    }

   private:
    bool fill() {
        if (at_ < block_.size()) return true;
        if (in_ == nullptr) return false;
        in_->read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        if (in_->bad()) fail(ExitCode::bad_input, source_.string() + ": reading failed");
        block_ = std::string_view(buffer_.data(), static_cast<std::size_t>(in_->gcount()));
        at_ = 0;
        return !block_.empty();
    }

    std::istream* in_ = nullptr;
    std::string buffer_;
    std::string_view block_;
    std::size_t at_ = 0;
    const std::filesystem::path& source_;
};

// Counts the records and hands them on. A fault in a row is held back until the whole text has
// been read, so that a malformed text is reported as such wherever its fault lies; nothing
// after the first faulty row is handed on.
class RecordSink {
   public:
    RecordSink(const std::filesystem::path& source, const RecordHandler& each)
        : summary_{source, {}, 0}, each_(each) {}

    [[nodiscard]] bool faulty() const noexcept { return !fault_.empty(); }
    void refuse(std::string message) {
        if (!faulty()) fault_ = std::move(message);
    }
    void take(const Record& record) {
        ++summary_.count;
        if (each_) each_(record);
    }
    [[nodiscard]] const std::filesystem::path& source() const noexcept { return summary_.source; }
    [[nodiscard]] std::vector<std::string>& columns() noexcept { return summary_.columns; }
    RecordsSummary finish() {
        if (faulty()) fail(ExitCode::bad_input, fault_);
        return std::move(summary_);
    }

   private:
    RecordsSummary summary_;
    const RecordHandler& each_;
    std::string fault_;
};

// ---- CSV ---------------------------------------------------------------------------------------

struct CsvRow {
    std::size_t line = 0;
    std::vector<std::string> fields;
};

// RFC 4180: fields separated by commas, optionally quoted, quotes doubled inside quotes, quoted
// fields may span lines; CR LF or LF ends a row. Blank lines are skipped.
template <typename RowDone>
void split_csv(TextSource& text, const std::filesystem::path& source, RowDone row_done) {
    text.skip_prefix(byte_order_mark);
    CsvRow row{1, {}};
    std::string field;
    std::size_t line = 1;
    bool quoted = false, at_field_start = true, row_has_content = false;
    auto end_field = [&] {
        row.fields.push_back(std::move(field));
        field.clear();
        at_field_start = true;
    };
    auto end_row = [&] {
        if (row_has_content) {
            end_field();
            row_done(row);
        }
        row = CsvRow{line + 1, {}};
        field.clear();
        at_field_start = true;
        row_has_content = false;
    };
    for (char ch = 0; text.next(ch);) {
        if (quoted) {
            if (ch == '"' && text.peek() == '"') {
                field += '"';
                text.next(ch);
            } else if (ch == '"') {
                quoted = false;
                if (const auto after = text.peek();
                    after && *after != ',' && *after != '\n' && *after != '\r') {
                    fail(ExitCode::bad_input, source.string() + " line " + std::to_string(line) +
                                                  ": a closing quote must end its field");
                }
            } else {
                if (ch == '\n') ++line;
                field += ch;
            }
            continue;
        }
        if (ch == '\r' && text.peek() == '\n') continue;
        if (ch == '\n') {
            end_row();
            ++line;
            continue;
        }
        row_has_content = true;
        if (ch == '"' && at_field_start) {
            quoted = true;
            at_field_start = false;
        } else if (ch == ',') {
            end_field();
        } else {
            field += ch;
            at_field_start = false;
        }
    }
    if (quoted)
        fail(ExitCode::bad_input, source.string() + ": a quoted field starting on line " +
                                      std::to_string(row.line) + " is never closed");
    end_row();
}

// Empty when every column has a name of its own.
std::string header_fault(const CsvRow& header, const std::filesystem::path& source) {
    std::set<std::string_view> named;
    const std::string where = source.string() + " line " + std::to_string(header.line);
    for (std::size_t c = 0; c < header.fields.size(); ++c) {
        const std::string& name = header.fields[c];
        if (name.empty()) return where + ": column " + std::to_string(c + 1) + " has no name";
        if (!named.insert(name).second) return where + ": column \"" + name + "\" is named twice";
    }
    return {};
}

// The row's fields as UTF-8: converted from Latin-1, or checked to be UTF-8 already. Empty, or
// the fault of the first field that is not, on the line where its first stray byte lies.
std::string as_utf8(CsvRow& row, const std::vector<std::string>* columns, DataEncoding encoding,
                    const std::filesystem::path& source) {
    std::size_t line = row.line;
    for (std::size_t c = 0; c < row.fields.size(); ++c) {
        std::string& field = row.fields[c];
        if (encoding == DataEncoding::latin1) {
            field = latin1_to_utf8(field);
            continue;
        }
        const std::optional<std::size_t> stray = invalid_utf8_at(field);
        const std::string_view before =
            std::string_view(field).substr(0, stray.value_or(field.size()));
        line += static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
        if (!stray) continue;
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(field[*stray]));
        const std::string column = columns != nullptr && c < columns->size()
                                       ? "column \"" + (*columns)[c] + "\""
                                       : "column " + std::to_string(c + 1);
        return source.string() + " line " + std::to_string(line) + ": " + column +
               " holds the byte " + byte +
               ", which is not UTF-8; a Latin-1 (ISO-8859-1) file needs --data-encoding latin1";
    }
    return {};
}

RecordsSummary read_csv(TextSource& text, const std::filesystem::path& source,
                        const RecordHandler& each, DataEncoding encoding) {
    RecordSink sink(source, each);
    bool header_read = false;
    std::size_t number = 0;
    split_csv(text, source, [&](CsvRow& row) {
        if (sink.faulty()) return;
        const bool header = !header_read;
        header_read = true;
        sink.refuse(as_utf8(row, header ? nullptr : &sink.columns(), encoding, source));
        if (header) {
            sink.refuse(header_fault(row, source));
            sink.columns() = std::move(row.fields);
            return;
        }
        if (sink.faulty()) return;
        const std::vector<std::string>& columns = sink.columns();
        const std::string where = "line " + std::to_string(row.line);
        if (row.fields.size() != columns.size()) {
            return sink.refuse(
                source.string() + " " + where + ": " + std::to_string(row.fields.size()) +
                " fields, but the header names " + std::to_string(columns.size()) + " columns");
        }
        Record record{++number, where, {}};
        for (std::size_t c = 0; c < row.fields.size(); ++c)
            record.values[columns[c]] = std::move(row.fields[c]);
        sink.take(record);
    });
    if (!header_read)
        fail(ExitCode::bad_input, source.string() + ": empty; the first row must name the columns");
    return sink.finish();
}

// ---- JSON --------------------------------------------------------------------------------------

// The array's elements one object at a time, as the parser meets them; nothing of an element is
// kept once it has been handed on. Depth 0 is the array, 1 its elements, 2 their values.
class JsonRecordReader : public nlohmann::json_sax<nlohmann::json> {
   public:
    explicit JsonRecordReader(RecordSink& sink) : sink_(sink) {}

    bool null() override { return value(std::string()); }
    bool boolean(bool) override { return value(std::nullopt); }
    bool number_integer(number_integer_t n) override { return value(std::to_string(n)); }
    bool number_unsigned(number_unsigned_t n) override { return value(std::to_string(n)); }
    bool number_float(number_float_t, const string_t&) override { return value(std::nullopt); }
    bool string(string_t& text) override { return value(std::move(text)); }
    bool binary(binary_t&) override { return value(std::nullopt); }
    bool key(string_t& name) override {
        if (depth_ == 2) key_ = std::move(name);
        return true;
    }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override {
        if (--depth_ == 1) end_element();
        return true;
    }
    bool end_array() override {
        if (--depth_ == 1) ++element_;
        return true;
    }
    // The whole-text parser then words the fault.
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

   private:
    // A value that is neither a string nor a whole number holds nothing.
    using Text = std::optional<std::string>;

    bool value(Text text) {
        if (depth_ == 0) {
            sink_.refuse(sink_.source().string() + ": expected a JSON array of objects");
        } else if (depth_ == 1) {
            not_an_object();
            ++element_;
        } else if (depth_ == 2) {
            values_[key_] = std::move(text);
        }
        return true;
    }

    // Refuses nesting as deep as the whole-text parser refuses it.
    bool open(bool object) {
        if (depth_ >= max_json_depth) return false;
        if (depth_ == 0 && object) {
            sink_.refuse(sink_.source().string() + ": expected a JSON array of objects");
        } else if (depth_ == 1) {
            if (object)
                values_.clear();
            else
                not_an_object();
        } else if (depth_ == 2) {
            values_[key_] = std::nullopt;
        }
        ++depth_;
        return true;
    }

    [[nodiscard]] std::string where() const { return "element " + std::to_string(element_); }

    void not_an_object() {
        sink_.refuse(sink_.source().string() + " " + where() + ": expected an object");
    }

    // Keys in order of name, as a parsed object lists them; a repeated key keeps its last value.
    void end_element() {
        Record record{element_ + 1, where(), {}};
        ++element_;
        if (sink_.faulty()) return;
        for (auto& [name, text] : values_) {
            if (!text) {
                return sink_.refuse(sink_.source().string() + " " + record.where + ": \"" + name +
                                    "\" must be a string or a whole number");
            }
            record.values[name] = std::move(*text);
            if (named_.insert(name).second) sink_.columns().push_back(name);
        }
        sink_.take(record);
    }

    RecordSink& sink_;
    std::size_t depth_ = 0;
    std::size_t element_ = 0;
    std::string key_;
    std::map<std::string, Text> values_;
    std::set<std::string> named_;  // the columns so far, for a quick look-up in wide records
};

template <typename Input, typename WholeText>
RecordsSummary read_json(Input&& input, const std::filesystem::path& source,
                         const RecordHandler& each, WholeText whole_text) {
    RecordSink sink(source, each);
    JsonRecordReader reader(sink);
    if (!nlohmann::json::sax_parse(std::forward<Input>(input), &reader)) {
        // A malformed text: parsed whole only now, to say where and why as for any JSON file.
        parse_json(whole_text(), source);
        fail(ExitCode::bad_input, source.string() + ": malformed JSON");
    }
    return sink.finish();
}

bool json_file(const std::filesystem::path& file) {
    return lower_case(file.extension().string()) == ".json";
}

Records keep_rows(std::string_view text, const std::filesystem::path& source, bool is_json,
                  DataEncoding encoding) {
    Records records;
    const RecordHandler keep = [&](const Record& r) { records.rows.push_back(r); };
    RecordsSummary summary;
    if (is_json) {
        summary = read_json(text, source, keep, [&] { return text; });
    } else {
        TextSource in(text, source);
        summary = read_csv(in, source, keep, encoding);
    }
    records.source = summary.source;
    records.columns = std::move(summary.columns);
    return records;
}

// `file` is read, `source` named in messages.
RecordsSummary read_records_from(const std::filesystem::path& file,
                                 const std::filesystem::path& source, const RecordHandler& each,
                                 DataEncoding encoding) {
    if (json_file(source) && encoding != DataEncoding::utf8)
        fail(ExitCode::usage,
             source.string() + ": JSON records are always UTF-8; --data-encoding is for CSV");
    std::ifstream in = open_input_file(file);
    if (json_file(source))
        return read_json(in, source, each, [&] { return read_input_file(file); });
    TextSource text(in, source);
    return read_csv(text, source, each, encoding);
}

// A copy of what the pipe or device gives, in a file of its own; empty for a regular file.
std::filesystem::path spool_if_unrepeatable(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto status = fs::status(file, error);
    if (error || !fs::exists(status) || fs::is_regular_file(status) || fs::is_directory(status))
        return {};
    std::ifstream in = open_input_file(file);
    // Without a temporary folder the copy would land in the working folder: refused instead.
    const fs::path folder = fs::temp_directory_path(error);
    if (error)
        fail(ExitCode::bad_input, file.string() + ": cannot keep a copy of it to read it again: " +
                                      "no temporary folder (" + error.message() + ")");
    fs::path spool;
    std::FILE* out = os::create_temporary_file(folder / "eplhost-records-", spool);
    std::string block(read_block_size, '\0');
    bool written = out != nullptr;
    while (written &&
           in.read(block.data(), static_cast<std::streamsize>(block.size())).gcount() > 0) {
        const auto n = static_cast<std::size_t>(in.gcount());
        written = std::fwrite(block.data(), 1, n, out) == n;
    }
    if (out != nullptr) written = std::fclose(out) == 0 && written;
    if (in.bad() || !written) {
        // Only a file this run made is removed; the name tried last may be another's.
        if (out != nullptr) fs::remove(spool, error);
        fail(ExitCode::bad_input, file.string() + ": cannot keep a copy of it in " +
                                      spool.string() + " to read it again");
    }
    return spool;
}

}  // namespace

RecordsSummary read_records(const std::filesystem::path& file, const RecordHandler& each,
                            DataEncoding encoding) {
    return read_records_from(file, file, each, encoding);
}

RecordsFile::RecordsFile(const std::filesystem::path& file, DataEncoding encoding)
    : spool_(spool_if_unrepeatable(file)), encoding_(encoding) {
    try {
        summary_ = read_records_from(spool_.empty() ? file : spool_, file, {}, encoding_);
    } catch (...) {
        std::error_code ignored;
        if (!spool_.empty()) std::filesystem::remove(spool_, ignored);
        throw;
    }
}

RecordsFile::~RecordsFile() {
    std::error_code ignored;
    if (!spool_.empty()) std::filesystem::remove(spool_, ignored);
}

void RecordsFile::read(const RecordHandler& each) const {
    const std::filesystem::path& source = summary_.source;
    const RecordsSummary again =
        read_records_from(spool_.empty() ? source : spool_, source, each, encoding_);
    if (again.count != summary_.count || again.columns != summary_.columns)
        fail(ExitCode::bad_input, source.string() + ": changed while the job ran");
}

Records parse_csv(std::string_view text, const std::filesystem::path& source,
                  DataEncoding encoding) {
    return keep_rows(text, source, false, encoding);
}

Records parse_json_records(std::string_view text, const std::filesystem::path& source) {
    return keep_rows(text, source, true, DataEncoding::utf8);
}

}  // namespace epl2::eplhost
