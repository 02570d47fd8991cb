// What this release is: the database version it starts from, the version it
// brings a database to, the release date the windows and the version stamp
// show, and the update-content lines the stamp records. The next release
// starts here (and in the script resource, whose stamp a test holds to these).
#pragma once

#include <array>
#include <string_view>

namespace update {

// The version the update starts from, as the gate compares it.
inline constexpr std::string_view kFromVersion = "1.25";
// The version the update leaves, as the main window shows it after "ver.".
inline constexpr std::string_view kToVersion = "1.26";
// t_db_ver.DBVerID of the new version's row.
inline constexpr int kToVersionId = 26;
// The release date: the success message's caption, the update-content
// heading and t_db_ver.DBPatchDate.
inline constexpr std::string_view kReleaseDate = "2020/05/24";
// The update-content lines, as the main window lists them and the stamp
// records them in t_db_ver_comment.
inline constexpr std::array<std::string_view, 1> kUpdateContents = {"１．マイレージデータ追加"};

}  // namespace update
