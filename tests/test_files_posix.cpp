// What the tests ask of files on Linux and other POSIX systems.
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>

#include "file_rights_posix.h"
#include "test_files.h"

namespace {

struct stat statusOf(const QString &path) {
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

}  // namespace

bool makeSymbolicLink(const QString &target, const QString &link) {
    return QFile::link(target, link);
}

bool makeHardLink(const QString &existing, const QString &link) {
    return ::link(QFile::encodeName(existing).constData(), QFile::encodeName(link).constData()) ==
           0;
}

qint64 nameCount(const QString &path) {
    return qint64(statusOf(path).st_nlink);
}

QByteArray fileIdentity(const QString &path) {
    const struct stat status = statusOf(path);
    return QByteArray::number(quint64(status.st_dev)) + ':' +
           QByteArray::number(quint64(status.st_ino));
}

qint64 modifiedTime(const QString &path) {
    const struct stat status = statusOf(path);
    return qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

QByteArray fileRights(const QString &path) {
    const FileRights rights = rightsOf(path);
    QByteArray text = QByteArray::number(rights.owner) + ':' + QByteArray::number(rights.group) +
                      ':' + QByteArray::number(rights.mode, 8);
    for (auto attribute = rights.attributes.cbegin(); attribute != rights.attributes.cend();
         ++attribute)
        text += ' ' + attribute.key() + '=' + attribute.value().toHex();
    return text;
}
