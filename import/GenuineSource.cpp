#include "import/GenuineSource.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "import/ReaderProcess.h"

namespace genuine {

namespace {

using frames::FrameType;
using frames::ValueKind;

template <typename T>
T Fixed(frames::Decoder& d) {
    T value{};
    d.Raw(&value, sizeof value);
    return value;
}

// "[-]digits[.digits]", as libmdb writes a Decimal.
bool IsDecimalText(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    auto digitsOnly = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return !whole.empty() && digitsOnly(whole) && digitsOnly(fraction) &&
           (point == std::string_view::npos || !fraction.empty());
}

engine::Variant DecodeValue(frames::Decoder& d) {
    switch (static_cast<ValueKind>(d.U8())) {
        case ValueKind::kNull:
            return engine::Variant::null();
        case ValueKind::kBool:
            return engine::Variant::fromBool(d.Bool());
        case ValueKind::kByte:
            return engine::Variant::fromUI1(d.U8());
        case ValueKind::kShort:
            return engine::Variant::fromI2(Fixed<std::int16_t>(d));
        case ValueKind::kLong:
            return engine::Variant::fromI4(Fixed<std::int32_t>(d));
        case ValueKind::kSingle:
            return engine::Variant::fromR4(Fixed<float>(d));
        case ValueKind::kDouble:
            return engine::Variant::fromR8(Fixed<double>(d));
        case ValueKind::kDate:
            return engine::Variant::fromDate(Fixed<double>(d));
        case ValueKind::kCurrency:
            return engine::Variant::fromCurrency(Fixed<std::int64_t>(d));
        case ValueKind::kDecimal: {
            // The reader sends the digits exactly as libmdb writes them
            // (up to 28, more than a double holds); they go in as they are.
            const std::string_view digits = d.TextView();
            if (!IsDecimalText(digits))
                throw frames::FrameError("a Decimal value that is no number");
            return engine::Variant::fromDecimal(digits);
        }
        case ValueKind::kText:
            return engine::Variant::fromText(std::string(d.TextView()));
        case ValueKind::kBytes: {
            const std::string_view bytes = d.TextView();
            return engine::Variant::fromBytes(
                std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        }
        case ValueKind::kGuid: {
            std::uint8_t guid[16];
            d.Raw(guid, sizeof guid);
            return engine::Variant::fromText(GuidText(guid));
        }
    }
    throw frames::FrameError("a value of no known kind");
}

}  // namespace

GenuineSource::GenuineSource(const std::string& path) : path_(path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw SourceError("The source " + path + " cannot be read: " + std::strerror(errno) + ".");
    }
    if (!S_ISREG(info.st_mode)) throw SourceError("The source " + path + " is not a regular file.");
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char head[16] = {};
        const std::size_t got = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
        if (got == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0) {
            throw SourceError(
                "The source " + path +
                " is already a database of this program, not a genuine Access file: it needs no "
                "import. Open it with --db.");
        }
    }
    // The smallest genuine file holds a header page and a catalog page of
    // Jet 3's 2048 bytes; libmdb takes an empty file for a Jet 3 one.
    if (info.st_size < 2 * 2048) {
        throw SourceError("The source " + path +
                          " is not a genuine Access database (Jet 3, Jet 4 or ACE): it is only " +
                          std::to_string(info.st_size) + " bytes long.");
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
    catalog_ = StartReader();
}

GenuineSource::~GenuineSource() = default;

SourceCatalog GenuineSource::StartReader() {
    if (reader_) earlierWarnings_ += reader_->WarningLines();
    reader_.reset();
    reader_ = std::make_unique<ReaderProcess>(path_, size_);
    const ReaderProcess::Frame frame = reader_->Next();
    if (frame.type != FrameType::kCatalog) {
        throw SourceError("The source " + path_ +
                          " could not be read: the reader sent rows before the catalog.");
    }
    inStep_ = true;
    try {
        return frames::DecodeCatalog(frame.payload);
    } catch (const frames::FrameError& error) {
        throw SourceError("The source " + path_ +
                          " could not be read: the reader sent a broken catalog (" + error.what() +
                          ").");
    }
}

std::uint64_t GenuineSource::WarningLines() const {
    return earlierWarnings_ + (reader_ ? reader_->WarningLines() : 0);
}

std::string GenuineSource::WarningSample() const {
    return reader_ ? reader_->WarningSample() : std::string();
}

void GenuineSource::ReadRows(const SourceTable& table,
                             const std::function<void(const std::vector<engine::Variant>&)>& row) {
    // The catalog's copy of the table: the reader knows tables by number.
    // A table whose rows were left half read (an exception from `row`)
    // leaves the reader mid-stream: a new one takes over.
    // The callers hold references into catalog_, so the new reader's
    // catalog (the same file's) is not put in its place.
    if (!inStep_) StartReader();
    std::size_t number = 0;
    while (number < catalog_.tables.size() && catalog_.tables[number].name != table.name) ++number;
    if (number == catalog_.tables.size())
        throw SourceError("The source no longer lists table '" + table.name + "'.");
    const std::size_t count = table.columns.size();
    std::vector<engine::Variant> values(count);
    std::uint64_t rowsRead = 0;
    inStep_ = false;
    reader_->Send("rows " + std::to_string(number));
    for (;;) {
        const ReaderProcess::Frame frame = reader_->Next();
        if (frame.type == FrameType::kTableEnd) break;
        if (frame.type != FrameType::kRow) {
            throw SourceError("The source " + path_ +
                              " could not be read: the reader's stream is out of step in table '" +
                              table.name + "'.");
        }
        try {
            frames::Decoder d(frame.payload);
            for (std::size_t c = 0; c < count; ++c) values[c] = DecodeValue(d);
            if (!d.AtEnd()) throw frames::FrameError("a row holds more values than its table has");
        } catch (const frames::FrameError& error) {
            throw SourceError("The source " + path_ + " could not be read: row " +
                              std::to_string(rowsRead + 1) + " of table '" + table.name +
                              "' came broken from the reader (" + error.what() + ").");
        }
        ++rowsRead;
        row(values);
    }
    inStep_ = true;
    // The recorded count lags behind rows added since it was last written
    // (Access and other readers read them all); only fewer rows than it
    // records shows that pages are missing.
    if (rowsRead < table.rowCount) {
        throw SourceError(
            "The source is damaged: table '" + table.name + "' records " +
            std::to_string(table.rowCount) + " rows, but " + std::to_string(rowsRead) +
            " can be read. Nothing was imported; copy the file again from where it came from.");
    }
}

std::string GuidText(const std::uint8_t* bytes) {
    // The first three groups are stored little-endian, the last eight bytes in order.
    static constexpr int kOrder[] = {3,  2, 1, 0,  -1, 5,  4,  -1, 7,  6,
                                     -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "{";
    for (int at : kOrder) {
        if (at < 0) {
            text += '-';
            continue;
        }
        text += kHex[bytes[at] >> 4];
        text += kHex[bytes[at] & 0xf];
    }
    return text + "}";
}

constexpr int kExtendedDateTimeType = 0x14;

std::string DescribeType(const SourceColumn& column) {
    switch (column.type) {
        case FieldType::kBoolean:
            return "Yes/No";
        case FieldType::kByte:
            return "Byte";
        case FieldType::kInteger:
            return "Integer";
        case FieldType::kLong:
            return column.autoNumber ? "AutoNumber" : "Long Integer";
        case FieldType::kCurrency:
            return "Currency";
        case FieldType::kSingle:
            return "Single";
        case FieldType::kDouble:
            return "Double";
        case FieldType::kDateTime:
            return "Date/Time";
        case FieldType::kBinary:
            return "Binary(" + std::to_string(column.size) + ")";
        case FieldType::kText:
            return "Text(" + std::to_string(column.size) + ")";
        case FieldType::kOle:
            return "OLE Object";
        case FieldType::kMemo:
            return "Memo";
        case FieldType::kGuid:
            return "Replication ID";
        case FieldType::kDecimal:
            return "Decimal(" + std::to_string(column.precision) + "," +
                   std::to_string(column.scale) + ")";
        case FieldType::kComplex:
            return "complex field (neither an attachment nor a multi-value field)";
        case FieldType::kAttachment:
            return "Attachment field";
        case FieldType::kMultiValue:
            return "multi-value field";
        case FieldType::kUnknown:
            // Access 2019's type, which libmdb 1.0 does not know.
            if (column.rawType == kExtendedDateTimeType) return "Date/Time Extended";
            break;
    }
    return "field type " + std::to_string(column.rawType);
}

}  // namespace genuine
