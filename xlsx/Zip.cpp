#include "xlsx/Zip.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "xlsx/WriteError.h"

namespace xlsx {
namespace {

constexpr std::size_t kFlushSize = 1 << 20;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfCentralDirectory = 0x06054b50;
constexpr std::uint16_t kVersion = 20;  // 2.0: deflate
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01, the zip epoch

void Put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// The plain zip format counts in 32 bits; the workbooks written here stay far
// below, and a member that does not gets a clear refusal instead of a
// damaged archive.
std::uint32_t Narrow(std::uint64_t value, const std::string& path) {
    if (value >= std::numeric_limits<std::uint32_t>::max()) {
        throw WriteError("ファイルが大きすぎて書き込めません（4 GB 以上）：" + path);
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

ZipWriter::ZipWriter(const std::string& path) : path_(path) {
    // Never through a symbolic link planted at the name.
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor_ < 0) {
        Fail("ファイルを開けませんでした", errno);
    }
    if (deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        ::close(descriptor_);
        throw WriteError("圧縮を始められませんでした（メモリ不足）：" + path);
    }
    streamReady_ = true;
}

ZipWriter::~ZipWriter() {
    if (streamReady_) deflateEnd(&stream_);
    if (descriptor_ >= 0) ::close(descriptor_);
}

void ZipWriter::Fail(const std::string& what, int error) const {
    throw WriteError(what + "：" + path_ + "\n" + std::strerror(error));
}

void ZipWriter::Put(std::string_view bytes) {
    buffer_.append(bytes);
    written_ += bytes.size();
    if (buffer_.size() >= kFlushSize) Flush();
}

void ZipWriter::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t wrote = ::write(descriptor_, buffer_.data() + done, buffer_.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            Fail("ファイルに書き込めませんでした", errno);
        }
        done += static_cast<std::size_t>(wrote);
    }
    buffer_.clear();
}

// The fields a member's local header and its directory entry share, from
// the version needed to extract it to the length of the extra field.
void ZipWriter::PutSharedFields(std::string& out, const Entry& entry) {
    Put16(out, kVersion);
    Put16(out, 0);  // flags
    Put16(out, kDeflated);
    Put16(out, kDosTime);
    Put16(out, kDosDate);
    Put32(out, entry.crc);
    Put32(out, entry.compressedSize);
    Put32(out, entry.size);
    Put16(out, static_cast<std::uint16_t>(entry.name.size()));
    Put16(out, 0);  // extra field
}

void ZipWriter::Add(std::string_view name, std::string_view data) {
    if (deflateReset(&stream_) != Z_OK) {
        throw WriteError("圧縮できませんでした：" + path_);
    }
    compressed_.resize(deflateBound(&stream_, static_cast<uLong>(data.size())));
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream_.avail_in = static_cast<uInt>(Narrow(data.size(), path_));
    stream_.next_out = reinterpret_cast<Bytef*>(compressed_.data());
    stream_.avail_out = static_cast<uInt>(compressed_.size());
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) {
        throw WriteError("圧縮できませんでした：" + path_);
    }
    compressed_.resize(stream_.total_out);

    Entry entry{std::string(name),
                static_cast<std::uint32_t>(
                    crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size())),
                Narrow(compressed_.size(), path_), Narrow(data.size(), path_),
                Narrow(written_, path_)};
    std::string header;
    Put32(header, kLocalHeader);
    PutSharedFields(header, entry);
    header += entry.name;
    Put(header);
    Put(compressed_);
    entries_.push_back(std::move(entry));
}

void ZipWriter::Finish() {
    if (entries_.size() >= 0xFFFF) {
        throw WriteError("ファイルの部品が多すぎて書き込めません：" + path_);
    }
    const std::uint32_t directoryOffset = Narrow(written_, path_);
    std::string directory;
    for (const Entry& entry : entries_) {
        Put32(directory, kCentralHeader);
        Put16(directory, kVersion);  // made by
        PutSharedFields(directory, entry);
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, 0);  // external attributes
        Put32(directory, entry.offset);
        directory += entry.name;
    }
    Put(directory);
    std::string end;
    Put32(end, kEndOfCentralDirectory);
    Put16(end, 0);  // this disk
    Put16(end, 0);  // disk of the directory
    Put16(end, static_cast<std::uint16_t>(entries_.size()));
    Put16(end, static_cast<std::uint16_t>(entries_.size()));
    Put32(end, Narrow(directory.size(), path_));
    Put32(end, directoryOffset);
    Put16(end, 0);  // comment
    Put(end);
    Flush();
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (::close(descriptor) != 0) {
        Fail("ファイルを閉じられませんでした", errno);
    }
}

}  // namespace xlsx
