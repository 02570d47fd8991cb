// A zip archive written front to back into one file: each member is
// compressed in memory and stored with its sizes in the local header, so the
// archive needs no seeking and no data descriptors.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

class ZipWriter {
  public:
    // Opens `path` for writing, truncating it. Raises WriteError.
    explicit ZipWriter(const std::string& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a deflated member. Raises WriteError.
    void Add(std::string_view name, std::string_view data);

    // Writes the central directory and closes the file. Raises WriteError;
    // nothing may be added afterwards.
    void Finish();

  private:
    struct Entry {
        std::string name;
        std::uint32_t crc;
        std::uint32_t compressedSize;
        std::uint32_t size;
        std::uint32_t offset;
    };

    static void PutSharedFields(std::string& out, const Entry& entry);
    void Put(std::string_view bytes);
    void Flush();
    [[noreturn]] void Fail(const std::string& what, int error) const;

    std::string path_;
    int descriptor_ = -1;
    std::string buffer_;         // bytes not yet handed to the file
    std::uint64_t written_ = 0;  // bytes of the archive so far, buffered or not
    std::vector<Entry> entries_;
    z_stream stream_{};
    bool streamReady_ = false;
    std::string compressed_;  // reused between members
};

}  // namespace xlsx
