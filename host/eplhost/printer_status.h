// What an EPL2 printer says on its status channel, as eplhost --confirm asks for it: US turns
// error reporting on, after which the printer reports a fault unasked as NAK, two digits and
// XOFF (and XON when it recovers); ^ee asks for the errors standing, answered as two-digit codes
// separated by commas, or 00, and CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace epl2::eplhost {

// US: report errors on the port the job came on.
inline constexpr std::string_view error_reporting_on = "US\n";
// ^ee: which errors stand now.
inline constexpr std::string_view error_query = "^ee\n";

struct PrinterStatus {
    // Every error the answer named, those reported unasked before it first; empty: none.
    std::vector<int> errors;
    [[nodiscard]] bool ok() const noexcept { return errors.empty(); }
    // "out of media (07), print head open (11)"
    [[nodiscard]] std::string words() const;
};

// Whether the bytes hold a whole answer to ^ee.
bool is_whole_error_report(std::string_view answer);

// The answer read; nothing when it is not one (a printer that does not speak EPL2).
std::optional<PrinterStatus> read_error_report(std::string_view answer);

}  // namespace epl2::eplhost
