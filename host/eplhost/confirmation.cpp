#include "confirmation.h"

#include "errors.h"

namespace epl2::eplhost {

Confirmation::Confirmation(JobStream& stream, std::size_t every, std::size_t total,
                           Journal* journal, std::size_t confirmed)
    : stream_(stream), every_(every), total_(total), journal_(journal), confirmed_(confirmed) {}

void Confirmation::begin() {
    stream_.write(error_reporting_on);
}

void Confirmation::before_records() {
    confirm(confirmed_, true);
}

void Confirmation::after_record(std::size_t record) {
    if (record - confirmed_ >= every_ || record == total_) confirm(record);
}

void Confirmation::confirm(std::size_t record, bool before_records) {
    const std::optional<std::string> answer = stream_.ask(error_query, is_whole_error_report);
    if (!answer) fail(ExitCode::internal, "--confirm reached a target that cannot answer");
    const std::optional<PrinterStatus> status = read_error_report(*answer);
    if (!status) {
        std::string shown;
        for (unsigned char c : *answer) {
            static constexpr char hex[] = "0123456789ABCDEF";
            if (c >= 0x20 && c < 0x7F)
                shown += static_cast<char>(c);
            else
                shown += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        }
        fail(ExitCode::output,
             "the printer's answer to ^ee is not an EPL2 error report: \"" + shown + "\"");
    }
    if (!status->ok()) {
        if (journal_ != nullptr) journal_->stopped(record, status->words());
        throw PrinterFault{record, before_records, *status};
    }
    if (before_records) return;
    if (journal_ != nullptr) journal_->confirmed(record);
    confirmed_ = record;
}

}  // namespace epl2::eplhost
