#include "destinations/destination.h"

#include <cerrno>
#include <cstring>

#include "errors.h"

namespace epl2::eplhost {

void output_error(const Target& target, const std::string& what) {
    fail(ExitCode::output, target.describe() + ": " + what);
}

std::string system_error_text() {
    return errno != 0 ? std::strerror(errno) : "unknown error";
}

std::string write_all(std::FILE* file, std::string_view block) {
    errno = 0;
    if (std::fwrite(block.data(), 1, block.size(), file) != block.size() || std::fflush(file) != 0)
        return system_error_text();
    return {};
}

std::string close_file(std::FILE*& file) {
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    return closed ? std::string() : system_error_text();
}

}  // namespace epl2::eplhost
