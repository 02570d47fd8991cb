// A saved query's Jet text made again from MSysQueries rows written by
// hand, one case per shape of query: joins grouped and nested, aliases,
// grouping, the kinds' own clauses; and rows that describe no statement.
#include <gtest/gtest.h>

#include <algorithm>

#include "import/SavedQueryText.h"

namespace {

using genuine::QueryKind;
using genuine::SourceQuery;
using genuine::SourceQueryRow;

SourceQueryRow Row(int attribute, long flag, const char* name1 = nullptr,
                   const char* name2 = nullptr, const char* expression = nullptr) {
    SourceQueryRow row;
    row.attribute = attribute;
    row.flag = flag;
    if (name1) row.name1 = name1;
    if (name2) row.name2 = name2;
    if (expression) row.expression = expression;
    return row;
}

// The rows every query starts and ends with, around its own.
SourceQuery Query(std::vector<SourceQueryRow> rows) {
    rows.insert(rows.begin(), Row(0, 0));
    rows.push_back(Row(255, 0));
    return {"q", rows};
}

struct TextCase {
    const char* name;
    SourceQuery query;
    QueryKind kind;
    std::string text;
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.name;
}

class RebuiltText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RebuiltText, IsTheStatementTheRowsDescribe) {
    const TextCase& c = GetParam();
    const genuine::RebuiltQuery rebuilt = genuine::RebuildQueryText(c.query);
    EXPECT_EQ(rebuilt.kind, c.kind);
    EXPECT_EQ(rebuilt.text, c.text);
    const auto declared = std::count_if(c.query.rows.begin(), c.query.rows.end(),
                                        [](const SourceQueryRow& r) { return r.attribute == 2; });
    EXPECT_EQ(static_cast<std::ptrdiff_t>(rebuilt.parameters.size()), declared);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RebuiltText,
    ::testing::Values(
        TextCase{
            "GroupedWithAliasesAndDescendingOrder",
            Query({Row(1, 1), Row(5, 0, "Orders", "o"), Row(6, 0, nullptr, nullptr, "o.Id"),
                   Row(6, 0, "Total", nullptr, "Sum(o.Amount)"),
                   Row(8, 0, nullptr, nullptr, "o.Amount>10"), Row(9, 0, nullptr, nullptr, "o.Id"),
                   Row(10, 0, nullptr, nullptr, "Sum(o.Amount)>100"),
                   Row(11, 0, "D", nullptr, "o.Id"), Row(11, 0, nullptr, nullptr, "Total")}),
            QueryKind::kSelect,
            "SELECT o.Id, Sum(o.Amount) AS [Total] FROM [Orders] AS [o] WHERE o.Amount>10 "
            "GROUP BY o.Id HAVING Sum(o.Amount)>100 ORDER BY o.Id DESC, Total"},
        // A second field pair of A and B joins where they first met; D
        // joins nothing and stays a table of its own.
        TextCase{"JoinsNestedAndASecondFieldPair",
                 Query({Row(1, 1), Row(5, 0, "A"), Row(5, 0, "B"), Row(5, 0, "C"), Row(5, 0, "D"),
                        Row(7, 1, "A", "B", "A.x=B.x"), Row(7, 2, "B", "C", "B.y=C.y"),
                        Row(7, 1, "A", "B", "A.z=B.z")}),
                 QueryKind::kSelect,
                 "SELECT * FROM ([A] INNER JOIN [B] ON (A.x=B.x) AND (A.z=B.z)) LEFT JOIN [C] ON "
                 "B.y=C.y, [D]"},
        // The join's sides by alias; the right side listed first.
        TextCase{"RightJoinOfAnAliasedSelfJoin",
                 Query({Row(1, 1), Row(3, 0x01), Row(5, 0, "Staff", "boss"), Row(5, 0, "Staff"),
                        Row(6, 0, "Boss", nullptr, "boss.Name"),
                        Row(7, 3, "Staff", "boss", "Staff.BossId=boss.Id")}),
                 QueryKind::kSelect,
                 "SELECT *, boss.Name AS [Boss] FROM [Staff] RIGHT JOIN [Staff] AS [boss] ON "
                 "Staff.BossId=boss.Id"},
        TextCase{"ParametersDistinctTopPercent",
                 Query({Row(1, 1), Row(2, 8, "Start"), Row(2, 10, "Who?"),
                        Row(3, 0x02 | 0x10 | 0x20, "5"), Row(5, 0, "T"),
                        Row(6, 0, nullptr, nullptr, "T.a"),
                        Row(8, 0, nullptr, nullptr, "T.d>=[Start] And T.w=[Who?]")}),
                 QueryKind::kSelect,
                 "PARAMETERS [Start] DateTime, [Who?] Text (255); SELECT DISTINCT TOP 5 PERCENT "
                 "T.a FROM [T] WHERE T.d>=[Start] And T.w=[Who?]"},
        TextCase{"MakeTable",
                 Query({Row(1, 2, "Archive"), Row(5, 0, "T"), Row(6, 0, nullptr, nullptr, "T.*"),
                        Row(8, 0, nullptr, nullptr, "T.y<2000")}),
                 QueryKind::kMakeTable, "SELECT T.* INTO [Archive] FROM [T] WHERE T.y<2000"},
        TextCase{"AppendFromATable",
                 Query({Row(1, 3, "Log"), Row(5, 0, "T"), Row(6, 0, nullptr, "Msg", "T.a & \"!\""),
                        Row(6, 0, nullptr, "At", "T.d")}),
                 QueryKind::kAppend,
                 "INSERT INTO [Log] (Msg, At) SELECT T.a & \"!\", T.d FROM [T]"},
        TextCase{"AppendOfValues",
                 Query({Row(1, 3, "Log"), Row(6, 0, nullptr, "Msg", "\"x\""),
                        Row(6, 0, nullptr, "At", "Now()")}),
                 QueryKind::kAppend, "INSERT INTO [Log] (Msg, At) VALUES (\"x\", Now())"},
        TextCase{"UpdateThroughAJoin",
                 Query({Row(1, 4), Row(5, 0, "A"), Row(5, 0, "B"), Row(7, 1, "A", "B", "A.k=B.k"),
                        Row(6, 0, nullptr, "A.v", "B.v*2"), Row(8, 0, nullptr, nullptr, "B.v>0")}),
                 QueryKind::kUpdate,
                 "UPDATE [A] INNER JOIN [B] ON A.k=B.k SET A.v = B.v*2 WHERE B.v>0"},
        TextCase{"DeleteWithoutFields",
                 Query({Row(1, 5), Row(5, 0, "T"), Row(8, 0, nullptr, nullptr, "T.a Is Null")}),
                 QueryKind::kDelete, "DELETE FROM [T] WHERE T.a Is Null"},
        // The column heading is grouped by PIVOT, not GROUP BY; TRANSFORM
        // takes the value.
        TextCase{"Crosstab",
                 Query({Row(1, 6), Row(5, 0, "S"), Row(6, 0, "N", nullptr, "Count(S.id)"),
                        Row(6, 2, nullptr, nullptr, "S.region"),
                        Row(6, 1, nullptr, nullptr, "Year(S.d)"),
                        Row(9, 2, nullptr, nullptr, "S.region"),
                        Row(9, 1, nullptr, nullptr, "Year(S.d)")}),
                 QueryKind::kCrosstab,
                 "TRANSFORM Count(S.id) AS [N] SELECT S.region FROM [S] GROUP BY S.region PIVOT "
                 "Year(S.d)"},
        TextCase{
            "UnionOfDistinctRowsOrdered",
            Query({Row(1, 9), Row(3, 3), Row(5, 0, nullptr, "X1", "SELECT a FROM A\r\n"),
                   Row(5, 0, nullptr, "X2", "SELECT b FROM B"), Row(11, 0, nullptr, nullptr, "a")}),
            QueryKind::kUnion, "SELECT a FROM A UNION SELECT b FROM B ORDER BY a"},
        TextCase{"UnionAll",
                 Query({Row(1, 9), Row(3, 1), Row(5, 0, nullptr, "X1", "SELECT a FROM A"),
                        Row(5, 0, nullptr, "X2", "SELECT b FROM B")}),
                 QueryKind::kUnion, "SELECT a FROM A UNION ALL SELECT b FROM B"},
        TextCase{"DataDefinitionAsTyped",
                 Query({Row(1, 7, nullptr, nullptr, "CREATE TABLE X (a TEXT);\r\n")}),
                 QueryKind::kDataDefinition, "CREATE TABLE X (a TEXT)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RebuiltText, APassThroughQueryKeepsItsConnection) {
    const auto rebuilt = genuine::RebuildQueryText(
        Query({Row(1, 8, "ODBC;DSN=Sales", nullptr, "SELECT * FROM dbo.Orders")}));
    EXPECT_EQ(rebuilt.kind, QueryKind::kPassThrough);
    EXPECT_EQ(rebuilt.connect, "ODBC;DSN=Sales");
    EXPECT_EQ(rebuilt.text, "SELECT * FROM dbo.Orders");
}

struct BrokenCase {
    const char* name;
    SourceQuery query;
    std::string reason;
};

void PrintTo(const BrokenCase& c, std::ostream* out) {
    *out << c.name;
}

class UnbuildableRows : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(UnbuildableRows, SayWhy) {
    const BrokenCase& c = GetParam();
    try {
        genuine::RebuildQueryText(c.query);
        ADD_FAILURE() << "rebuilt";
    } catch (const genuine::QueryTextError& error) {
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnbuildableRows,
    ::testing::Values(
        BrokenCase{"NoKind", Query({Row(5, 0, "T")}), "do not say what kind"},
        BrokenCase{"UnknownKind", Query({Row(1, 42), Row(5, 0, "T")}), "its kind (42)"},
        BrokenCase{"JoinOfAnUnlistedTable",
                   Query({Row(1, 1), Row(5, 0, "A"), Row(7, 1, "A", "Z", "A.k=Z.k")}),
                   "a join names Z, which is not one of its input tables"},
        BrokenCase{
            "JoinOfUnknownType",
            Query({Row(1, 1), Row(5, 0, "A"), Row(5, 0, "B"), Row(7, 9, "A", "B", "A.k=B.k")}),
            "of a type Jet does not write (9)"},
        BrokenCase{"ParameterOfUnknownType", Query({Row(1, 1), Row(2, 99, "p"), Row(5, 0, "T")}),
                   "data type (99)"},
        BrokenCase{"CrosstabWithoutPivot",
                   Query({Row(1, 6), Row(5, 0, "S"), Row(6, 0, nullptr, nullptr, "Count(*)")}),
                   "no column heading (PIVOT)"},
        BrokenCase{"UnionOfOnePart",
                   Query({Row(1, 9), Row(5, 0, nullptr, "X1", "SELECT a FROM A")}),
                   "fewer than two parts"},
        BrokenCase{"UpdateWithoutTarget",
                   Query({Row(1, 4), Row(5, 0, "T"), Row(6, 0, nullptr, nullptr, "1")}),
                   "names no field to update"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
