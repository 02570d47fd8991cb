// A database file in a fresh folder, built by the test with Jet SQL, with a
// session on it and the services the catalog reader needs.
#pragma once

#include <initializer_list>
#include <string>

#include "db/DatabaseSession.h"
#include "engine/Engine.h"
#include "host/TargetDatabase.h"
#include "tests/support/FakeCursor.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/FakeSessionWindow.h"
#include "tests/support/TempFolder.h"
#include "viewer/CatalogReader.h"

namespace viewertest {

class ViewerDatabase {
  public:
    explicit ViewerDatabase(std::string password = "") {
        target_.PathName = folder_.Folder();
        target_.FileName = "target";
        target_.Extension = ".mdb";
        target_.Password = std::move(password);
        engine::CreateDatabase(target_.FilePath(), target_.Password);
        session_.SetPassword(target_.Password);
    }

    // Runs statements on a connection of their own, then (re)opens the
    // session and forgets the boxes of the opening (there is no version table).
    void Run(std::initializer_list<std::string> statements) {
        auto connection = engine::Connection::create();
        connection->Open(*db::ConnectionText(target_.PathName, target_.FileName, target_.Extension,
                                             target_.Password));
        for (const std::string& statement : statements) {
            connection->Execute(statement);
        }
        connection->Close();
        session_.OpenDatabase(target_.PathName, target_.FileName, target_.Extension);
        boxes_.Clear();
    }

    viewer::CatalogReadOutcome Read(viewer::TableMap& tableMap) {
        return viewer::ReadCatalog({session_, target_, boxes_, cursor_}, tableMap);
    }

    host::TargetDatabase& Target() { return target_; }
    db::DatabaseSession& Session() { return session_; }
    testsupport::FakeMessageBoxes& Boxes() { return boxes_; }
    testsupport::FakeCursor& Cursor() { return cursor_; }
    const testsupport::TempFolder& Folder() const { return folder_; }

  private:
    testsupport::TempFolder folder_;
    host::TargetDatabase target_;
    testsupport::FakeSessionWindow window_;
    testsupport::FakeMessageBoxes boxes_;
    testsupport::FakeCursor cursor_;
    db::DatabaseSession session_{window_, boxes_, {"VantolyPatch", "2020/05/24"}};
};

}  // namespace viewertest
