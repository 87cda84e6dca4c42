// Collects the warnings of one stream: each names the byte offset and line of the command that
// caused it. A command replayed from a stored form keeps the position where it was stored, so a
// warning that several recalls would repeat is kept once. A warning of the same kind as the one
// kept just before it (the same message but for its numbers: a raster of 800 rows, each reaching
// outside the label) is folded into that one, which ends with "... and N more like it on lines A
// to B": a run of them reads as one line and takes one place under max_warnings. Notes are remarks
// on the whole stream that are no fault of it, such as what eplview had to assume.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "eplview/eplview.h"

namespace eplview {

class Diagnostics {
   public:
    void warn(std::size_t offset, std::size_t line, std::string message);
    void note(std::size_t offset, std::size_t line, std::string message);
    std::vector<Warning> take();
    std::vector<Warning> take_notes() { return std::move(notes_); }

   private:
    bool first_time(std::size_t offset, const std::string& message);
    void close_run();

    std::vector<Warning> warnings_;
    std::vector<Warning> notes_;
    std::set<std::pair<std::size_t, std::string>> seen_;
    std::string last_kind_;                                     // of the last warning kept
    std::size_t first_repeat_line_ = 0, last_repeat_line_ = 0;  // of those folded into it
};

}  // namespace eplview
