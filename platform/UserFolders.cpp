#include "platform/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::optional<std::string> SystemEnvironment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string XdgBaseFolder(const EnvironmentLookup& environment, const std::string& variable,
                          const std::string& underHome) {
    const auto nonEmpty = [&](const std::string& name) -> std::optional<std::string> {
        auto value = environment(name);
        if (value && value->empty()) return std::nullopt;
        return value;
    };
    std::string base;
    if (auto xdg = nonEmpty(variable); xdg && xdg->front() == '/') {
        base = *xdg;
    } else {
        std::string home = nonEmpty("HOME").value_or("");
        if (home.empty()) {
            const passwd* entry = getpwuid(getuid());
            if (entry != nullptr && entry->pw_dir != nullptr) home = entry->pw_dir;
        }
        while (!home.empty() && home.back() == '/') home.pop_back();
        base = home + "/" + underHome;
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base;
}

std::string UserStateFolder(const EnvironmentLookup& environment) {
    return XdgBaseFolder(environment, "XDG_STATE_HOME", ".local/state") + "/vantoly/";
}

FileStatus CreatePrivateFolders(const std::string& folder) {
    // Walk down from the top, so each missing folder is made inside one that
    // exists, and the first part that is in the way is the one named.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty()) {
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                return FileStatus::Failure(errno, "cannot create the folder " + part);
            }
            struct stat info {};
            if (::stat(part.c_str(), &info) != 0)
                return FileStatus::Failure(errno, "cannot reach the folder " + part);
            if (!S_ISDIR(info.st_mode))
                return FileStatus::Failure(ENOTDIR, "cannot create the folder " + part);
        }
        if (slash == std::string::npos) break;
    }
    return {};
}

}  // namespace platform
