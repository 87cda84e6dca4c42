// Collects the warnings of one stream: each names the byte offset and line of the command that
// caused it. A command replayed from a stored form keeps the position where it was stored, so a
// warning that several recalls would repeat is kept once.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "eplview/eplview.h"

namespace eplview {

class Diagnostics {
   public:
    void warn(std::size_t offset, std::size_t line, std::string message) {
        if (warnings_.size() >= max_warnings) return;
        if (!seen_.emplace(offset, message).second) return;
        warnings_.push_back({offset, line, std::move(message)});
    }
    std::vector<Warning> take() { return std::move(warnings_); }

   private:
    std::vector<Warning> warnings_;
    std::set<std::pair<std::size_t, std::string>> seen_;
};

}  // namespace eplview
