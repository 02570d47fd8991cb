#include "import/Import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "db/DatabaseFileCheck.h"
#include "db/SchemaNames.h"
#include "engine/Engine.h"
#include "import/GenuineSource.h"
#include "import/SavedQueryText.h"
#include "import/SourcePassword.h"
#include "platform/AtomicFile.h"
#include "platform/FileIdentity.h"
#include "platform/Interrupts.h"
#include "platform/Temporaries.h"

namespace genuine {

namespace {

constexpr std::string_view kTemporaryTag = "import";
constexpr std::size_t kRowsPerProgress = 1000;
constexpr std::size_t kRowsQuoted = 10;  // offending rows named in a message

// A genuine file's names go into the new database's statements in brackets;
// one Jet itself would not hold raises db::JetNameError.
std::string Bracketed(const std::string& name) {
    return db::BracketedName(name);
}

std::string JoinNames(const std::vector<std::string>& names, bool brackets) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i ? ", " : "") + (brackets ? Bracketed(names[i]) : names[i]);
    return out;
}

std::string EngineMessage(const engine::ComError& error) {
    return error.description().value_or(error.what());
}

ImportError Interrupted() {
    return ImportError(ImportError::Kind::kInterrupted,
                       "The import was stopped before its end; nothing was left at the "
                       "destination.");
}

// A failure of the new file itself (disk full, a disk error, no memory):
// the import as a whole fails, it is never one thing left out.
bool IsWriteFailure(const engine::ComError& error) {
    switch (error.jetError()) {
        case 3035:  // system resource exceeded
        case 3043:  // disk or network error
        case 3045:  // locked
        case 3051:  // cannot open or write the file
        case 3183:  // disk full
        case 3343:  // damaged
            return true;
        default:
            return false;
    }
}

// Names the engine keeps for its own catalog, in any case.
bool HasSystemName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string head = name.substr(0, 4);
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head == "msys";
}

// The Jet SQL type words that give the engine's catalog the same column,
// or nothing when the engine cannot hold the field.
std::optional<std::string> TypeWords(const SourceColumn& c) {
    switch (c.type) {
        case FieldType::kBoolean:
            return "YESNO";
        case FieldType::kByte:
            return "BYTE";
        case FieldType::kInteger:
            return "SHORT";
        case FieldType::kLong:
            return c.autoNumber ? "COUNTER" : "LONG";
        case FieldType::kCurrency:
            return "CURRENCY";
        case FieldType::kSingle:
            return "SINGLE";
        case FieldType::kDouble:
            return "DOUBLE";
        case FieldType::kDateTime:
            return "DATETIME";
        case FieldType::kBinary:
            if (c.size < 1 || c.size > 510) return std::nullopt;
            return "BINARY(" + std::to_string(c.size) + ")";
        case FieldType::kText:
            if (c.size < 1 || c.size > 255) return std::nullopt;
            return "TEXT(" + std::to_string(c.size) + ")";
        case FieldType::kOle:
            return "LONGBINARY";
        case FieldType::kMemo:
            return "MEMO";
        case FieldType::kGuid:
            return "GUID";
        case FieldType::kDecimal:
            if (c.precision < 1 || c.precision > 28 || c.scale < 0 || c.scale > c.precision)
                return std::nullopt;
            return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        case FieldType::kComplex:
        case FieldType::kAttachment:
        case FieldType::kMultiValue:
        case FieldType::kUnknown:
            break;
    }
    return std::nullopt;
}

// A default value as Jet's property holds it ("0", "\"text\"", "=Date()",
// "Yes") written as a Jet SQL DEFAULT clause's value.
std::string DefaultWords(std::string value) {
    if (!value.empty() && value.front() == '=') value.erase(0, 1);
    if (value == "Yes" || value == "yes" || value == "On" || value == "on") return "TRUE";
    if (value == "No" || value == "no" || value == "Off" || value == "off") return "FALSE";
    return value;
}

struct ColumnPlan {
    const SourceColumn* source = nullptr;
    std::string typeWords;
    std::optional<std::string> defaultWords;
};

std::string ColumnSql(const ColumnPlan& p) {
    std::string sql = Bracketed(p.source->name) + " " + p.typeWords;
    if (p.source->required && !p.source->autoNumber) sql += " NOT NULL";
    if (p.defaultWords) sql += " DEFAULT " + *p.defaultWords;
    return sql;
}

// The temporary database beside the destination, removed (with the
// journal SQLite may have left) unless it was renamed into place.
class TemporaryDatabase {
  public:
    explicit TemporaryDatabase(const std::string& destination) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = platform::TemporaryNameBeside(destination, kTemporaryTag);
            struct stat info {};
            if (::lstat(candidate.c_str(), &info) == 0) continue;
            path_ = std::move(candidate);
            return;
        }
        throw ImportError(ImportError::Kind::kWrite,
                          "No free temporary name beside " + destination + ".");
    }
    ~TemporaryDatabase() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
            ::unlink((path_ + "-journal").c_str());
        }
    }
    TemporaryDatabase(const TemporaryDatabase&) = delete;
    TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;
    const std::string& Path() const { return path_; }
    // Once the engine made the file: held and registered as this run's.
    void Hold() {
        if (!held_.Hold(path_, platform::TemporaryKind::File))
            throw ImportError(ImportError::Kind::kWrite,
                              "The new database " + path_ + " was taken away while it was made.");
    }
    void Committed() {
        path_.clear();
        held_.Release();
    }

  private:
    std::string path_;
    platform::HeldTemporary held_;  // declared last: the lock goes after the removal
};

