#include "viewer/ShowDatabaseDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <functional>
#include <utility>

#include "errors/ErrorLog.h"
#include "platform/qt/WindowFrame.h"
#include "viewer/CatalogReader.h"
#include "viewer/CreateTableQuery.h"
#include "viewer/GridText.h"
#include "viewer/TableReader.h"
#include "viewer/WorkbookExport.h"
#include "widgets/ButtonST.h"
#include "widgets/DialogUnits.h"

namespace {

// The export's progress on the viewer's two bars, keeping the window painting.
class BarsProgress : public viewer::ExportProgress {
  public:
    BarsProgress(QProgressBar* tables, QProgressBar* rows, platform::MessagePump& pump)
        : tables_(tables), rows_(rows), pump_(pump) {}
    void ShowBars() override {
        tables_->show();
        rows_->show();
    }
    void HideBars() override {
        tables_->hide();
        rows_->hide();
    }
    void BeginTables(int count) override {
        tables_->setRange(0, count);
        tables_->setValue(0);
    }
    void NextTable() override {
        tables_->setValue(tables_->value() + 1);
        pump_.PumpOne();
    }
    void BeginRows(int count) override {
        rows_->setRange(0, count);
        rows_->setValue(0);
    }
    void NextRow() override { rows_->setValue(rows_->value() + 1); }

  private:
    QProgressBar* tables_;
    QProgressBar* rows_;
    platform::MessagePump& pump_;
};

// The records into the grid, the load bar moving, the window painting
// between batches; a newer load or a close stops this one.
class GridSink : public viewer::RecordSink {
  public:
    GridSink(viewer::GridModel& model, QProgressBar* bar, platform::MessagePump& pump,
             std::function<bool()> stillCurrent)
        : model_(model), bar_(bar), pump_(pump), stillCurrent_(std::move(stillCurrent)) {}
    void BeginRows(long count) override {
        bar_->setRange(0, static_cast<int>(std::min<long>(count, 2147483647)));
        bar_->setValue(0);
        bar_->show();
    }
    void AppendCell(std::string_view text) override { model_.appendCell(text); }
    void RowsRead(int rows) override { bar_->setValue(bar_->value() + rows); }
    bool KeepGoing() override {
        model_.publishPendingRows();
        pump_.PumpOne();  // the window paints; a click may stop us
        return stillCurrent_();
    }

  private:
    viewer::GridModel& model_;
    QProgressBar* bar_;
    platform::MessagePump& pump_;
    std::function<bool()> stillCurrent_;
};

}  // namespace

