// What the tests ask of files on Windows.
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#include <QDir>
#include <QFileInfo>
#include <string>

#include "test_files.h"

namespace {

std::wstring native(const QString &path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// What the file at path itself tells of itself, not what a link there leads to.
BY_HANDLE_FILE_INFORMATION informationOf(const QString &path) {
    BY_HANDLE_FILE_INFORMATION information{};
    const HANDLE file = ::CreateFileW(
        native(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return information;
    ::GetFileInformationByHandle(file, &information);
    ::CloseHandle(file);
    return information;
}

}  // namespace

bool makeSymbolicLink(const QString &target, const QString &link) {
    const bool folder = QFileInfo(QFileInfo(link).dir(), target).isDir();
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (folder) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    ::CreateSymbolicLinkW(native(link).c_str(), native(target).c_str(), flags);
    // Whatever it answered: Wine 8 answers that it made one.
    const DWORD attributes = ::GetFileAttributesW(native(link).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool makeHardLink(const QString &existing, const QString &link) {
    return ::CreateHardLinkW(native(link).c_str(), native(existing).c_str(), nullptr);
}

qint64 nameCount(const QString &path) {
    return informationOf(path).nNumberOfLinks;
}

QByteArray fileIdentity(const QString &path) {
    const BY_HANDLE_FILE_INFORMATION information = informationOf(path);
    return QByteArray::number(quint64(information.dwVolumeSerialNumber)) + ':' +
           QByteArray::number((quint64(information.nFileIndexHigh) << 32) |
                              information.nFileIndexLow);
}

qint64 modifiedTime(const QString &path) {
    const FILETIME written = informationOf(path).ftLastWriteTime;
    return (qint64(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

QByteArray fileRights(const QString &path) {
    // Written anew, a file is to be backed up again: the archive bit tells nothing of rights.
    constexpr DWORD kRights = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    QByteArray rights = QByteArray::number(informationOf(path).dwFileAttributes & kRights, 16);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL list = nullptr;
    std::wstring name = native(path);
    if (::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &list, nullptr, &descriptor) == ERROR_SUCCESS) {
        LPWSTR text = nullptr;
        if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
                descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
            rights += ' ' + QString::fromWCharArray(text).toUtf8();
            ::LocalFree(text);
        }
        ::LocalFree(descriptor);
    }
    return rights;
}
