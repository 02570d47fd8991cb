// The viewer's record grid on a large table: loading 1,000,000 rows x 10
// columns with the row limit emptied, against the sqlite3 command printing
// the same rows as tab-separated text into /dev/null. Prints both times,
// their ratio (target <= 2x), the peak memory of the load and its ratio to
// the size of that text (target < 3x).
//
//   viewer_bench [rows]
#include <sys/resource.h>
#include <sys/wait.h>

#include <QApplication>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "db/DatabaseSession.h"
#include "db/SessionWindow.h"
#include "platform/SystemServices.h"
#include "viewer/ShowDatabaseDlg.h"

namespace {

class NoWindow : public db::SessionWindow {
  public:
    void SetWindowTitle(const std::string&) override {}
    void EnableUpdateButton() override {}
    void ShowVersionText(const std::string&) override {}
    void RefreshControlState(db::ControlState) override {}
};

class PrintingBoxes : public platform::MessageBoxes {
  public:
    platform::MessageAnswer Show(const platform::MessageBoxRequest& r) override {
        std::fprintf(stderr, "box: %s\n", r.text.c_str());
        return platform::MessageAnswer::Ok;
    }
};

class NoClipboard : public platform::Clipboard {
  public:
    Result SetText(const std::string&) override { return Result::Ok; }
    std::string Text() const override { return {}; }
};

class NoCopier : public platform::FileCopier {
  public:
    bool CopyFileWithShell(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};

class NoRegistry : public platform::Registry {
  public:
    bool KeyExists(const std::string&) override { return false; }
    std::optional<std::string> ReadString(const std::string&, const std::string&) override {
        return {};
    }
};

class NoLock : public platform::InstanceLock {
  public:
    Result Acquire(const std::string&) override { return Result::Acquired; }
    void Release() override {}
};

class NoHosts : public platform::HostWindows {
  public:
    bool Find(const std::string&) override { return false; }
    bool RequestClose(const std::string&) override { return false; }
};

class ProcessPump : public platform::MessagePump {
  public:
    void PumpOne() override { QCoreApplication::processEvents(); }
    void Repaint() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
};

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder = std::filesystem::temp_directory_path() / "vantoly-viewer-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    host::TargetDatabase target{folder + "/", "big", ".mdb", "", ""};
    engine::CreateDatabase(target.FilePath());

    NoWindow window;
    PrintingBoxes boxes;
    db::DatabaseSession session(window, boxes, db::SessionTexts{"viewer_bench", "2020/05/24"});
    session.OpenDatabase(target.PathName, target.FileName, target.Extension);
    {
        auto c = session.SessionConnection();
        c->Execute(
            "CREATE TABLE t_big (ID LONG PRIMARY KEY, Code TEXT(10), Name TEXT(50), Amount LONG, "
            "Rate DOUBLE, "
            "Price CURRENCY, Stamp DATETIME, Flag YESNO, Note TEXT(100), Small SHORT)");
        c->BeginTrans();
        c->Execute(
            "INSERT INTO t_big VALUES (1, 'C0001', '名前テスト', 1000, 0.25, 12.5, #2020/05/24 "
            "10:00#, True, "
            "'note text here', 7)");
        for (long have = 1; have < rows;) {
            const long add = std::min(have, rows - have);
            c->Execute(
                "INSERT INTO t_big SELECT TOP " + std::to_string(add) + " ID + " +
                std::to_string(have) +
                ", Code, Name, Amount + ID, Rate, Price, Stamp, Flag, Note, Small FROM t_big");
            have += add;
        }
        c->CommitTrans();
    }

    const std::string tsv = folder + "/out.tsv";
    const std::string command = "sqlite3 -readonly -separator '\t' '" + target.FilePath() +
                                "' 'SELECT * FROM t_big' > " + tsv;
    const double sqliteTime = seconds([&] {
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "viewer_bench: sqlite3 failed\n");
    });
    const auto textBytes = std::filesystem::file_size(tsv);

    platform::SystemClock clock;
    platform::HeadlessShell shell(std::cout);
    platform::NullCursor cursor;
    NoClipboard clipboard;
    NoCopier copier;
    NoRegistry registry;
    NoLock lock;
    NoHosts hosts;
    ProcessPump pump;
    platform::SystemProgramInfo program;
    platform::Services services{boxes, clipboard, clock,  shell, copier, registry,
                                lock,  hosts,     cursor, pump,  program};
    const long before = peakKilobytes();
    CShowDatabaseDlg viewerWindow(ViewerContext{session, target, services, "viewer_bench", {}});
    viewerWindow.OnInitDialog();
    viewerWindow.rowLimitEdit()->setText(QString());
    const double viewerTime = seconds([&] { viewerWindow.SelectTable("t_big"); });
    const long peak = peakKilobytes();

    std::printf("rows loaded %zu of %ld, text %.1f MB\n", viewerWindow.gridModel().rowCount(), rows,
                textBytes / 1e6);
    std::printf("viewer load %.2f s, sqlite3 to a file %.2f s, ratio %.2fx (target <= 2x)\n",
                viewerTime, sqliteTime, viewerTime / sqliteTime);
    std::printf("peak memory %.1f MB (before the load %.1f MB), %.2fx the text (target < 3x)\n",
                peak / 1024.0, before / 1024.0, peak * 1024.0 / static_cast<double>(textBytes));
    std::filesystem::remove_all(folder);
    return 0;
}
