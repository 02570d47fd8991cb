// Which other processes have a file open: a program that opened the
// database and sits idle holds no lock, yet would go on reading and writing
// the old file should its name be given to another one.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct FileHolder {
    int pid = 0;
    std::string name;  // the process's command name, as /proc shows it
};

// The processes other than this one holding a descriptor on the file that
// `path` names now (the same device and inode, whatever name they opened).
// Processes this user may not look into are not seen. Empty when the file
// does not exist.
std::vector<FileHolder> ProcessesHoldingOpen(const std::string& path);

// "pid 1234 (name), pid 99 (other)".
std::string DescribeHolders(const std::vector<FileHolder>& holders);

}  // namespace platform
