// Statement forms of Jet SQL beyond plain SELECT, INSERT, UPDATE and DELETE:
// make-table queries, updates and deletes over joins, crosstabs, TOP with
// ties and PERCENT, quantified subqueries, Eqv and Imp, CHECK constraints,
// @@IDENTITY, the legacy derived table, GUID literals, the SQL-92 type names
// and ^ with a negative exponent. Each case runs on a fresh database.
#include <sqlite3.h>

#include "AnswerCheck.h"
#include "EngineFixture.h"

namespace {

using enginetest::EngineFixture;

class StatementFormsTest : public EngineFixture {
  protected:
    // A database of its own for case `n`, with the two tables and their rows.
    void freshDatabase(int n) {
        path_ = folder_.Folder() + "case" + std::to_string(n) + ".mdb";
        engine::CreateDatabase(path_);
        conn_ = engine::Connection::create();
        conn_->Open(enginetest::jetText(path_));
        exec(
            "CREATE TABLE products (ProductID COUNTER PRIMARY KEY, Name TEXT(30), Category "
            "TEXT(10), "
            "Price CURRENCY, Stock LONG)");
        exec(
            "CREATE TABLE orders (OrderID COUNTER PRIMARY KEY, ProductID LONG, Region TEXT(10), "
            "Qty LONG, "
            "OrderDate DATETIME)");
        for (const char* row :
             {"'Pen', 'Office', 1.5, 100", "'Pad', 'Office', 3, 50", "'Mug', 'Kitchen', 6, 20",
              "'Jug', 'Kitchen', 6, 0", "'Cap', 'Apparel', 9, 5"}) {
            exec(std::string("INSERT INTO products (Name, Category, Price, Stock) VALUES (") + row +
                 ")");
        }
        for (const char* row : {"1, 'East', 10, #2024/01/05#", "1, 'West', 5, #2024/02/01#",
                                "2, 'East', 7, #2024/01/20#", "3, 'West', 2, #2024/02/11#",
                                "3, 'West', 4, #2024/03/03#", "5, 'North', 1, #2024/03/10#"}) {
            exec(std::string("INSERT INTO orders (ProductID, Region, Qty, OrderDate) VALUES (") +
                 row + ")");
        }
    }

