#include "gui/VantolyPatchDlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "db/PasswordMask.h"
#include "errors/UpdateErrorMsgDlg.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/WindowFrame.h"
#include "widgets/ButtonST.h"
#include "widgets/DialogUnits.h"

namespace {

const QColor kFieldColour(192, 255, 192);

}  // namespace

CVantolyPatchDlg::CVantolyPatchDlg(platform::Services& services, std::string applicationTitle,
                                   QWidget* parent)
    : QDialog(parent),
      logic_(*this, services, std::move(applicationTitle)),
      target(logic_.target),
      session(logic_.session),
      UpdateContents(logic_.updateContents) {
    setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
    buildControls();
}

CVantolyPatchDlg::~CVantolyPatchDlg() {
    session.CloseDatabase();
}

void CVantolyPatchDlg::buildControls() {
    setFont(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 11));
    setWindowTitle(QString());
    const widgets::DialogUnits du(font());

    // The window manager owns the title-bar menu here, so the system menu's
    // items live in the window's own menu: in a menu bar a newcomer sees, on
    // Alt+Space as on Windows, and on a right click anywhere in the window.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("systemMenuBar"));
    menu_ = menuBar_->addMenu(QStringLiteral("メニュー(&M)"));
    menu_->setObjectName(QStringLiteral("systemMenu"));
    layout->setMenuBar(menuBar_);
    auto* client = new QWidget(this);
    client->setFixedSize(du.size(305, 308));
    layout->addWidget(client);

    auto label = [&](const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(QString::fromUtf8(text), client);
        l->setGeometry(du.rect(x, y, w, h));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    auto edit = [&](const char* id, int x, int y, int w, int h) {
        auto* e = new QLineEdit(client);
        e->setObjectName(QString::fromUtf8(id));
        e->setGeometry(du.rect(x, y, w, h));
        e->setReadOnly(true);
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base, kFieldColour);
        palette.setColor(QPalette::Window, kFieldColour);
        e->setPalette(palette);
        e->setAutoFillBackground(true);
        return e;
    };
    auto line = [&](int y) {
        auto* f = new QFrame(client);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        f->setGeometry(du.rect(4, y, 295, 1).adjusted(0, 0, 0, 1));
    };

    label("フォルダ名", 4, 4, 36, 14);
    edits_[0] = edit("1016", 40, 4, 260, 14);
    label("対象DB名", 4, 20, 36, 14);
    edits_[1] = edit("1017", 40, 20, 204, 14);
    edits_[3] = edit("1019", 248, 20, 52, 14);
    label("拡張子名", 4, 36, 36, 14);
    edits_[2] = edit("1018", 40, 36, 260, 14);
    line(52);

    updateButton_ = new CButtonST(client);
    updateButton_->setText(QStringLiteral("更新実行"));
    updateButton_->setObjectName(QStringLiteral("1000"));
    updateButton_->setGeometry(du.rect(4, 56, 60, 24));
    updateButton_->setEnabled(false);
    updateButton_->setAutoDefault(false);
    progress_ = new QProgressBar(client);
    progress_->setObjectName(QStringLiteral("1001"));
    progress_->setGeometry(du.rect(68, 56, 172, 10));
    progress_->setTextVisible(false);
    progress_->hide();
    restoreButton_ = new CButtonST(client);
    restoreButton_->setText(QStringLiteral("バックアップ\nファイルを戻す"));
    restoreButton_->setObjectName(QStringLiteral("1014"));
    restoreButton_->setGeometry(du.rect(244, 56, 57, 24));
    restoreButton_->setEnabled(false);
    restoreButton_->setAutoDefault(false);
    line(84);

    list_ = new QTreeWidget(client);
    list_->setObjectName(QStringLiteral("1003"));
    list_->setGeometry(du.rect(4, 88, 296, 216));
    list_->setRootIsDecorated(false);
    list_->setHeaderHidden(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setColumnCount(2);
    widgets::FitCaptions(client, du);
    widgets::FitToScreen(this, widgets::RoomOnScreen(this));
    platform::SetFixedFrame(*this);

    connect(updateButton_, &QPushButton::clicked, this, [this] { OnUpdateCommand(); });
    connect(restoreButton_, &QPushButton::clicked, this, [this] { OnRestoreCommand(); });
    auto* systemMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(systemMenuKey, &QShortcut::activated, this,
            [this] { menu_->popup(mapToGlobal(QPoint(0, menuBar_->height()))); });
}

void CVantolyPatchDlg::OnInitDialog() {
    if (initialised_) return;
    initialised_ = true;
    UpdateData();

    aboutAction_ = menu_->addAction(QString::fromUtf8(kAboutMenuText));
    aboutAction_->setData(kAboutId);
    menu_->addSeparator();
    viewerAction_ = menu_->addAction(QStringLiteral("データベース表示"));
    viewerAction_->setData(kViewerId);
    consoleAction_ = menu_->addAction(QStringLiteral("クエリ発行"));
    consoleAction_->setData(kConsoleId);
    menu_->addSeparator();
    closeAction_ = menu_->addAction(QStringLiteral("閉じる(&C)"));
    closeAction_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    for (QAction* action : {aboutAction_, viewerAction_, consoleAction_}) {
        const int id = action->data().toInt();
        connect(action, &QAction::triggered, this, [this, id] { OnSysCommand(id); });
    }
    connect(closeAction_, &QAction::triggered, this, [this] { close(); });

    restoreButton_->AssignIconTooltipAndFont(QStringLiteral(":/icons/132.png"),
                                             QStringLiteral("元に戻す"));

    list_->setColumnWidth(0, 400);
    const std::string heading = std::string("**** 更新内容 (") + kReleaseDateText + " 更新) ****";
    std::vector<std::string> rows = {"", heading, std::string(48, '-'), ""};
    rows.insert(rows.end(), UpdateContents.begin(), UpdateContents.end());
    rows.push_back("");
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(row));
    }
    list_->header()->setStretchLastSection(true);

    updateButton_->AssignIconTooltipAndFont(QStringLiteral(":/icons/130.png"),
                                            QStringLiteral("データベース更新"));

    logic_.LoadLocation();
    RefreshControlState(db::ControlState::Idle);
}

