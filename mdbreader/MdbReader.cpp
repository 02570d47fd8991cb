// vantolypatch-mdb-reader: reads one genuine Access file through libmdb and
// hands its catalog and rows to the import over descriptor 3, and nothing
// else. It runs as a child of the import (import/ReaderProcess.cpp), which
// set its limits and reads its standard output and error as libmdb's
// warnings; a crash, a loop or a runaway allocation inside libmdb ends this
// process, never the import.
//
//   vantolypatch-mdb-reader FILE
//
// Standard input takes one request a line: "rows N" sends the rows of the
// N-th table of the catalog, then their count (or an error). The end of
// standard input ends the program. The file is opened read-only before the
// program gives up every other file and all but a few system calls.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "mdbreader/Frames.h"
#include "mdbreader/Sandbox.h"

// After the C++ headers: it includes glib inside extern "C", and glib's own
// C++ parts must come in first.
#include <mdbtools.h>

namespace genuine {

namespace {

using frames::Encoder;
using frames::FrameType;
using frames::ValueKind;

constexpr int kFrameDescriptor = 3;
constexpr std::size_t kFlushAt = 64 * 1024;

// The file cannot be read as a whole: said in the error frame.
class ReadFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Frames gathered and written in large pieces: a row is a frame, and a
// write per row would cost more than reading it.
class FrameStream {
  public:
    void Add(FrameType type, std::string_view payload) {
        frames::AppendFrame(buffer_, type, payload);
        if (buffer_.size() >= kFlushAt) Flush();
    }
    void Flush() {
        std::size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t n =
                ::write(kFrameDescriptor, buffer_.data() + done, buffer_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            // The import went away: nobody is left to read for.
            if (n <= 0) std::_Exit(3);
            done += static_cast<std::size_t>(n);
        }
        buffer_.clear();
    }

