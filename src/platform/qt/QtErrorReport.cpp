#include "platform/qt/QtErrorReport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace Platform::QtToolkit {

namespace {

QPointer<QMessageBox> shownBox;

}  // namespace

void QtErrorReport::Note(const std::string& line) {
    std::fprintf(stderr, "kestrel: %s\n", line.c_str());
    std::fflush(stderr);
}

void QtErrorReport::Report(const KestrelMain::Failure& failure) {
    const std::string line = failure.Text();
    Note(line);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;

    // Modeless, so the handler that hit the failure runs to completion and captures never
    // nest inside a message box's own event loop.
    const QString text = QString::fromStdString(line);
    if (shownBox.isNull()) {
        shownBox = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Kestrel"), text,
                                   QMessageBox::Ok, owner_ ? owner_() : nullptr);
        shownBox->setAttribute(Qt::WA_DeleteOnClose);
        shownBox->setModal(false);
        shownBox->setWindowModality(Qt::NonModal);
    } else {
        shownBox->setText(text);
    }
    shownBox->show();
    // A Wayland compositor decides itself what comes to the front.
    if (QGuiApplication::platformName() != QStringLiteral("wayland"))
        shownBox->raise();
}

}  // namespace Platform::QtToolkit
