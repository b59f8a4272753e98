// The windows' controls, made the same way everywhere from the window tables of
// core/WindowLayouts.h, and the windows' one font.
#pragma once

#include "core/WindowLayouts.h"
#include "ui/qt/Twips.h"

#include <QFont>
#include <QGuiApplication>
#include <QString>
#include <QWidget>

namespace Ui {

// "MS Sans Serif", which the twip layouts were drawn for, where it exists; else the nearest
// sans-serif face at the same size. Faces of its family's widths come first: the desktop's
// usual DejaVu Sans is a third wider and would cut most captions short in their fixed boxes.
// The one list of faces for every window, the About window's title line included.
inline QFont SansSerifFont(qreal points) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// The windows' one font, for every control but the About window's title line: 8 points.
// The stand-in faces run about 2% wider than the bitmap original, which the longest caption
// (the main window's first line) needs back to fit its box.
inline QFont DialogFont() {
    QFont font = SansSerifFont(8.0);
    font.setLetterSpacing(QFont::PercentageSpacing, 98.0);
    return font;
}

// Creates the window's controls from its table: each named after the control (also as
// objectName, so tests find it), placed in twips, with its caption shown as typed (no access
// keys, labels as plain text), enabled and shown as the table says; no button is a default
// or cancel button. The focus order follows the tab indices, and the focus starts on the
// first control that takes it. Sets the window's caption and fixed client size too.
void CreateControls(QWidget& window, const KestrelMain::WindowLayout& layout);

// The control of that name that CreateControls made.
template <class Control>
Control* ControlOf(QWidget& window, const char* name) {
    return window.findChild<Control*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

// Whether the windows are a Wayland compositor's: it places them and decides what comes
// to the front; a program can neither position nor raise its own windows there.
inline bool OnWayland() {
    return QGuiApplication::platformName() == QStringLiteral("wayland");
}

// Brings a window up modeless: shown again as it was left when hidden, restored when
// minimized, and put in front where the desktop lets a program do that.
inline void ShowInFront(QWidget& window) {
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    if (!OnWayland()) {
        window.raise();
        window.activateWindow();
    }
}

}  // namespace Ui
