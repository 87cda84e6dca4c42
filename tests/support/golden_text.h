// Text compared with a reviewed golden file. EPL2_UPDATE_GOLDEN=1 writes the text into the file
// instead; review every changed line before committing it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace epl2::test {

// Line by line, so that a difference names its file and line.
inline void compare_with_golden(const std::filesystem::path& path, const std::string& text) {
    if (const char* update = std::getenv("EPL2_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream(path, std::ios::binary) << text;
        return;
    }
    std::ostringstream file;
    file << std::ifstream(path, std::ios::binary).rdbuf();
    std::istringstream want(file.str()), got(text);
    for (int n = 1; want.peek() != EOF || got.peek() != EOF; ++n) {
        std::string w = "<end of file>", g = "<end of text>";  // kept where a getline fails
        std::getline(want, w), std::getline(got, g);
        ASSERT_EQ(g, w) << path.string() << ":" << n << " (EPL2_UPDATE_GOLDEN=1 rewrites it)";
    }
}

}  // namespace epl2::test
