#include "platform/qt/QtWebPage.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace Platform::QtToolkit {

void QtWebPage::Open(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

}  // namespace Platform::QtToolkit
