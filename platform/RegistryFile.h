// The registry on this platform: a text file in the Windows registry export
// format, read only. Bad input of any kind reads as absent keys or values, so
// a damaged file never stops the tool from starting.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "platform/UserFolders.h"

namespace platform {

// One value of an exported key.
struct RegistryValue {
    enum class Kind {
        Text,        // a string value ("name"="text"), unescaped, UTF-8
        Other,       // a value of another type (dword:, hex:, hex(n):)
        Unreadable,  // a line that names the value but whose data cannot be read
    };
    Kind kind = Kind::Unreadable;
    std::string text;  // Kind::Text only
};

// A parsed registry export. Key names ("HKEY_CURRENT_USER\SOFTWARE\...") and
// value names compare without regard to ASCII case, as Windows compares
// them; a key written with a trailing backslash is the same key.
class RegistryExport {
  public:
    // Accepts the "Windows Registry Editor Version 5.00" and "REGEDIT4"
    // headers, UTF-8 (with or without a byte-order mark) and UTF-16LE with a
    // byte-order mark. Never fails: bytes without a recognised header give
    // an export with no keys, and lines that are not registry syntax are
    // passed over.
    static RegistryExport Parse(std::string_view bytes);

    bool Recognised() const { return recognised_; }
    bool HasKey(std::string_view key) const;
    // nullptr when the key or the value is absent.
    const RegistryValue* Find(std::string_view key, std::string_view name) const;

    // The key's name as it is compared.
    static std::string NormalisedKey(std::string_view key);

  private:
    using Values = std::map<std::string, RegistryValue>;  // by lower-cased name
    bool recognised_ = false;
    std::map<std::string, Values> keys_;  // by normalised key name

    friend class RegistryParser;
};

// Where the registry file is: $VANTOLY_REGISTRY, else
// $XDG_CONFIG_HOME/vantoly/registry.reg, with ~/.config standing in for an
// unset or relative XDG_CONFIG_HOME. Empty variables count as unset.
std::string RegistryFilePath(const EnvironmentLookup& environment = SystemEnvironment);

// The current user's registry, from an export file. The file is read at the
// first question and not again; a file that is missing, not a regular file,
// unreadable or larger than kRegistryFileLimit (1 MiB) is a registry without
// keys (LoadProblem says why).
class RegistryFile : public Registry {
  public:
    explicit RegistryFile(std::string path);

    // `key` is relative to HKEY_CURRENT_USER, as in "SOFTWARE\\VANTOLY\\".
    bool KeyExists(const std::string& key) override;
    // The text up to its first zero byte; nothing for an absent key or value,
    // a value of another type and a value that cannot be read.
    std::optional<std::string> ReadString(const std::string& key, const std::string& name) override;

    const std::string& Path() const { return path_; }
    std::string LoadProblem() override;

  private:
    const RegistryExport& Load();

    std::string path_;
    std::optional<RegistryExport> export_;
    std::string loadProblem_;
};

}  // namespace platform
