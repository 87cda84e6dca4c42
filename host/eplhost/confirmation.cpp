#include "confirmation.h"

#include "errors.h"

namespace epl2::eplhost {

Confirmation::Confirmation(JobStream& stream, std::size_t every, std::size_t total,
                           Journal* journal, std::size_t confirmed)
    : stream_(stream), every_(every), total_(total), journal_(journal), confirmed_(confirmed) {}

void Confirmation::begin() {
    stream_.write(error_reporting_on);
}

void Confirmation::after_record(std::size_t record) {
    if (record - confirmed_ >= every_ || record == total_) confirm(record);
}

void Confirmation::confirm(std::size_t record) {
    const std::optional<std::string> answer = stream_.ask(error_query, is_whole_error_report);
    if (!answer) fail(ExitCode::internal, "--confirm reached a target that cannot answer");
    const std::optional<PrinterStatus> status = read_error_report(*answer);
    if (!status) {
        fail(ExitCode::output, "the printer's answer to ^ee is not an EPL2 error report: \"" +
                                   *answer + "\"");
    }
    if (!status->ok()) {
        if (journal_ != nullptr) journal_->stopped(record, status->words());
        throw PrinterFault{record, *status};
    }
    if (journal_ != nullptr) journal_->confirmed(record);
    confirmed_ = record;
}

}  // namespace epl2::eplhost
