// The database viewer: the table list, the records of the selected table in
// a grid, the grid copied as text, the table-creation statement and the
// table definition workbook (仕様書). It runs on the main window's session.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/DatabaseSession.h"
#include "host/TargetDatabase.h"
#include "platform/Platform.h"
#include "viewer/GridModel.h"
#include "viewer/SchemaModel.h"

class CButtonST;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableView;

// What the viewer takes from the main window.
struct ViewerContext {
    db::DatabaseSession& session;
    const host::TargetDatabase& target;
    platform::Services& services;
    std::string applicationTitle;
    std::function<void()> showMainWindow;  // when the viewer closes
};

class CShowDatabaseDlg : public QDialog {
  public:
    enum GridCommand { kCopyGrid = 1025, kCreateTableQuery = 1026 };

    explicit CShowDatabaseDlg(ViewerContext context, QWidget* parent = nullptr);
    ~CShowDatabaseDlg() override;

    void OnInitDialog();
    void FillTableList();
    void RebuildGridColumns();
    // Loads the selected table's rows. A second load, or closing the window,
    // interrupts one that is running (the window keeps painting meanwhile).
    void LoadGridRows();
    void OnGridCommand(int command);
    void OnExport();  // button 1390
    void ReadCatalog();

    // The text the grid copy puts on the clipboard.
    std::string GridText() const;
    std::vector<std::string> TableList() const;
    bool SelectTable(const std::string& name);

    QListWidget* tableList() const { return list_; }
    QTableView* grid() const { return grid_; }
    const viewer::GridModel& gridModel() const { return model_; }
    QLineEdit* rowLimitEdit() const { return rowLimit_; }
    QCheckBox* groupCheck() const { return group_; }
    QProgressBar* loadProgress() const { return progress1_; }
    QProgressBar* exportProgress() const { return progress2_; }
    CButtonST* exportButton() const { return export_; }
    CButtonST* closeButton() const { return close_; }
    QPushButton* reloadButton() const { return reload_; }
    viewer::TableMap tableMap;

    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    std::string selectedTable() const;
    void OnTableSelectionChange();
    void finishClose();

    ViewerContext context_;
    std::string rowLimitText = "500";
    viewer::GridModel model_;
    std::uint64_t loadGeneration_ = 0;  // a new load or a close makes a running load stop
    bool loading_ = false;
    bool closePending_ = false;
    bool reclicking_ = false;  // the left button went down on the selected row

    QListWidget* list_;
    QTableView* grid_;
    QLineEdit* rowLimit_;
    QPushButton* reload_;
    QProgressBar* progress1_;
    QProgressBar* progress2_;
    QCheckBox* group_;
    CButtonST* export_;
    CButtonST* close_;
};