class Importer {
  public:
    Importer(GenuineSource& source, engine::Connection& target, const ImportOptions& options,
             ImportReport& report)
        : source_(source), target_(target), options_(options), report_(report) {}

    void Run() {
        const auto& tables = source_.Tables();
        for (std::size_t i = 0; i < tables.size(); ++i) CreateTable(tables[i]);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (created_[i]) CopyRowsKeepingThem(tables[i], i + 1, tables.size());
        }
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (created_[i]) CreateIndexes(tables[i], primaryDeclared_[i]);
        }
        for (const auto& rel : source_.Relationships()) CreateRelationship(rel);
        CreateQueries();
        for (const auto& link : source_.LinkedTables()) {
            std::string where = link.odbc ? "an ODBC data source" : "another file";
            if (!link.database.empty()) where += " (" + link.database + ")";
            Leave("", "",
                  "The linked table '" + link.name + "' is table '" + link.foreignName + "' of " +
                      where + ", connection \"" + link.connect +
                      "\"; the engine holds no links to tables elsewhere, so neither the link "
                      "nor its rows were imported.");
        }
        for (const auto& other : source_.OtherObjects()) {
            report_.leftOut.push_back({"", "",
                                       "The " + other.kind + " '" + other.name +
                                           "' is not a table; the engine holds tables only."});
        }
    }

  private:
    struct PendingQuery {
        const SourceQuery* source;
        RebuiltQuery rebuilt;
        std::string label;  // "The select query 'q'"
    };

    // Saved queries come over with their Jet text made again from their
    // rows; each select query then runs once on the new tables, so one the
    // engine saves but cannot run is named rather than left broken.
    void CreateQueries() {
        std::vector<PendingQuery> pending;
        for (const auto& query : source_.Queries()) {
            try {
                RebuiltQuery rebuilt = RebuildQueryText(query);
                std::string label =
                    "The " + DescribeQueryKind(rebuilt.kind) + " '" + query.name + "'";
                pending.push_back({&query, std::move(rebuilt), std::move(label)});
            } catch (const QueryTextError& error) {
                Leave("", "",
                      "The saved query '" + query.name +
                          "' cannot be rebuilt from its definition: " + error.what() + ".");
            }
        }
        std::erase_if(pending, [&](const PendingQuery& q) {
            if (q.rebuilt.kind != QueryKind::kPassThrough) return false;
            Leave("", "",
                  q.label + " is sent as it is to an ODBC server (connection \"" +
                      q.rebuilt.connect + "\"), which the engine cannot reach: " + q.rebuilt.text);
            return true;
        });
        // A query may use another saved later: each round saves what it
        // can, until a round saves none.
        std::vector<PendingQuery> saved;
        std::vector<std::optional<engine::ComError>> refusals(pending.size());
        for (bool progress = true; progress && !pending.empty();) {
            progress = false;
            std::vector<PendingQuery> again;
            refusals.clear();
            for (auto& q : pending) {
                if (auto refused = TryExecute(CreateStatement(q))) {
                    again.push_back(std::move(q));
                    refusals.push_back(std::move(refused));
                } else {
                    saved.push_back(std::move(q));
                    progress = true;
                }
            }
            pending = std::move(again);
        }
        for (std::size_t i = 0; i < pending.size(); ++i) {
            Leave("", "",
                  pending[i].label + " was not created: " + EngineMessage(*refusals[i]) +
                      " Its Jet text: " + pending[i].rebuilt.text);
        }
        for (const auto& q : saved) {
            if (const auto failed = RunOnce(q)) {
                Execute(std::string(IsView(q) ? "DROP VIEW " : "DROP PROCEDURE ") +
                        Bracketed(q.source->name));
                Leave("", "",
                      q.label + " does not run on the imported tables, so it was not kept: " +
                          EngineMessage(*failed) + " Its Jet text: " + q.rebuilt.text);
            } else {
                report_.queries.push_back(q.source->name);
            }
        }
    }

    // A select query without parameters is a view, as Jet's catalog has it.
    static bool IsView(const PendingQuery& q) {
        return (q.rebuilt.kind == QueryKind::kSelect || q.rebuilt.kind == QueryKind::kUnion) &&
               q.rebuilt.parameters.empty();
    }

    static std::string CreateStatement(const PendingQuery& q) {
        return std::string(IsView(q) ? "CREATE VIEW " : "CREATE PROCEDURE ") +
               Bracketed(q.source->name) + " AS " + q.rebuilt.text;
    }

    // The engine's refusal of a saved select query's first row, or nothing
    // when it runs (an action query is never run: it would change the rows).
    std::optional<engine::ComError> RunOnce(const PendingQuery& q) {
        const QueryKind kind = q.rebuilt.kind;
        if (kind != QueryKind::kSelect && kind != QueryKind::kUnion && kind != QueryKind::kCrosstab)
            return std::nullopt;
        // Its parameters are given Null, as a run that asks for none.
        for (const auto& name : q.rebuilt.parameters)
            target_.SetParameter(name, engine::Variant::null());
        try {
            // A crosstab's columns come from its rows: it is run, not read as a table.
            auto rs =
                target_.Execute((kind == QueryKind::kCrosstab ? "EXECUTE " : "SELECT * FROM ") +
                                    Bracketed(q.source->name),
                                nullptr, -1);
            rs->Close();
            target_.ClearParameters();
            return std::nullopt;
        } catch (const engine::ComError& error) {
            target_.ClearParameters();
            if (IsWriteFailure(error) || error.jetError() == engine::jet::kCanceledByUser) throw;
            return error;
        }
    }

    void Leave(const std::string& table, const std::string& field, const std::string& what) {
        report_.leftOut.push_back({table, field, what});
    }

    void Execute(const std::string& sql) { target_.Execute(sql, nullptr, -1); }

    // The engine's refusal of a statement, or nothing when it ran; a failure
    // of the file itself is no refusal and ends the import.
    std::optional<engine::ComError> TryExecute(const std::string& sql) {
        try {
            Execute(sql);
            return std::nullopt;
        } catch (const engine::ComError& error) {
            if (IsWriteFailure(error)) throw;
            return error;
        }
    }

    void CreateTable(const SourceTable& table) {
        std::vector<ColumnPlan> plans;
        for (const auto& c : table.columns) {
            auto words = TypeWords(c);
            if (!words) {
                Leave(table.name, c.name,
                      (c.expression ? "calculated field (" + *c.expression + ") of type " : "") +
                          DescribeType(c) + ": the engine has no such field type.");
                continue;
            }
            ColumnPlan plan{&c, *words, std::nullopt};
            // A replication ID Jet fills for each new row has GenGUID() for its default.
            if (c.autoGuid) {
                plan.defaultWords = "GenGUID()";
            } else if (c.defaultValue && !c.defaultValue->empty() && !c.expression) {
                plan.defaultWords = DefaultWords(*c.defaultValue);
            }
            plans.push_back(plan);
        }
        columns_.emplace_back();
        defined_.emplace_back();
        created_.push_back(false);
        primaryDeclared_.push_back(false);
        createWithoutPrimary_.emplace_back();
        if (HasSystemName(table.name)) {
            Leave(table.name, "",
                  "the engine keeps names beginning with MSys for its own catalog; the table and "
                  "its " +
                      std::to_string(table.rowCount) + " rows were not imported.");
            return;
        }
        if (plans.empty()) {
            Leave(table.name, "",
                  "the table has no field the engine can hold; its rows were not imported.");
            return;
        }
        // The primary key goes into the table's definition, so the rows fill
        // its index as they come instead of the table being copied again
        // when the key arrives afterwards. Jet enforced it, so the rows keep
        // it; should they not, CopyRowsKeepingThem starts the table again
        // without it and the key comes last, as the other indexes do.
        const SourceIndex* primary = PrimaryKeyToDeclare(table, plans);
        auto createSql = [&] {
            std::string sql = "CREATE TABLE " + Bracketed(table.name) + " (";
            for (std::size_t i = 0; i < plans.size(); ++i)
                sql += (i ? ", " : "") + ColumnSql(plans[i]);
            if (primary) {
                std::vector<std::string> fields;
                for (const auto& c : primary->columns) fields.push_back(c.name);
                sql += ", CONSTRAINT " + Bracketed(primary->name) + " PRIMARY KEY (" +
                       JoinNames(fields, true) + ")";
            }
            return sql + ")";
        };
        std::optional<engine::ComError> refused = TryExecute(createSql());
        if (refused && primary) {
            primary = nullptr;
            refused = TryExecute(createSql());
        }
        if (refused) {
            // Perhaps a default the engine cannot read: find which, keep the rest.
            bool anyRefused = false;
            for (auto& p : plans) {
                if (!p.defaultWords) continue;
                if (auto probe =
                        TryExecute("CREATE TABLE [~VantolyImportProbe] (" + ColumnSql(p) + ")")) {
                    Leave(
                        table.name, p.source->name,
                        "default value " + *p.source->defaultValue + ": " + EngineMessage(*probe));
                    p.defaultWords.reset();
                    anyRefused = true;
                } else {
                    Execute("DROP TABLE [~VantolyImportProbe]");
                }
            }
            if (anyRefused) refused = TryExecute(createSql());
        }
        if (refused) {
            Leave(table.name, "", "the engine refused the table: " + EngineMessage(*refused));
            return;
        }
        for (const auto& p : plans) {
            const auto index = static_cast<std::size_t>(p.source - table.columns.data());
            defined_.back().push_back(index);
            // A calculated field's value is computed, never copied.
            if (!p.source->expression) columns_.back().push_back(index);
        }
        SetProperties(table, defined_.back());
        if (primary) {
            primaryDeclared_.back() = true;
            primary = nullptr;
            createWithoutPrimary_.back() = createSql();
        }
        created_.back() = true;
        report_.tables.push_back(table.name);
    }

    // The table's primary key, when every field of it is imported and none
    // sorts descending (that one is created afterwards, to say so).
    static const SourceIndex* PrimaryKeyToDeclare(const SourceTable& table,
                                                  const std::vector<ColumnPlan>& plans) {
        for (const auto& index : table.indexes) {
            if (!index.primaryKey) continue;
            for (const auto& c : index.columns) {
                const bool kept = std::any_of(plans.begin(), plans.end(), [&](const ColumnPlan& p) {
                    return p.source->name == c.name;
                });
                if (!kept || c.descending) return nullptr;
            }
            return &index;
        }
        return nullptr;
    }

    struct RefusedByPrimaryKey {};

    void CopyRowsKeepingThem(const SourceTable& table, std::size_t number, std::size_t count) {
        try {
            CopyRows(table, number, count);
        } catch (const RefusedByPrimaryKey&) {
            Execute("DROP TABLE " + Bracketed(table.name));
            Execute(createWithoutPrimary_[number - 1]);
            primaryDeclared_[number - 1] = false;
            SetProperties(table, defined_[number - 1]);
            CopyRows(table, number, count);
        }
    }

    // The engine's refusal of a property, or nothing when it took it.
    std::optional<engine::ComError> TrySetProperty(const std::string& table,
                                                   const std::string& field,
                                                   const std::string& property,
                                                   const engine::Variant& value) {
        try {
            engine::SetFieldProperty(target_, table, field, property, value);
            return std::nullopt;
        } catch (const engine::ComError& error) {
            if (IsWriteFailure(error)) throw;
            return error;
        }
    }

    static bool RefusesZeroLength(const SourceColumn& c) {
        return !c.allowZeroLength && (c.type == FieldType::kText || c.type == FieldType::kMemo) &&
               !c.expression;
    }

    // What Jet keeps of the table and its fields beside their definition,
    // set while the table is empty so no row is written twice. All at once,
    // so the table is rebuilt at most once; only when the engine refuses one
    // is each set alone, to name the one refused and keep the others.
    void SetProperties(const SourceTable& table, const std::vector<std::size_t>& defined) {
        std::vector<engine::FieldPropertyValue> values;
        std::vector<const SourceColumn*> owners;  // null: the table's own
        if (table.description) {
            values.push_back({"", "Description", engine::Variant::fromText(*table.description)});
            owners.push_back(nullptr);
        }
        for (auto index : defined) {
            const SourceColumn& c = table.columns[index];
            if (c.description) {
                values.push_back(
                    {c.name, "Description", engine::Variant::fromText(*c.description)});
                owners.push_back(&c);
            }
            if (RefusesZeroLength(c)) {
                values.push_back({c.name, "AllowZeroLength", engine::Variant::fromBool(false)});
                owners.push_back(&c);
            }
            if (c.expression) {
                values.push_back({c.name, "Expression", engine::Variant::fromText(*c.expression)});
                owners.push_back(&c);
            }
        }
        if (values.empty()) return;
        try {
            engine::SetFieldProperties(target_, table.name, values);
            return;
        } catch (const engine::ComError& error) {
            if (IsWriteFailure(error) || error.jetError() == engine::jet::kCanceledByUser) throw;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto& v = values[i];
            const auto refused = TrySetProperty(table.name, v.field, v.property, v.value);
            if (refused) LeaveProperty(table, owners[i], v.property, *refused);
        }
    }

    void LeaveProperty(const SourceTable& table, const SourceColumn* c, const std::string& property,
                       const engine::ComError& refused) {
        if (!c) {
            Leave(table.name, "",
                  "description \"" + *table.description + "\": " + EngineMessage(refused));
        } else if (property == "Description") {
            Leave(table.name, c->name,
                  "description \"" + *c->description + "\": " + EngineMessage(refused));
        } else if (property == "AllowZeroLength") {
            Leave(table.name, c->name,
                  "Allow Zero Length is No in the source, Yes here: " + EngineMessage(refused));
        } else {
            const auto kept = TryExecute("ALTER TABLE " + Bracketed(table.name) + " DROP COLUMN " +
                                         Bracketed(c->name));
            Leave(table.name, c->name,
                  "calculated field (" + *c->expression + "): the engine cannot compute it (" +
                      EngineMessage(refused) +
                      (kept ? "); it stays an empty field: " + EngineMessage(*kept)
                            : "), so it was left out."));
        }
    }

    // Rows Jet took before Allow Zero Length was set to No may hold a
    // zero-length text; the rule is then lifted for the table's fields, as
    // Jet's own rule never applied to those rows.
    void AllowZeroLengthAgain(const SourceTable& table) {
        for (const auto& c : table.columns) {
            if (!RefusesZeroLength(c)) continue;
            if (auto refused = TrySetProperty(table.name, c.name, "AllowZeroLength",
                                              engine::Variant::fromBool(true)))
                throw ImportError(ImportError::Kind::kWrite, EngineMessage(*refused));
            Leave(table.name, c.name,
                  "Allow Zero Length is No in the source, but rows of the table hold a "
                  "zero-length text; it is Yes here, so they are kept.");
        }
    }

    void CopyRows(const SourceTable& table, std::size_t number, std::size_t count) {
        const auto& kept = columns_[number - 1];
        std::vector<std::string> names;
        for (auto index : kept) names.push_back(table.columns[index].name);
        engine::RowInserter inserter(target_, table.name, names);
        ImportProgress progress{table.name, 0, table.rowCount, number, count};
        if (options_.progress) options_.progress(progress);
        std::vector<engine::Variant> values(kept.size());
        bool zeroLengthLifted = false;
        source_.ReadRows(table, [&](const std::vector<engine::Variant>& row) {
            for (std::size_t i = 0; i < kept.size(); ++i) values[i] = row[kept[i]];
            try {
                try {
                    inserter.Insert(values);
                } catch (const engine::ComError& error) {
                    if (error.jetError() != engine::jet::kZeroLengthString || zeroLengthLifted)
                        throw;
                    AllowZeroLengthAgain(table);
                    zeroLengthLifted = true;
                    inserter.Insert(values);
                }
            } catch (const engine::ComError& error) {
                if (IsWriteFailure(error) || error.jetError() == engine::jet::kCanceledByUser)
                    throw;
                if (primaryDeclared_[number - 1]) throw RefusedByPrimaryKey{};
                throw ImportError(ImportError::Kind::kWrite,
                                  "Row " + std::to_string(progress.rowsDone + 1) + " of table '" +
                                      table.name +
                                      "' could not be written: " + EngineMessage(error));
            }
            ++progress.rowsDone;
            progress.rowsTotal = std::max(progress.rowsTotal, progress.rowsDone);
            if (progress.rowsDone % kRowsPerProgress != 0) return;
            if (platform::InterruptRequested()) throw Interrupted();
            if (options_.progress) options_.progress(progress);
        });
        progress.finished = true;
        if (options_.progress) options_.progress(progress);
        report_.rows += progress.rowsDone;
    }

    bool Imported(const std::string& table, const std::vector<std::string>& fields) const {
        const auto& tables = source_.Tables();
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (tables[i].name != table) continue;
            if (!created_[i]) return false;
            for (const auto& f : fields) {
                bool found = false;
                for (auto index : columns_[i]) found = found || tables[i].columns[index].name == f;
                if (!found) return false;
            }
            return true;
        }
        return false;
    }

    // Quotes up to kRowsQuoted rows a SELECT answers, its columns joined.
    std::string QuoteRows(const std::string& select) {
        auto rs = target_.Execute(select, nullptr, -1);
        std::string out;
        std::size_t n = 0;
        while (!rs->IsEOF()) {
            if (n == kRowsQuoted) {
                out += ", ...";
                break;
            }
            auto fields = rs->GetFields();
            std::string row;
            for (long i = 0; i < fields->Count(); ++i) {
                const engine::Variant v = fields->Item(i).Value();
                std::string text = v.isNull()                  ? "Null"
                                   : v.vt() == engine::VT_BSTR ? "'" + std::string(v.text()) + "'"
                                                               : "";
                if (text.empty()) {
                    std::ostringstream number;
                    number << v.toDouble();
                    text = number.str();
                }
                row += (i ? ", " : "") + text;
            }
            out += (n ? "; (" : "(") + row + ")";
            ++n;
            rs->MoveNext();
        }
        rs->Close();
        return out;
    }

    void CreateIndexes(const SourceTable& table, bool primaryDeclared) {
        for (const auto& index : table.indexes) {
            if (index.primaryKey && primaryDeclared) continue;
            if (index.columns.empty()) {
                Leave(table.name, "",
                      "index '" + index.name +
                          "' was not created: the source's definition of it names no field "
                          "that can be read.");
                continue;
            }
            std::vector<std::string> fields;
            std::string columns;
            for (const auto& c : index.columns) {
                fields.push_back(c.name);
                columns += (columns.empty() ? "" : ", ") + Bracketed(c.name) +
                           (c.descending ? " DESC" : "");
            }
            if (!Imported(table.name, fields)) {
                Leave(
                    table.name, "",
                    "index '" + index.name + "' was not created: one of its fields was left out.");
                continue;
            }
            std::string sql = std::string(index.unique && !index.primaryKey ? "CREATE UNIQUE INDEX "
                                                                            : "CREATE INDEX ") +
                              Bracketed(index.name) + " ON " + Bracketed(table.name) + " (" +
                              columns + ")";
            if (index.primaryKey)
                sql += " WITH PRIMARY";
            else if (index.required)
                sql += " WITH DISALLOW NULL";
            else if (index.ignoreNulls)
                sql += " WITH IGNORE NULL";
            try {
                Execute(sql);
            } catch (const engine::ComError& error) {
                if (IsWriteFailure(error) || error.jetError() == engine::jet::kCanceledByUser)
                    throw;
                std::string why = EngineMessage(error);
                if (index.unique || index.primaryKey) {
                    const std::string list = JoinNames(fields, true);
                    const std::string dupes =
                        QuoteRows("SELECT " + list + ", COUNT(*) FROM " + Bracketed(table.name) +
                                  " GROUP BY " + list + " HAVING COUNT(*) > 1");
                    if (!dupes.empty())
                        why = "the source's rows repeat these values (values, times): " + dupes;
                }
                Leave(table.name, "",
                      "index '" + index.name + "' on (" + JoinNames(fields, false) +
                          ") was not created, the rows are kept: " + why);
            }
        }
    }

    void CreateRelationship(const SourceRelationship& rel) {
        const std::string label = "relationship '" + rel.name + "' (" + rel.table + "." +
                                  JoinNames(rel.columns, false) + " to " + rel.relatedTable + "." +
                                  JoinNames(rel.relatedColumns, false) + ")";
        if (!rel.enforced) {
            Leave(rel.table, "",
                  label +
                      " does not enforce referential integrity in the source; every relationship "
                      "of the engine does, so it was not created.");
            return;
        }
        if (!Imported(rel.table, rel.columns) || !Imported(rel.relatedTable, rel.relatedColumns)) {
            Leave(rel.table, "", label + " was not created: one of its fields was left out.");
            return;
        }
        std::string sql = "ALTER TABLE " + Bracketed(rel.table) + " ADD CONSTRAINT " +
                          Bracketed(rel.name) + " FOREIGN KEY (" + JoinNames(rel.columns, true) +
                          ") REFERENCES " + Bracketed(rel.relatedTable) + " (" +
                          JoinNames(rel.relatedColumns, true) + ")";
        if (rel.cascadeUpdate) sql += " ON UPDATE CASCADE";
        if (rel.cascadeDelete)
            sql += " ON DELETE CASCADE";
        else if (rel.cascadeSetNull)
            sql += " ON DELETE SET NULL";
        try {
            Execute(sql);
        } catch (const engine::ComError& error) {
            if (IsWriteFailure(error)) throw;
            std::string notNull, match;
            for (std::size_t i = 0; i < rel.columns.size(); ++i) {
                notNull += std::string(i ? " AND " : "") + "c." + Bracketed(rel.columns[i]) +
                           " IS NOT NULL";
                match += std::string(i ? " AND " : "") + "p." + Bracketed(rel.relatedColumns[i]) +
                         " = c." + Bracketed(rel.columns[i]);
            }
            const std::string orphans =
                QuoteRows("SELECT " +
                          [&] {
                              std::string list;
                              for (std::size_t i = 0; i < rel.columns.size(); ++i)
                                  list += (i ? ", c." : "c.") + Bracketed(rel.columns[i]);
                              return list;
                          }() +
                          " FROM " + Bracketed(rel.table) + " AS c WHERE " + notNull +
                          " AND NOT EXISTS (SELECT 1 FROM " + Bracketed(rel.relatedTable) +
                          " AS p WHERE " + match + ")");
            Leave(rel.table, "",
                  label + " was not created, the rows are kept: " +
                      (orphans.empty()
                           ? EngineMessage(error)
                           : "these values have no match in " + rel.relatedTable + ": " + orphans));
        }
    }

    GenuineSource& source_;
    engine::Connection& target_;
    const ImportOptions& options_;
    ImportReport& report_;
    std::vector<bool> created_;
    std::vector<bool> primaryDeclared_;              // in the table's definition
    std::vector<std::string> createWithoutPrimary_;  // for a source whose rows break it
    std::vector<std::vector<std::size_t>> columns_;  // per table: the source columns kept
    std::vector<std::vector<std::size_t>> defined_;  // and those defined, calculated ones too
};

