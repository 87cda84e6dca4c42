// Readers may watch the folder an image goes to (the virtual printer's clients), so they must never
// see half a file: it is completed under a temporary name beside its own and then renamed into
// place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

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

// The bytes as the whole of the file at path; false when they cannot all be written.
inline bool write_bytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace eplview
