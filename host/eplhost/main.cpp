#include <cstdio>
#include <iostream>

#include "app.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define EPL2_ISATTY _isatty
#define EPL2_FILENO _fileno
#else
#include <unistd.h>
#define EPL2_ISATTY isatty
#define EPL2_FILENO fileno
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
    // Printer jobs are bytes: no CR may be added before LF on the way out.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    epl2::eplhost::Io io{std::cout, std::cerr, EPL2_ISATTY(EPL2_FILENO(stderr)) != 0,
                         argc > 0 ? argv[0] : ""};
    return epl2::eplhost::run(args, io);
}