  private:
    std::string buffer_;
};

FrameStream& Stream() {
    static FrameStream stream;
    return stream;
}

// What is read next, so that a crash there names it.
void Reading(const std::string& what) {
    Stream().Add(FrameType::kReading, what);
    Stream().Flush();
}

// A test of the watchdog: the reader stalls before reading what
// VANTOLY_MDB_READER_STALL names ("catalog" or a table's name).
void StallIfAsked(const std::string& what) {
    const char* stall = std::getenv("VANTOLY_MDB_READER_STALL");
    if (stall == nullptr || what != stall) return;
    for (;;) {
        timespec second{1, 0};
        ::nanosleep(&second, nullptr);
    }
}

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

// A calculated field's type is its ResultType property, in the numbering of
// the file's own types; the type the definition records carries the
// calculated value's wrapping. A Decimal result keeps each value's own scale,
// so it is read at the widest precision.
void TypeCalculatedField(const MdbColumn* column, SourceColumn& out) {
    const char* resultType = mdb_col_get_prop(column, "ResultType");
    if (!resultType) return;
    char* end = nullptr;
    const long type = std::strtol(resultType, &end, 10);
    if (end == resultType || *end != '\0') return;
    out.rawType = static_cast<int>(type);
    out.type = FieldTypeOf(static_cast<int>(type));
    if (out.type == FieldType::kText) out.size = 255;
    if (out.type == FieldType::kDecimal) {
        out.precision = 28;
        out.scale = 0;
    }
}

bool PropertyIsYes(const MdbColumn* column, const char* name, bool absent) {
    auto value = Property(column, name);
    if (!value) return absent;
    return *value == "yes" || *value == "Yes" || *value == "true" || *value == "1";
}

// MSysObjects.Type as the file holds it. libmdb keeps only its low seven
// bits, which make an ODBC link (4) a report (0x8004): the kinds come from
// the raw number.
constexpr long kObjectTable = 1;
constexpr long kObjectOdbcLink = 4;
constexpr long kObjectQuery = 5;
constexpr long kObjectFileLink = 6;

std::string ObjectKind(long type) {
    switch (type) {
        case -32768:
            return "form";
        case -32766:
            return "macro";
        case -32764:
            return "report";
        case -32761:
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

// The pages a table's usage map names, with the table they belong to.
struct OwnedPages {
    std::string what;  // "table 'T'", for messages
    guint32 definition = 0;
    std::vector<gint32> pages;
};

// The pages a table's usage map names, all of which the file must hold: a
// file cut short at a page boundary still opens, and libmdb then reads
// fewer rows or objects without saying so.
void CheckPagesInFile(MdbHandle* mdb, MdbTableDef* def, guint32 definition, const std::string& path,
                      off_t fileSize, const std::string& what, std::vector<OwnedPages>& owned) {
    if (def == nullptr || def->usage_map == nullptr) return;
    const auto pageSize = static_cast<off_t>(mdb->fmt->pg_size);
    const off_t pages = fileSize / pageSize;
    OwnedPages mine{what, definition, {}};
    for (gint32 page = 0;
         (page = mdb_map_find_next(mdb, def->usage_map, static_cast<unsigned>(def->map_sz),
                                   static_cast<guint32>(page))) > 0;) {
        if (page >= pages) {
            throw ReadFailure("The source " + path + " is shorter than its pages: " + what +
                              " has pages up to number " + std::to_string(page) +
                              " or more, but the file holds only " + std::to_string(pages) +
                              " pages of " + std::to_string(pageSize) + " bytes (" +
                              std::to_string(fileSize) +
                              " bytes). It was cut short or its page map is damaged; copy it "
                              "again from where it came from.");
        }
        mine.pages.push_back(page);
    }
    owned.push_back(std::move(mine));
}

// Every page a table's map names holds that table's rows, and every page
// holding its rows is in its map: a table definition page copied over
// another, or a map overwritten, makes libmdb read another table's rows or
// none, without a warning. Jet keeps both in step for the user tables, the
// catalog and the relationships (its own storage tables need not be).
void CheckPageOwners(MdbHandle* mdb, const std::vector<OwnedPages>& owned, const std::string& path,
                     off_t fileSize) {
    const auto pageSize = static_cast<off_t>(mdb->fmt->pg_size);
    const int fd = ::fileno(mdb->f->stream);
    auto header = [&](gint32 page, unsigned char(&bytes)[8]) {
        if (::pread(fd, bytes, sizeof bytes, page * pageSize) != sizeof bytes) {
            throw ReadFailure("The source " + path + " cannot be read at page " +
                              std::to_string(page) + ": " + std::strerror(errno) + ".");
        }
    };
    auto ownerOf = [](const unsigned char(&bytes)[8]) {
        return static_cast<guint32>(bytes[4]) | static_cast<guint32>(bytes[5]) << 8 |
               static_cast<guint32>(bytes[6]) << 16 | static_cast<guint32>(bytes[7]) << 24;
    };
    constexpr unsigned char kDataPage = 1;
    std::map<guint32, const OwnedPages*> byDefinition;
    std::vector<bool> listed(static_cast<std::size_t>(fileSize / pageSize), false);
    for (const OwnedPages& table : owned) {
        byDefinition[table.definition] = &table;
        for (gint32 page : table.pages) {
            unsigned char bytes[8];
            header(page, bytes);
            if (bytes[0] != kDataPage || ownerOf(bytes) != table.definition) {
                throw ReadFailure("The source " + path + " is damaged: the page map of " +
                                  table.what + " names page " + std::to_string(page) +
                                  ", which holds " +
                                  (bytes[0] == kDataPage ? "another table's rows" : "no rows") +
                                  ", so its rows cannot all be read.");
            }
            listed[static_cast<std::size_t>(page)] = true;
        }
    }
    for (gint32 page = 1; page < static_cast<gint32>(listed.size()); ++page) {
        unsigned char bytes[8];
        header(page, bytes);
        if (bytes[0] != kDataPage || listed[static_cast<std::size_t>(page)]) continue;
        const auto table = byDefinition.find(ownerOf(bytes));
        if (table == byDefinition.end()) continue;
        throw ReadFailure("The source " + path + " is damaged: page " + std::to_string(page) +
                          " holds rows of " + table->second->what +
                          " that its definition does not list, so they cannot be read.");
    }
}

// The rows of a system table, the named columns of each as text (libmdb's
// conversion; an empty text for a Null). A table whose rows cannot all be
// read, or which lacks a column, is `unreadable`: what it holds would go
// missing without a word.
class SystemRows {
  public:
    // Memo columns (a query's expression, a link's connection text) are
    // converted whole up to this size.
    static constexpr std::size_t kValueSize = 256 * 1024;

    SystemRows(MdbTableDef* def, const std::vector<const char*>& columns,
               const std::string& unreadable)
        : def_(def), unreadable_(unreadable), buffers_(columns.size()), lengths_(columns.size()) {
        if (!def_ || !mdb_read_columns(def_)) throw ReadFailure(unreadable_);
        mdb_set_bind_size(def_->entry->mdb, kValueSize);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            // Left unfilled: libmdb writes each value and its length before
            // one is read, and filling them cost more than the rest of a
            // small file's catalog.
            buffers_[i].reset(new char[kValueSize + 1]);
            if (mdb_bind_column_by_name(def_, const_cast<gchar*>(columns[i]), buffers_[i].get(),
                                        &lengths_[i]) <= 0)
                throw ReadFailure(unreadable_);
        }
        mdb_rewind_table(def_);
    }
    bool Next() {
        if (mdb_fetch_row(def_)) {
            ++read_;
            return true;
        }
        if (read_ < def_->num_rows) {
            throw ReadFailure(unreadable_.substr(0, unreadable_.size() - 1) + ": it records " +
                              std::to_string(def_->num_rows) + " rows, but " +
                              std::to_string(read_) + " can be read.");
        }
        return false;
    }
    std::string Text(std::size_t i) const {
        return std::string(
            buffers_[i].get(),
            std::min(static_cast<std::size_t>(std::max(lengths_[i], 0)), kValueSize));
    }
    std::optional<std::string> OptionalText(std::size_t i) const {
        std::string text = Text(i);
        if (text.empty()) return std::nullopt;
        return text;
    }
    long Number(std::size_t i) const { return std::strtol(Text(i).c_str(), nullptr, 10); }

  private:
    MdbTableDef* def_;
    std::string unreadable_;
    std::vector<std::unique_ptr<char[]>> buffers_;
    std::vector<int> lengths_;
    unsigned read_ = 0;
};

// The objects that are not tables, by MSysObjects' own rows: the saved
// queries (with their MSysQueries rows), the linked tables with their
// connection, and the forms, reports, macros and modules by name.
// Answers every object's name by its MSysObjects.Id.
std::map<long, std::string> ReadOtherObjects(MdbHandle* mdb, MdbCatalogEntry* objectsEntry,
                                             const std::string& path, SourceCatalog& catalog) {
    Reading("the objects that are not tables (MSysObjects)");
    std::map<long, std::size_t> queryById;  // MSysObjects.Id to catalog.queries
    std::map<long, std::string> names;
    {
        // Read afresh: libmdb reads a table's columns right after its
        // definition, from the page it last read.
        TableDef objectsDef(mdb_read_table(objectsEntry));
        SystemRows rows(objectsDef.def,
                        {"Id", "Name", "Type", "Connect", "Database", "ForeignName"},
                        "The source " + path +
                            " is damaged: its catalog (MSysObjects) cannot be "
                            "read.");
        while (rows.Next()) {
            const std::string name = rows.Text(1);
            const long type = rows.Number(2);
            names[rows.Number(0)] = name;
            if (name.empty() || IsSystemName(name) || type == kObjectTable) continue;
            if (type == kObjectQuery) {
                queryById[rows.Number(0)] = catalog.queries.size();
                catalog.queries.push_back({name, {}});
            } else if (type == kObjectOdbcLink || type == kObjectFileLink) {
                catalog.linkedTables.push_back(
                    {name, type == kObjectOdbcLink, rows.Text(3), rows.Text(4), rows.Text(5)});
            } else if (const std::string kind = ObjectKind(type); !kind.empty()) {
                catalog.others.push_back({kind, name});
            }
        }
    }
    if (queryById.empty()) return names;
    Reading("the saved queries (MSysQueries)");
    const std::string unreadable =
        "The source " + path + " is damaged: its saved queries (MSysQueries) cannot be read.";
    if (!mdb_get_catalogentry_by_name(mdb, "MSysQueries")) throw ReadFailure(unreadable);
    MdbTableDef* raw = mdb_read_table_by_name(mdb, const_cast<gchar*>("MSysQueries"), MDB_TABLE);
    if (!raw) throw ReadFailure(unreadable);
    TableDef def(raw);
    SystemRows rows(def.def, {"ObjectId", "Attribute", "Flag", "Name1", "Name2", "Expression"},
                    unreadable);
    while (rows.Next()) {
        const auto query = queryById.find(rows.Number(0));
        if (query == queryById.end()) continue;
        catalog.queries[query->second].rows.push_back({static_cast<int>(rows.Number(1)),
                                                       rows.Number(2), rows.OptionalText(3),
                                                       rows.OptionalText(4), rows.OptionalText(5)});
    }
    return names;
}

// What each complex field of a table is (ACE files): MSysComplexColumns
// names its table and the type object (MSysComplexType_Attachment, or one
// of a multi-value field's value types), by MSysObjects.Id.
using ComplexKinds = std::map<std::pair<long, std::string>, FieldType>;

ComplexKinds ReadComplexKinds(MdbHandle* mdb, const std::map<long, std::string>& names,
                              const std::string& path) {
    ComplexKinds kinds;
    if (!mdb_get_catalogentry_by_name(mdb, "MSysComplexColumns")) return kinds;
    Reading("the complex fields (MSysComplexColumns)");
    const std::string unreadable = "The source " + path +
                                   " is damaged: its complex fields (MSysComplexColumns) cannot "
                                   "be read.";
    MdbTableDef* raw =
        mdb_read_table_by_name(mdb, const_cast<gchar*>("MSysComplexColumns"), MDB_TABLE);
    if (!raw) throw ReadFailure(unreadable);
    TableDef def(raw);
    SystemRows rows(def.def, {"ConceptualTableID", "ColumnName", "ComplexTypeObjectID"},
                    unreadable);
    while (rows.Next()) {
        const auto type = names.find(rows.Number(2));
        if (type == names.end()) continue;
        kinds[{rows.Number(0), rows.Text(1)}] = type->second == "MSysComplexType_Attachment"
                                                    ? FieldType::kAttachment
                                                    : FieldType::kMultiValue;
    }
    return kinds;
}

SourceCatalog ReadCatalog(MdbHandle* mdb, const std::string& path, off_t fileSize) {
    SourceCatalog catalog;
    switch (mdb->f->jet_version) {
        case MDB_VER_JET3:
            catalog.generation = "Jet 3";
            break;
        case MDB_VER_JET4:
            catalog.generation = "Jet 4";
            break;
        default:
            catalog.generation = "ACE";
            break;
    }
    const auto pageSize = static_cast<off_t>(mdb->fmt->pg_size);
    if (fileSize < pageSize * 2 || fileSize % pageSize != 0) {
        throw ReadFailure("The source " + path + " is cut short: " + std::to_string(fileSize) +
                          " bytes is not a whole number of its " + std::to_string(pageSize) +
                          "-byte pages. Copy the file again from where it came from.");
    }
    // The catalog is the table MSysObjects, whose definition is always page
    // 2: its recorded row count is the number of objects the file holds.
    Reading("the catalog (MSysObjects)");
    StallIfAsked("catalog");
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    std::snprintf(objects.object_name, sizeof objects.object_name, "MSysObjects");
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    TableDef objectsDef(mdb_read_table(&objects));
    if (!objectsDef.def)
        throw ReadFailure("The source " + path +
                          " is damaged: the definition of its catalog cannot be read.");
    std::vector<OwnedPages> owned;
    CheckPagesInFile(mdb, objectsDef.def, 2, path, fileSize, "the catalog", owned);
    const unsigned recorded = objectsDef.def->num_rows;
    if (!mdb_read_catalog(mdb, MDB_ANY)) {
        throw ReadFailure("The source " + path +
                          " is damaged: its list of objects cannot be read.");
    }
    if (mdb->num_catalog < recorded) {
        throw ReadFailure("The source " + path + " is damaged: its catalog records " +
                          std::to_string(recorded) + " objects, but " +
                          std::to_string(mdb->num_catalog) +
                          " can be read, so tables may be missing.");
    }
    const ComplexKinds complexKinds =
        ReadComplexKinds(mdb, ReadOtherObjects(mdb, &objects, path, catalog), path);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        const std::string name = entry->object_name;
        // Jet writes no object without a name, with a control character in
        // it, or of a type it does not know: such a row of the catalog was
        // overwritten, and the object it stood for is missing.
        const bool control = std::any_of(name.begin(), name.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20;
        });
        if (name.empty() || control || entry->object_type < MDB_FORM ||
            entry->object_type > MDB_DATABASE_PROPERTY) {
            throw ReadFailure("The source " + path + " is damaged: its catalog's entry number " +
                              std::to_string(i + 1) +
                              (name.empty() || control ? "" : " ('" + name + "')") +
                              " is not one Jet writes (" +
                              (name.empty() ? "no name"
                               : control    ? "a name no object can have"
                                            : "an unknown kind of object") +
                              "), so an object may be missing.");
        }
        if (entry->object_type != MDB_TABLE) continue;
        if (!mdb_is_user_table(entry)) continue;
        Reading("the definition of table '" + name + "'");
        StallIfAsked(name + " definition");
        TableDef def(mdb_read_table(entry));
        CheckPagesInFile(mdb, def.def, static_cast<guint32>(entry->table_pg), path, fileSize,
                         "table '" + name + "'", owned);
        // mdb_read_indices answers NULL even when it has read them all.
        if (def.def && mdb_read_columns(def.def)) mdb_read_indices(def.def);
        if (!def.def || !def.def->columns || (def.def->num_idxs > 0 && !def.def->indices)) {
            throw ReadFailure("The source " + path + " is damaged: the definition of table '" +
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
            // Jet never writes a field without a name, with a control
            // character in it, or twice in one table: such a definition
            // was overwritten.
            const bool control = std::any_of(column.name.begin(), column.name.end(), [](char ch) {
                return static_cast<unsigned char>(ch) < 0x20;
            });
            const bool repeated =
                std::any_of(table.columns.begin(), table.columns.end(), [&](const SourceColumn& o) {
                    return g_ascii_strcasecmp(o.name.c_str(), column.name.c_str()) == 0;
                });
            if (column.name.empty() || control || repeated) {
                throw ReadFailure("The source " + path + " is damaged: the definition of table '" +
                                  name + "' cannot be read (field " + std::to_string(c + 1) +
                                  (column.name.empty() ? " has no name)."
                                   : control           ? " has a name no field can have)."
                                                       : " repeats the name of another)."));
            }
            column.rawType = col->col_type;
            column.type = FieldTypeOf(col->col_type);
            if (const auto complex =
                    complexKinds.find({static_cast<long>(entry->table_pg), column.name});
                column.type == FieldType::kComplex && complex != complexKinds.end())
                column.type = complex->second;
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
            if (column.expression) TypeCalculatedField(col, column);
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
                    throw ReadFailure("The source " + path + " is damaged: index '" + index.name +
                                      "' of table '" + name +
                                      "' names a field that does not exist.");
                }
                index.columns.push_back({ColumnAt(def.def, static_cast<unsigned>(number))->name,
                                         idx->key_col_order[k] == MDB_DESC});
            }
            table.indexes.push_back(std::move(index));
        }
        catalog.tables.push_back(std::move(table));
    }

