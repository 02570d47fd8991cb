// The query console when its log cannot be written: the statements still
// run, and the operator is told that the log did not take them.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "console/ExecuteQueryDlg.h"
#include "console/QueryRunner.h"
#include "support/FakeServices.h"
#include "support/TempFolder.h"

namespace {

TEST(ConsoleLogWindow, LogThatCannotBeOpenedIsReported) {
    testsupport::TempFolder folder;
    const std::string path = folder.Folder() + "db.mdb";
    engine::CreateDatabase(path);
    auto connection = engine::Connection::create();
    connection->Open("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path + ";");
    connection->Execute("CREATE TABLE t_a (ID LONG PRIMARY KEY, X LONG)");
    connection->Execute("INSERT INTO t_a VALUES (1, 0)");

    testsupport::FakeServices fakes;
    CExecuteQueryDlg dialog(ConsoleContext{[&] { return connection; }, fakes.services,
                                           "VantolyPatch", folder.Folder(), "VantolyPatch"});
    // A folder where the log file belongs.
    std::filesystem::create_directory(dialog.LogFilePath());

    dialog.queryEdit()->setPlainText("UPDATE t_a SET X = 5;");
    dialog.runButton()->click();

    std::vector<std::string> texts;
    for (const auto& box : fakes.messageBoxes.Shown()) texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         std::string(console::kLogNotWrittenText) + dialog.LogFilePath(),
                         "クエリ発行終了"}));
    EXPECT_EQ(connection->Execute("SELECT X FROM t_a")->Collect(0L).intValue(), 5);
}

}  // namespace
