#include "import/SourcePassword.h"

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "import/GenuineSource.h"

namespace genuine {

namespace {

// The header page is scrambled with RC4 under one fixed key from offset 0x18
// (126 bytes in Jet 3, 128 from Jet 4 on); the password lies inside at 0x42.
constexpr std::size_t kScrambledStart = 0x18;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::array<std::uint8_t, 4> kHeaderKey = {0xc7, 0xda, 0x39, 0x6b};

void Rc4(const std::uint8_t* key, std::size_t keyLength, std::uint8_t* data, std::size_t length) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % keyLength]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::size_t n = 0; n < length; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

// `bytes` in `codePage` as UTF-8; empty when they do not read in it.
std::string ToUtf8(const std::string& bytes, const char* codePage) {
    iconv_t cd = ::iconv_open("UTF-8", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    const std::size_t done = ::iconv(cd, &in, &inLeft, &to, &toLeft);
    ::iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return {};
    out.resize(out.size() - toLeft);
    return out;
}

}  // namespace

void ScrambleHeaderPage(std::uint8_t* page) {
    const bool jet3 = page[0x14] == 0;
    Rc4(kHeaderKey.data(), kHeaderKey.size(), page + kScrambledStart, jet3 ? 126 : 128);
}

std::vector<std::string> StoredPasswordSpellings(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw SourceError("The source " + path + " cannot be read: " + std::strerror(errno) + ".");
    }
    std::array<std::uint8_t, 0x100> page{};
    const ssize_t got = ::pread(fd, page.data(), page.size(), 0);
    ::close(fd);
    if (got < static_cast<ssize_t>(page.size())) {
        throw SourceError("The source " + path + " is cut short: its header page is incomplete.");
    }
    ScrambleHeaderPage(page.data());
    if (page[0x14] == 0) {  // Jet 3
        std::string bytes(reinterpret_cast<const char*>(page.data() + kPasswordOffset), 20);
        bytes.resize(std::strlen(bytes.c_str()));
        if (bytes.empty()) return {};
        std::vector<std::string> spellings;
        for (const char* codePage : {"CP932", "CP1252"}) {
            std::string text = ToUtf8(bytes, codePage);
            if (!text.empty()) spellings.push_back(std::move(text));
        }
        return spellings;
    }
    // From Jet 4 on the password is UTF-16, each four bytes further masked
    // with the whole days of the creation date; an empty password reads as
    // the mask alone.
    double created = 0;
    std::memcpy(&created, page.data() + kCreationDateOffset, sizeof created);
    const auto days = static_cast<std::uint32_t>(static_cast<std::int64_t>(created));
    std::string utf16;
    for (std::size_t i = 0; i < 40; i += 2) {
        const std::uint8_t low =
            page[kPasswordOffset + i] ^ static_cast<std::uint8_t>(days >> (8 * (i % 4)));
        const std::uint8_t high =
            page[kPasswordOffset + i + 1] ^ static_cast<std::uint8_t>(days >> (8 * ((i + 1) % 4)));
        if (low == 0 && high == 0) break;
        utf16.push_back(static_cast<char>(low));
        utf16.push_back(static_cast<char>(high));
    }
    if (utf16.empty()) return {};
    std::string text = ToUtf8(utf16, "UTF-16LE");
    if (text.empty())
        throw SourceError("The source " + path + " is damaged: its password field does not read.");
    return {text};
}

bool SourcePasswordMatches(const std::string& path, const std::string& given) {
    const std::vector<std::string> spellings = StoredPasswordSpellings(path);
    if (spellings.empty()) return true;
    for (const std::string& spelling : spellings) {
        if (spelling == given) return true;
    }
    return false;
}

}  // namespace genuine
