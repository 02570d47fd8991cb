// Runs the independent workbook reader (check_workbook.py, openpyxl) on a
// file and answers with its facts by key.
#pragma once

#include <stdio.h>

#include <map>
#include <stdexcept>
#include <string>

namespace viewertest {

using WorkbookFacts = std::map<std::string, std::string>;

inline WorkbookFacts ReadWorkbookFacts(const std::string& path) {
    const std::string command =
        std::string("/usr/bin/python3 '") + VIEWER_WORKBOOK_CHECKER + "' '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string output;
    char buffer[65536];
    std::size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, read);
    }
    if (pclose(pipe) != 0) {
        throw std::runtime_error("the workbook reader failed:\n" + output);
    }
    WorkbookFacts facts;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            facts[line.substr(0, tab)] = line.substr(tab + 1);
        }
        start = end + 1;
    }
    return facts;
}

}  // namespace viewertest
