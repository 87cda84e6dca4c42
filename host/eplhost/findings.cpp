#include "findings.h"

#include <nlohmann/json.hpp>

namespace epl2::eplhost {

std::string Finding::text() const {
    std::string out;
    if (record != 0) {
        out = records + " " + where + " (record " + std::to_string(record) +
              (column.empty() ? "" : ", column \"" + column + "\"") + "), ";
    }
    out += file;
    if (file.empty()) return out + message;
    if (!object.empty()) out += ": " + object + " (" + type + ")";
    if (!field.empty()) out += ": field \"" + field + "\"";
    return out + ": " + message;
}

void Findings::add(Finding finding) {
    ++count_;
    if (kept_.size() < max_kept) kept_.push_back(std::move(finding));
}

void write_findings_text(std::ostream& out, const Findings& findings, std::size_t limit) {
    std::size_t shown = 0;
    for (const Finding& f : findings.kept()) {
        if (shown++ == limit) break;
        out << "eplhost: " << f.text() << "\n";
    }
    const std::size_t listed = std::min(limit, findings.kept().size());
    if (findings.count() == listed) return;
    out << "eplhost: ... and " << findings.count() - listed << " more (\"eplhost check\" lists ";
    if (findings.count() > Findings::max_kept)
        out << "the first " << Findings::max_kept << ")\n";
    else
        out << "them all)\n";
}

void write_findings_json(std::ostream& out, const Findings& findings, const CheckSummary& summary) {
    nlohmann::json list = nlohmann::json::array();
    for (const Finding& f : findings.kept()) {
        nlohmann::json item = {
            {"rule", f.rule}, {"file", f.file}, {"message", f.message}, {"text", f.text()}};
        const auto put = [&](const char* key, const std::string& value) {
            if (!value.empty()) item[key] = value;
        };
        put("object", f.object);
        put("type", f.type);
        put("field", f.field);
        if (f.record != 0) {
            item["records"] = f.records;
            item["record"] = f.record;
            put("where", f.where);
            put("column", f.column);
        }
        list.push_back(std::move(item));
    }
    const nlohmann::json root = {{"version", 1},
                                 {"label", summary.label},
                                 {"model", summary.model},
                                 {"labels", summary.labels},
                                 {"count", findings.count()},
                                 {"complete", findings.count() == findings.kept().size()},
                                 {"findings", std::move(list)}};
    // Invalid UTF-8 from a records file is shown, not thrown.
    out << root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

}  // namespace epl2::eplhost
