// The whole content of a file, for comparing what a test wrote or copied.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace testsupport
