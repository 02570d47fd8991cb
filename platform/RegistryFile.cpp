#include "platform/RegistryFile.h"

#include "platform/BoundedRead.h"

namespace platform {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kCurrentUser = "HKEY_CURRENT_USER\\";

std::string LowerAscii(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE without its byte-order mark to UTF-8. A lone surrogate becomes
// U+FFFD and an odd final byte (a truncated file) is dropped.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t first = unit(i);
        if (first >= 0xD800 && first <= 0xDBFF && i + 3 < bytes.size()) {
            const char16_t second = unit(i + 2);
            if (second >= 0xDC00 && second <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(first) - 0xD800) << 10) + (second - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (first >= 0xD800 && first <= 0xDFFF) ? char32_t(0xFFFD) : char32_t(first));
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// A double-quoted registry string starting at text[0] == '"'. Only \\ and \"
// are escapes, as regedit writes them; any other backslash stays. Answers the
// unescaped text and the rest after the closing quote, or nothing when the
// closing quote is missing.
std::optional<std::pair<std::string, std::string_view>> TakeQuoted(std::string_view text) {
    std::string unescaped;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') return std::make_pair(std::move(unescaped), text.substr(i + 1));
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
            unescaped += text[++i];
        } else {
            unescaped += c;
        }
    }
    return std::nullopt;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           LowerAscii(text.substr(0, prefix.size())) == LowerAscii(prefix);
}

// The lines of a text, one at a time, without a copy or a list of them.
class Lines {
  public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool Next(std::string_view& line) {
        if (rest_.empty()) return false;
        const std::size_t end = rest_.find('\n');
        line = rest_.substr(0, end);
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        return true;
    }

  private:
    std::string_view rest_;
};

}  // namespace

// Walks the logical lines of an export once.
class RegistryParser {
  public:
    explicit RegistryParser(RegistryExport& target) : target_(target) {}

    void Run(std::string_view text) {
        Lines lines{text};
        std::string_view header;
        while (lines.Next(header) && Trim(header).empty()) {
        }
        header = Trim(header);
        if (header != kHeader5 && header != kHeader4) return;
        target_.recognised_ = true;
        std::string_view raw;
        while (lines.Next(raw)) {
            const std::string_view line = Trim(raw);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                TakeKeyLine(line);
            } else if (line.front() == '"' || line.front() == '@') {
                TakeValueLine(line, lines);
            } else {
                // Not registry syntax: passed over.
            }
        }
    }

  private:
    void TakeKeyLine(std::string_view line) {
        currentKey_.reset();
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) return;
        std::string_view name = Trim(line.substr(1, close - 1));
        if (!name.empty() && name.front() == '-') {
            const std::string removed = RegistryExport::NormalisedKey(name.substr(1));
            std::erase_if(target_.keys_, [&](const auto& entry) {
                return entry.first == removed || entry.first.starts_with(removed + "\\");
            });
            return;
        }
        if (name.empty()) return;
        const std::string key = RegistryExport::NormalisedKey(name);
        target_.keys_[key];
        currentKey_ = key;
    }

    void TakeValueLine(std::string_view line, Lines& lines) {
        std::string name;
        std::string_view rest;
        if (line.front() == '@') {
            rest = line.substr(1);  // the default value has the empty name
        } else {
            auto quoted = TakeQuoted(line);
            if (!quoted) return;
            name = std::move(quoted->first);
            rest = quoted->second;
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=') return;
        rest = Trim(rest.substr(1));

        RegistryValue value;
        if (!rest.empty() && rest.front() == '"') {
            auto quoted = TakeQuoted(rest);
            if (quoted && Trim(quoted->second).empty() && IsValidUtf8(quoted->first)) {
                value.kind = RegistryValue::Kind::Text;
                value.text = std::move(quoted->first);
            }
        } else if (rest == "-") {
            if (currentKey_) target_.keys_[*currentKey_].erase(LowerAscii(name));
            return;
        } else if (StartsWithNoCase(rest, "dword:") || StartsWithNoCase(rest, "hex")) {
            value.kind = RegistryValue::Kind::Other;
            // Binary data goes on over lines that end with a backslash.
            std::string_view next;
            while (!rest.empty() && rest.back() == '\\' && lines.Next(next)) rest = Trim(next);
        }
        if (currentKey_) target_.keys_[*currentKey_][LowerAscii(name)] = std::move(value);
    }

    RegistryExport& target_;
    std::optional<std::string> currentKey_;
};

RegistryExport RegistryExport::Parse(std::string_view bytes) {
    std::string decoded;
    if (bytes.starts_with("\xFF\xFE")) {
        decoded = Utf16LeToUtf8(bytes.substr(2));
        bytes = decoded;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    RegistryExport result;
    RegistryParser(result).Run(bytes);
    return result;
}

std::string RegistryExport::NormalisedKey(std::string_view key) {
    key = Trim(key);
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    std::string lowered = LowerAscii(key);
    if (lowered == "hkcu" || lowered.starts_with("hkcu\\")) {
        lowered = "hkey_current_user" + lowered.substr(4);
    }
    return lowered;
}

bool RegistryExport::HasKey(std::string_view key) const {
    return keys_.contains(NormalisedKey(key));
}

const RegistryValue* RegistryExport::Find(std::string_view key, std::string_view name) const {
    const auto found = keys_.find(NormalisedKey(key));
    if (found == keys_.end()) return nullptr;
    const auto value = found->second.find(LowerAscii(name));
    return value == found->second.end() ? nullptr : &value->second;
}

std::string RegistryFilePath(const EnvironmentLookup& environment) {
    if (auto explicitPath = environment("VANTOLY_REGISTRY");
        explicitPath && !explicitPath->empty()) {
        return *explicitPath;
    }
    return XdgBaseFolder(environment, "XDG_CONFIG_HOME", ".config") + "/vantoly/registry.reg";
}

RegistryFile::RegistryFile(std::string path) : path_(std::move(path)) {}

const RegistryExport& RegistryFile::Load() {
    if (export_) return *export_;
    // Non-blocking and regular files only, so that a FIFO put in the file's
    // place cannot hang start-up.
    BoundedReadResult read = ReadBoundedFile(
        path_, {.what = "the registry file", .limit = kRegistryFileLimit, .regularOnly = true});
    loadProblem_ = read.problem;
    export_ = RegistryExport::Parse(read.bytes);
    if (loadProblem_.empty() && !export_->Recognised()) {
        loadProblem_ = "the registry file " + path_ + " has no registry export header";
    }
    return *export_;
}

std::string RegistryFile::LoadProblem() {
    Load();
    return loadProblem_;
}

bool RegistryFile::KeyExists(const std::string& key) {
    return Load().HasKey(std::string(kCurrentUser) + key);
}

std::optional<std::string> RegistryFile::ReadString(const std::string& key,
                                                    const std::string& name) {
    const RegistryValue* value = Load().Find(std::string(kCurrentUser) + key, name);
    if (value == nullptr || value->kind != RegistryValue::Kind::Text) return std::nullopt;
    return value->text.substr(0, value->text.find('\0'));
}

}  // namespace platform