    // Relationships: one MSysRelationships row per field pair.
    auto isUserTable = [&](const std::string& t) {
        return std::any_of(catalog.tables.begin(), catalog.tables.end(),
                           [&](const SourceTable& s) { return s.name == t; });
    };
    // A file that lists the table must let it be read whole, or
    // relationships would go missing without a word.
    const std::string unreadable =
        "The source " + path + " is damaged: its relationships (MSysRelationships) cannot be read.";
    const bool listed = mdb_get_catalogentry_by_name(mdb, "MSysRelationships") != nullptr;
    Reading("the relationships (MSysRelationships)");
    MdbTableDef* raw =
        listed ? mdb_read_table_by_name(mdb, const_cast<gchar*>("MSysRelationships"), MDB_TABLE)
               : nullptr;
    if (listed && !raw) throw ReadFailure(unreadable);
    if (raw) {
        TableDef def(raw);
        CheckPagesInFile(
            mdb, def.def,
            static_cast<guint32>(mdb_get_catalogentry_by_name(mdb, "MSysRelationships")->table_pg),
            path, fileSize, "the relationships (MSysRelationships)", owned);
        SystemRows rows(def.def,
                        {"szRelationship", "grbit", "icolumn", "szObject", "szColumn",
                         "szReferencedObject", "szReferencedColumn"},
                        unreadable);
        {
            struct Pair {
                long position;
                std::string column, related;
            };
            std::map<std::string, std::pair<SourceRelationship, std::vector<Pair>>> found;
            std::vector<std::string> order;
            while (rows.Next()) {
                const std::string relName = rows.Text(0);
                auto [at, inserted] = found.try_emplace(relName);
                if (inserted) order.push_back(relName);
                SourceRelationship& rel = at->second.first;
                const long grbit = rows.Number(1);
                rel.name = relName;
                rel.table = rows.Text(3);
                rel.relatedTable = rows.Text(5);
                rel.enforced = (grbit & kRelationDontEnforce) == 0;
                rel.cascadeUpdate = (grbit & kRelationUpdateCascade) != 0;
                rel.cascadeDelete = (grbit & kRelationDeleteCascade) != 0;
                rel.cascadeSetNull = (grbit & kRelationDeleteSetNull) != 0;
                at->second.second.push_back({rows.Number(2), rows.Text(4), rows.Text(6)});
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
                catalog.relationships.push_back(rel);
            }
        }
    }
    Reading("the owners of the file's pages");
    CheckPageOwners(mdb, owned, path, fileSize);
    return catalog;
}

