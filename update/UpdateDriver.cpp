#include "update/UpdateDriver.h"

#include <exception>
#include <optional>
#include <utility>

#include "db/ComErrorText.h"
#include "db/NumberText.h"
#include "db/VariantToText.h"

namespace update {

namespace {

constexpr std::string_view kFailedText = "更新に失敗しました";

std::string WrongVersionText(const std::string& foundVersion) {
    return "選択のデータベースバージョンが「 " + std::string(kRequiredVersionText) +
           " 」ではありません。\n更新対象のデータベースをご確認下さい。\n\n"
           "選択されているデータベースのバージョンは「 " +
           foundVersion + " 」です。";
}

}  // namespace

UpdateDriver::UpdateDriver(UpdateView& view, UpdateHost& host, db::DatabaseSession& session,
                           UpdateScriptRunner& runner, platform::MessageBoxes& messageBoxes,
                           UpdateTexts texts)
    : view_(view),
      host_(host),
      session_(session),
      runner_(runner),
      messageBoxes_(messageBoxes),
      texts_(std::move(texts)) {}

void UpdateDriver::OnUpdateCommand() {
    foundVersion_.clear();
    gateRefusal_.clear();
    if (!host_.AskToCloseHostApplication()) {
        lastOutcome_ = DriverOutcome::HostGuardDeclined;
        return;
    }
    view_.RefreshControlState(db::ControlState::Busy);
    if (!PassesVersionGate()) {
        view_.RefreshControlState(db::ControlState::Idle);
        return;
    }
    if (host_.TakePreUpdateBackup() == BackupOutcome::Abandon) {
        lastOutcome_ = DriverOutcome::BackupAbandoned;
        view_.RefreshControlState(db::ControlState::Idle);
        return;
    }
    lastOutcome_ = DriverOutcome::ScriptRan;
    view_.SetProgressRange(0, 1);
    view_.SetProgressPosition(0);
    view_.ShowProgressBar();
    runner_.OnUpdateTables();
    view_.HideProgressBar();
    view_.RefreshControlState(db::ControlState::Idle);
}

bool UpdateDriver::PassesVersionGate() {
    auto showOk = [&](std::string text, std::string caption, platform::MessageIcon icon) {
        messageBoxes_.Show({.text = std::move(text),
                            .caption = std::move(caption),
                            .buttons = platform::MessageButtons::Ok,
                            .icon = icon,
                            .owner = platform::MessageOwner::Window});
    };
    const std::string statement(db::kVersionStatement);
    std::string foundVersion;
    try {
        std::shared_ptr<engine::Recordset> recordset = session_.Execute(statement);
        if (!recordset->IsEOF()) {
            const engine::Variant value = recordset->Collect("MaxDBVerCode");
            if (!value.isNull()) {
                // A currency text carries the locale's separator; read it back
                // with the same one.
                const std::string separator = db::LocaleDecimalSeparator();
                foundVersion = db::FormatFixed(
                    db::ReadLeadingNumber(db::VariantToText(value, separator), separator), 2, 3);
            }
        }
        recordset->Close();
    } catch (const engine::ComError& error) {
        gateRefusal_ =
            "the version could not be read (" + statement + "):\n" + db::ComErrorText(error);
        showOk(db::ComErrorText(error), texts_.applicationTitle, platform::MessageIcon::Warning);
        showOk(std::string(kFailedText), texts_.applicationTitle, platform::MessageIcon::None);
        showOk(statement, texts_.applicationTitle, platform::MessageIcon::None);
        lastOutcome_ = DriverOutcome::VersionUnreadable;
        return false;
    } catch (const std::exception& error) {
        gateRefusal_ = "the version could not be read (" + statement + "): " + error.what();
        lastOutcome_ = DriverOutcome::VersionUnreadable;
        showOk(std::string(db::kUnhandledExceptionText), texts_.applicationTitle,
               platform::MessageIcon::Warning);
        showOk(std::string(kFailedText), texts_.applicationTitle, platform::MessageIcon::None);
        return false;
    }
    foundVersion_ = foundVersion;
    if (foundVersion != kRequiredVersionText) {
        lastOutcome_ = DriverOutcome::WrongVersion;
        gateRefusal_ = WrongVersionText(foundVersion);
        showOk(WrongVersionText(foundVersion), texts_.releaseDateText,
               platform::MessageIcon::Information);
        return false;
    }
    return true;
}

}  // namespace update
