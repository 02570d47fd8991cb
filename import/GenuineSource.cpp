#include "import/GenuineSource.h"

#include <mdbtools.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>

namespace genuine {

namespace {

// Text and memo values are converted into a buffer libmdb sizes from the
// handle's bind size; it is raised before each value so no text is cut.
constexpr std::size_t kMinimumBindSize = 4096;
constexpr int kMemoOverhead = MDB_MEMO_OVERHEAD;
constexpr std::uint32_t kMemoLengthMask = 0x3fffffff;

// MSysRelationships.grbit flags (DAO's RelationAttributeEnum).
constexpr long kRelationDontEnforce = 0x2;
constexpr long kRelationUpdateCascade = 0x100;
constexpr long kRelationDeleteCascade = 0x1000;
constexpr long kRelationDeleteSetNull = 0x2000;

// MdbIndex.index_type: a relationship's own index, which the engine's
// foreign key brings back by itself.
constexpr int kPrimaryIndex = 1;
constexpr int kForeignKeyIndex = 2;

FieldType FieldTypeOf(int mdbType) {
    switch (mdbType) {
        case MDB_BOOL:
            return FieldType::kBoolean;
        case MDB_BYTE:
            return FieldType::kByte;
        case MDB_INT:
            return FieldType::kInteger;
        case MDB_LONGINT:
            return FieldType::kLong;
        case MDB_MONEY:
            return FieldType::kCurrency;
        case MDB_FLOAT:
            return FieldType::kSingle;
        case MDB_DOUBLE:
            return FieldType::kDouble;
        case MDB_DATETIME:
            return FieldType::kDateTime;
        case MDB_BINARY:
            return FieldType::kBinary;
        case MDB_TEXT:
            return FieldType::kText;
        case MDB_OLE:
            return FieldType::kOle;
        case MDB_MEMO:
            return FieldType::kMemo;
        case MDB_REPID:
            return FieldType::kGuid;
        case MDB_NUMERIC:
            return FieldType::kDecimal;
        case MDB_COMPLEX:
            return FieldType::kComplex;
        default:
            return FieldType::kUnknown;
    }
}

std::optional<std::string> Property(const MdbColumn* column, const char* name) {
    const char* value = mdb_col_get_prop(column, name);
    if (!value) return std::nullopt;
    return std::string(value);
}

bool PropertyIsYes(const MdbColumn* column, const char* name, bool absent) {
    auto value = Property(column, name);
    if (!value) return absent;
    return *value == "yes" || *value == "Yes" || *value == "true" || *value == "1";
}

std::string ObjectKind(int type) {
    switch (type) {
        case MDB_FORM:
            return "form";
        case MDB_MACRO:
            return "macro";
        case MDB_REPORT:
            return "report";
        case MDB_QUERY:
            return "saved query";
        case MDB_LINKED_TABLE:
            return "linked table";
        case MDB_MODULE:
            return "module";
        default:
            return "";
    }
}

bool IsSystemName(const std::string& name) {
    return name.rfind("MSys", 0) == 0 || name.rfind("~", 0) == 0 || name.rfind("f_", 0) == 0;
}

// A table definition, freed with its columns and indexes.
struct TableDef {
    MdbTableDef* def = nullptr;
    explicit TableDef(MdbTableDef* d) : def(d) {}
    ~TableDef() {
        if (def) mdb_free_tabledef(def);
    }
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;
};

MdbColumn* ColumnAt(MdbTableDef* def, unsigned i) {
    return static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
}

}  // namespace

struct GenuineSource::Handle {
    MdbHandle* mdb = nullptr;
    std::string path;
    ~Handle() {
        if (mdb) mdb_close(mdb);
    }
};

GenuineSource::GenuineSource(const std::string& path) : handle_(std::make_unique<Handle>()) {
    handle_->path = path;
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
    handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!handle_->mdb) {
        throw SourceError(
            "The source " + path +
            " is not a genuine Access database (Jet 3, Jet 4 or ACE): its header is not one.");
    }
    MdbHandle* mdb = handle_->mdb;
    const auto pageSize = static_cast<off_t>(mdb->fmt->pg_size);
    if (info.st_size < pageSize * 2 || info.st_size % pageSize != 0) {
        throw SourceError("The source " + path + " is cut short: " + std::to_string(info.st_size) +
                          " bytes is not a whole number of its " + std::to_string(pageSize) +
                          "-byte pages. Copy the file again from where it came from.");
    }
    if (!mdb_read_catalog(mdb, MDB_ANY)) {
        throw SourceError("The source " + path +
                          " is damaged: its list of objects cannot be read.");
    }
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        const std::string name = entry->object_name;
        if (entry->object_type != MDB_TABLE) {
            const std::string kind = ObjectKind(entry->object_type);
            if (!kind.empty() && !IsSystemName(name)) others_.push_back({kind, name});
            continue;
        }
        if (!mdb_is_user_table(entry)) continue;
        TableDef def(mdb_read_table(entry));
        // mdb_read_indices answers NULL even when it has read them all.
        if (def.def && mdb_read_columns(def.def)) mdb_read_indices(def.def);
        if (!def.def || !def.def->columns || (def.def->num_idxs > 0 && !def.def->indices)) {
            throw SourceError("The source " + path + " is damaged: the definition of table '" +
                              name + "' cannot be read.");
        }
        SourceTable table;
        table.name = name;
        table.rowCount = def.def->num_rows;
        if (const char* d = mdb_table_get_prop(def.def, "Description")) table.description = d;
        const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
        for (unsigned c = 0; c < def.def->num_cols; ++c) {
            MdbColumn* col = ColumnAt(def.def, c);
            SourceColumn column;
            column.name = col->name;
            column.rawType = col->col_type;
            column.type = FieldTypeOf(col->col_type);
            column.size = col->col_size;
            if (column.type == FieldType::kText && !jet3) column.size = col->col_size / 2;
            // libmdb's two names are the other way round: what it calls the
            // scale is the precision (mdb-schema prints them so as well).
            column.precision = col->col_scale;
            column.scale = col->col_prec;
            column.autoNumber = col->is_long_auto != 0;
            // Jet 3 files leave the flag set on ordinary fields; only a
            // replication ID can be given a fresh GUID.
            column.autoGuid = col->is_uuid_auto != 0 && col->col_type == MDB_REPID;
            column.required = PropertyIsYes(col, "Required", false);
            column.allowZeroLength = PropertyIsYes(col, "AllowZeroLength", true);
            column.defaultValue = Property(col, "DefaultValue");
            column.description = Property(col, "Description");
            column.expression = Property(col, "Expression");
            table.columns.push_back(std::move(column));
        }
        for (unsigned x = 0; x < def.def->num_idxs; ++x) {
            auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(def.def->indices, x));
            if (idx->index_type == kForeignKeyIndex) continue;
            SourceIndex index;
            index.name = idx->name;
            index.primaryKey = idx->index_type == kPrimaryIndex;
            index.unique = (idx->flags & MDB_IDX_UNIQUE) != 0;
            index.ignoreNulls = (idx->flags & MDB_IDX_IGNORENULLS) != 0;
            index.required = (idx->flags & MDB_IDX_REQUIRED) != 0;
            for (unsigned k = 0; k < idx->num_keys; ++k) {
                const int number = idx->key_col_num[k] - 1;
                if (number < 0 || number >= static_cast<int>(def.def->num_cols)) {
                    throw SourceError("The source " + path + " is damaged: index '" + index.name +
                                      "' of table '" + name +
                                      "' names a field that does not exist.");
                }
                index.columns.push_back({ColumnAt(def.def, static_cast<unsigned>(number))->name,
                                         idx->key_col_order[k] == MDB_DESC});
            }
            table.indexes.push_back(std::move(index));
        }
        tables_.push_back(std::move(table));
    }

    // Relationships: one MSysRelationships row per field pair.
    auto isUserTable = [&](const std::string& t) {
        return std::any_of(tables_.begin(), tables_.end(),
                           [&](const SourceTable& s) { return s.name == t; });
    };
    MdbTableDef* raw =
        mdb_read_table_by_name(mdb, const_cast<gchar*>("MSysRelationships"), MDB_TABLE);
    if (raw) {
        TableDef def(raw);
        mdb_read_columns(def.def);
        const char* names[] = {"szRelationship",    "grbit",    "icolumn",
                               "szObject",          "szColumn", "szReferencedObject",
                               "szReferencedColumn"};
        std::vector<std::vector<char>> buffers(7, std::vector<char>(MDB_BIND_SIZE));
        std::vector<int> lengths(7, 0);
        bool bound = true;
        for (int i = 0; i < 7; ++i) {
            bound = bound && mdb_bind_column_by_name(def.def, const_cast<gchar*>(names[i]),
                                                     buffers[i].data(), &lengths[i]) > 0;
        }
        if (bound) {
            struct Pair {
                long position;
                std::string column, related;
            };
            std::map<std::string, std::pair<SourceRelationship, std::vector<Pair>>> found;
            std::vector<std::string> order;
            mdb_rewind_table(def.def);
            while (mdb_fetch_row(def.def)) {
                auto text = [&](int i) {
                    return std::string(buffers[i].data(), static_cast<std::size_t>(lengths[i]));
                };
                const std::string relName = text(0);
                auto [at, inserted] = found.try_emplace(relName);
                if (inserted) order.push_back(relName);
                SourceRelationship& rel = at->second.first;
                const long grbit = std::strtol(text(1).c_str(), nullptr, 10);
                rel.name = relName;
                rel.table = text(3);
                rel.relatedTable = text(5);
                rel.enforced = (grbit & kRelationDontEnforce) == 0;
                rel.cascadeUpdate = (grbit & kRelationUpdateCascade) != 0;
                rel.cascadeDelete = (grbit & kRelationDeleteCascade) != 0;
                rel.cascadeSetNull = (grbit & kRelationDeleteSetNull) != 0;
                at->second.second.push_back(
                    {std::strtol(text(2).c_str(), nullptr, 10), text(4), text(6)});
            }
            for (const auto& relName : order) {
                auto& [rel, pairs] = found[relName];
                if (!isUserTable(rel.table) || !isUserTable(rel.relatedTable)) continue;
                std::sort(pairs.begin(), pairs.end(),
                          [](const Pair& a, const Pair& b) { return a.position < b.position; });
                for (const auto& p : pairs) {
                    rel.columns.push_back(p.column);
                    rel.relatedColumns.push_back(p.related);
                }
                relationships_.push_back(rel);
            }
        }
    }
}

