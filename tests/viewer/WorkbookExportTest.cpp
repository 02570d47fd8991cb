#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/FakeShell.h"
#include "tests/support/FileContent.h"
#include "tests/viewer/ViewerDatabase.h"
#include "tests/viewer/ViewerFakes.h"
#include "tests/viewer/WorkbookFacts.h"
#include "viewer/GridText.h"
#include "viewer/WorkbookExport.h"

namespace {

using platform::MessageIcon;
using Texts = std::vector<std::string>;

// The viewer's output command on a database built with the engine: the
// table list from the session, the model from ReadCatalog.
class WorkbookExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        database_.Run({
            "CREATE TABLE m_user (UserID COUNTER PRIMARY KEY, UserName TEXT(40) NOT NULL)",
            "CREATE TABLE t_log_200101 (LogID LONG, UserID LONG, "
            "CONSTRAINT fk_log_user FOREIGN KEY (UserID) REFERENCES m_user (UserID))",
            "CREATE TABLE t_log_200315 (LogID LONG PRIMARY KEY, Note MEMO)",
        });
        chosenFolder_ = output_.Path().string();  // without the trailing "/"
    }

    // The operator picks `chosenFolder_` (nullopt: cancels the dialog).
    std::optional<std::string> Export() {
        shell_.Folders = {chosenFolder_};
        std::vector<std::string> userTables;
        database_.Session().ListUserTables(userTables);
        tableList_ = viewer::TableListLines(userTables, viewer::TableGrouping::Grouped);
        return viewer::ExportWorkbook(
            {shell_, database_.Boxes(), progress_, [this] { database_.Read(tableMap_); }},
            tableMap_, tableList_);
    }

    std::string WorkbookPath() const {
        return output_.Folder() + "出力データ/仕様書出力/仕様書EXCEL.xlsx";
    }

    std::size_t FilesInOutputFolder() const {
        const auto folder = std::filesystem::path(WorkbookPath()).parent_path();
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                      std::filesystem::directory_iterator()));
    }

    viewertest::ViewerDatabase database_;
    testsupport::TempFolder output_;
    std::optional<std::string> chosenFolder_;
    testsupport::FakeShell shell_;
    viewertest::RecordingProgress progress_;
    viewer::TableMap tableMap_;
    std::vector<std::string> tableList_;
};

TEST_F(WorkbookExportTest, WritesTheWorkbookBelowTheChosenFolderAndOpensIt) {
    EXPECT_EQ(Export(), WorkbookPath());
    EXPECT_EQ(shell_.BrowseTitles, Texts{"フォルダを選択してください"});
    EXPECT_EQ(shell_.Opened, Texts{output_.Folder() + "出力データ/仕様書出力/"});
    EXPECT_TRUE(database_.Boxes().Shown().empty());
    ASSERT_GE(progress_.Calls.size(), 2u);
    EXPECT_EQ(progress_.Calls.front(), "show");
    EXPECT_EQ(progress_.Calls[1], "tables 2");  // t_log_200101 is grouped away
    EXPECT_EQ(progress_.Calls.back(), "hide");

    viewertest::WorkbookFacts facts = viewertest::ReadWorkbookFacts(WorkbookPath());
    EXPECT_EQ(facts["sheets"], "テーブル一覧|m_user|t_log_200315");
    EXPECT_EQ(facts["m_user!B11.value"], "s:UserID");
    EXPECT_EQ(facts["m_user!W11.value"], "s:Primary Key");
    EXPECT_EQ(facts["m_user!Q12.value"], "s:YES");
    EXPECT_EQ(facts["t_log_200315!I12.value"], "s:adLongVarWChar");
    EXPECT_EQ(facts["t_log_200315!B15.value"], "s:インデックス名");

    // A second export replaces the first without a question.
    database_.Run({"CREATE TABLE t_log_200401 (LogID LONG)"});
    EXPECT_EQ(Export(), WorkbookPath());
    EXPECT_TRUE(database_.Boxes().Shown().empty());
    facts = viewertest::ReadWorkbookFacts(WorkbookPath());
    EXPECT_EQ(facts["sheets"], "テーブル一覧|m_user|t_log_200401");
    EXPECT_EQ(FilesInOutputFolder(), 1u);
}