void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw ImportError(ImportError::Kind::kWrite,
                          "The new database " + path +
                              " cannot be flushed to disk: " + std::strerror(error) + ".");
    }
    ::close(fd);
}

}  // namespace

ImportReport ImportGenuineDatabase(const std::string& source, const std::string& destination,
                                   const ImportOptions& options) {
    struct stat info {};
    if (::lstat(destination.c_str(), &info) == 0) {
        throw ImportError(
            ImportError::Kind::kDestinationExists,
            "The destination " + destination +
                " already exists; the import never replaces a file. Name a new file, or move that "
                "one away first.");
    }
    std::unique_ptr<GenuineSource> reader;
    try {
        reader = std::make_unique<GenuineSource>(source);
        if (!SourcePasswordMatches(source, options.password)) {
            throw ImportError(ImportError::Kind::kPassword,
                              options.password.empty()
                                  ? "The source " + source +
                                        " has a database password and none was given: give the "
                                        "database's password to import it."
                                  : "The password given does not open the source " + source +
                                        ": it is not that database's password.");
        }
    } catch (const SourceInterrupted&) {
        throw Interrupted();
    } catch (const SourceError& error) {
        throw ImportError(ImportError::Kind::kSource, error.what());
    }
    platform::RemoveStaleTemporaries(platform::FolderOf(destination));
    TemporaryDatabase temporary(destination);
    ImportReport report;
    report.generation = reader->Generation();
    try {
        // Nothing is flushed before the whole file is: it is not in place
        // until SyncFile and the rename below, and a failure removes it.
        engine::CreateDatabase(temporary.Path(), options.password,
                               engine::CreationFlush::kByCaller);
        temporary.Hold();
        auto connection = engine::Connection::create();
        const platform::InterruptHook stopStatement([&connection] { connection->Cancel(); });
        connection->Open(engine::DatabaseConnectionText(engine::kJetProvider, temporary.Path(),
                                                        options.password));
        connection->WriteWithoutFlushing();
        // One transaction for the whole file: it is not in place before it is
        // complete, so one flush at the end is all the safety it needs.
        {
            engine::Transaction transaction(*connection);
            Importer(*reader, *connection, options, report).Run();
            // A statement stopped part-way reads as a thing left out: the
            // request itself says the run must not commit.
            if (platform::InterruptRequested()) throw Interrupted();
            transaction.commit();
        }
        connection->Close();
        report.sourceWarnings = reader->WarningLines();
        report.sourceWarningSample = reader->WarningSample();
    } catch (const SourceInterrupted&) {
        throw Interrupted();
    } catch (const SourceError& error) {
        throw ImportError(ImportError::Kind::kSource, error.what());
    } catch (const db::JetNameError& error) {
        throw ImportError(ImportError::Kind::kSource, std::string("The source ") + source +
                                                          " holds a name Jet does not allow (" +
                                                          error.what() + "); nothing was made.");
    } catch (const engine::ComError& error) {
        if (error.jetError() == engine::jet::kCanceledByUser) throw Interrupted();
        throw ImportError(
            ImportError::Kind::kWrite,
            "The new database cannot be written beside " + destination + ": " +
                EngineMessage(error) +
                " Nothing was left there; make room on the disk (or mend what the error names) and "
                "run the import again.");
    }
    SyncFile(temporary.Path());
    const platform::FileStatus renamed = platform::RenameNoReplace(temporary.Path(), destination);
    if (!renamed.Succeeded()) {
        throw ImportError(renamed.error == EEXIST ? ImportError::Kind::kDestinationExists
                                                  : ImportError::Kind::kWrite,
                          "The new database could not take its name: " + renamed.message);
    }
    temporary.Committed();
    platform::SyncFolder(platform::FolderOf(destination));
    return report;
}

