// Statements checked against the answers Jet gives, one row a case.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/Engine.h"

namespace enginetest {

// A value as the case tables write it: Null as "NULL", a text as it is, a
// date as yyyy/mm/dd hh:nn (with :ss when asked), any number through %.10g.
inline std::string answerText(const engine::Variant& v, bool seconds = false) {
    char buf[64];
    switch (v.vt()) {
        case engine::VT_NULL:
            return "NULL";
        case engine::VT_BSTR:
        case engine::VT_DECIMAL:
            return std::string(v.text());
        case engine::VT_DATE: {
            engine::DateParts p{};
            engine::OleDateToParts(v.doubleValue(), p);
            std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", p.year, p.month, p.day,
                          p.hour, p.minute);
            std::string text = buf;
            if (seconds) {
                std::snprintf(buf, sizeof buf, ":%02d", p.second);
                text += buf;
            }
            return text;
        }
        default:
            std::snprintf(buf, sizeof buf, "%.10g", v.toDouble());
            return buf;
    }
}

// Each case's `sql` answered by `answer` must read `expected`; an error fails
// that case, naming it, and the next one runs.
template <typename Cases, typename Answer>
void expectAnswers(const Cases& cases, Answer answer) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            EXPECT_EQ(answer(std::string(c.sql)), c.expected);
        } catch (const engine::ComError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

// A statement and the Jet error number it must be refused with.
struct JetRefusal {
    const char* sql;
    int jet;
};

// Each case's `sql` must be refused by `refuse` (which returns the error)
// with the Jet error number `jet`.
template <typename Cases, typename Refuse>
void expectRefusals(const Cases& cases, Refuse refuse) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const engine::ComError e = refuse(std::string(c.sql));
        EXPECT_EQ(e.jetError(), c.jet) << e.what();
    }
}

}  // namespace enginetest
