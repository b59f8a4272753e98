#include "platform/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace Platform {

namespace {
QPointer<QMessageBox> shownBox;
}

void ReportToStderr(const QString& line) {
    std::fprintf(stderr, "kestrel: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void ReportFailure(const Failure& failure) {
    const QString text = failure.Text();
    ReportToStderr(text);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return;

    // Modeless, so the handler that hit the failure runs to completion and captures never
    // nest inside a message box's own event loop.
    if (shownBox.isNull()) {
        shownBox =
            new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Kestrel"), text, QMessageBox::Ok);
        shownBox->setAttribute(Qt::WA_DeleteOnClose);
        shownBox->setModal(false);
        shownBox->setWindowModality(Qt::NonModal);
    } else {
        shownBox->setText(text);
    }
    shownBox->show();
    shownBox->raise();
}

}  // namespace Platform
