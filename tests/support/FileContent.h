// The whole content of a file, read or written in one call: the one file
// reader and writer of the tests.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Makes `path` hold exactly `bytes`; raises when it cannot.
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace testsupport
