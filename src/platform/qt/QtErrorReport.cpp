#include "platform/qt/QtErrorReport.h"

#include "platform/Services.h"
#include "platform/qt/Failure.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace Platform {

namespace {

QPointer<QMessageBox> shownBox;

ErrorReport& Current() {
    static QtErrorReport own;
    ErrorReport* installed = Installed().Errors;
    return installed != nullptr ? *installed : own;
}

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

void ReportToStderr(const QString& line) {
    Current().Note(line.toStdString());
}

void ReportFailure(const KestrelMain::Failure& failure) {
    Current().Report(failure);
}

void ReportFailure(const Failure& failure) {
    Current().Report(KestrelMain::Failure{failure.What.toStdString(), failure.Path.toStdString(),
                                          failure.Reason.toStdString()});
}

}  // namespace Platform
