#include "platform/qt/Numbers.h"

#include <QLocale>

namespace Platform {

std::string SystemDecimalPoint() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 ? point.toStdString() : std::string();
}

Failure OverflowFailure(const QString& what) {
    return Failure{what, QString(), QStringLiteral("Overflow")};
}

}  // namespace Platform
