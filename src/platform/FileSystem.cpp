#include "platform/FileSystem.h"

#include <QFile>

#include <sys/stat.h>
#include <cerrno>

namespace Platform {

Status CreateOneDirectory(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (path.isEmpty() || ::mkdir(native.constData(), 0777) != 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        return Failure{QStringLiteral("Cannot create the capture directory"), path,
                       ErrnoText(error)};
    }
    return std::nullopt;
}

bool FolderExists(const QString& path) {
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace Platform
