// The one way a name goes into a statement built outside the engine.
#include <gtest/gtest.h>

#include <string>

#include "db/SchemaNames.h"

namespace {

TEST(BracketedName, BracketsEveryNameJetHoldsAndRefusesTheRest) {
    struct Case {
        std::string name, expected;  // empty expected: refused
    };
    const Case cases[] = {
        {"t_sample", "[t_sample]"},
        {"Order Details", "[Order Details]"},
        {"受注 明細", "[受注 明細]"},
        {"a;b", "[a;b]"},
        {"it's", "[it's]"},
        {"a-b", "[a-b]"},
        {"Select", "[Select]"},
        {"x) FROM t_db_ver;--", "[x) FROM t_db_ver;--]"},
        {"trailing ", "[trailing ]"},
        {"", ""},
        {" leading", ""},
        {"a]b", ""},  // would end the brackets early
        {"a[b", ""},
        {"a.b", ""},
        {"a!b", ""},
        {"a`b", ""},
        {"a\nb", ""},
        {std::string("a\0b", 3), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.expected.empty()) {
            EXPECT_EQ(db::BracketedName(c.name), c.expected);
            EXPECT_EQ(db::JetNameProblem(c.name), std::nullopt);
            continue;
        }
        EXPECT_TRUE(db::JetNameProblem(c.name).has_value());
        try {
            db::BracketedName(c.name);
            ADD_FAILURE() << "accepted";
        } catch (const db::JetNameError& error) {
            EXPECT_NE(std::string(error.what()).find(*db::JetNameProblem(c.name)),
                      std::string::npos)
                << error.what();
        }
    }
}

}  // namespace
