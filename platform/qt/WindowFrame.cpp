#include "platform/qt/WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QVariant>
#include <QWidget>

// After Qt's headers: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>

namespace platform {

namespace {

// Motif's hint bits.
constexpr unsigned long kHintsFunctions = 1UL << 0;
constexpr unsigned long kHintsDecorations = 1UL << 1;
constexpr unsigned long kFunctionMove = 1UL << 2;
constexpr unsigned long kFunctionClose = 1UL << 5;
constexpr unsigned long kDecorationBorder = 1UL << 1;
constexpr unsigned long kDecorationTitle = 1UL << 3;
constexpr unsigned long kDecorationMenu = 1UL << 4;

constexpr char kCloseAllowedProperty[] = "vantolyCloseAllowed";
constexpr char kFrameKeeperName[] = "vantolyFixedFrame";

void WriteHints(const QWidget& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const WId id = window.internalWinId();
    if (x11 == nullptr || x11->display() == nullptr || id == 0) return;
    Display* display = x11->display();
    const Atom atom = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    const MotifHints hints = FixedFrameHints(CloseAllowed(window));
    long data[5] = {static_cast<long>(hints.flags), static_cast<long>(hints.functions),
                    static_cast<long>(hints.decorations), hints.inputMode,
                    static_cast<long>(hints.status)};
    XChangeProperty(display, static_cast<Window>(id), atom, atom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data), 5);
    XFlush(display);
}

// Writes the hints again after Qt wrote its own: when the native window is
// made (before it is mapped) and when it is made anew.
class FrameKeeper : public QObject {
  public:
    explicit FrameKeeper(QWidget& window) : QObject(&window), window_(window) {
        setObjectName(QLatin1String(kFrameKeeperName));
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ &&
            (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange))
            WriteHints(window_);
        return false;
    }

  private:
    QWidget& window_;
};

}  // namespace

MotifHints FixedFrameHints(bool closable) {
    MotifHints hints;
    hints.flags = kHintsFunctions | kHintsDecorations;
    hints.functions = kFunctionMove | (closable ? kFunctionClose : 0);
    hints.decorations = kDecorationBorder | kDecorationTitle | kDecorationMenu;
    return hints;
}

void SetFixedFrame(QWidget& window) {
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    if (QLayout* layout = window.layout()) {
        layout->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        window.setFixedSize(window.size());
    }
    window.setProperty(kCloseAllowedProperty, true);
    if (window.findChild<QObject*>(QLatin1String(kFrameKeeperName), Qt::FindDirectChildrenOnly) ==
        nullptr)
        new FrameKeeper(window);
    WriteHints(window);
}

void SetCloseAllowed(QWidget& window, bool allowed) {
    if (CloseAllowed(window) == allowed) return;
    window.setProperty(kCloseAllowedProperty, allowed);
    // The widget's own flags say it too, for whoever reads them; the native
    // window is left alone, as Qt would re-create it and drop the hints.
    window.overrideWindowFlags(allowed ? window.windowFlags() | Qt::WindowCloseButtonHint
                                       : window.windowFlags() & ~Qt::WindowCloseButtonHint);
    WriteHints(window);
}

bool CloseAllowed(const QWidget& window) {
    const QVariant allowed = window.property(kCloseAllowedProperty);
    return !allowed.isValid() || allowed.toBool();
}

}  // namespace platform
