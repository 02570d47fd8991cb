#include "platform/OpenFileHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <fstream>

namespace platform {

namespace {

bool AllDigits(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    }
    return true;
}

std::vector<std::string> NumericEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) return names;
    while (const dirent* entry = ::readdir(directory)) {
        if (AllDigits(entry->d_name)) names.emplace_back(entry->d_name);
    }
    ::closedir(directory);
    return names;
}

}  // namespace

std::vector<FileHolder> ProcessesHoldingOpen(const std::string& path) {
    std::vector<FileHolder> holders;
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return holders;
    const std::string self = std::to_string(::getpid());
    for (const std::string& pid : NumericEntries("/proc")) {
        if (pid == self) continue;
        const std::string descriptors = "/proc/" + pid + "/fd/";
        for (const std::string& fd : NumericEntries(descriptors)) {
            struct stat open {};
            // stat follows the descriptor's link to the open file itself.
            if (::stat((descriptors + fd).c_str(), &open) != 0) continue;
            if (open.st_dev != file.st_dev || open.st_ino != file.st_ino) continue;
            FileHolder holder;
            holder.pid = std::stoi(pid);
            std::ifstream comm("/proc/" + pid + "/comm");
            std::getline(comm, holder.name);
            holders.push_back(holder);
            break;
        }
    }
    return holders;
}

std::string DescribeHolders(const std::vector<FileHolder>& holders) {
    std::string text;
    for (const FileHolder& holder : holders) {
        text += (text.empty() ? "" : ", ") + std::string("pid ") + std::to_string(holder.pid) +
                " (" + holder.name + ")";
    }
    return text;
}

}  // namespace platform