TEST_F(WorkbookExportTest, CancelledFolderChoiceShowsItsMessageAndStops) {
    chosenFolder_.reset();
    EXPECT_EQ(Export(), std::nullopt);
    ASSERT_EQ(database_.Boxes().Shown().size(), 1u);
    const platform::MessageBoxRequest& box = database_.Boxes().Shown()[0];
    EXPECT_EQ(box.text, "出力先フォルダを選択してください。");
    EXPECT_EQ(box.caption, "データベース");
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_TRUE(progress_.Calls.empty());
    EXPECT_TRUE(shell_.Opened.empty());
    EXPECT_FALSE(std::filesystem::exists(output_.Folder() + "出力データ"));
}

// A table whose name holds a blank is listed, read and given its sheet like
// any other, and the tables after it in the catalog's order as well.
TEST_F(WorkbookExportTest, ATableWhoseNameHoldsABlankGetsItsSheet) {
    database_.Run({"CREATE TABLE [s table] ([a b] LONG)"});
    EXPECT_EQ(Export(), WorkbookPath());
    EXPECT_TRUE(database_.Boxes().Shown().empty());
    viewertest::WorkbookFacts facts = viewertest::ReadWorkbookFacts(WorkbookPath());
    EXPECT_EQ(tableList_, (Texts{"m_user", "s table", "t_log_200315"}));
    EXPECT_EQ(facts["sheets"], "テーブル一覧|m_user|s table|t_log_200315");
    EXPECT_EQ(facts["テーブル一覧!B5.link"], "'s table'!A1|s table|");
    EXPECT_EQ(facts["s table!B11.value"], "s:a b");
    EXPECT_EQ(facts["テーブル一覧!B6.value"], "s:t_log_200315");
}

// A failing export shows its message, hides the bars, opens nothing and
// leaves the earlier workbook as it was.
TEST_F(WorkbookExportTest, FailureKeepsTheEarlierWorkbook) {
    ASSERT_EQ(Export(), WorkbookPath());
    const std::string earlier = testsupport::ReadFileBytes(WorkbookPath());
    shell_.Opened.clear();
    progress_.Calls.clear();

    const std::string first = "t_abcdefghijklmnopqrstuvwxyz_0001";
    const std::string second = "t_abcdefghijklmnopqrstuvwxyz_0002";
    database_.Run({"CREATE TABLE " + first + " (a LONG)", "CREATE TABLE " + second + " (a LONG)"});
    EXPECT_EQ(Export(), std::nullopt);

    ASSERT_EQ(database_.Boxes().Shown().size(), 1u);
    const platform::MessageBoxRequest& box = database_.Boxes().Shown()[0];
    EXPECT_NE(box.text.find("[ " + first + " ] と [ " + second + " ]"), std::string::npos)
        << box.text;
    EXPECT_EQ(box.caption, "");  // the application title
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(progress_.Calls, (Texts{"show", "hide"}));
    EXPECT_TRUE(shell_.Opened.empty());
    EXPECT_EQ(testsupport::ReadFileBytes(WorkbookPath()), earlier);
    EXPECT_EQ(FilesInOutputFolder(), 1u);
}

TEST_F(WorkbookExportTest, FolderThatCannotBeCreatedIsReported) {
    std::ofstream(output_.Folder() + "出力データ") << "a file in the way";
    EXPECT_EQ(Export(), std::nullopt);
    ASSERT_EQ(database_.Boxes().Shown().size(), 1u);
    EXPECT_EQ(database_.Boxes().Shown()[0].text.rfind(
                  "出力先フォルダを作成できませんでした：" + output_.Folder() + "出力データ/", 0),
              0u)
        << database_.Boxes().Shown()[0].text;
    EXPECT_TRUE(progress_.Calls.empty());
}

}  // namespace
