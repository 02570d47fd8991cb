// The database password a genuine Access file keeps in its header page.
//
// Jet checks the password itself; libmdb reads every page without asking, so
// the import compares what the operator gives with what the file holds before
// it reads a single row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace genuine {

// Scrambles or unscrambles (the same step) the part of a header page that
// Jet keeps under its fixed RC4 key. `page` holds at least 0x100 bytes.
void ScrambleHeaderPage(std::uint8_t* page);

// The spellings the header's password may stand for, in UTF-8: one for Jet 4
// and ACE (UTF-16 in the file), one per plausible code page for Jet 3 (single
// bytes). Empty when the file has no password. SourceError when the header
// cannot be read.
std::vector<std::string> StoredPasswordSpellings(const std::string& path);

// Whether `given` opens the file at `path`: true when the file has no
// password or `given` is one of its spellings (case counts, as in Jet).
bool SourcePasswordMatches(const std::string& path, const std::string& given);

}  // namespace genuine
