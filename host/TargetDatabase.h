// The target database record: where the host application's database is and
// what the main window shows of it. Owned by the main window.
#pragma once

#include <string>

namespace host {

struct TargetDatabase {
    std::string PathName;     // folder, ending with "/" (empty: the working folder)
    std::string FileName;     // without extension
    std::string Extension;    // ".mdb" or ".accdb"
    std::string Password;     // inserted into the connection text unchanged
    std::string VersionText;  // "ver." followed by the version text

    std::string FilePath() const { return PathName + FileName + Extension; }
};

}  // namespace host