GenuineSource::~GenuineSource() = default;

std::string GenuineSource::Generation() const {
    switch (handle_->mdb->f->jet_version) {
        case MDB_VER_JET3:
            return "Jet 3";
        case MDB_VER_JET4:
            return "Jet 4";
        default:
            return "ACE";
    }
}

std::vector<RoundedDecimals> GenuineSource::ReadRows(
    const SourceTable& table, const std::function<void(const std::vector<engine::Variant>&)>& row) {
    MdbHandle* mdb = handle_->mdb;
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, table.name.c_str());
    if (!entry) throw SourceError("The source no longer lists table '" + table.name + "'.");
    TableDef def(mdb_read_table(entry));
    if (!def.def || !mdb_read_columns(def.def)) {
        throw SourceError("The source is damaged: the definition of table '" + table.name +
                          "' cannot be read.");
    }
    const unsigned count = def.def->num_cols;
    // OLE objects are read through libmdb's bound buffer: it holds the
    // field's 12-byte header, then one page's part of the object at a time.
    std::vector<std::vector<char>> oleBuffers(count);
    for (unsigned c = 0; c < count; ++c) {
        if (ColumnAt(def.def, c)->col_type == MDB_OLE) {
            oleBuffers[c].assign(MDB_PGSIZE * 2, 0);
            mdb_bind_column(def.def, static_cast<int>(c + 1), oleBuffers[c].data(), nullptr);
        }
    }
    std::vector<engine::Variant> values(count);
    std::vector<MdbField> fields(count);
    std::vector<RoundedDecimals> rounded(count);
    std::uint64_t rowsRead = 0;
    mdb_rewind_table(def.def);
    while (mdb_fetch_row(def.def)) {
        // Jet keeps a zero-length text and a Null apart only in the row's
        // null mask, which the fetch does not pass on: read it from the row.
        bool haveMask = false;
        auto isNull = [&](unsigned c) {
            if (!haveMask) {
                int start = 0;
                std::size_t length = 0;
                mdb_find_row(mdb, static_cast<int>(def.def->cur_row - 1), &start, &length);
                start &= 0x1fff;
                // A row written before later columns were added stores
                // fewer fields than the table has: those it lacks are Null.
                // libmdb marks them so in every entry, past the count it
                // returns too; an entry it leaves alone stays Null.
                std::vector<MdbField> cracked(count);
                for (unsigned i = 0; i < count; ++i) {
                    cracked[i].colnum = static_cast<int>(i);
                    cracked[i].is_null = 1;
                }
                if (mdb_crack_row(def.def, start, length, cracked.data()) < 0) {
                    throw SourceError("The source is damaged: a row of table '" + table.name +
                                      "' cannot be read.");
                }
                for (const MdbField& field : cracked) {
                    if (field.colnum >= 0 && static_cast<unsigned>(field.colnum) < count)
                        fields[static_cast<unsigned>(field.colnum)] = field;
                }
                haveMask = true;
            }
            return fields[c].is_null != 0;
        };
        for (unsigned c = 0; c < count; ++c) {
            MdbColumn* col = ColumnAt(def.def, c);
            const int start = col->cur_value_start;
            const int length = col->cur_value_len;
            engine::Variant& v = values[c];
            if (col->col_type == MDB_BOOL) {
                // The null mask bit is the value: set means Yes.
                v = engine::Variant::fromBool(length == 0);
                continue;
            }
            if (length == 0) {
                const bool variable = col->col_type == MDB_TEXT || col->col_type == MDB_MEMO ||
                                      col->col_type == MDB_BINARY || col->col_type == MDB_OLE;
                if (variable && !isNull(c)) {
                    v = col->col_type == MDB_TEXT || col->col_type == MDB_MEMO
                            ? engine::Variant::fromText("")
                            : engine::Variant::fromBytes({});
                } else {
                    v = engine::Variant::null();
                }
                continue;
            }
            unsigned char* page = mdb->pg_buf;
            switch (col->col_type) {
                case MDB_BYTE:
                    v = engine::Variant::fromUI1(mdb_get_byte(page, start));
                    break;
                case MDB_INT:
                    v = engine::Variant::fromI2(
                        static_cast<std::int16_t>(mdb_get_int16(page, start)));
                    break;
                case MDB_LONGINT:
                    v = engine::Variant::fromI4(
                        static_cast<std::int32_t>(mdb_get_int32(page, start)));
                    break;
                case MDB_FLOAT:
                    v = engine::Variant::fromR4(mdb_get_single(page, start));
                    break;
                case MDB_DOUBLE:
                    v = engine::Variant::fromR8(mdb_get_double(page, start));
                    break;
                case MDB_DATETIME:
                    v = engine::Variant::fromDate(mdb_get_double(page, start));
                    break;
                case MDB_MONEY: {
                    std::int64_t units = 0;
                    std::memcpy(&units, page + start, sizeof units);  // little-endian, as the file
                    v = engine::Variant::fromCurrency(units);
                    break;
                }
                case MDB_NUMERIC: {
                    // libmdb writes the digits exactly; reading them back is
                    // locale-proof, whatever LC_NUMERIC says.
                    char* text = mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec);
                    const std::string digits = text;
                    g_free(text);
                    double number = 0;
                    std::from_chars(digits.data(), digits.data() + digits.size(), number);
                    v = engine::Variant::fromDecimal(number);
                    // libmdb writes exactly the field's scale of places, so
                    // the double written the same way differs when rounded.
                    // A double's 309 integer digits and a scale byte's 255 places fit.
                    char kept[640];
                    const auto written = std::to_chars(kept, kept + sizeof kept, number,
                                                       std::chars_format::fixed, col->col_prec);
                    const std::string keptText =
                        written.ec == std::errc{} ? std::string(kept, written.ptr) : "?";
                    if (keptText != digits) {
                        RoundedDecimals& r = rounded[c];
                        if (r.count++ == 0) {
                            r.field = col->name;
                            r.firstSource = digits;
                            r.firstKept = keptText;
                        }
                    }
                    break;
                }
                case MDB_REPID:
                    v = engine::Variant::fromText(GuidText(page + start));
                    break;
                case MDB_BINARY:
                    v = engine::Variant::fromBytes(
                        std::vector<std::uint8_t>(page + start, page + start + length));
                    break;
                case MDB_TEXT:
                case MDB_MEMO: {
                    std::size_t need = static_cast<std::size_t>(length) * 3 + 16;
                    if (col->col_type == MDB_MEMO && length >= kMemoOverhead) {
                        need = (static_cast<std::size_t>(mdb_get_int32(page, start)) &
                                kMemoLengthMask) *
                                   3 +
                               16;
                    }
                    mdb_set_bind_size(mdb, std::max(need, kMinimumBindSize));
                    char* text = mdb_col_to_string(mdb, page, start, col->col_type, length);
                    v = engine::Variant::fromText(text ? text : "");
                    g_free(text);
                    break;
                }
                case MDB_OLE: {
                    std::size_t size = 0;
                    void* bytes = mdb_ole_read_full(mdb, col, &size);
                    auto* first = static_cast<std::uint8_t*>(bytes);
                    v = engine::Variant::fromBytes(std::vector<std::uint8_t>(first, first + size));
                    std::free(bytes);
                    break;
                }
                default:
                    v = engine::Variant::null();
                    break;
            }
        }
        ++rowsRead;
        row(values);
    }
    // The recorded count lags behind rows added since it was last written
    // (Access and other readers read them all); only fewer rows than it
    // records shows that pages are missing.
    if (rowsRead < table.rowCount) {
        throw SourceError(
            "The source is damaged: table '" + table.name + "' records " +
            std::to_string(table.rowCount) + " rows, but " + std::to_string(rowsRead) +
            " can be read. Nothing was imported; copy the file again from where it came from.");
    }
    std::erase_if(rounded, [](const RoundedDecimals& r) { return r.count == 0; });
    return rounded;
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
            return "attachment or multi-value field";
        case FieldType::kUnknown:
            break;
    }
    return "field type " + std::to_string(column.rawType);
}

}  // namespace genuine
