// The one JSON object a command prints with --json, for scripts that collect
// the outcome of many runs. Every report carries "version" (the layout of
// the object, kJsonReportVersion) and "command"; fields keep their names and
// meanings within a version, and new fields may be added without a new one.
//
// Use: JsonReport report("import"); report.SetPath("database", path); ...;
// report.Write(std::cout). Texts are taken as UTF-8 (a byte that is not
// UTF-8 reads as U+FFFD; SetPath adds the exact bytes of such a name);
// statements and error texts given to SetMasked have
// database passwords masked.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

namespace cli {

inline constexpr int kJsonReportVersion = 1;

// The outcomes every command reports with.
inline constexpr const char* kOutcomeUpdated = "updated";
inline constexpr const char* kOutcomeAlreadyCurrent = "already-current";
inline constexpr const char* kOutcomeRefused = "refused";
inline constexpr const char* kOutcomeFailed = "failed";
inline constexpr const char* kOutcomeDeclined = "declined";
// Stopped by SIGINT, SIGTERM or SIGHUP before its end ("signal" names it).
inline constexpr const char* kOutcomeInterrupted = "interrupted";

// A JSON string for a text of ours.
QJsonValue JsonText(const std::string& text);
// A text that may quote a statement: database passwords masked first.
QJsonValue JsonMaskedText(const std::string& text);
// null when absent.
QJsonValue JsonOptionalText(const std::optional<std::string>& text);
// A file or folder name under `field` as text and, only when the name is not
// valid UTF-8 (the text then holds U+FFFD and names no file), its exact bytes
// in base64 under `field` + "Bytes", so that a script reaches the very file.
void SetPathJson(QJsonObject& object, const char* field, const std::string& path);

class JsonReport {
  public:
    // Starts the clock for "timings.seconds".
    explicit JsonReport(const std::string& command);

    void Set(const char* field, const QJsonValue& value) {
        object_.insert(QLatin1String(field), value);
    }
    void Set(const char* field, const std::string& text) { Set(field, JsonText(text)); }
    void Set(const char* field, const char* text) { Set(field, JsonText(text)); }
    void SetMasked(const char* field, const std::string& text) { Set(field, JsonMaskedText(text)); }
    void SetPath(const char* field, const std::string& path) { SetPathJson(object_, field, path); }
    void SetNull(const char* field) { Set(field, QJsonValue(QJsonValue::Null)); }
    // One entry of "timings", in seconds since the report was started.
    void SetTiming(const char* name, double seconds);
    double SecondsSinceStart() const;

    // The whole object on one line, "timings.seconds" stopped now.
    void Write(std::ostream& out);

  private:
    QJsonObject object_;
    QJsonObject timings_;
    std::chrono::steady_clock::time_point started_;
};

// With --json, a run that ends before its command could report (arguments
// refused, another copy running, memory run out) still prints one object:
// "command" (null when `word` is empty), "outcome" and "error", and the
// fields of `more`.
void WriteEarlyJsonReport(const std::string& word, const char* outcome, const std::string& error,
                          std::ostream& out, const QJsonObject& more = {});

}  // namespace cli
