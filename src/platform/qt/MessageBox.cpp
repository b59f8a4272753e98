#include "platform/qt/MessageBox.h"

#include <QMessageBox>

namespace Platform {

void ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kestrel"), text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("KestrelMessage"));
    box.exec();
}

}  // namespace Platform
