// A registry for tests: keys and values set by the test, every read recorded.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

class FakeRegistry : public platform::Registry {
  public:
    void SetValue(const std::string& key, const std::string& name, const std::string& text) {
        Keys.insert(key);
        Values[{key, name}] = text;
    }

    bool KeyExists(const std::string& key) override { return Keys.contains(key); }
    std::optional<std::string> ReadString(const std::string& key,
                                          const std::string& name) override {
        Reads.emplace_back(key, name);
        const auto found = Values.find({key, name});
        if (found == Values.end()) return std::nullopt;
        return found->second;
    }

    std::set<std::string> Keys;
    std::map<std::pair<std::string, std::string>, std::string> Values;
    std::vector<std::pair<std::string, std::string>> Reads;  // (key, value name) in order
};

}  // namespace testsupport
