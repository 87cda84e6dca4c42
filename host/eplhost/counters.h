// The next values of the label's counters, kept by name in a counters file of lines
// "NAME NEXT". A batch reserves all the values it may print before its first label is sent: the
// file is replaced whole (a temporary file beside it, forced to the disk, renamed over it), so a
// crash leaves the old values or the new ones, and no later batch repeats a value even when
// this one stops early (the values it did not print are skipped, never reused). Batches that
// share the file take turns through a lock on FILE.lock beside it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "label.h"

namespace epl2::eplhost {

// Each counter's first value in this batch, by name.
using CounterBases = std::map<std::string, std::int64_t>;

// Reserves `labels` values of each counter in the file (made when missing) and returns where
// each starts. Throws Failure (bad_input) for an unreadable file or a counter that would pass
// its largest value, (output) when the file cannot be replaced.
CounterBases reserve_counters(const std::filesystem::path& file,
                              const std::vector<Counter>& counters, std::size_t labels);

// The text a counter prints on the label `index` places after the batch's first (0-based).
std::string counter_text(const Counter& counter, std::int64_t base, std::size_t index);

}  // namespace epl2::eplhost