CShowDatabaseDlg::CShowDatabaseDlg(ViewerContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setWindowTitle(QStringLiteral("データベース"));
    setFont(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 10));
    const widgets::DialogUnits du(font());
    resize(du.size(567, 361));

    auto* frame = new QGroupBox(this);
    frame->setGeometry(du.rect(4, 0, 560, 25));
    export_ = new CButtonST(this);
    export_->setText(QStringLiteral("出力"));
    export_->setObjectName(QStringLiteral("1390"));
    export_->setGeometry(du.rect(479, 6, 41, 16));
    export_->setAutoDefault(false);
    close_ = new CButtonST(this);
    close_->setText(QStringLiteral("閉じる"));
    close_->setObjectName(QStringLiteral("1"));
    close_->setGeometry(du.rect(520, 6, 41, 16));
    close_->setDefault(true);  // Enter closes, as the template's default button

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("1445"));
    list_->setGeometry(du.rect(4, 28, 132, 328));
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("1405"));
    grid_->setGeometry(du.rect(140, 28, 424, 307));
    grid_->setModel(&model_);
    grid_->setShowGrid(true);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    grid_->horizontalHeader()->setDefaultSectionSize(100);
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);

    rowLimit_ = new QLineEdit(QString::fromStdString(rowLimitText), this);
    rowLimit_->setObjectName(QStringLiteral("1652"));
    rowLimit_->setGeometry(du.rect(140, 340, 52, 14));
    rowLimit_->setValidator(new QIntValidator(0, 2147483647, rowLimit_));
    reload_ = new QPushButton(QStringLiteral("再表示"), this);
    reload_->setObjectName(QStringLiteral("1653"));
    reload_->setGeometry(du.rect(196, 340, 50, 14));
    reload_->setAutoDefault(false);
    progress1_ = new QProgressBar(this);
    progress1_->setObjectName(QStringLiteral("1001"));
    progress1_->setGeometry(du.rect(256, 338, 228, 8));
    progress1_->setTextVisible(false);
    progress1_->hide();
    progress2_ = new QProgressBar(this);
    progress2_->setObjectName(QStringLiteral("1002"));
    progress2_->setGeometry(du.rect(256, 348, 228, 8));
    progress2_->setTextVisible(false);
    progress2_->hide();
    group_ = new QCheckBox(QStringLiteral("テーブルをグループ化"), this);
    group_->setObjectName(QStringLiteral("1654"));
    group_->setGeometry(du.rect(488, 340, 76, 12));
    widgets::FitCaptions(this, du);
    widgets::FitToScreen(this, widgets::RoomOnScreen(this));
    // Its controls are placed, not laid out: a larger window would show grey
    // space, a smaller one would hide 出力, 閉じる and the row limit.
    platform::SetFixedFrame(*this);

    // The selection, not the current row: a mouse press moves the current row
    // before it selects it, and the load reads the selected row.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { OnTableSelectionChange(); });
    // A click on the row that is already selected counts as choosing it again.
    list_->viewport()->installEventFilter(this);
    connect(list_, &QListWidget::itemClicked, this, [this] {
        if (std::exchange(reclicking_, false)) OnTableSelectionChange();
    });
    connect(reload_, &QPushButton::clicked, this, [this] { LoadGridRows(); });
    connect(group_, &QCheckBox::clicked, this, [this] {
        FillTableList();
        RebuildGridColumns();
    });
    connect(export_, &QPushButton::clicked, this, [this] { OnExport(); });
    connect(close_, &QPushButton::clicked, this, [this] { reject(); });
    connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* copy = menu.addAction(QStringLiteral("クリップボードに貼り付け"));
        menu.addSeparator();
        QAction* create = menu.addAction(QStringLiteral("テーブル作成クエリ"));
        QAction* chosen = menu.exec(grid_->viewport()->mapToGlobal(at));
        if (chosen == copy)
            OnGridCommand(kCopyGrid);
        else if (chosen == create)
            OnGridCommand(kCreateTableQuery);
    });
}

CShowDatabaseDlg::~CShowDatabaseDlg() {
    viewer::ClearCatalog(tableMap);
}

void CShowDatabaseDlg::OnInitDialog() {
    group_->setChecked(true);
    FillTableList();
    RebuildGridColumns();
    LoadGridRows();
}

void CShowDatabaseDlg::OnTableSelectionChange() {
    RebuildGridColumns();
    LoadGridRows();
}

bool CShowDatabaseDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        QListWidgetItem* item = list_->itemAt(press->position().toPoint());
        reclicking_ = press->button() == Qt::LeftButton && item != nullptr &&
                      item == list_->currentItem() && item->isSelected();
    }
    return QDialog::eventFilter(watched, event);
}

std::string CShowDatabaseDlg::selectedTable() const {
    QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? item->text().toStdString() : std::string();
}

bool CShowDatabaseDlg::SelectTable(const std::string& name) {
    const auto found = list_->findItems(QString::fromStdString(name), Qt::MatchExactly);
    if (found.isEmpty()) return false;
    list_->setCurrentItem(found.front());
    found.front()->setSelected(true);
    return true;
}

std::vector<std::string> CShowDatabaseDlg::TableList() const {
    std::vector<std::string> names;
    for (int i = 0; i < list_->count(); ++i) names.push_back(list_->item(i)->text().toStdString());
    return names;
}

