#include "core/files/file_attributes_posix.h"

#include <sys/xattr.h>
#include <unistd.h>
#include <QByteArray>
#include <QByteArrayList>
#include <cerrno>

#include "core/files/file_error_posix.h"

namespace {

constexpr char kAccessControlList[] = "system.posix_acl_access";

// The names of the attributes that fd has; nullopt with errno set where they cannot be listed.
std::optional<QByteArrayList> attributeNames(int fd) {
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) return std::nullopt;
        QByteArray names(size, Qt::Uninitialized);
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got < 0 && errno == ERANGE) continue;  // one was added in between
        if (got < 0) return std::nullopt;
        names.truncate(got);
        QByteArrayList list = names.split('\0');
        list.removeAll(QByteArray());
        return list;
    }
}

// The value of one attribute of fd; nullopt with errno set where it cannot be read.
std::optional<QByteArray> attributeValue(int fd, const QByteArray &name) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0) return std::nullopt;
        QByteArray value(size, Qt::Uninitialized);
        const ssize_t got = ::fgetxattr(fd, name.constData(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return std::nullopt;
        value.truncate(got);
        return value;
    }
}

}  // namespace

Result<Done> takeOwner(int to, uid_t owner, gid_t group) {
    struct stat own {};
    if (::fstat(to, &own) != 0) return writeErrorFromErrno(errno);
    if ((own.st_uid != owner || own.st_gid != group) && ::fchown(to, owner, group) != 0)
        return writeErrorFromErrno(errno);
    return Done{};
}

Result<QList<LostAttribute>> copyAttributes(int from, mode_t mode, int to) {
    QList<LostAttribute> lost;
    bool hadList = false;
    const auto names = attributeNames(from);
    if (!names) {
        // A file system without extended attributes has none to lose.
        if (errno != ENOTSUP) lost.append({QStringLiteral("*"), writeErrorFromErrno(errno)});
    } else {
        for (const QByteArray &name : *names) {
            hadList = hadList || name == kAccessControlList;
            const auto value = attributeValue(from, name);
            if (!value && errno == ENODATA) continue;  // removed in between
            if (!value)
                lost.append({QString::fromUtf8(name), readErrorFromErrno(errno)});
            else if (::fsetxattr(to, name.constData(), value->constData(),
                                 static_cast<size_t>(value->size()), 0) != 0)
                lost.append({QString::fromUtf8(name), writeErrorFromErrno(errno)});
        }
    }
    // A new file takes a list from its folder's default one, which the old file may not have had.
    if (names && !hadList && ::fremovexattr(to, kAccessControlList) != 0 && errno != ENODATA &&
        errno != ENOTSUP)
        return writeErrorFromErrno(errno);

    // The bits come after the list: setting the list sets the bits too, its mask in the group's.
    mode &= 07777;
    for (const LostAttribute &attribute : lost)
        if (attribute.name == QLatin1String(kAccessControlList) || attribute.name == u'*')
            mode &= ~mode_t(S_IRWXG);
    if (::fchmod(to, mode) != 0) return writeErrorFromErrno(errno);
    return lost;
}
