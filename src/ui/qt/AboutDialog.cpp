#include "ui/qt/AboutDialog.h"

#include "core/KestrelMain.h"
#include "core/seam/Services.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainForm.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>

namespace Ui {

namespace {

QPointer<AboutDialog> instance;

// The title line: 13.5 points, bold and italic, in the windows' faces.
QFont TitleFont() {
    QFont font = SansSerifFont(13.5);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    return font;
}

// Screen coordinates count from the primary monitor's top-left corner, which is not the
// root window's when the primary is not the leftmost or topmost monitor. The installed
// screen backend knows which monitor is primary; where it cannot tell (outside an X11
// session) Qt's own primary screen stands in: the window is still placed, so there is
// nothing to report.
QPoint PrimaryCorner() {
    if (Seam::Screen* screen = Seam::Installed().Screen) {
        const auto primary = screen->ReadPrimaryScreen();
        if (primary.Ok())
            return QPoint((*primary).X, (*primary).Y);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().topLeft();
    return QPoint(0, 0);
}

}  // namespace

AboutDialog& AboutDialog::Instance() {
    if (instance.isNull())
        instance = new AboutDialog;
    return *instance;
}

AboutDialog* AboutDialog::Existing() {
    return instance.data();
}

AboutDialog::AboutDialog() : QWidget(nullptr) {
    setFont(DialogFont());
    setAttribute(Qt::WA_DeleteOnClose);
    // A tool window gets a plain dialog frame and no task-bar button from most window
    // managers; the rest are asked to skip it in its show event. Close box only.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // The compositor places a Wayland window; as the main window's transient child it
    // keeps the About window with it. Elsewhere the window has no owner and its place is the
    // program's.
    if (OnWayland())
        setParent(&MainForm::Instance(), windowFlags());
    CreateControls(*this, KestrelMain::ABOUT_DIALOG);
    Command1 = ControlOf<QPushButton>(*this, "Command1");
    OKButton = ControlOf<QPushButton>(*this, "OKButton");
    Label1 = ControlOf<QLabel>(*this, "Label1");
    Label1->setFont(TitleFont());
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(palette);

    // Placed by the program, not by the window manager: the client area's top-left corner
    // at 2760, 3750 twips from the primary monitor's. A client geometry (rather than a frame
    // position) makes Qt ask for static gravity, so the frame goes around that spot.
    setGeometry(QRect(QPoint(TwipsToPixels(KestrelMain::ABOUT_DIALOG_LEFT),
                             TwipsToPixels(KestrelMain::ABOUT_DIALOG_TOP)),
                      ClientPixels(KestrelMain::ABOUT_DIALOG))
                    .translated(PrimaryCorner()));

    connect(Command1, &QPushButton::clicked, this, &AboutDialog::Command1_Click);
    connect(OKButton, &QPushButton::clicked, this, &AboutDialog::OKButton_Click);
}

void AboutDialog::Command1_Click() {
    KestrelMain::VisitMakerWebPage();
    hide();
}

void AboutDialog::OKButton_Click() {
    hide();
}

void AboutDialog::showEvent(QShowEvent* event) {
    // Sent before the window is mapped, so the request is part of the map; again at every
    // show, because window managers forget it when the window is hidden.
    if (Seam::TaskBar* taskBar = Seam::Installed().TaskBar)
        taskBar->KeepOffTaskBar(static_cast<std::uintptr_t>(winId()));
    QWidget::showEvent(event);
}

void AboutDialog::closeEvent(QCloseEvent* event) {
    // Closed from its title bar: destroyed once control is back in the event loop; the next
    // AboutBtn click must already create a new one.
    if (instance == this)
        instance = nullptr;
    event->accept();
}

}  // namespace Ui