void CShowDatabaseDlg::FillTableList() {
    const platform::WaitCursor wait(context_.services.cursor);
    const QSignalBlocker block(list_);
    list_->clear();
    std::vector<std::string> lines;
    // A failure has shown its box; the list shows what was read.
    viewer::ReadTableList(
        context_.session,
        group_->isChecked() ? viewer::TableGrouping::Grouped : viewer::TableGrouping::All, lines);
    for (const auto& line : lines) list_->addItem(QString::fromStdString(line));
}

void CShowDatabaseDlg::RebuildGridColumns() {
    ++loadGeneration_;  // a running load belongs to the old columns
    grid_->setUpdatesEnabled(false);
    const std::string table = selectedTable();
    if (!table.empty()) {
        std::vector<std::string> fields;
        context_.session.ListFieldNames(table, fields);
        model_.setHeadings(std::move(fields));
    } else {
        model_.clearRows();
    }
    grid_->setUpdatesEnabled(true);
    grid_->viewport()->update();
}

void CShowDatabaseDlg::LoadGridRows() {
    const std::uint64_t generation = ++loadGeneration_;
    {
        const platform::WaitCursor wait(context_.services.cursor);
        rowLimitText = rowLimit_->text().toStdString();
        model_.clearRows();
        const std::string table = selectedTable();
        loading_ = true;
        if (!table.empty()) {
            GridSink sink(model_, progress1_, context_.services.messagePump,
                          [this, generation] { return generation == loadGeneration_; });
            viewer::LoadRecords({context_.session, context_.services.messageBoxes}, table,
                                model_.headings(), rowLimitText, sink);
        }
        // An interrupting load or list refill has run to its end inside our
        // pump, so nothing else needs the bar any more.
        if (generation == loadGeneration_) model_.publishPendingRows();
        progress1_->hide();
    }
    loading_ = false;
    if (closePending_) finishClose();
}

std::string CShowDatabaseDlg::GridText() const {
    return viewer::GridCopyText(
        model_.headings(), model_.rowCount(),
        [this](std::size_t row, std::size_t column) { return model_.cell(row, column); });
}

void CShowDatabaseDlg::ReadCatalog() {
    viewer::ReadCatalog({context_.session, context_.target, context_.services.messageBoxes,
                         context_.services.cursor},
                        tableMap);
}

void CShowDatabaseDlg::OnGridCommand(int command) {
    auto copy = [this](const std::string& text) {
        errors::CopyTextToClipboard(text, true, context_.services.clipboard,
                                    context_.services.messageBoxes, context_.applicationTitle);
    };
    if (command == kCopyGrid) {
        copy(GridText());
    } else if (command == kCreateTableQuery) {
        viewer::ShowCreateTableQuery(
            selectedTable(), [this] { ReadCatalog(); }, tableMap, copy,
            context_.services.messageBoxes);
    }
}

void CShowDatabaseDlg::OnExport() {
    QWidget* controls[] = {group_, reload_, export_, close_};
    for (QWidget* w : controls) w->setEnabled(false);
    BarsProgress progress(progress1_, progress2_, context_.services.messagePump);
    viewer::ExportWorkbook({context_.services.shell, context_.services.messageBoxes, progress,
                            [this] { ReadCatalog(); }},
                           tableMap, TableList());
    for (QWidget* w : controls) w->setEnabled(true);
}

void CShowDatabaseDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F7 && export_->isEnabled()) {
        export_->click();
        return;
    }
    if (event->key() == Qt::Key_F8 && close_->isEnabled()) {
        close_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CShowDatabaseDlg::reject() {
    if (loading_) {
        // Stop the load first; the window closes when it has unwound.
        closePending_ = true;
        ++loadGeneration_;
        return;
    }
    finishClose();
}

void CShowDatabaseDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void CShowDatabaseDlg::finishClose() {
    closePending_ = false;
    if (context_.showMainWindow) context_.showMainWindow();
    QDialog::reject();
}
