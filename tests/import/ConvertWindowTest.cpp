// The main window, built for real offscreen with the platform fakes, on a
// registry that names a genuine Access file: it offers the conversion in
// place, shows its progress, keeps the genuine file and opens the result.
#include <gtest/gtest.h>

#include <QProgressBar>
#include <filesystem>
#include <sstream>

#include "gui/VantolyPatchDlg.h"
#include "gui/WindowCommands.h"
#include "host/TargetDatabaseLocation.h"
#include "import/DamagedCopies.h"
#include "support/FakeServices.h"
#include "support/Process.h"
#include "support/TempFolder.h"

// The window's icons live in a static library's resources.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

[[maybe_unused]] const bool resourcesReady = (initResources(), true);

namespace fs = std::filesystem;
using platform::MessageAnswer;

class ConvertWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        testsupport::WriteFileBytes(folder_.Path() / "host.mdb", genuine_);
        fakes_.registry.SetValue(host::kDatabaseKey, "FileName", "host");
        fakes_.registry.SetValue(host::kDatabaseKey, "PathName", folder_.Folder());
        fakes_.registry.SetValue(host::kDatabaseKey, "Password", "");
    }
    const std::string genuine_ =
        testsupport::ReadFileBytes(fs::path(VANTOLY_GENUINE_DIR) / "indexTestV2003.mdb");
    testsupport::TempFolder folder_;
    testsupport::FakeServices fakes_;
    std::ostringstream out_, err_;
};

TEST_F(ConvertWindowTest, YesConvertsInPlaceAndOpensTheResult) {
    CVantolyPatchDlg dialog(fakes_.services, "VantolyPatch");
    dialog.OnInitDialog();
    ASSERT_FALSE(dialog.session.Connected());
    fakes_.messageBoxes.Clear();
    fakes_.messageBoxes.ScriptAnswers({MessageAnswer::Yes});

    gui::OfferConversionInPlace(dialog, out_, err_);

    const auto& shown = fakes_.messageBoxes.Shown();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_NE(shown[0].text.find("is a genuine Access database"), std::string::npos)
        << shown[0].text;
    EXPECT_NE(
        shown[1].text.find("kept unchanged as " + folder_.Folder() + "host.access-original.mdb"),
        std::string::npos)
        << shown[1].text;
    EXPECT_EQ(testsupport::ReadFileBytes(folder_.Path() / "host.access-original.mdb"), genuine_);
    EXPECT_TRUE(dialog.session.Connected());
    EXPECT_FALSE(dialog.progressBar()->isVisibleTo(&dialog));
}

TEST_F(ConvertWindowTest, NoLeavesTheGenuineFileAsItWas) {
    CVantolyPatchDlg dialog(fakes_.services, "VantolyPatch");
    dialog.OnInitDialog();
    fakes_.messageBoxes.Clear();
    fakes_.messageBoxes.ScriptAnswers({MessageAnswer::No});

    gui::OfferConversionInPlace(dialog, out_, err_);

    EXPECT_EQ(fakes_.messageBoxes.Shown().size(), 1u);
    EXPECT_EQ(testsupport::ReadFileBytes(folder_.Path() / "host.mdb"), genuine_);
    EXPECT_FALSE(fs::exists(folder_.Path() / "host.access-original.mdb"));
    EXPECT_FALSE(dialog.session.Connected());
}

// A damaged genuine file: the window says what the command line says, in a
// stop box, and the file stays as it was under its name.
TEST_F(ConvertWindowTest, ADamagedFileIsRefusedWithTheReasonAndKept) {
    for (const importtest::Damage& damage : importtest::DamagedCopies()) {
        SCOPED_TRACE(damage.name);
        std::string bytes = genuine_;
        damage.apply(bytes);
        testsupport::WriteFileBytes(folder_.Path() / "host.mdb", bytes);
        CVantolyPatchDlg dialog(fakes_.services, "VantolyPatch");
        dialog.OnInitDialog();
        fakes_.messageBoxes.Clear();
        fakes_.messageBoxes.ScriptAnswers({MessageAnswer::Yes});

        gui::OfferConversionInPlace(dialog, out_, err_);

        const auto& shown = fakes_.messageBoxes.Shown();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[1].icon, platform::MessageIcon::Stop);
        EXPECT_NE(shown[1].text.find(damage.message), std::string::npos) << shown[1].text;
        EXPECT_EQ(testsupport::ReadFileBytes(folder_.Path() / "host.mdb"), bytes);
        EXPECT_FALSE(fs::exists(folder_.Path() / "host.access-original.mdb"));
        EXPECT_FALSE(dialog.session.Connected());
        EXPECT_FALSE(dialog.progressBar()->isVisibleTo(&dialog));
    }
}

}  // namespace