bool IsGenuineAccessFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char head[20] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    const std::string_view mark(head + 4, got >= 19 ? 15 : 0);
    return mark == "Standard Jet DB" || mark == "Standard ACE DB";
}

namespace {

// The first name of the form STEM + infix + EXT (then STEM + infix + "-2" +
// EXT and on) that names nothing in the folder.
std::string FreeNameBeside(const std::string& path, const std::string& infix) {
    const std::string folder = platform::FolderOf(path);
    const std::string name = platform::NameOf(path);
    const auto dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    for (int n = 1;; ++n) {
        const std::string candidate =
            folder + stem + infix + (n > 1 ? "-" + std::to_string(n) : "") + ext;
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) != 0) return candidate;
    }
}

}  // namespace

namespace {

constexpr std::string_view kRecordSuffix = ".converting";

// The record of a conversion in place in progress: which files are where.
struct ConversionRecord {
    platform::FileIdentity original;   // the genuine file
    platform::FileIdentity converted;  // the new database
    std::string convertedName;         // where the new database was built
    std::string keptName;              // the genuine file's announced name
};

std::string RecordText(const ConversionRecord& record) {
    std::ostringstream out;
    out << "original " << record.original.device << ' ' << record.original.inode << '\n'
        << "converted " << record.converted.device << ' ' << record.converted.inode << '\n'
        << "converted-name " << record.convertedName << '\n'
        << "kept-name " << record.keptName << '\n';
    return out.str();
}

bool ReadIdentity(std::istream& in, const char* word, platform::FileIdentity& identity) {
    std::string read;
    return in >> read && read == word && in >> identity.device >> identity.inode;
}

bool ReadName(std::istream& in, const char* word, std::string& name) {
    std::string read;
    return in >> read && read == word && in.get() == ' ' && std::getline(in, name) && !name.empty();
}

std::optional<ConversionRecord> ReadRecord(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    ConversionRecord record;
    if (!ReadIdentity(in, "original", record.original) ||
        !ReadIdentity(in, "converted", record.converted) ||
        !ReadName(in, "converted-name", record.convertedName) ||
        !ReadName(in, "kept-name", record.keptName)) {
        return std::nullopt;
    }
    return record;
}

void Step(const ImportOptions& options, std::string_view step) {
    if (options.stepDone) options.stepDone(step);
}

// The record goes once every file has its final name.
void RemoveRecord(const std::string& path, const std::string& recordPath) {
    platform::SyncFolder(platform::FolderOf(path));
    ::unlink(recordPath.c_str());
    platform::SyncFolder(platform::FolderOf(path));
}

}  // namespace

