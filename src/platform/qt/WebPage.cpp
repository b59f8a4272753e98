#include "platform/qt/WebPage.h"

#include <QDesktopServices>
#include <QUrl>

namespace Platform {

void OpenWebPage(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

}  // namespace Platform
