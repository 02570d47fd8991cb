// Reading the one JSON object a --json run of the real program prints.
#pragma once

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <string>

#include "support/RunPatch.h"

namespace apptest {

// Parses the single JSON object a --json run prints; fails the test on
// anything else on standard output.
inline QJsonObject ParseReport(const RunResult& run) {
    QJsonParseError error{};
    const QByteArray text = QByteArray::fromStdString(run.out);
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << run.out;
    EXPECT_TRUE(document.isObject()) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "one line: " << run.out;
    const QJsonObject report = document.object();
    EXPECT_EQ(report.value("version").toInt(), 1);
    EXPECT_TRUE(report.value("timings").toObject().value("seconds").isDouble());
    return report;
}

inline std::string Text(const QJsonObject& object, const char* field) {
    return object.value(QLatin1String(field)).toString().toStdString();
}

}  // namespace apptest
