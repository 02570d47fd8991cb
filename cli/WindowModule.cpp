#include "cli/WindowModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <ostream>
#include <stdexcept>

#include "platform/Interrupts.h"
#include "platform/SystemServices.h"

namespace cli {

std::vector<std::string> WindowModuleCandidates(const std::string& executablePath) {
    const std::string folder = executablePath.substr(0, executablePath.rfind('/') + 1);
    return {folder + kWindowModuleFile,
            folder + "../lib/vantolypatch/modules/" + kWindowModuleFile};
}

int RunWindowModule(const cli::CommandLine& line, int argc, char** argv, std::ostream& out,
                    std::ostream& err) {
    std::vector<std::string> candidates;
    try {
        candidates = WindowModuleCandidates(platform::ExecutablePath());
    } catch (const std::runtime_error& error) {
        err << "VantolyPatch: the windows cannot be loaded: " << error.what() << "\n";
        return cli::kExitFailed;
    }
    std::string reasons;
    for (const std::string& candidate : candidates) {
        if (::access(candidate.c_str(), F_OK) != 0) {
            reasons += "\n  " + candidate + ": no such file";
            continue;
        }
        // Never closed: Qt's objects in it live until the program ends.
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            reasons += "\n  " + candidate + ": " + (why != nullptr ? why : "cannot be loaded");
            continue;
        }
        auto* entry = reinterpret_cast<decltype(&VantolyRunWindowFrontEnd)>(
            ::dlsym(module, kWindowModuleEntry));
        if (entry == nullptr) {
            reasons += "\n  " + candidate + ": it has no entry point " + kWindowModuleEntry;
            continue;
        }
        return entry(line, argc, argv, out, err, platform::ProcessInterruptWatcher());
    }
    err << "VantolyPatch: the windows cannot be loaded (is the installation complete?); tried:"
        << reasons << "\n";
    return cli::kExitFailed;
}

}  // namespace cli
