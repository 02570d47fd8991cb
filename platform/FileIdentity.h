// Which file a name stands for: device and inode survive a rename, so a
// record of a swap in progress can tell, after a kill, which file is where.
#pragma once

#include <sys/stat.h>

#include <string>

namespace platform {

struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;  // 0: no file
    bool operator==(const FileIdentity&) const = default;
    bool Exists() const { return inode != 0; }
};

// The file `path` names itself (a link is not followed); no file: inode 0.
inline FileIdentity IdentityOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {};
    return {static_cast<unsigned long long>(info.st_dev),
            static_cast<unsigned long long>(info.st_ino)};
}

}  // namespace platform
