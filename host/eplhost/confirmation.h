// eplhost print --confirm: error reporting on before the first label, then after every N
// records the printer's errors are asked for (printer_status.h) and, when none stands, the
// records sent so far count as confirmed and go into the journal. The first error stops the
// batch with PrinterFault.
//
// What a confirmation proves, and what it does not, is in docs/reliability.md: the printer
// took every label up to the query and had no error standing when it answered; not that each
// label came out readable.
#pragma once

#include <cstddef>
#include <optional>

#include "journal.h"
#include "output.h"
#include "printer_status.h"

namespace epl2::eplhost {

// Thrown at the first error the printer reports.
struct PrinterFault {
    std::size_t record = 0;       // the last record sent before the query
    bool before_records = false;  // the query came before the batch's first record
    PrinterStatus status;
};

class Confirmation {
   public:
    // journal may be null; confirmed: the records an earlier run confirmed.
    Confirmation(JobStream& stream, std::size_t every, std::size_t total, Journal* journal,
                 std::size_t confirmed);

    // Ahead of the job's first byte.
    void begin();
    // Once the stored form and graphics are sent: a printer that could not store them, or is
    // not ready, stops the batch before its first label.
    void before_records();
    // After the record's bytes: asks when `every` records have gone since the last question,
    // and at the last record.
    void after_record(std::size_t record);

    [[nodiscard]] std::size_t last_confirmed() const noexcept { return confirmed_; }

   private:
    void confirm(std::size_t record, bool before_records = false);

    JobStream& stream_;
    std::size_t every_, total_;
    Journal* journal_;
    std::size_t confirmed_;
};

}  // namespace epl2::eplhost