// Sends the rows of `table` (as the catalog lists it) and their count.
void SendRows(MdbHandle* mdb, const SourceTable& table) {
    Reading("the rows of table '" + table.name + "'");
    StallIfAsked(table.name);
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, table.name.c_str());
    if (!entry) throw ReadFailure("The source no longer lists table '" + table.name + "'.");
    TableDef def(mdb_read_table(entry));
    if (!def.def || !mdb_read_columns(def.def)) {
        throw ReadFailure("The source is damaged: the definition of table '" + table.name +
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
    std::vector<MdbField> fields(count);
    std::string payload;
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
                    throw ReadFailure("The source is damaged: a row of table '" + table.name +
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
        payload.clear();
        Encoder e(payload);
        auto kind = [&e](ValueKind k) { e.U8(static_cast<std::uint8_t>(k)); };
        for (unsigned c = 0; c < count; ++c) {
            MdbColumn* col = ColumnAt(def.def, c);
            const int start = col->cur_value_start;
            const int length = col->cur_value_len;
            if (col->col_type == MDB_BOOL) {
                // The null mask bit is the value: set means Yes.
                kind(ValueKind::kBool);
                e.Bool(length == 0);
                continue;
            }
            if (length == 0) {
                const bool variable = col->col_type == MDB_TEXT || col->col_type == MDB_MEMO ||
                                      col->col_type == MDB_BINARY || col->col_type == MDB_OLE;
                if (variable && !isNull(c)) {
                    kind(col->col_type == MDB_TEXT || col->col_type == MDB_MEMO
                             ? ValueKind::kText
                             : ValueKind::kBytes);
                    e.Text("");
                } else {
                    kind(ValueKind::kNull);
                }
                continue;
            }
            // A value reaching past the page libmdb read is a broken row.
            if (start < 0 || length < 0 ||
                static_cast<std::size_t>(start) + static_cast<std::size_t>(length) >
                    sizeof mdb->pg_buf) {
                throw ReadFailure("The source is damaged: row " + std::to_string(rowsRead + 1) +
                                  " of table '" + table.name + "' points past its page.");
            }
            unsigned char* page = mdb->pg_buf;
            switch (col->col_type) {
                case MDB_BYTE:
                    kind(ValueKind::kByte);
                    e.U8(static_cast<std::uint8_t>(mdb_get_byte(page, start)));
                    break;
                case MDB_INT:
                    kind(ValueKind::kShort);
                    e.Raw(page + start, 2);
                    break;
                case MDB_LONGINT:
                    kind(ValueKind::kLong);
                    e.Raw(page + start, 4);
                    break;
                case MDB_FLOAT: {
                    kind(ValueKind::kSingle);
                    const float value = mdb_get_single(page, start);
                    e.Raw(&value, sizeof value);
                    break;
                }
                case MDB_DOUBLE:
                case MDB_DATETIME: {
                    kind(col->col_type == MDB_DOUBLE ? ValueKind::kDouble : ValueKind::kDate);
                    const double value = mdb_get_double(page, start);
                    e.Raw(&value, sizeof value);
                    break;
                }
                case MDB_MONEY:
                    kind(ValueKind::kCurrency);
                    e.Raw(page + start, 8);  // little-endian, as the file
                    break;
                case MDB_NUMERIC: {
                    // libmdb writes the digits exactly; the import keeps
                    // them as they are.
                    char* text = mdb_numeric_to_string(mdb, start, col->col_scale, col->col_prec);
                    kind(ValueKind::kDecimal);
                    e.Text(text);
                    g_free(text);
                    break;
                }
                case MDB_REPID:
                    kind(ValueKind::kGuid);
                    e.Raw(page + start, 16);
                    break;
                case MDB_BINARY:
                    kind(ValueKind::kBytes);
                    e.Text(std::string_view(reinterpret_cast<const char*>(page + start),
                                            static_cast<std::size_t>(length)));
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
                    if (need > frames::kMaxPayload) {
                        throw ReadFailure(
                            "The source is damaged: row " + std::to_string(rowsRead + 1) +
                            " of table '" + table.name + "' holds a memo of " +
                            std::to_string(need / 3) + " bytes, more than a value can be.");
                    }
                    mdb_set_bind_size(mdb, std::max(need, kMinimumBindSize));
                    char* text = mdb_col_to_string(mdb, page, start, col->col_type, length);
                    kind(ValueKind::kText);
                    e.Text(text ? text : "");
                    g_free(text);
                    break;
                }
                case MDB_OLE: {
                    std::size_t size = 0;
                    void* bytes = mdb_ole_read_full(mdb, col, &size);
                    kind(ValueKind::kBytes);
                    e.Text(std::string_view(static_cast<const char*>(bytes), bytes ? size : 0));
                    std::free(bytes);
                    break;
                }
                default:
                    kind(ValueKind::kNull);
                    break;
            }
        }
        ++rowsRead;
        if (payload.size() > frames::kMaxPayload) {
            throw ReadFailure("The source is damaged: row " + std::to_string(rowsRead) +
                              " of table '" + table.name + "' is larger than a row can be.");
        }
        Stream().Add(FrameType::kRow, payload);
    }
    std::string end;
    Encoder(end).U64(rowsRead);
    Stream().Add(FrameType::kTableEnd, end);
    Stream().Flush();
}