    // "name|name: v|v; v|v": the column names, then every row.
    std::string rows(const std::string& sql) {
        auto rs = conn_->Execute(sql, nullptr, -1);
        std::string out;
        const auto fields = rs->GetFields();
        const long count = fields->Count();
        for (long i = 0; i < count; ++i) out += (i ? "|" : "") + fields->Item(i).Name();
        out += ":";
        for (bool first = true; !rs->IsEOF(); rs->MoveNext(), first = false) {
            out += first ? " " : "; ";
            for (long i = 0; i < count; ++i)
                out += (i ? "|" : "") + enginetest::answerText(rs->Collect(i));
        }
        return out;
    }
};

// One row a case: statements run in order (one a line), then a query whose
// columns and rows are compared; or the Jet error number the last statement
// (the query, when there is one) raises.
struct FormCase {
    const char* statements;
    const char* query;
    const char* expected;  // rows(query), or nullptr when an error is expected
    int jetError;
};

TEST_F(StatementFormsTest, EveryFormGivesJetsAnswer) {
    const FormCase cases[] = {
        // Access SQL reference: SELECT...INTO statement (make-table query)
        {"SELECT Name, Price INTO Cheap FROM products WHERE Price < 5",
         "SELECT Name, Price FROM Cheap ORDER BY Name", "Name|Price: Pad|3; Pen|1.5", 0},
        // Fields typed from their source columns, the AutoNumber as a Long Integer, expressions
        // from their values.
        {"SELECT ProductID, Name, Price, Name & '!' AS Shout, Stock * 2 INTO Copy FROM "
         "products",
         "SELECT ColumnName, Type, DefinedSize, IsCounter FROM MSysColumns WHERE TableName = "
         "'Copy' ORDER BY Position",
         "ColumnName|Type|DefinedSize|IsCounter: ProductID|3|4|0; Name|202|30|0; Price|6|8|0; "
         "Shout|202|255|0; "
         "Expr1004|3|4|0",
         0},
        {"SELECT Region, Sum(Qty) AS Total INTO Totals FROM orders GROUP BY Region",
         "SELECT * FROM Totals WHERE Total > 10 ORDER BY Region", "Region|Total: East|17; West|11",
         0},
        {"SELECT * INTO products FROM orders", nullptr, nullptr, 3010},
        // Access SQL reference: UPDATE statement, INNER JOIN operation
        {"UPDATE products INNER JOIN orders ON products.ProductID = orders.ProductID SET "
         "products.Stock = orders.Qty "
         "WHERE orders.Region = 'North'",
         "SELECT ProductID, Stock FROM products WHERE Stock < 10 ORDER BY ProductID",
         "ProductID|Stock: 4|0; 5|1", 0},
        {"UPDATE products AS p INNER JOIN orders AS o ON p.ProductID = o.ProductID SET p.Price "
         "= "
         "p.Price * 2 "
         "WHERE o.OrderDate >= #2024/03/01#",
         "SELECT Name, Price FROM products ORDER BY ProductID",
         "Name|Price: Pen|1.5; Pad|3; Mug|12; Jug|6; Cap|18", 0},
        // Access SQL reference: LEFT JOIN, RIGHT JOIN operations (the rows without a match)
        {"UPDATE products LEFT JOIN orders ON products.ProductID = orders.ProductID SET "
         "products.Stock = -1 "
         "WHERE orders.OrderID IS NULL",
         "SELECT Name FROM products WHERE Stock = -1", "Name: Jug", 0},
        {"UPDATE products, orders SET products.Category = 'Sold' WHERE products.ProductID = "
         "orders.ProductID AND "
         "orders.Qty > 6",
         "SELECT Name FROM products WHERE Category = 'Sold' ORDER BY Name", "Name: Pad; Pen", 0},
        {"UPDATE products INNER JOIN orders ON products.ProductID = orders.ProductID SET "
         "products.Stock = 0, "
         "orders.Qty = 0",
         nullptr, nullptr, 3073},
        // Access SQL reference: DELETE statement
        {"DELETE orders.* FROM orders INNER JOIN products ON orders.ProductID = "
         "products.ProductID "
         "WHERE "
         "products.Category = 'Kitchen'",
         "SELECT Count(*) AS Orders, (SELECT Count(*) FROM products) AS Products FROM orders",
         "Orders|Products: 4|5", 0},
        {"DELETE DISTINCTROW o.* FROM orders AS o INNER JOIN products AS p ON o.ProductID = "
         "p.ProductID WHERE "
         "p.Price > 5",
         "SELECT OrderID FROM orders ORDER BY OrderID", "OrderID: 1; 2; 3", 0},
        {"DELETE DISTINCTROW * FROM orders WHERE Qty < 5", "SELECT Count(*) FROM orders",
         "Expr1000: 3", 0},
        {"DELETE * FROM orders INNER JOIN products ON orders.ProductID = products.ProductID",
         nullptr, nullptr, 3128},
        // Fields named after DELETE still delete whole rows, as t.* does
        {"DELETE orders.Qty FROM orders WHERE Qty < 5", "SELECT Count(*) FROM orders",
         "Expr1000: 3", 0},
        {"DELETE Qty, Region FROM orders WHERE Region = 'West'", "SELECT Count(*) FROM orders",
         "Expr1000: 3", 0},
        {"DELETE o.Qty FROM orders AS o INNER JOIN products AS p ON o.ProductID = p.ProductID "
         "WHERE p.Price > 5",
         "SELECT OrderID FROM orders ORDER BY OrderID", "OrderID: 1; 2; 3", 0},
        {"DELETE o.Qty, p.Name FROM orders AS o INNER JOIN products AS p ON o.ProductID = "
         "p.ProductID",
         nullptr, nullptr, 3128},
        // Access SQL reference: TRANSFORM statement, PIVOT (headings from the data, sorted)
        {"", "TRANSFORM Sum(Qty) SELECT ProductID FROM orders GROUP BY ProductID PIVOT Region",
         "ProductID|East|North|West: 1|10|NULL|5; 2|7|NULL|NULL; 3|NULL|NULL|6; 5|NULL|1|NULL", 0},
        // ... with a fixed column list: only those columns, in that order, empty cells Null
        // even
        // for Count
        {"",
         "TRANSFORM Count(*) SELECT ProductID FROM orders GROUP BY ProductID PIVOT Region IN "
         "('West', 'South')",
         "ProductID|West|South: 1|1|NULL; 2|NULL|NULL; 3|2|NULL; 5|NULL|NULL", 0},
        {"",
         "TRANSFORM Nz(Sum(Qty), 0) AS Total SELECT Region, Sum(Qty) AS [All] FROM orders "
         "WHERE "
         "Qty > 1 "
         "GROUP BY Region PIVOT Format(OrderDate, 'mm')",
         "Region|All|01|02|03: East|17|17|0|0; West|11|0|7|4", 0},
        {"", "TRANSFORM Qty SELECT Region FROM orders GROUP BY Region PIVOT ProductID", nullptr,
         3122},
        // The value is written again for each column: a text in it holding any byte stays
        // as it is, and a field's kind is looked up for every column alike
        {"",
         "TRANSFORM Max(Region & '<\x01\x02>') SELECT ProductID FROM orders GROUP BY ProductID "
         "PIVOT Region IN ('West')",
         "ProductID|West: 1|West<\x01\x02>; 2|NULL; 3|West<\x01\x02>; 5|NULL", 0},
        {"",
         "TRANSFORM Max(Region & ' ' & OrderDate) SELECT ProductID FROM orders WHERE ProductID < 3 "
         "GROUP BY ProductID PIVOT Region",
         "ProductID|East|West: 1|East 2024/01/05|West 2024/02/01; 2|East 2024/01/20|NULL", 0},

        {"", "TRANSFORM Sum(Qty) SELECT Region FROM orders PIVOT ProductID", nullptr, 3122},
        // Access SQL reference: UNION operation (TABLE x)
        {"SELECT Region INTO r1 FROM orders WHERE Qty > 4\nSELECT Region INTO r2 FROM orders "
         "WHERE "
         "Qty <= 4",
         "TABLE r1 UNION TABLE r2 ORDER BY Region", "Region: East; North; West", 0},
        {"SELECT Region INTO r1 FROM orders WHERE Qty > 4",
         "SELECT Count(*) FROM (TABLE r1 UNION ALL TABLE r1) AS u", "Expr1000: 6", 0},
        // Access SQL reference: ALL, DISTINCT, DISTINCTROW, TOP predicates (ties with the last
        // row
        // come along)
        {"", "SELECT TOP 2 Price FROM products ORDER BY Price DESC", "Price: 9; 6; 6", 0},
        {"", "SELECT TOP 1 Category FROM products ORDER BY Category", "Category: Apparel", 0},
        {"", "SELECT TOP 40 PERCENT Price FROM products ORDER BY Price DESC", "Price: 9; 6; 6", 0},
        {"", "SELECT TOP 20 PERCENT Name FROM products ORDER BY Price DESC", "Name: Cap", 0},
        {"", "SELECT TOP 10 PERCENT Name FROM products ORDER BY Price", "Name: Pen", 0},
        {"", "SELECT Count(*) FROM (SELECT TOP 60 PERCENT ProductID FROM products) AS x",
         "Expr1000: 3", 0},
        {"",
         "SELECT TOP 1 Region, Sum(Qty) AS Total FROM orders GROUP BY Region ORDER BY Sum(Qty) "
         "DESC",
         "Region|Total: East|17", 0},
        {"",
         "SELECT Name FROM products WHERE ProductID IN (SELECT TOP 1 ProductID FROM orders "
         "ORDER "
         "BY Qty) ",
         "Name: Cap", 0},
        {"", "SELECT TOP 101 PERCENT Name FROM products", nullptr, 3075},
        // TOP in a subquery that reads the row around it; ties still count
        {"",
         "SELECT Name, (SELECT TOP 1 Qty FROM orders WHERE orders.ProductID = "
         "products.ProductID ORDER BY OrderDate DESC) AS LastQty FROM products ORDER BY ProductID",
         "Name|LastQty: Pen|5; Pad|7; Mug|4; Jug|NULL; Cap|1", 0},
        {"",
         "SELECT Name FROM products AS p WHERE Stock IN (SELECT TOP 50 PERCENT o.Qty * 10 FROM "
         "orders AS o WHERE o.ProductID = p.ProductID ORDER BY o.Qty DESC)",
         "Name: Pen", 0},
        {"",
         "SELECT Name, (SELECT TOP 1 Region FROM orders WHERE orders.ProductID = "
         "products.ProductID ORDER BY Region) FROM products WHERE ProductID = 3",
         nullptr, 3354},
        // Access SQL reference: SQL subqueries (ANY, SOME, ALL)
        {"",
         "SELECT Name FROM products WHERE Price > ALL (SELECT Price FROM products WHERE "
         "Category = "
         "'Kitchen')",
         "Name: Cap", 0},
        {"",
         "SELECT Name FROM products WHERE Price < ANY (SELECT Price FROM products WHERE "
         "Category = "
         "'Office')",
         "Name: Pen", 0},
        {"", "SELECT Count(*) FROM products WHERE ProductID = SOME (SELECT ProductID FROM orders)",
         "Expr1000: 4", 0},
        {"",
         "SELECT Count(*) FROM products WHERE Price > ALL (SELECT Price FROM products WHERE "
         "Category = 'None')",
         "Expr1000: 5", 0},
        {"",
         "SELECT Count(*) FROM products WHERE NOT ProductID = ANY (SELECT ProductID FROM "
         "orders)",
         "Expr1000: 1", 0},
        // VBA reference: Eqv operator, Imp operator (Null propagates where the result depends
        // on
        // it)
        {"", "SELECT True Eqv True, True Eqv False, False Eqv False, Null Eqv True",
         "Expr1000|Expr1001|Expr1002|Expr1003: -1|0|-1|NULL", 0},
        {"", "SELECT True Imp False, False Imp Null, Null Imp True, True Imp Null, Null Imp False",
         "Expr1000|Expr1001|Expr1002|Expr1003|Expr1004: 0|-1|-1|NULL|NULL", 0},
        {"", "SELECT Count(*) FROM products WHERE Price > 5 Imp Stock > 10", "Expr1000: 3", 0},
        // VBA reference: operator precedence (Or before Eqv before Imp)
        {"", "SELECT True Or False Eqv False, False Imp False Eqv True", "Expr1000|Expr1001: 0|-1",
         0},
        // Access SQL reference: CONSTRAINT clause; Jet 4 CHECK constraints
        {"CREATE TABLE acct (ID LONG, Balance CURRENCY, CONSTRAINT positive CHECK (Balance >= "
         "0))\n"
         "INSERT INTO acct VALUES (1, 10)\nINSERT INTO acct VALUES (2, -5)",
         nullptr, nullptr, 3317},
        {"CREATE TABLE acct (ID LONG, Balance CURRENCY, CONSTRAINT positive CHECK (Balance >= "
         "0))\n"
         "INSERT INTO acct VALUES (1, 10)\nINSERT INTO acct VALUES (2, Null)\nUPDATE acct SET "
         "Balance = -1 WHERE ID = 1",
         nullptr, nullptr, 3317},
        // ... a CHECK across tables (a subquery)
        {"CREATE TABLE CreditLimit (CreditLimit DOUBLE)\nINSERT INTO CreditLimit VALUES (100)\n"
         "CREATE TABLE Customer (CustID LONG, CustLimit DOUBLE, CONSTRAINT LimitRule CHECK "
         "(CustLimit <= (SELECT "
         "CreditLimit FROM CreditLimit)))\nINSERT INTO Customer VALUES (1, 50)\nINSERT INTO "
         "Customer VALUES (2, 150)",
         nullptr, nullptr, 3317},
        {"CREATE TABLE CreditLimit (CreditLimit DOUBLE)\nINSERT INTO CreditLimit VALUES (100)\n"
         "CREATE TABLE Customer (CustID LONG, CustLimit DOUBLE, CONSTRAINT LimitRule CHECK "
         "(CustLimit <= (SELECT "
         "CreditLimit FROM CreditLimit)))\nINSERT INTO Customer VALUES (1, 50)\nUPDATE "
         "CreditLimit "
         "SET CreditLimit = 200\n"
         "INSERT INTO Customer VALUES (2, 150)",
         "SELECT CustID FROM Customer ORDER BY CustID", "CustID: 1; 2", 0},
        {"ALTER TABLE products ADD CONSTRAINT stocked CHECK (Stock > 0 OR Category = "
         "'Kitchen')\n"
         "UPDATE products SET Stock = 0 WHERE Name = 'Mug'\nUPDATE products SET Stock = 0 "
         "WHERE "
         "Name = 'Pen'",
         nullptr, nullptr, 3317},
        // ... existing rows that break the rule keep it from being added
        {"ALTER TABLE products ADD CONSTRAINT stocked CHECK (Stock > 0)", nullptr, nullptr, 3317},
        {"ALTER TABLE products ADD CONSTRAINT cheap CHECK (Price < 100)\nALTER TABLE products "
         "DROP "
         "CONSTRAINT cheap\n"
         "UPDATE products SET Price = 500 WHERE ProductID = 1",
         "SELECT Price FROM products WHERE ProductID = 1", "Price: 500", 0},
        // ... the rule stays with its table through a change of its fields
        {"ALTER TABLE products ADD CONSTRAINT cheap CHECK (Price < 100)\nALTER TABLE products "
         "ADD "
         "COLUMN Note TEXT(5)\n"
         "ALTER TABLE products ALTER COLUMN Note TEXT(9)\nUPDATE products SET Price = 500 "
         "WHERE "
         "ProductID = 1",
         nullptr, nullptr, 3317},
        // Jet OLE DB provider: SELECT @@IDENTITY after an insert
        {"INSERT INTO products (Name) VALUES ('Hat')", "SELECT @@IDENTITY", "Expr1000: 6", 0},
        // Access: the legacy derived table [SELECT ...]. AS alias
        {"",
         "SELECT x.Region FROM [SELECT Region, Sum(Qty) AS T FROM orders GROUP BY Region]. AS "
         "x "
         "WHERE x.T > 10 "
         "ORDER BY x.Region",
         "Region: East; West", 0},
        {"",
         "SELECT Count(*) FROM orders AS o INNER JOIN [SELECT ProductID FROM products WHERE "
         "Price "
         "> 5]. AS p ON "
         "o.ProductID = p.ProductID",
         "Expr1000: 3", 0},
        // Jet SQL: GUID literals {guid {...}}
        {"CREATE TABLE g (ID GUID, N LONG)\nINSERT INTO g VALUES ({guid "
         "{6b29fc40-ca47-1067-b31d-00dd010662da}}, 1)",
         "SELECT N, ID FROM g WHERE ID = { guid {6B29FC40-CA47-1067-B31D-00DD010662DA} }",
         "N|ID: 1|{6B29FC40-CA47-1067-B31D-00DD010662DA}", 0},
        {"", "SELECT {guid {6b29fc40-ca47-1067-b31d}}", nullptr, 3075},
        // Access SQL reference: Equivalent ANSI SQL data types
        {"CREATE TABLE ty (a CHARACTER VARYING(20), b NATIONAL CHARACTER(10), c NATIONAL CHAR "
         "VARYING(5), "
         "d BINARY VARYING(8), e DOUBLE PRECISION, f CHAR VARYING, g NATIONAL CHARACTER "
         "VARYING(7), h NATIONAL TEXT)",
         "SELECT ColumnName, Type, DefinedSize FROM MSysColumns WHERE TableName = 'ty' ORDER "
         "BY "
         "Position",
         "ColumnName|Type|DefinedSize: a|202|20; b|202|10; c|202|5; d|204|8; e|5|8; f|202|255; "
         "g|202|7; h|203|0",
         0},
        {"CREATE TABLE bad (a NATIONAL LONG)", nullptr, nullptr, 3292},
        // Access SQL reference: CREATE VIEW statement (a saved select query read as a table,
        // its name in any case, in a join, in a subquery and under another view)
        {"CREATE VIEW Office AS SELECT Name, Price FROM products WHERE Category = 'Office'",
         "SELECT * FROM OFFICE ORDER BY Name", "Name|Price: Pad|3; Pen|1.5", 0},
        {"CREATE VIEW Kitchen AS SELECT ProductID, Name FROM products WHERE Category = 'Kitchen'",
         "SELECT k.Name, o.Qty FROM Kitchen AS k INNER JOIN orders AS o ON k.ProductID = "
         "o.ProductID ORDER BY o.Qty",
         "Name|Qty: Mug|2; Mug|4", 0},
        {"CREATE VIEW Kitchen AS SELECT ProductID FROM products WHERE Category = 'Kitchen'",
         "SELECT Region, Qty FROM orders WHERE ProductID IN (SELECT ProductID FROM kitchen) ORDER "
         "BY Qty",
         "Region|Qty: West|2; West|4", 0},
        {"CREATE VIEW Cheap AS SELECT Name, Price FROM products WHERE Price < 5\n"
         "CREATE VIEW Cheapest AS SELECT TOP 1 Name FROM Cheap ORDER BY Price",
         "SELECT * FROM Cheapest", "Name: Pen", 0},
        // Access SQL reference: WITH OWNERACCESS OPTION declaration (no users here: ignored)
        {"CREATE VIEW Dear AS SELECT Name FROM products WHERE Price > 8 WITH OWNERACCESS OPTION;",
         "SELECT Name FROM Dear WITH OWNERACCESS OPTION", "Name: Cap", 0},
        // Access SQL reference: CREATE PROCEDURE statement, EXECUTE statement (values given to
        // the parameters in order; select, update, make-table and crosstab queries)
        {"CREATE PROCEDURE Pricier (minPrice CURRENCY) AS SELECT Name FROM products WHERE Price > "
         "minPrice ORDER BY Name",
         "EXECUTE Pricier 5", "Name: Cap; Jug; Mug", 0},
        {"CREATE PROCEDURE Restock (amount LONG, cat TEXT(10)) AS UPDATE products SET Stock = "
         "Stock + amount WHERE Category = cat\n"
         "EXECUTE Restock 7, 'Kitchen'",
         "SELECT Name, Stock FROM products WHERE Category = 'Kitchen' ORDER BY Name",
         "Name|Stock: Jug|7; Mug|27", 0},
        {"CREATE PROC MakeCheap (limit CURRENCY) AS SELECT Name INTO Cheap FROM products WHERE "
         "Price < limit\n"
         "EXEC MakeCheap 2",
         "SELECT Name FROM Cheap", "Name: Pen", 0},
        {"CREATE PROCEDURE Sold AS TRANSFORM Sum(Qty) SELECT Region FROM orders WHERE ProductID "
         "< 3 GROUP BY Region PIVOT ProductID",
         "EXECUTE Sold", "Region|1|2: East|10|7; West|5|NULL", 0},
        // Access SQL reference: PARAMETERS declaration (the form a saved query keeps; a name
        // with spaces, a dotted form reference, a date given as a date or a text)
        {"CREATE PROCEDURE Since AS PARAMETERS [Start Date] DateTime; SELECT COUNT(*) AS n FROM "
         "orders WHERE OrderDate >= [Start Date]",
         "EXECUTE Since #2024/02/01#", "n: 4", 0},
        {"CREATE PROCEDURE Since AS PARAMETERS [Start Date] DateTime; SELECT COUNT(*) AS n FROM "
         "orders WHERE OrderDate >= [Start Date]",
         "EXECUTE Since '2024/03/01'", "n: 2", 0},
        {"CREATE PROCEDURE InRegion AS PARAMETERS [Forms]![Main]![Region] Text ( 10 ); SELECT "
         "COUNT(*) AS n FROM orders WHERE Region = Forms!Main!Region",
         "EXECUTE InRegion 'West'", "n: 3", 0},
        {"CREATE PROCEDURE Twice (x VALUE) AS SELECT x & x AS xx FROM products WHERE ProductID "
         "= 1",
         "EXECUTE Twice 'ab'", "xx: abab", 0},
        // A parameter named as a field of the tables read: Jet reads the field
        {"CREATE PROCEDURE Big (Qty LONG) AS SELECT COUNT(*) AS n FROM orders WHERE Qty > 4",
         "EXECUTE Big 100", "n: 3", 0},
        // A declared parameter without a value, a value not of its type, too many values
        {"", "PARAMETERS lim LONG; SELECT Name FROM products WHERE Stock > lim", nullptr, 3061},
        {"CREATE PROCEDURE Pricier (minPrice CURRENCY) AS SELECT Name FROM products WHERE Price > "
         "minPrice",
         "SELECT * FROM Pricier", nullptr, 3061},
        {"CREATE PROCEDURE Pricier (minPrice CURRENCY) AS SELECT Name FROM products WHERE Price > "
         "minPrice",
         "EXECUTE Pricier 'cheap'", nullptr, 3464},
        {"CREATE PROCEDURE Big (n BYTE) AS SELECT Name FROM products WHERE Stock > n",
         "EXECUTE Big 300", nullptr, 3464},
        {"CREATE PROCEDURE Pricier (minPrice CURRENCY) AS SELECT Name FROM products WHERE Price > "
         "minPrice",
         "EXECUTE Pricier 1, 2", nullptr, 3129},
        {"", "PARAMETERS a LONG, A TEXT; SELECT a FROM products", nullptr, 3129},
        // Names: a table's is Jet's 3010, a saved query's 3012, both ways and in any case
        {"", "CREATE VIEW Products AS SELECT Name FROM orders", nullptr, 3010},
        {"CREATE VIEW Office AS SELECT Name FROM products",
         "CREATE PROCEDURE OFFICE AS DELETE FROM orders", nullptr, 3012},
        {"CREATE VIEW Office AS SELECT Name FROM products", "CREATE TABLE office (a LONG)", nullptr,
         3010},
        {"CREATE VIEW Office AS SELECT Name FROM products", "SELECT Name INTO Office FROM products",
         nullptr, 3010},
        // Access SQL reference: DROP statement; an unknown query is Jet's 3011
        {"CREATE VIEW Office AS SELECT Name FROM products\nDROP VIEW office",
         "SELECT * FROM Office", nullptr, 3078},
        {"CREATE PROCEDURE Purge AS DELETE FROM orders\nDROP PROCEDURE Purge", "EXECUTE Purge",
         nullptr, 3011},
        {"", "DROP VIEW Nothing", nullptr, 3011},
        {"", "EXECUTE Nothing 1", nullptr, 3011},
        // A view holds a select query, and a saved query never defines or runs another
        {"", "CREATE VIEW Purge AS DELETE FROM orders", nullptr, 3129},
        {"", "CREATE PROCEDURE Again AS EXECUTE Pricier 1", nullptr, 3129},
        {"", "CREATE VIEW Broken AS SELECT FROM products", nullptr, 3075},
        // A table a query uses may be dropped, changed and made again, as in Jet: the query
        // reads what the table holds when it runs
        {"CREATE VIEW Names AS SELECT Name FROM products WHERE Stock > 10\n"
         "ALTER TABLE products ALTER COLUMN Name TEXT(40)\n"
         "ALTER TABLE products DROP COLUMN Category",
         "SELECT * FROM Names ORDER BY Name", "Name: Mug; Pad; Pen", 0},
        {"CREATE VIEW Names AS SELECT Name FROM products WHERE Stock > 10\n"
         "DROP TABLE products",
         "SELECT * FROM Names", nullptr, 3078},
        {"CREATE VIEW Names AS SELECT Name FROM products WHERE Stock > 10\n"
         "DROP TABLE products\n"
         "CREATE TABLE products (Name TEXT(5), Stock LONG)\n"
         "INSERT INTO products VALUES ('Ink', 11)",
         "SELECT * FROM Names", "Name: Ink", 0},
        {"CREATE VIEW Stocked AS SELECT Name, Stock FROM products\n"
         "ALTER TABLE products DROP COLUMN Stock",
         "SELECT * FROM Stocked", nullptr, 3061},
        // VBA reference: ^ operator (a negative exponent)
        {"", "SELECT 2 ^ -1, 10 ^ -2, -2 ^ 2, 2 ^ - -2, 4 ^ -0.5",
         "Expr1000|Expr1001|Expr1002|Expr1003|Expr1004: "
         "0.5|0.01|-4|4|0.5",
         0},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("case ") + std::to_string(index++) + ": " + c.statements + " / " +
                     (c.query ? c.query : ""));
        freshDatabase(index);
        std::vector<std::string> statements;
        std::string text = c.statements;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            statements.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        if (c.query) statements.push_back(c.query);
        try {
            for (std::size_t i = 0; i + 1 < statements.size(); ++i) exec(statements[i]);
            const std::string& last = statements.back();
            if (c.query && c.expected) {
                EXPECT_EQ(rows(last), c.expected);
            } else {
                exec(last);
                ADD_FAILURE() << "not refused: " << last;
            }
        } catch (const engine::ComError& e) {
            EXPECT_EQ(e.jetError(), c.jetError) << e.what();
            EXPECT_NE(c.jetError, 0) << e.what();
        }
    }
}