void CVantolyPatchDlg::UpdateData() {
    const std::string* fields[4] = {&target.PathName, &target.FileName, &target.Extension,
                                    &target.VersionText};
    for (int i = 0; i < 4; ++i) edits_[i]->setText(QString::fromStdString(*fields[i]));
}

void CVantolyPatchDlg::ShowLocationFields(const host::TargetDatabase& record) {
    edits_[0]->setText(QString::fromStdString(record.PathName));
    edits_[1]->setText(QString::fromStdString(record.FileName));
    edits_[2]->setText(QString::fromStdString(record.Extension));
}

void CVantolyPatchDlg::SetWindowTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void CVantolyPatchDlg::EnableUpdateButton() {
    updateButton_->setEnabled(true);
}

void CVantolyPatchDlg::ShowVersionText(const std::string& versionText) {
    target.VersionText = versionText;
    UpdateData();
}

void CVantolyPatchDlg::RefreshControlState(db::ControlState state) {
    const bool idle = state == db::ControlState::Idle;
    busy_ = !idle;
    const commands::ControlStates controls = logic_.ControlsFor(state, true);
    if (closeAction_) closeAction_->setEnabled(controls.idle);
    // The title bar's close button: the window manager greys it while busy.
    platform::SetCloseAllowed(*this, controls.idle);
    if (viewerAction_) viewerAction_->setEnabled(controls.tools);
    if (consoleAction_) consoleAction_->setEnabled(controls.tools);
    updateButton_->setEnabled(controls.update);
    updateButton_->repaint();
    restoreButton_->setEnabled(controls.restore);
    restoreButton_->repaint();
}

QAction* CVantolyPatchDlg::menuAction(int id) const {
    switch (id) {
        case kAboutId:
            return aboutAction_;
        case kViewerId:
            return viewerAction_;
        case kConsoleId:
            return consoleAction_;
        default:
            return nullptr;
    }
}

void CVantolyPatchDlg::OnSysCommand(int id) {
    switch (id & 0xFFF0) {
        case kAboutId:
            OnAbout();
            return;
        case kViewerId:
            if (viewerCommand) viewerCommand();
            return;
        case kConsoleId:
            if (consoleCommand) consoleCommand();
            return;
        default:
            return;
    }
}

void CVantolyPatchDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CVantolyPatchDlg::OnUpdateCommand() {
    logic_.OnUpdateCommand();
}

void CVantolyPatchDlg::OnRestoreCommand() {
    logic_.OnRestoreCommand();
}

void CVantolyPatchDlg::SetProgressRange(int lower, int upper) {
    progress_->setRange(lower, upper);
}
void CVantolyPatchDlg::SetProgressPosition(int position) {
    progress_->setValue(position);
}
int CVantolyPatchDlg::ProgressPosition() const {
    return progress_->value();
}
void CVantolyPatchDlg::ShowProgressBar() {
    progress_->show();
}
void CVantolyPatchDlg::HideProgressBar() {
    progress_->hide();
}

void CVantolyPatchDlg::ShowUpdateErrorDialog(const std::string& reportText) {
    // The report is shown, copied and printed; a password in it would go with it.
    const std::string masked = db::MaskPasswords(reportText);
    if (updateReportPresenter) {
        updateReportPresenter(masked);
        return;
    }
    CUpdateErrorMsgDlg dialog(this, services().clipboard, services().messageBoxes,
                              applicationTitle());
    dialog.ReportText = masked;
    const platform::ArrowWhileAsking arrow;
    dialog.exec();
}

void CVantolyPatchDlg::closeEvent(QCloseEvent* event) {
    // While an update runs the window cannot be closed, whatever asks.
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CVantolyPatchDlg::reject() {
    if (busy_) return;  // Escape while busy
    QDialog::reject();
}

void CVantolyPatchDlg::contextMenuEvent(QContextMenuEvent* event) {
    menu_->popup(event->globalPos());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報 VantolyPatch"));
    setFont(widgets::DialogFont(QStringLiteral("MS UI Gothic"), 9));
    const widgets::DialogUnits du(font());
    setFixedSize(du.size(235, 55));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/128.png")).pixmap(32, 32));
    icon->setGeometry(QRect(du.x(11), du.y(17), 32, 32));
    auto* name = new QLabel(QStringLiteral("VantolyPatch Version 1.0"), this);
    name->setGeometry(du.rect(40, 10, 119, 8));
    name->adjustSize();
    auto* date = new QLabel(QStringLiteral("最終更新日： 2008/08/18 14:35"), this);
    date->setGeometry(du.rect(40, 40, 119, 8));
    date->adjustSize();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(du.rect(178, 7, 50, 16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    widgets::FitCaptions(this, du);
    widgets::FitToScreen(this, widgets::RoomOnScreen(this));
    platform::SetFixedFrame(*this);
}