// "rows N" from standard input, or nothing at its end.
bool NextRequest(std::size_t& table) {
    std::string line;
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') break;
        line += c;
    }
    if (line.rfind("rows ", 0) != 0) return false;
    table = std::strtoul(line.c_str() + 5, nullptr, 10);
    return true;
}

int Run(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw ReadFailure("The source " + path + " cannot be read: " + std::strerror(errno) + ".");
    }
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb) {
        throw ReadFailure(
            "The source " + path +
            " is not a genuine Access database (Jet 3, Jet 4 or ACE): its header is not one.");
    }
    // From here on the open file is all this process can reach.
    const std::string confinement = ConfineReader();
    // For the tests that check the confinement on the kernel they run on.
    if (std::getenv("VANTOLY_MDB_READER_SAY_CONFINEMENT"))
        std::fprintf(stderr, "confined: %s\n", confinement.c_str());
    const SourceCatalog catalog = ReadCatalog(mdb, path, info.st_size);
    std::string payload;
    frames::EncodeCatalog(catalog, payload);
    Stream().Add(FrameType::kCatalog, payload);
    Stream().Flush();
    std::size_t table = 0;
    while (NextRequest(table)) {
        if (table >= catalog.tables.size()) throw ReadFailure("The import asked for no table.");
        SendRows(mdb, catalog.tables[table]);
    }
    mdb_close(mdb);
    return 0;
}

}  // namespace

}  // namespace genuine

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer's check at exit reads /proc and stops threads as a debugger
// does, which the sandbox forbids: under it the check fails and turns every
// refusal into "exit status 1". The reader's leaks (libmdb's, on a file it
// gives up on) end with its process anyway.
extern "C" int __lsan_is_turned_off() {
    return 1;
}
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: vantolypatch-mdb-reader FILE (run by VantolyPatch's import)\n");
        return 2;
    }
    try {
        return genuine::Run(argv[1]);
    } catch (const std::exception& error) {
        genuine::Stream().Add(genuine::frames::FrameType::kError, error.what());
        genuine::Stream().Flush();
        return 1;
    }
}
