#include "platform/portal/PortalRestoreToken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Platform::Portal {

std::string ReadRestoreToken(const std::string& file) {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return in.readLine().trimmed().toStdString();
}

KestrelMain::Status SaveRestoreToken(const std::string& file, const std::string& token) {
    const auto failure = [&file](const QString& why) {
        return KestrelMain::Failure{"Cannot keep the screen's grant for the next start", file,
                                    why.toStdString()};
    };
    const QFileInfo info(QString::fromStdString(file));
    // The token grants the screen without a question: for the user's eyes only.
    const QString folder = info.absolutePath();
    if (!QDir(folder).exists()) {
        if (!QDir().mkpath(folder))
            return failure(QStringLiteral("its folder could not be made"));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // QSaveFile writes beside the file, flushes it to the disk and renames it over.
    QSaveFile out(info.absoluteFilePath());
    if (!out.open(QIODevice::WriteOnly))
        return failure(out.errorString());
    out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray line = QByteArray::fromStdString(token) + '\n';
    if (out.write(line) != line.size() || !out.commit())
        return failure(out.errorString());
    return std::nullopt;
}

}  // namespace Platform::Portal