// Parameters given to the connection hold for every statement after, a
// saved select query's included, each read as its declared type; EXECUTE's
// values hold only for the query it runs, whose rows stay readable after.
TEST_F(StatementFormsTest, ParameterValuesReachSavedQueries) {
    freshDatabase(2000);
    exec(
        "CREATE PROCEDURE Pricier (minPrice CURRENCY, [Which Category] TEXT) AS SELECT Name "
        "FROM products WHERE Price > minPrice AND Category = [Which Category] ORDER BY Name");
    const engine::ComError missing = refused("SELECT Name FROM Pricier");
    EXPECT_EQ(missing.jetError(), engine::jet::kTooFewParameters);
    EXPECT_NE(missing.description()->find("'minPrice'"), std::string::npos) << missing.what();

    conn_->SetParameter("MINPRICE", engine::Variant::fromText(" 2.5 "));
    conn_->SetParameter("which category", engine::Variant::fromText("Office"));
    EXPECT_EQ(rows("SELECT p.Name, o.Qty FROM Pricier AS p INNER JOIN orders AS o ON "
                   "o.ProductID = 2"),
              "Name|Qty: Pad|7");

    auto executed = conn_->Execute("EXECUTE Pricier 5, 'Kitchen'", nullptr, -1);
    EXPECT_EQ(rows("SELECT Name FROM Pricier"), "Name: Pad");  // the connection's values again
    std::string names;
    for (; !executed->IsEOF(); executed->MoveNext())
        names += enginetest::answerText(executed->Collect(0L)) + ";";
    EXPECT_EQ(names, "Jug;Mug;");

    conn_->SetParameter("minPrice", engine::Variant::fromText("much"));
    const engine::ComError mismatch = refused("SELECT Name FROM Pricier");
    EXPECT_EQ(mismatch.jetError(), engine::jet::kDataTypeMismatch);
    EXPECT_NE(mismatch.description()->find("'much'"), std::string::npos) << mismatch.what();

    conn_->ClearParameters();
    EXPECT_EQ(refused("SELECT Name FROM Pricier").jetError(), engine::jet::kTooFewParameters);
    conn_->SetParameter("forms.main.stock", engine::Variant::fromI4(50));
    EXPECT_EQ(rows("PARAMETERS [Forms]![Main]![Stock] SHORT; SELECT Name FROM products WHERE "
                   "Stock = [Forms].[Main].[Stock]"),
              "Name: Pad");
}

