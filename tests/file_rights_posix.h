#pragma once

#include <sys/stat.h>
#include <sys/xattr.h>
#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QtGlobal>

// What a file gives whom: its owner, group, type and permission bits, and its extended
// attributes, the access control list among them.
struct FileRights {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    QMap<QByteArray, QByteArray> attributes;
    friend bool operator==(const FileRights &, const FileRights &) = default;
};

// The rights of the file at path itself, not of what a link there leads to.
inline FileRights rightsOf(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    ::lstat(name.constData(), &status);
    FileRights rights{status.st_uid, status.st_gid, status.st_mode, {}};
    QByteArray names(65536, '\0');
    const ssize_t size = ::llistxattr(name.constData(), names.data(), names.size());
    for (const QByteArray &attribute : names.left(qMax<ssize_t>(size, 0)).split('\0')) {
        if (attribute.isEmpty()) continue;
        QByteArray value(65536, '\0');
        const ssize_t length =
            ::lgetxattr(name.constData(), attribute.constData(), value.data(), value.size());
        rights.attributes.insert(attribute, value.left(qMax<ssize_t>(length, 0)));
    }
    return rights;
}

inline void setMode(const QString &path, mode_t mode) {
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// Runs a command such as "setfacl -m u:daemon:rw" on the file at path; whether it worked.
inline bool runOn(const QString &command, const QString &path) {
    QStringList arguments = command.split(u' ');
    const QString program = arguments.takeFirst();
    return QProcess::execute(program, arguments + QStringList{path}) == 0;
}