std::string ConversionRecordPath(const std::string& path) {
    return platform::FolderOf(path) + "." + platform::NameOf(path) + std::string(kRecordSuffix);
}

std::optional<std::string> SettleInterruptedConversion(const std::string& path) {
    const std::string recordPath = ConversionRecordPath(path);
    if (!platform::IdentityOf(recordPath).Exists()) return std::nullopt;
    const std::optional<ConversionRecord> record = ReadRecord(recordPath);
    const std::string unclear =
        " Look at the files beside " + path +
        " (the genuine Access file starts with \"Standard Jet DB\" or \"Standard ACE DB\"), put "
        "the right one under that name, then remove " +
        recordPath + ".";
    if (!record) {
        throw ImportError(ImportError::Kind::kWrite, "The record of an interrupted conversion, " +
                                                         recordPath + ", cannot be read." +
                                                         unclear);
    }
    const platform::FileIdentity working = platform::IdentityOf(path);
    const platform::FileIdentity atConverted = platform::IdentityOf(record->convertedName);
    const platform::FileIdentity atKept = platform::IdentityOf(record->keptName);
    const std::string finished = "An interrupted conversion in place of " + path +
                                 " was finished: it is the converted database, and the genuine "
                                 "file is kept unchanged as " +
                                 record->keptName + ".";
    auto rename = [&](const std::string& from, const std::string& to) {
        const platform::FileStatus moved = platform::RenameNoReplace(from, to);
        if (!moved.Succeeded()) {
            throw ImportError(ImportError::Kind::kWrite,
                              "An interrupted conversion in place of " + path +
                                  " cannot be finished: " + moved.message + "." + unclear);
        }
    };
    std::string done;
    if (working.Exists() && working == record->converted && atKept == record->original) {
        done = finished;  // only the record was left
    } else if (working.Exists() && working == record->converted &&
               atConverted == record->original) {
        rename(record->convertedName, record->keptName);
        done = finished;
    } else if (working.Exists() && working == record->original) {
        if (atConverted == record->converted) ::unlink(record->convertedName.c_str());
        done = "An interrupted conversion in place of " + path +
               " was undone: it is the genuine file as it was; run the conversion again.";
    } else if (!working.Exists() && atKept == record->original &&
               atConverted == record->converted) {
        rename(record->convertedName, path);
        done = finished;
    } else {
        throw ImportError(ImportError::Kind::kWrite,
                          "The files changed after an interrupted conversion in place of " + path +
                              ", so it cannot be settled." + unclear);
    }
    RemoveRecord(path, recordPath);
    return done;
}

