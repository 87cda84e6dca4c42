// The job header: the form name, the memory split and the printer set-up commands that open
// every print job.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// Form name from a label name: at most 8 characters, dots and blanks left out (the printer's
// form names cannot hold them).
void derive_form_name(RecordView record) noexcept;

std::int32_t maininit(const Job& job) noexcept;

}  // namespace epl2
