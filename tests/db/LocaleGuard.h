// Switches the C library's locale for one test and restores it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace dbtest {

// The comma-decimal locale that scripts/install-deps provides.
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

class LocaleGuard {
  public:
    explicit LocaleGuard(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(LC_ALL, previous_.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

    bool Active() const { return active_; }

  private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace dbtest

// Fails the test when the locale is missing: a skipped locale test would hide
// exactly the fault it exists to catch.
#define ASSERT_LOCALE_ACTIVE(guard)                       \
    ASSERT_TRUE((guard).Active()) << dbtest::kCommaLocale \
                                  << " is not installed; run scripts/install-deps"
