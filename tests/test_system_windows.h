#pragma once

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#include <QDir>
#include <QString>
#include <string>

// What the Windows tests do that Qt does not: hold a file open as another program would, mark a
// file with attributes and an access control list, and tell whether they run under Wine.

// Whether the tests run under Wine rather than on Windows: only Wine's ntdll says its version.
inline bool runsUnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// A path as the wide calls take it whatever its length.
inline std::wstring longPath(const QString &path) {
    return L"\\\\?\\" + QDir::toNativeSeparators(QDir::cleanPath(path)).toStdWString();
}

// The file at path, held open for reading as another program holds it for as long as this lives,
// sharing with others only what share allows: FILE_SHARE_READ alone keeps everyone else from
// writing, renaming or deleting it.
class HeldFile {
public:
    HeldFile(const QString &path, DWORD share)
        : handle_(::CreateFileW(longPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                0, nullptr)) {}
    ~HeldFile() {
        if (isHeld()) ::CloseHandle(handle_);
    }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    bool isHeld() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

inline DWORD attributesOf(const QString &path) {
    return ::GetFileAttributesW(longPath(path).c_str());
}

inline bool setAttributes(const QString &path, DWORD attributes) {
    return ::SetFileAttributesW(longPath(path).c_str(),
                                attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// Gives the file at path an access control list of its own, written in SDDL, that inherits
// nothing from its folder.
inline bool setAccessControlList(const QString &path, const wchar_t *list) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(list, SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    std::wstring name = longPath(path);
    const bool set =
        ::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) &&
        ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    ::LocalFree(descriptor);
    return set;
}
