#include "core/files/path_windows.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "core/files/file_error_windows.h"

namespace {

// The longest path the wide calls take, prefix included, in UTF-16 code units.
constexpr qsizetype kLongestPath = 32767;

const QString kPrefix = QStringLiteral("\\\\?\\");
// Devices (\\.\NUL, \\.\pipe\name) have a namespace of their own, taken as it is.
const QString kDevicePrefix = QStringLiteral("\\\\.\\");
const QString kSharePrefix = QStringLiteral("\\\\?\\UNC\\");

// Whether a name is one that Windows keeps for a device, whatever follows its first dot: CON,
// PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 (¹, ² and ³ count as digits there), and the
// console's CONIN$ and CONOUT$. Spaces before the dot do not count either.
bool isDeviceName(QStringView name) {
    QStringView stem = name.left(name.indexOf(u'.'));
    while (stem.endsWith(u' ')) stem.chop(1);
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (stem.compare(QLatin1String(device), Qt::CaseInsensitive) == 0) return true;
    if (stem.size() != 4) return false;
    const QStringView port = stem.left(3);
    const bool isPort = port.compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0 ||
                        port.compare(QLatin1String("LPT"), Qt::CaseInsensitive) == 0;
    const char16_t digit = stem[3].unicode();
    return isPort &&
           ((digit >= u'1' && digit <= u'9') || digit == u'¹' || digit == u'²' || digit == u'³');
}

// Whether Windows would change a name on the way, without the prefix: it drops dots and spaces
// at the end, so that other programs would find another file or none.
bool loses(QStringView name) {
    return name.endsWith(u'.') || name.endsWith(u' ');
}

Result<QString> finalPathOf(HANDLE handle) {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    for (std::vector<wchar_t> buffer(MAX_PATH);; buffer.resize(buffer.size() * 2)) {
        const DWORD length =
            ::GetFinalPathNameByHandleW(handle, buffer.data(), DWORD(buffer.size()), kFlags);
        // Too small, Windows answers the size it needs and Wine says ERROR_MORE_DATA.
        if (length == 0 && ::GetLastError() != ERROR_MORE_DATA)
            return readErrorFromCode(::GetLastError());
        if (length > 0 && length < buffer.size())
            return pathFromSystem(std::wstring(buffer.data(), length));
        if (buffer.size() > kLongestPath) return readErrorFromCode(ERROR_FILENAME_EXCED_RANGE);
    }
}

}  // namespace

Result<std::wstring> systemPath(const QString &path) {
    if (path.isEmpty()) return FileError{FileError::Kind::NotFound, {}};
    // A path in one of the system's own namespaces is taken as it is.
    if (const QString given = QDir::toNativeSeparators(path);
        given.startsWith(kPrefix) || given.startsWith(kDevicePrefix))
        return given.toStdWString();
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The drive or the share's server and name come first, and are no file names.
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    const qsizetype firstName = absolute.startsWith(QStringLiteral("//")) ? 2 : 1;
    for (qsizetype i = firstName; i < parts.size(); ++i) {
        if (isDeviceName(parts[i])) return FileError{FileError::Kind::ReservedName, {}};
        if (loses(parts[i])) return FileError{FileError::Kind::InvalidName, {}};
    }
    const QString native = QDir::toNativeSeparators(absolute);
    const QString prefixed = native.startsWith(QStringLiteral("\\\\"))
                                 ? kSharePrefix + native.sliced(2)
                                 : kPrefix + native;
    if (prefixed.size() > kLongestPath) return FileError{FileError::Kind::PathTooLong, {}};
    return prefixed.toStdWString();
}

QString pathFromSystem(const std::wstring &path) {
    QString text = QString::fromStdWString(path);
    if (text.startsWith(kSharePrefix))
        text = QStringLiteral("\\\\") + text.sliced(kSharePrefix.size());
    else if (text.startsWith(kPrefix))
        text.remove(0, kPrefix.size());
    return QDir::fromNativeSeparators(text);
}

Result<QString> resolvedPathOf(HANDLE handle, const QString &path) {
    auto final = finalPathOf(handle);
    if (!failed(final)) return final;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const auto system = systemPath(canonical);
    if (failed(system)) return final;
    const Handle there = openExisting(std::get<std::wstring>(system), FILE_READ_ATTRIBUTES);
    const auto opened = factsOf(handle);
    const auto found = there.isOpen() ? factsOf(there.get()) : Result<FileFacts>(FileError{});
    if (failed(opened) || failed(found) ||
        std::get<FileFacts>(opened).identity != std::get<FileFacts>(found).identity)
        return FileError{FileError::Kind::Replaced, {}};
    return canonical;
}

Result<FileFacts> factsOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return readErrorFromCode(::GetLastError());
    FileFacts facts;
    facts.identity = {info.dwVolumeSerialNumber,
                      (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts.kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileFacts::Kind::Folder
                                                                  : FileFacts::Kind::Regular;
    facts.attributes = info.dwFileAttributes;
    facts.names = info.nNumberOfLinks;
    facts.size = (qint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return facts;
}

Result<Done> Handle::close() {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (::CloseHandle(handle)) return Done{};
    return writeErrorFromCode(::GetLastError());
}

Handle openExisting(const std::wstring &path, DWORD access, DWORD flags) {
    // Backup semantics lets a folder be opened too, as the callers ask what a path is.
    return Handle(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}
