// Readers may watch the folder an image goes to (the virtual printer's clients), so they must never
// see half a file: it is completed under a temporary name beside its own and then renamed into
// place.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace eplview {

// write(temporary) writes the whole file under that name and says whether it could; false, and
// nothing left behind, when it could not or the file cannot be renamed.
template <class Write>
bool write_whole_file(const std::string& path, Write write) {
    std::string temporary = path + ".part";
    std::error_code error;
    if (write(temporary)) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace eplview
