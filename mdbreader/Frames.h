// The stream between the reader program and the import: frames of a 4-byte
// length, a type byte and that many bytes, in the byte order of the machine
// both run on. The reader sends what it is about to read, the catalog, then
// per table asked for its rows and the count it read, or an error; nothing
// else ever reaches the stream.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "mdbreader/SourceCatalog.h"

namespace genuine::frames {

enum class FrameType : std::uint8_t {
    kReading = 1,   // text: what the reader reads next, for a message should it die there
    kCatalog = 2,   // the SourceCatalog
    kRow = 3,       // one value per column of the table asked for
    kTableEnd = 4,  // u64: the rows read
    kError = 5,     // text: why the file cannot be read
};

// One value of a row: a kind byte, then its bytes.
enum class ValueKind : std::uint8_t {
    kNull = 0,
    kBool,      // u8
    kByte,      // u8
    kShort,     // i16
    kLong,      // i32
    kSingle,    // float
    kDouble,    // double
    kDate,      // double, days since 1899-12-30
    kCurrency,  // i64, ten-thousandths
    kDecimal,   // text: the digits exactly as the file holds them
    kText,      // text, UTF-8
    kBytes,     // text of raw bytes
    kGuid,      // 16 bytes as the file holds them
};

constexpr std::size_t kHeaderSize = 5;
// No frame is larger: a row is bounded by the engine's 64 MiB value length
// (its text as UTF-8 may take up to three bytes for each of the file's
// two), so a longer announced length is a broken stream.
constexpr std::uint32_t kMaxPayload = 256u << 20;

// The stream is not what the reader sends: cut, or a length past the cap.
class FrameError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Encoder {
  public:
    explicit Encoder(std::string& out) : out_(out) {}
    void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void U32(std::uint32_t v) { Raw(&v, sizeof v); }
    void U64(std::uint64_t v) { Raw(&v, sizeof v); }
    void I64(std::int64_t v) { Raw(&v, sizeof v); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void Text(std::string_view v);
    void OptionalText(const std::optional<std::string>& v);
    void Raw(const void* bytes, std::size_t size);

  private:
    std::string& out_;
};

class Decoder {
  public:
    explicit Decoder(std::string_view in) : in_(in) {}
    std::uint8_t U8();
    std::uint32_t U32();
    std::uint64_t U64();
    std::int64_t I64();
    bool Bool() { return U8() != 0; }
    std::string Text() { return std::string(TextView()); }
    std::string_view TextView();
    std::optional<std::string> OptionalText();
    void Raw(void* bytes, std::size_t size);
    bool AtEnd() const { return at_ == in_.size(); }

  private:
    template <typename T>
    T Read();

    std::string_view in_;
    std::size_t at_ = 0;
};

void EncodeCatalog(const SourceCatalog& catalog, std::string& out);
SourceCatalog DecodeCatalog(std::string_view payload);

// Appends one frame (header and payload) to `out`.
void AppendFrame(std::string& out, FrameType type, std::string_view payload);

struct FrameHeader {
    FrameType type;
    std::uint32_t length;
};

// The header at the start of `bytes`, or nothing when fewer than
// kHeaderSize bytes are there. FrameError for a length past the cap.
std::optional<FrameHeader> ReadHeader(std::string_view bytes);

}  // namespace genuine::frames
