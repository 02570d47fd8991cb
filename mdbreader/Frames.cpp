#include "mdbreader/Frames.h"

#include <cstring>

namespace genuine::frames {

void Encoder::Raw(const void* bytes, std::size_t size) {
    out_.append(static_cast<const char*>(bytes), size);
}

void Encoder::Text(std::string_view v) {
    U32(static_cast<std::uint32_t>(v.size()));
    out_.append(v);
}

void Encoder::OptionalText(const std::optional<std::string>& v) {
    Bool(v.has_value());
    if (v) Text(*v);
}

void Decoder::Raw(void* bytes, std::size_t size) {
    if (in_.size() - at_ < size) throw FrameError("a frame ends inside a value");
    std::memcpy(bytes, in_.data() + at_, size);
    at_ += size;
}

template <typename T>
T Decoder::Read() {
    T v{};
    Raw(&v, sizeof v);
    return v;
}

std::uint8_t Decoder::U8() {
    return Read<std::uint8_t>();
}
std::uint32_t Decoder::U32() {
    return Read<std::uint32_t>();
}
std::uint64_t Decoder::U64() {
    return Read<std::uint64_t>();
}
std::int64_t Decoder::I64() {
    return Read<std::int64_t>();
}

std::string_view Decoder::TextView() {
    const std::uint32_t size = U32();
    if (in_.size() - at_ < size) throw FrameError("a frame ends inside a text");
    const std::string_view text = in_.substr(at_, size);
    at_ += size;
    return text;
}

std::optional<std::string> Decoder::OptionalText() {
    if (!Bool()) return std::nullopt;
    return Text();
}

namespace {

void EncodeTable(Encoder& e, const SourceTable& t) {
    e.Text(t.name);
    e.OptionalText(t.description);
    e.U64(t.rowCount);
    e.U32(static_cast<std::uint32_t>(t.columns.size()));
    for (const SourceColumn& c : t.columns) {
        e.Text(c.name);
        e.U8(static_cast<std::uint8_t>(c.type));
        e.I64(c.rawType);
        e.I64(c.size);
        e.I64(c.precision);
        e.I64(c.scale);
        e.Bool(c.autoNumber);
        e.Bool(c.autoGuid);
        e.Bool(c.required);
        e.Bool(c.allowZeroLength);
        e.OptionalText(c.defaultValue);
        e.OptionalText(c.description);
        e.OptionalText(c.expression);
    }
    e.U32(static_cast<std::uint32_t>(t.indexes.size()));
    for (const SourceIndex& x : t.indexes) {
        e.Text(x.name);
        e.Bool(x.primaryKey);
        e.Bool(x.unique);
        e.Bool(x.ignoreNulls);
        e.Bool(x.required);
        e.U32(static_cast<std::uint32_t>(x.columns.size()));
        for (const SourceIndexColumn& k : x.columns) {
            e.Text(k.name);
            e.Bool(k.descending);
        }
    }
}

// A count read from the stream, checked against what the frame can still
// hold (every element takes at least one byte), so a broken count never
// makes the import reserve gigabytes.
std::uint32_t Count(Decoder& d, std::size_t payloadSize) {
    const std::uint32_t n = d.U32();
    if (n > payloadSize) throw FrameError("a frame announces more elements than it holds");
    return n;
}

SourceTable DecodeTable(Decoder& d, std::size_t payloadSize) {
    SourceTable t;
    t.name = d.Text();
    t.description = d.OptionalText();
    t.rowCount = d.U64();
    for (std::uint32_t n = Count(d, payloadSize); n > 0; --n) {
        SourceColumn c;
        c.name = d.Text();
        const std::uint8_t type = d.U8();
        if (type > static_cast<std::uint8_t>(FieldType::kUnknown))
            throw FrameError("a column has no known field type");
        c.type = static_cast<FieldType>(type);
        c.rawType = static_cast<int>(d.I64());
        c.size = static_cast<long>(d.I64());
        c.precision = static_cast<int>(d.I64());
        c.scale = static_cast<int>(d.I64());
        c.autoNumber = d.Bool();
        c.autoGuid = d.Bool();
        c.required = d.Bool();
        c.allowZeroLength = d.Bool();
        c.defaultValue = d.OptionalText();
        c.description = d.OptionalText();
        c.expression = d.OptionalText();
        t.columns.push_back(std::move(c));
    }
    for (std::uint32_t n = Count(d, payloadSize); n > 0; --n) {
        SourceIndex x;
        x.name = d.Text();
        x.primaryKey = d.Bool();
        x.unique = d.Bool();
        x.ignoreNulls = d.Bool();
        x.required = d.Bool();
        for (std::uint32_t k = Count(d, payloadSize); k > 0; --k) {
            SourceIndexColumn column;
            column.name = d.Text();
            column.descending = d.Bool();
            x.columns.push_back(std::move(column));
        }
        t.indexes.push_back(std::move(x));
    }
    return t;
}

void EncodeNames(Encoder& e, const std::vector<std::string>& names) {
    e.U32(static_cast<std::uint32_t>(names.size()));
    for (const std::string& name : names) e.Text(name);
}

std::vector<std::string> DecodeNames(Decoder& d, std::size_t payloadSize) {
    std::vector<std::string> names;
    for (std::uint32_t n = Count(d, payloadSize); n > 0; --n) names.push_back(d.Text());
    return names;
}

}  // namespace

void EncodeCatalog(const SourceCatalog& catalog, std::string& out) {
    Encoder e(out);
    e.Text(catalog.generation);
    e.U32(static_cast<std::uint32_t>(catalog.tables.size()));
    for (const SourceTable& t : catalog.tables) EncodeTable(e, t);
    e.U32(static_cast<std::uint32_t>(catalog.relationships.size()));
    for (const SourceRelationship& r : catalog.relationships) {
        e.Text(r.name);
        e.Text(r.table);
        EncodeNames(e, r.columns);
        e.Text(r.relatedTable);
        EncodeNames(e, r.relatedColumns);
        e.Bool(r.enforced);
        e.Bool(r.cascadeUpdate);
        e.Bool(r.cascadeDelete);
        e.Bool(r.cascadeSetNull);
    }
    e.U32(static_cast<std::uint32_t>(catalog.others.size()));
    for (const SourceObject& o : catalog.others) {
        e.Text(o.kind);
        e.Text(o.name);
    }
    e.U32(static_cast<std::uint32_t>(catalog.queries.size()));
    for (const SourceQuery& q : catalog.queries) {
        e.Text(q.name);
        e.U32(static_cast<std::uint32_t>(q.rows.size()));
        for (const SourceQueryRow& r : q.rows) {
            e.I64(r.attribute);
            e.I64(r.flag);
            e.OptionalText(r.name1);
            e.OptionalText(r.name2);
            e.OptionalText(r.expression);
        }
    }
    e.U32(static_cast<std::uint32_t>(catalog.linkedTables.size()));
    for (const SourceLinkedTable& l : catalog.linkedTables) {
        e.Text(l.name);
        e.Bool(l.odbc);
        e.Text(l.connect);
        e.Text(l.database);
        e.Text(l.foreignName);
    }
}

SourceCatalog DecodeCatalog(std::string_view payload) {
    Decoder d(payload);
    const std::size_t size = payload.size();
    SourceCatalog catalog;
    catalog.generation = d.Text();
    for (std::uint32_t n = Count(d, size); n > 0; --n)
        catalog.tables.push_back(DecodeTable(d, size));
    for (std::uint32_t n = Count(d, size); n > 0; --n) {
        SourceRelationship r;
        r.name = d.Text();
        r.table = d.Text();
        r.columns = DecodeNames(d, size);
        r.relatedTable = d.Text();
        r.relatedColumns = DecodeNames(d, size);
        r.enforced = d.Bool();
        r.cascadeUpdate = d.Bool();
        r.cascadeDelete = d.Bool();
        r.cascadeSetNull = d.Bool();
        catalog.relationships.push_back(std::move(r));
    }
    for (std::uint32_t n = Count(d, size); n > 0; --n) {
        SourceObject o;
        o.kind = d.Text();
        o.name = d.Text();
        catalog.others.push_back(std::move(o));
    }
    for (std::uint32_t n = Count(d, size); n > 0; --n) {
        SourceQuery q;
        q.name = d.Text();
        for (std::uint32_t k = Count(d, size); k > 0; --k) {
            SourceQueryRow r;
            r.attribute = static_cast<int>(d.I64());
            r.flag = static_cast<long>(d.I64());
            r.name1 = d.OptionalText();
            r.name2 = d.OptionalText();
            r.expression = d.OptionalText();
            q.rows.push_back(std::move(r));
        }
        catalog.queries.push_back(std::move(q));
    }
    for (std::uint32_t n = Count(d, size); n > 0; --n) {
        SourceLinkedTable l;
        l.name = d.Text();
        l.odbc = d.Bool();
        l.connect = d.Text();
        l.database = d.Text();
        l.foreignName = d.Text();
        catalog.linkedTables.push_back(std::move(l));
    }
    if (!d.AtEnd()) throw FrameError("the catalog frame holds more than the catalog");
    return catalog;
}

void AppendFrame(std::string& out, FrameType type, std::string_view payload) {
    if (payload.size() > kMaxPayload) throw FrameError("a frame is larger than the stream allows");
    Encoder e(out);
    e.U32(static_cast<std::uint32_t>(payload.size()));
    e.U8(static_cast<std::uint8_t>(type));
    out.append(payload);
}

std::optional<FrameHeader> ReadHeader(std::string_view bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    Decoder d(bytes);
    FrameHeader header{};
    header.length = d.U32();
    const std::uint8_t type = d.U8();
    if (header.length > kMaxPayload) throw FrameError("a frame announces a length past the cap");
    if (type < static_cast<std::uint8_t>(FrameType::kReading) ||
        type > static_cast<std::uint8_t>(FrameType::kError))
        throw FrameError("a frame of no known type");
    header.type = static_cast<FrameType>(type);
    return header;
}

}  // namespace genuine::frames
