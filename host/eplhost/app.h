// eplhost's command line: `models`, `options` and `print`, run against the driver module. The
// program's main and the tests both come through run().
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace epl2::eplhost {

struct Io {
    std::ostream& out;
    std::ostream& err;
    bool err_is_terminal = false;
    std::string argv0;  // where the program lives: the module is looked for beside it
};

// Returns the exit status (see ExitCode).
int run(const std::vector<std::string>& args, Io& io);

}  // namespace epl2::eplhost
