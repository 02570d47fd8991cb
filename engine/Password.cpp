#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <cstdlib>
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

std::string newSalt() {
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1) {
        raise(hr::kUnspecified, jet::kReserved,
              "The system could not provide random bytes for the password salt.");
    }
    return toHex(salt, sizeof salt);
}

std::string hashPassword(const std::string& password, const std::string& saltHex) {
    unsigned char out[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(saltHex.data()),
                          static_cast<int>(saltHex.size()), kIterations, EVP_sha256(), sizeof out,
                          out) != 1) {
        raise(hr::kUnspecified, jet::kReserved, "The password could not be hashed.");
    }
    return toHex(out, sizeof out);
}

bool verifyPassword(const std::string& path, const std::string& password,
                    const std::string& saltHex, const std::string& storedHash) {
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

// The remembered verifications are keyed by the file, whatever path named it.
std::string canonicalPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;
}

bool passwordMatches(const Store& store, const std::string& path, const std::string& password,
                     const std::string& storedHash) {
    const std::string salt = store.property("PasswordSalt").value_or("");
    return verifyPassword(canonicalPath(path), password, salt, storedHash);
}

}  // namespace

void checkPassword(const Store& store, const std::string& path, const std::string& password) {
    const std::optional<std::string> hash = store.property("PasswordHash");
    if (hash && !passwordMatches(store, path, password, *hash)) {
        raise(hr::kWrongPassword, jet::kNotValidPassword,
              "Not a valid password for database '" + path + "'.");
    }
}

void setPassword(Store& store, const std::string& password) {
    if (password.empty()) {
        store.setProperty("PasswordHash", std::nullopt);
        store.setProperty("PasswordSalt", std::nullopt);
        return;
    }
    const std::string salt = newSalt();
    store.setProperty("PasswordSalt", salt);
    store.setProperty("PasswordHash", hashPassword(password, salt));
}

void changePassword(Store& store, const std::string& path, const std::string& oldPassword,
                    const std::string& newPassword) {
    const std::optional<std::string> hash = store.property("PasswordHash");
    if (hash) {
        if (!passwordMatches(store, path, oldPassword, *hash)) {
            raise(hr::kWrongPassword, jet::kNotValidPassword,
                  "Not a valid password: the old password given does not match.");
        }
    } else if (!oldPassword.empty()) {
        raise(hr::kWrongPassword, jet::kNotValidPassword,
              "Not a valid password: the database has no password yet; give NULL as the old one.");
    }
    setPassword(store, newPassword);
}

}  // namespace engine::detail