// What one connection saves or drops, another already open sees at its next
// statement; a file written before saved queries opens and lists none; the
// catalog keeps each query's Jet text; a table a view reads, open in a
// recordset, is changed by a definition without harm to the rows read.
TEST_F(StatementFormsTest, SavedQueriesAreSharedThroughTheFile) {
    freshDatabase(2001);
    EXPECT_TRUE(conn_->SavedQueries().empty());
    auto other = engine::Connection::create();
    other->Open(enginetest::jetText(path_));
    exec("CREATE VIEW Office AS SELECT Name FROM products WHERE Category = 'Office'");
    exec("CREATE PROCEDURE Purge (area TEXT) AS DELETE FROM orders WHERE Region = area");
    EXPECT_EQ(enginetest::answerText(other->Execute("SELECT COUNT(*) FROM office")->Collect(0L)),
              "2");
    engine::Variant affected;
    other->Execute("EXECUTE Purge 'West'", &affected, -1);
    EXPECT_EQ(affected.intValue(), 3);
    auto read = conn_->Execute("SELECT Name FROM office ORDER BY Name", nullptr, -1);
    EXPECT_EQ(enginetest::answerText(read->Collect(0L)), "Pad");
    exec("ALTER TABLE products ADD COLUMN Note TEXT(20)");
    read->MoveNext();
    EXPECT_EQ(enginetest::answerText(read->Collect(0L)), "Pen");
    read->Close();

    const std::vector<engine::SavedQuery> saved = other->SavedQueries();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].name, "Office");
    EXPECT_TRUE(saved[0].selects);
    EXPECT_EQ(saved[1].name, "Purge");
    EXPECT_FALSE(saved[1].selects);
    EXPECT_EQ(saved[1].text, "PARAMETERS area TEXT; DELETE FROM orders WHERE Region = area");

    other->Execute("DROP VIEW Office", nullptr, -1);
    EXPECT_EQ(refused("SELECT Name FROM Office").jetError(), engine::jet::kInputTableNotFound);
    // The table list stays tables only.
    auto tables = conn_->OpenSchema(engine::adSchemaTables);
    std::string listed;
    for (; !tables->IsEOF(); tables->MoveNext())
        listed += enginetest::answerText(tables->Collect("TABLE_NAME")) + ";";
    EXPECT_EQ(listed.find("Purge"), std::string::npos) << listed;
}

