#include <iostream>

#include "app.h"
#include "os.h"

int main(int argc, char** argv) {
    epl2::os::use_binary_standard_output();
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    epl2::eplhost::Io io{std::cout, std::cerr, epl2::os::standard_error_is_terminal(),
                         argc > 0 ? argv[0] : ""};
    return epl2::eplhost::run(args, io);
}
