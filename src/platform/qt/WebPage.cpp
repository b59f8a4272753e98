#include "platform/qt/WebPage.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace Platform {

void QtWebPage::Open(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

}  // namespace Platform
