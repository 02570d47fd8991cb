// A fresh temporary folder per test, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace testsupport {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantoly-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("TempFolder: cannot create " + pattern);
        }
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;  // a folder that cannot be removed must not fail the test
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path ending with "/", as `PathName` does.
    std::string Folder() const { return path_.string() + "/"; }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace testsupport
