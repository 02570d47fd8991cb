#include "fuzz/FuzzEntries.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/QueryScript.h"
#include "engine/Engine.h"
#include "engine/Internal.h"
#include "engine/Lexer.h"
#include "import/Import.h"
#include "platform/RegistryFile.h"
#include "xlsx/Workbook.h"

namespace fuzzentry {

namespace {

// Sets of rows small enough that no join of a few of them takes long.
constexpr const char* kSchema[] = {
    "CREATE TABLE t_kumi (KumiID autoincrement(1, 1) PRIMARY KEY, KumiCode VARCHAR(010) NOT NULL, "
    "KumiName VARCHAR(050), Kingaku CURRENCY DEFAULT 0, CreateDateTime DATETIME NOT NULL, "
    "UpdateDateTime DATETIME DEFAULT NULL);",
    "CREATE UNIQUE INDEX unq_kumi_001 ON t_kumi (KumiCode);",
    "CREATE TABLE t_sofu (SofuID INTEGER NOT NULL PRIMARY KEY, KumiID INTEGER NOT NULL, "
    "SofuName TEXT, Rate DOUBLE, Flag BIT, CreateDateTime DATETIME NOT NULL);",
    "ALTER TABLE t_sofu ADD CONSTRAINT fk_sofu_001 FOREIGN KEY (KumiID) REFERENCES t_kumi "
    "(KumiID);",
    "INSERT INTO t_kumi (KumiCode, KumiName, Kingaku, CreateDateTime) VALUES ('01', '組合', 10, "
    "now());",
    "INSERT INTO t_kumi (KumiCode, KumiName, CreateDateTime) VALUES ('02', NULL, #2020/05/24#);",
    "INSERT INTO t_sofu (SofuID, KumiID, SofuName, Rate, Flag, CreateDateTime) "
    "VALUES (1, 1, 'ＥＴＣ', 0.5, TRUE, now());",
};

// A folder of the process's own in the temporary folder, made once.
const std::string& ScratchFolder() {
    static const std::string folder = [] {
        std::string made =
            (std::filesystem::temp_directory_path() / "vantoly-fuzz-XXXXXX").string();
        if (mkdtemp(made.data()) == nullptr) throw std::runtime_error("cannot make " + made);
        return made;
    }();
    return folder;
}

std::string ConnectionText(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path + ";";
}

engine::Connection& FuzzDatabase() {
    static std::shared_ptr<engine::Connection> connection = [] {
        const std::string path = ScratchFolder() + "/fuzz.mdb";
        engine::CreateDatabase(path);
        auto opened = engine::Connection::create();
        opened->Open(ConnectionText(path));
        for (const char* statement : kSchema) opened->Execute(statement, nullptr, -1);
        return opened;
    }();
    return *connection;
}

}  // namespace

void ParseStatement(std::string_view bytes) {
    try {
        engine::detail::tokenize(bytes);
    } catch (const engine::ComError&) {
        // A refused token is the lexer's answer, not a fault.
    }
    try {
        engine::detail::parseStatement(bytes);
    } catch (const engine::ComError&) {
        // A syntax error is the parser's answer, not a fault.
    }
}

void ExecuteStatement(std::string_view bytes) {
    engine::Connection& connection = FuzzDatabase();
    connection.BeginTrans();
    try {
        auto rows = connection.Execute(std::string(bytes), nullptr, -1);
        // A few rows of a result are read, typed and converted as the viewer does.
        for (int row = 0; rows && rows->State() != 0 && !rows->IsEOF() && row < 50; ++row) {
            auto fields = rows->GetFields();
            for (long f = 0; f < fields->Count(); ++f) (void)rows->Collect(f);
            rows->MoveNext();
        }
    } catch (const engine::ComError&) {
        // The database refusing the statement is the answer, not a fault.
    } catch (...) {
        connection.RollbackTrans();  // the next input meets the same database
        throw;
    }
    connection.RollbackTrans();
}

void SplitQueries(std::string_view bytes) {
    const console::SplitResult split = console::SplitQueries(console::SplitLines(bytes));
    for (const console::QueryStatement& statement : split.statements) {
        if (statement.text.empty() || statement.text.back() != ';')
            throw std::logic_error("a statement does not end with its semicolon");
        (void)console::StatementLocationText(statement);
    }
}

void ParseRegistry(std::string_view bytes) {
    const platform::RegistryExport parsed = platform::RegistryExport::Parse(bytes);
    // The key and values the tool looks up to find its database.
    const char* key = "HKEY_CURRENT_USER\\SOFTWARE\\VANTOLY\\VANTOLY\\DATABASE\\";
    (void)parsed.HasKey(key);
    for (const char* name : {"FileName", "PathName", "Password"}) {
        if (const platform::RegistryValue* value = parsed.Find(key, name)) (void)value->text.size();
    }
    (void)platform::RegistryExport::NormalisedKey(bytes);
}

void WriteWorkbook(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    const std::string name(lines.front());
    try {
        xlsx::Workbook book(ScratchFolder() + "/fuzz.xlsx", {name, "other"});
        xlsx::Style style;
        style.fontName = std::string(lines.size() > 1 ? lines[1] : "");
        style.fill = xlsx::Fill::Gray0625;
        const xlsx::StyleId id = book.AddStyle(style);
        xlsx::Sheet sheet = book.NewSheet();
        for (std::size_t at = 1; at < lines.size(); ++at) {
            const int row = static_cast<int>(at);
            sheet.WriteString(row, row % 40, lines[at], id);
            sheet.Merge(row, 40, row, 41);
            sheet.LinkToLocation(row, 0, "'" + name + "'!A1", lines[at], lines[lines.size() - at]);
        }
        book.WriteSheet(1, book.NewSheet());
        book.WriteSheet(0, sheet);
        book.Close();
    } catch (const xlsx::WriteError&) {
        // A refused sheet name or an overlong text is the writer's answer.
    }
}

void ImportGenuine(std::string_view bytes) {
    // The reader of this build, unless the run names another; a reader
    // that loops is stopped after seconds, not minutes.
    static const bool configured = [] {
        ::setenv("VANTOLY_MDB_READER", VANTOLY_MDB_READER, 0);
        ::setenv("VANTOLY_READER_TIMEOUT", "10", 0);
        return true;
    }();
    (void)configured;
    const std::string source = ScratchFolder() + "/genuine.mdb";
    const std::string destination = ScratchFolder() + "/imported.mdb";
    {
        std::FILE* file = std::fopen(source.c_str(), "wb");
        if (file == nullptr) throw std::runtime_error("cannot write " + source);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    try {
        (void)genuine::ImportGenuineDatabase(source, destination);
    } catch (const genuine::ImportError&) {
        // A refused file is the import's answer, not a fault.
    }
    ::unlink(destination.c_str());
    std::FILE* file = std::fopen(source.c_str(), "rb");
    std::string after(bytes.size() + 1, '\0');
    const std::size_t read = file ? std::fread(after.data(), 1, after.size(), file) : 0;
    if (file) std::fclose(file);
    if (read != bytes.size() || after.compare(0, read, bytes) != 0)
        throw std::logic_error("the import changed its source");
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder())) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') throw std::logic_error("the import left its temporary " + name);
    }
}

}  // namespace fuzzentry