// The records-affected count each form reports: the rows made, or the rows of
// the one table changed, each once however many join rows it meets.
TEST_F(StatementFormsTest, FormsReportTheRowsTheyChanged) {
    freshDatabase(1000);
    const struct {
        const char* sql;
        long affected;
    } steps[] = {
        {"SELECT * INTO Saved FROM products WHERE Category <> 'Apparel'", 4},
        {"UPDATE products INNER JOIN orders ON products.ProductID = orders.ProductID SET "
         "products.Stock = 0 "
         "WHERE orders.Region = 'West'",
         2},
        {"DELETE orders.* FROM orders INNER JOIN products ON orders.ProductID = "
         "products.ProductID "
         "WHERE "
         "products.Stock = 0",
         4},
        {"DELETE DISTINCTROW Saved.* FROM Saved INNER JOIN orders ON Saved.ProductID = "
         "orders.ProductID",
         1},
    };
    for (const auto& step : steps) EXPECT_EQ(exec(step.sql), step.affected) << step.sql;
    EXPECT_EQ(rows("SELECT ProductID FROM Saved ORDER BY ProductID"), "ProductID: 1; 3; 4");
}

// Statements that differ only in TOP's number share a shape; each keeps its
// own count and its ties.
TEST_F(StatementFormsTest, TopNumberIsReadAfreshEachTime) {
    freshDatabase(1001);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(rows("SELECT TOP 1 Price FROM products ORDER BY Price DESC"), "Price: 9");
        EXPECT_EQ(rows("SELECT TOP 2 Price FROM products ORDER BY Price DESC"), "Price: 9; 6; 6");
        EXPECT_EQ(rows("SELECT TOP 4 Price FROM products ORDER BY Price DESC"),
                  "Price: 9; 6; 6; 3");
        EXPECT_EQ(rows("SELECT TOP 20 PERCENT Price FROM products ORDER BY Price DESC"),
                  "Price: 9");
        EXPECT_EQ(rows("SELECT TOP 30 PERCENT Price FROM products ORDER BY Price DESC"),
                  "Price: 9; 6; 6");
    }
}

}  // namespace
