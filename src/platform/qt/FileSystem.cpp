#include "platform/qt/FileSystem.h"

#include "platform/posix/PosixFileSystem.h"

#include <QFile>

namespace Platform {

namespace {

std::filesystem::path NativePath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

Status CreateOneDirectory(const QString& path) {
    Posix::PosixFileSystem files;
    if (auto failed = files.CreateOneDirectory(NativePath(path)))
        return FromCore(*failed);
    return std::nullopt;
}

bool FolderExists(const QString& path) {
    Posix::PosixFileSystem files;
    return files.FolderExists(NativePath(path));
}

}  // namespace Platform
