// The name of a label's stored form in printer memory. The module derives it from the label name
// into a record field of fixed width and sends it between quotes (FK"NAME", FS"NAME",
// FR"NAME"): eplhost hands it a name that already fits, so that a name is never cut inside a
// character and two long names that begin alike still name two forms.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/record.h"

namespace epl2::eplhost {

// Bytes of a form name: the record's field less its closing NUL.
inline constexpr std::size_t max_form_name = record::form_name.width - 1;

// Why a label name cannot name a form: empty, nothing the form name keeps, or a character that
// cannot stand between the printer's quotes. Empty when it can.
std::string form_name_problem(std::string_view name);

// The form name for a label name that form_name_problem accepts, without the dots and spaces
// the module leaves out: as it is when it fits, else its first whole characters, "~" and three
// letters or digits of a hash of the whole name.
std::string form_name_for(std::string_view name);

}  // namespace epl2::eplhost
