// The query console: statements typed by the operator, run on the main
// window's session in one transaction, each logged beside the program.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "platform/Platform.h"

class QPlainTextEdit;
class QPushButton;

// What the console takes from the main window.
struct ConsoleContext {
    std::function<std::shared_ptr<engine::Connection>()> sessionConnection;  // may answer none
    platform::Services& services;
    std::string applicationTitle;
    std::string programPath;  // the running executable's full path
};

class CExecuteQueryDlg : public QDialog {
public:
    CExecuteQueryDlg(ConsoleContext context, QWidget* parent = nullptr);

    // Button 1: splits the text, runs every statement in one transaction.
    void ExecuteQueries();
    void OnOpenScratchFile();   // 1027
    void OnOpenLogFile();       // 1028
    void OnDropColumnTemplate();      // 1015
    void OnDropConstraintTemplate();  // 1014

    std::string LogFilePath() const { return context_.programPath + "実行クエリ保存.txt"; }
    std::string ScratchFilePath() const { return context_.programPath + "クエリ.txt"; }

    QPlainTextEdit* queryEdit() const { return edit_; }
    QPushButton* runButton() const { return run_; }

private:
    platform::MessageAnswer show(const std::string& text, const std::string& caption, platform::MessageIcon icon);
    void showTemplate(const std::string& text);

    ConsoleContext context_;
    std::string queryText;
    QPlainTextEdit* edit_;
    QPushButton* run_;
};
