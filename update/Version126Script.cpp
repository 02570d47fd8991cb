#include "update/Version126Script.h"

#include <algorithm>
#include <stdexcept>

#include "update/Version126ScriptResource.h"

namespace update {

namespace {

// A heading line: "-- [drop]", "-- [table t_mlg_card]".
constexpr std::string_view kHeadingStart = "-- [";
constexpr std::string_view kHeadingEnd = "]";
constexpr std::string_view kDropHeading = "drop";
constexpr std::string_view kColumnHeading = "column ";
constexpr std::string_view kTableHeading = "table ";
constexpr std::string_view kStampHeading = "stamp";
constexpr std::string_view kDropPrefix = "DROP TABLE ";

struct Block {
    std::string heading;
    std::vector<std::string> statements;
};

// The resource is part of the build: a text the runner cannot read is a
// fault of the program, raised before any statement of it runs.
[[noreturn]] void Malformed(const std::string& what) {
    throw std::logic_error("the update script resource (version-1.26.sql): " + what);
}

std::vector<Block> ReadBlocks(std::string_view text) {
    std::vector<Block> blocks;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.starts_with(kHeadingStart) && line.ends_with(kHeadingEnd)) {
            blocks.push_back(
                {std::string(line.substr(kHeadingStart.size(),
                                         line.size() - kHeadingStart.size() - kHeadingEnd.size())),
                 {}});
        } else if (line.empty() || line.starts_with("--")) {
            continue;
        } else if (line.find('\r') != std::string_view::npos) {
            // A carriage return would reach the database inside the statement.
            Malformed("a carriage return in: " + std::string(line));
        } else if (blocks.empty()) {
            Malformed("a statement before the first heading: " + std::string(line));
        } else {
            blocks.back().statements.emplace_back(line);
        }
    }
    return blocks;
}

const std::vector<Block>& Blocks() {
    static const std::vector<Block> blocks = ReadBlocks(ScriptResource());
    return blocks;
}

const Block& BlockHeaded(std::string_view heading) {
    for (const Block& block : Blocks()) {
        if (block.heading == heading) {
            return block;
        }
    }
    Malformed("no block [" + std::string(heading) + "]");
}

// A foreign key to a table whose relationships the count scan watches waits
// for that table's count.
StatementGate GateOf(const std::string& statement) {
    if (!statement.starts_with("ALTER TABLE ") ||
        statement.find(" FOREIGN KEY ") == std::string::npos) {
        return StatementGate::Always;
    }
    auto references = [&](std::string_view table) {
        return statement.find(" REFERENCES " + std::string(table) + " ") != std::string::npos;
    };
    if (references(kKumiTable)) return StatementGate::KumiRelationshipsAllow;
    if (references(kSofuTable)) return StatementGate::SofuRelationshipsAllow;
    return StatementGate::Always;
}

std::vector<DropStatement> ReadDropStatements() {
    std::vector<DropStatement> drops;
    for (const std::string& text : BlockHeaded(kDropHeading).statements) {
        if (!text.starts_with(kDropPrefix) || !text.ends_with(";")) {
            Malformed("not a DROP TABLE statement in [drop]: " + text);
        }
        drops.push_back(
            {text.substr(kDropPrefix.size(), text.size() - kDropPrefix.size() - 1), text});
    }
    return drops;
}

std::vector<CreationBlock> ReadCreationBlocks() {
    std::vector<CreationBlock> blocks;
    for (const Block& block : Blocks()) {
        if (!block.heading.starts_with(kTableHeading)) {
            continue;
        }
        CreationBlock creation{block.heading.substr(kTableHeading.size()), {}};
        for (const std::string& text : block.statements) {
            creation.statements.push_back({text, GateOf(text)});
        }
        blocks.push_back(std::move(creation));
    }
    return blocks;
}

}  // namespace

std::string_view ScriptResource() {
    return {kVersion126ScriptText, sizeof kVersion126ScriptText - 1};
}

const std::vector<DropStatement>& DropStatements() {
    static const std::vector<DropStatement> drops = ReadDropStatements();
    return drops;
}

engine::DaoFieldInfo SeikyuColumnFieldInfo(std::string_view column) {
    engine::DaoFieldInfo info;
    info.name = std::string(column);
    info.type = engine::dbLong;
    info.size = 4;
    info.attributes = engine::dbFixedField;
    info.ordinalPosition = 88;
    info.required = true;
    info.allowZeroLength = false;
    info.defaultValue = "0";
    return info;
}

const std::vector<std::string>& ColumnStatements(std::string_view table, std::string_view column) {
    return BlockHeaded(std::string(kColumnHeading) + std::string(table) + "." + std::string(column))
        .statements;
}

const std::vector<CreationBlock>& CreationBlocks() {
    static const std::vector<CreationBlock> blocks = ReadCreationBlocks();
    return blocks;
}

const std::vector<std::string>& VersionStampStatements() {
    return BlockHeaded(kStampHeading).statements;
}

bool CreatesVersionCommentTable(const std::string& statement) {
    return statement.starts_with("CREATE TABLE " + std::string(kVersionCommentTable) + " ");
}

}  // namespace update
