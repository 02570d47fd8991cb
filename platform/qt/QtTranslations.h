// Qt's own texts (the standard buttons of a box, the folder dialog, a
// field's context menu) in the operator's language, from the translations
// Debian installs with qt6-translations-l10n.
#pragma once

#include <string>

class QCoreApplication;

namespace platform {

// Installs Qt's translations for the user's locale on `application`, before
// the first window is built. Answers why they could not be loaded for a
// locale that needs them; empty when they were loaded or the locale's
// language is English (Qt's own).
std::string InstallQtTranslations(QCoreApplication& application);

}  // namespace platform
