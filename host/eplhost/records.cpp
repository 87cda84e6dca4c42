#include "records.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "errors.h"
#include "json_text.h"
#include "label.h"

namespace epl2::eplhost {

namespace {

struct CsvRow {
    std::size_t line = 0;
    std::vector<std::string> fields;
};

// RFC 4180: fields separated by commas, optionally quoted, quotes doubled inside quotes, quoted
// fields may span lines; CR LF or LF ends a row. Blank lines are skipped.
std::vector<CsvRow> split_csv(std::string_view text, const std::filesystem::path& source) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<CsvRow> rows;
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
            rows.push_back(std::move(row));
        }
        row = CsvRow{line + 1, {}};
        field.clear();
        at_field_start = true;
        row_has_content = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
                if (i + 1 < text.size() && text[i + 1] != ',' && text[i + 1] != '\n' &&
                    text[i + 1] != '\r') {
                    fail(ExitCode::bad_input, source.string() + " line " + std::to_string(line) +
                                                  ": a closing quote must end its field");
                }
            } else {
                if (ch == '\n') ++line;
                field += ch;
            }
            continue;
        }
        if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
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
    return rows;
}

}  // namespace

Records parse_json_records(std::string_view text, const std::filesystem::path& source) {
    const nlohmann::json root = parse_json(text, source);
    if (!root.is_array())
        fail(ExitCode::bad_input, source.string() + ": expected a JSON array of objects");
    Records records{source, {}, {}};
    std::set<std::string> named;  // the columns so far, for a quick look-up in wide records
    for (std::size_t i = 0; i < root.size(); ++i) {
        const std::string where = "element " + std::to_string(i);
        if (!root[i].is_object())
            fail(ExitCode::bad_input, source.string() + " " + where + ": expected an object");
        Record record{i + 1, where, {}};
        for (const auto& [key, value] : root[i].items()) {
            if (value.is_string())
                record.values[key] = value.get<std::string>();
            else if (const auto number = whole_number_text(value))
                record.values[key] = *number;
            else if (value.is_null())
                record.values[key] = "";
            else
                fail(ExitCode::bad_input, source.string() + " " + where + ": \"" + key +
                                              "\" must be a string or a whole number");
            if (named.insert(key).second) records.columns.push_back(key);
        }
        records.rows.push_back(std::move(record));
    }
    return records;
}

namespace {

bool json_file(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".json";
}

}  // namespace

Records parse_csv(std::string_view text, const std::filesystem::path& source) {
    std::vector<CsvRow> rows = split_csv(text, source);
    if (rows.empty())
        fail(ExitCode::bad_input, source.string() + ": empty; the first row must name the columns");
    Records records{source, rows.front().fields, {}};
    std::set<std::string_view> named;
    for (std::size_t c = 0; c < records.columns.size(); ++c) {
        const std::string& name = records.columns[c];
        if (name.empty())
            fail(ExitCode::bad_input, source.string() + " line " +
                                          std::to_string(rows.front().line) + ": column " +
                                          std::to_string(c + 1) + " has no name");
        if (!named.insert(name).second) {
            fail(ExitCode::bad_input, source.string() + " line " +
                                          std::to_string(rows.front().line) + ": column \"" + name +
                                          "\" is named twice");
        }
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        const std::string where = "line " + std::to_string(row.line);
        if (row.fields.size() != records.columns.size()) {
            fail(ExitCode::bad_input, source.string() + " " + where + ": " +
                                          std::to_string(row.fields.size()) +
                                          " fields, but the header names " +
                                          std::to_string(records.columns.size()) + " columns");
        }
        Record record{r, where, {}};
        for (std::size_t c = 0; c < row.fields.size(); ++c)
            record.values[records.columns[c]] = row.fields[c];
        records.rows.push_back(std::move(record));
    }
    return records;
}

Records load_records(const std::filesystem::path& file) {
    const std::string text = read_input_file(file);
    return json_file(file) ? parse_json_records(text, file) : parse_csv(text, file);
}

}  // namespace epl2::eplhost
