// Creation of the windows' controls the same way everywhere: named after the control
// (also as objectName, so tests find them), placed in twips, captions without access keys.
#pragma once

#include "ui/qt/Twips.h"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// Buttons and check boxes would read "&" as an access key; doubling it shows it as typed.
inline QString WithoutAccessKeys(const QString& caption) {
    QString escaped = caption;
    escaped.replace(u'&', QStringLiteral("&&"));
    return escaped;
}

template <class Control>
Control* PlaceControl(Control* control, const char* name, QRect twips) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return control;
}

// No button is a default or cancel button: Enter and Escape do nothing of their own.
inline QPushButton* MakeButton(QWidget* window, const char* name, const QString& caption,
                               QRect twips) {
    auto* button = PlaceControl(new QPushButton(WithoutAccessKeys(caption), window), name, twips);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// Plain text, so a path that looks like markup is shown as it is.
inline QLabel* MakeLabel(QWidget* window, const char* name, const QString& caption, QRect twips) {
    auto* label = PlaceControl(new QLabel(window), name, twips);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    return label;
}

inline QCheckBox* MakeCheckBox(QWidget* window, const char* name, const QString& caption,
                               QRect twips) {
    return PlaceControl(new QCheckBox(WithoutAccessKeys(caption), window), name, twips);
}

inline QLineEdit* MakeTextBox(QWidget* window, const char* name, QRect twips) {
    return PlaceControl(new QLineEdit(window), name, twips);
}

// Brings a window up modeless: shown again as it was left when hidden, restored when
// minimized, and put in front.
inline void ShowInFront(QWidget& window) {
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace Ui
