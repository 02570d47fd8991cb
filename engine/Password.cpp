#include <openssl/evp.h>
#include <openssl/rand.h>

#include <mutex>
#include <set>
#include <tuple>

#include "engine/Internal.h"

namespace engine::detail {

namespace {

constexpr int kIterations = 200000;

std::string toHex(const unsigned char* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// Verified (path, password, hash) triples: the hash is slow on purpose, and a
// catalog scan opens the same file hundreds of times in one run.
std::mutex cacheMutex;
std::set<std::tuple<std::string, std::string, std::string>> verified;

}  // namespace

std::string newSalt() {
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1) {
        raise(hr::kUnspecified, 3000, "The system could not provide random bytes for the password salt.");
    }
    return toHex(salt, sizeof salt);
}

std::string hashPassword(const std::string& password, const std::string& saltHex) {
    unsigned char out[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(saltHex.data()),
                          static_cast<int>(saltHex.size()), kIterations, EVP_sha256(), sizeof out,
                          out) != 1) {
        raise(hr::kUnspecified, 3000, "The password could not be hashed.");
    }
    return toHex(out, sizeof out);
}

bool verifyPassword(const std::string& path, const std::string& password, const std::string& saltHex,
                    const std::string& storedHash) {
    auto key = std::make_tuple(path, password, storedHash);
    {
        std::lock_guard lock(cacheMutex);
        if (verified.count(key)) return true;
    }
    if (hashPassword(password, saltHex) != storedHash) return false;
    std::lock_guard lock(cacheMutex);
    verified.insert(std::move(key));
    return true;
}

}  // namespace engine::detail