InPlaceReport ConvertInPlace(const std::string& path, const ImportOptions& options) {
    InPlaceReport report;
    struct stat original {};
    if (::stat(path.c_str(), &original) != 0) {
        throw ImportError(ImportError::Kind::kSource,
                          "The source " + path + " cannot be read: " + std::strerror(errno) + ".");
    }
    const std::string recordPath = ConversionRecordPath(path);
    if (platform::IdentityOf(recordPath).Exists()) {
        throw ImportError(ImportError::Kind::kWrite, "An earlier conversion of " + path +
                                                         " was cut off and is not settled (" +
                                                         recordPath + "); nothing was changed.");
    }
    const std::string converted = FreeNameBeside(path, ".converted");
    report.import = ImportGenuineDatabase(path, converted, options);
    // The working file keeps its owner and permissions: the host application
    // and its users open it as before.
    if (::chmod(converted.c_str(), original.st_mode & 07777) != 0 ||
        (::geteuid() == 0 && ::chown(converted.c_str(), original.st_uid, original.st_gid) != 0)) {
        const int error = errno;
        ::unlink(converted.c_str());
        throw ImportError(ImportError::Kind::kWrite,
                          "The new database could not take the owner and permissions of " + path +
                              ": " + std::strerror(error) + ". Nothing was changed.");
    }
    if (const std::optional<std::string> problem =
            db::CheckDatabaseFile(converted, options.password)) {
        ::unlink(converted.c_str());
        throw ImportError(ImportError::Kind::kWrite, "The new database " + converted + " " +
                                                         *problem + " Nothing was changed.");
    }
    report.keptOriginal = FreeNameBeside(path, ".access-original");
    if (options.keptNameChosen) options.keptNameChosen(report.keptOriginal);
    const ConversionRecord record{platform::IdentityOf(path), platform::IdentityOf(converted),
                                  converted, report.keptOriginal};
    if (const platform::FileStatus written = platform::WriteFileWhole(
            recordPath, RecordText(record), 0600, platform::NewFile::Replace::Never);
        !written.Succeeded()) {
        ::unlink(converted.c_str());
        throw ImportError(
            ImportError::Kind::kWrite,
            "The record of the conversion cannot be written, so nothing was changed: " +
                written.message);
    }
    Step(options, "recorded");
    // The two files swap names in one step, so the working name never
    // stands empty; the genuine file then takes its kept name (or, should
    // that fail, stays under the converted one, which the report states and
    // the record lets the next start move).
    const platform::FileStatus swapped = platform::ExchangeFiles(converted, path);
    if (swapped.Succeeded()) {
        platform::SyncFolder(platform::FolderOf(path));
        Step(options, "swapped");
        const platform::FileStatus kept = platform::RenameNoReplace(converted, report.keptOriginal);
        if (!kept.Succeeded()) {
            report.keptOriginal = converted;
            return report;
        }
        Step(options, "kept");
        RemoveRecord(path, recordPath);
        Step(options, "done");
        return report;
    }
    auto giveUp = [&](const std::string& why) {
        ::unlink(converted.c_str());
        ::unlink(recordPath.c_str());
        throw ImportError(ImportError::Kind::kWrite, why);
    };
    if (swapped.error != EINVAL && swapped.error != ENOSYS) {
        giveUp(
            "The new database could not take the place of the genuine file, so nothing was "
            "changed: " +
            swapped.message);
    }
    // Where the file system cannot swap: the genuine file steps aside first,
    // under its announced name; then the new database takes the working
    // name. Either rename refuses to replace a file.
    platform::FileStatus moved = platform::RenameNoReplace(path, report.keptOriginal);
    if (!moved.Succeeded()) {
        giveUp("The genuine file could not be moved aside, so nothing was changed: " +
               moved.message);
    }
    Step(options, "kept");
    moved = platform::RenameNoReplace(converted, path);
    if (!moved.Succeeded()) {
        const platform::FileStatus back = platform::RenameNoReplace(report.keptOriginal, path);
        if (back.Succeeded()) ::unlink(recordPath.c_str());
        throw ImportError(
            ImportError::Kind::kWrite,
            "The new database could not take the name " + path + ": " + moved.message +
                (back.Succeeded()
                     ? " The genuine file is back under its name; the new database is "
                       "kept as " +
                           converted + "."
                     : " The genuine file is kept unchanged as " + report.keptOriginal +
                           "; the new database as " + converted + "."));
    }
    Step(options, "swapped");
    RemoveRecord(path, recordPath);
    Step(options, "done");
    return report;
}

std::string DescribeLeftOut(const std::vector<LeftOut>& leftOut) {
    std::string out;
    for (const auto& item : leftOut) {
        std::string where = item.table.empty() ? "" : item.table;
        if (!item.field.empty()) where += "." + item.field;
        out += "  " + (where.empty() ? std::string() : where + ": ") + item.what + "\n";
    }
    return out;
}

}  // namespace genuine
