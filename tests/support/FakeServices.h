// Every platform service as a fake, bundled as the windows take them.
#pragma once

#include "platform/Platform.h"
#include "support/FakeClipboard.h"
#include "support/FakeClock.h"
#include "support/FakeCursor.h"
#include "support/FakeFileCopier.h"
#include "support/FakeHostWindows.h"
#include "support/FakeInstanceLock.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakeMessagePump.h"
#include "support/FakeProgramInfo.h"
#include "support/FakeRegistry.h"
#include "support/FakeShell.h"

namespace testsupport {

struct FakeServices {
    FakeMessageBoxes messageBoxes;
    FakeClipboard clipboard;
    FakeClock clock;
    FakeShell shell;
    FakeFileCopier fileCopier;
    FakeRegistry registry;
    FakeInstanceLock instanceLock;
    FakeHostWindows hostWindows;
    FakeCursor cursor;
    FakeMessagePump messagePump;
    FakeProgramInfo programInfo;

    platform::Services services{messageBoxes, clipboard,   clock,        shell,
                                fileCopier,   registry,    instanceLock, hostWindows,
                                cursor,       messagePump, programInfo};
};

// The same fakes with another cursor in place of the fake one: the real Qt
// cursor, for a test that reads the pointer back from the application.
inline platform::Services WithCursor(FakeServices& f, platform::Cursor& cursor) {
    return platform::Services{f.messageBoxes, f.clipboard,   f.clock,        f.shell,
                              f.fileCopier,   f.registry,    f.instanceLock, f.hostWindows,
                              cursor,         f.messagePump, f.programInfo};
}

}  // namespace testsupport
