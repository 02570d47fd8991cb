// The query console: statements typed by the operator, run on the main
// window's session in one transaction, each logged in the user's state folder.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "console/QueryRunner.h"
#include "console/QueryScript.h"
#include "engine/Engine.h"
#include "platform/Platform.h"

class QPlainTextEdit;
class QPushButton;

// What the console takes from the main window.
struct ConsoleContext {
    std::function<std::shared_ptr<engine::Connection>()> sessionConnection;  // may answer none
    platform::Services& services;
    std::string applicationTitle;
    std::string stateFolder;      // of the statement log and the scratch file, ending with "/"
    std::string programFileName;  // extension and all: the two files are named after it
};

class CExecuteQueryDlg : public QDialog {
  public:
    CExecuteQueryDlg(ConsoleContext context, QWidget* parent = nullptr);

    // Button 1: splits the text, runs every statement in one transaction.
    void ExecuteQueries();
    void OnOpenScratchFile();         // 1027
    void OnOpenLogFile();             // 1028
    void OnDropColumnTemplate();      // 1015
    void OnDropConstraintTemplate();  // 1014

    // Named after the program's file, e.g. "VantolyPatch実行クエリ保存.txt" and
    // "VantolyPatchクエリ.txt", as the headless query command names its log.
    std::string LogFilePath() const {
        return console::QueryLog::PathIn(context_.stateFolder, context_.programFileName);
    }
    std::string ScratchFilePath() const {
        return context_.stateFolder + context_.programFileName + "クエリ.txt";
    }

    QPlainTextEdit* queryEdit() const { return edit_; }
    QPushButton* runButton() const { return run_; }
    // 中止 (1029): stops the running statement; what ran is rolled back.
    QPushButton* stopButton() const { return stop_; }
    void StopRunningStatement();

  protected:
    void reject() override;

  private:
    console::QueryRunResult RunWhileWindowWaits(
        const std::shared_ptr<engine::Connection>& connection, const console::SplitResult& split,
        console::QueryRunOptions options);
    platform::MessageAnswer show(const std::string& text, const std::string& caption,
                                 platform::MessageIcon icon);
    void showTemplate(const std::string& text);

    ConsoleContext context_;
    std::string queryText;
    QPlainTextEdit* edit_;
    QPushButton* run_;
    QPushButton* stop_;
    std::shared_ptr<engine::Connection> running_;  // while statements run
    std::atomic<bool> stopAsked_{false};
};
