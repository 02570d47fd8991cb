// The folders under the user's home where this program keeps its files, as
// the XDG base directory rules place them. An installed program's own folder
// is not writable, so nothing the program writes for the user lives there.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/AtomicFile.h"

namespace platform {

// Reads an environment variable; nullopt when unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::optional<std::string> SystemEnvironment(const std::string& name);

// The base folder `variable` names (XDG_CONFIG_HOME, XDG_STATE_HOME, ...),
// with $HOME/`underHome` standing in when it is unset, empty or relative (the
// rules say to ignore a relative one); the password database's home folder
// when HOME is unset too. No trailing "/".
std::string XdgBaseFolder(const EnvironmentLookup& environment, const std::string& variable,
                          const std::string& underHome);

// The folder of the user's statement log and scratch file:
// $XDG_STATE_HOME/vantoly/ (~/.local/state/vantoly/ by default), ending with
// "/". It may not exist yet: CreatePrivateFolders makes it.
std::string UserStateFolder(const EnvironmentLookup& environment = SystemEnvironment);

// Creates `folder` and each missing folder above it with mode 0700 (the
// umask applied), as the XDG rules ask; an existing folder is left as it is.
// Fails, naming the folder and the reason, when a part of the path is not a
// folder or cannot be created.
FileStatus CreatePrivateFolders(const std::string& folder);

}  // namespace platform
