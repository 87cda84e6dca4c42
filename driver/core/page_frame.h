// The per-label frame: the stored form that holds a label's fixed part, its recall, the print
// command, and the end of the job.
#pragma once

#include <cstdint>

#include "core/job.h"

namespace epl2 {

// Opens the stored form (FK, FS) at the first call of a job that meets one of its two conditions;
// pageinit and the line, box and graphic calls run it before they draw.
void form_preamble(const Job& job) noexcept;

// Continuous media: the label length in dots, from the label height.
std::int32_t label_length_dots(RecordView record) noexcept;

std::int32_t pageinit(const Job& job) noexcept;
std::int32_t page_end(const Job& job) noexcept;
std::int32_t main_end(const Job& job) noexcept;
std::int32_t repeat_begin(const Job& job, std::int32_t quantity) noexcept;

}  // namespace epl2
