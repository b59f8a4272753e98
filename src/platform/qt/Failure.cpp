#include "platform/qt/Failure.h"

#include <cstring>

namespace Platform {

QString Failure::Text() const {
    QString text = What;
    if (!Path.isEmpty())
        text += QStringLiteral(" \u201C%1\u201D").arg(Path);
    if (!Reason.isEmpty())
        text += QStringLiteral(": ") + Reason;
    return text;
}

QString ErrnoText(int errnoValue) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errnoValue, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

Failure FromCore(const KestrelMain::Failure& failure) {
    return Failure{QString::fromStdString(failure.What), QString::fromStdString(failure.Path),
                   QString::fromStdString(failure.Reason)};
}

KestrelMain::Failure ToCore(const Failure& failure) {
    return KestrelMain::Failure{failure.What.toStdString(), failure.Path.toStdString(),
                                failure.Reason.toStdString()};
}

}  // namespace Platform
