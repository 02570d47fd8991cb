#include "cli/JsonReport.h"

#include <QDateTime>
#include <QJsonDocument>
#include <ostream>

#include "db/PasswordMask.h"
#include "platform/Interrupts.h"

namespace cli {

QJsonValue JsonText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QJsonValue JsonMaskedText(const std::string& text) {
    return JsonText(db::MaskPasswords(text));
}

void SetPathJson(QJsonObject& object, const char* field, const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    const QString text = QString::fromUtf8(bytes);
    object.insert(QLatin1String(field), text);
    // Valid UTF-8 comes back byte for byte; anything else was replaced.
    if (text.toUtf8() != bytes) {
        object.insert(QLatin1String(field) + QLatin1String("Bytes"),
                      QString::fromLatin1(bytes.toBase64()));
    }
}

QJsonValue JsonOptionalText(const std::optional<std::string>& text) {
    return text ? JsonText(*text) : QJsonValue(QJsonValue::Null);
}

JsonReport::JsonReport(const std::string& command) : started_(std::chrono::steady_clock::now()) {
    Set("version", kJsonReportVersion);
    Set("command", command);
    Set("started", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
}

double JsonReport::SecondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void JsonReport::SetTiming(const char* name, double seconds) {
    timings_.insert(QLatin1String(name), seconds);
}

void JsonReport::Write(std::ostream& out) {
    // A run asked to end by a signal says so: what it did not finish reads
    // "interrupted", what it finished before it stopped keeps its word. A
    // signal after this point changes neither the report nor the exit status.
    if (const int signal = platform::SettleInterrupt(); signal != 0) {
        Set("signal", QJsonValue(signal));
        const QString outcome = object_.value(QStringLiteral("outcome")).toString();
        if (outcome == QLatin1String(kOutcomeFailed) || outcome == QLatin1String(kOutcomeDeclined))
            Set("outcome", kOutcomeInterrupted);
    }
    SetTiming("seconds", SecondsSinceStart());
    Set("timings", timings_);
    out << QJsonDocument(object_).toJson(QJsonDocument::Compact).toStdString() << "\n"
        << std::flush;
}

void WriteEarlyJsonReport(const std::string& word, const char* outcome, const std::string& error,
                          std::ostream& out, const QJsonObject& more) {
    JsonReport report(word);
    if (word.empty()) report.SetNull("command");
    report.Set("outcome", outcome);
    report.SetMasked("error", error);
    for (auto field = more.begin(); field != more.end(); ++field)
        report.Set(field.key().toLatin1().constData(), field.value());
    report.Write(out);
}

}  // namespace cli
