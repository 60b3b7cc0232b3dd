// Where the browser is found on Windows: the App Paths keys its installer writes, for every user
// and for the user alone, in the registry's 64-bit and 32-bit views; then the folders installers
// put it in. Edge comes first: every Windows 10 and 11 has it.
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "core/browser/browser_location.h"

namespace {

struct Known {
    const char *program;  // its App Paths key
    const char *folder;   // below Program Files or the user's local application data
};
constexpr Known kBrowsers[] = {
    {"msedge.exe", "Microsoft/Edge/Application"},
    {"chrome.exe", "Google/Chrome/Application"},
    {"chrome.exe", "Chromium/Application"},
};

bool isProgram(const QString &path) {
    const QFileInfo file(path);
    return !path.isEmpty() && file.isFile();
}

// The default value of a program's App Paths key: the whole path, quoted by some installers.
QString appPath(const QString &root, const char *program, QSettings::Format view) {
    const QSettings key(root +
                            QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                                           "Paths\\") +
                            QLatin1String(program),
                        view);
    QString path = key.value(QStringLiteral("Default")).toString().trimmed();
    if (path.size() >= 2 && path.startsWith(u'"') && path.endsWith(u'"'))
        path = path.sliced(1).chopped(1);
    return QDir::fromNativeSeparators(path);
}

QStringList installFolders() {
    QStringList folders;
    for (const char *name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "LOCALAPPDATA"}) {
        const QString folder = qEnvironmentVariable(name);
        if (!folder.isEmpty() && !folders.contains(folder)) folders.append(folder);
    }
    return folders;
}

}  // namespace

std::variant<QString, BrowserError> findBrowser() {
    const QString roots[] = {QStringLiteral("HKEY_LOCAL_MACHINE"),
                             QStringLiteral("HKEY_CURRENT_USER")};
    for (const Known &browser : kBrowsers)
        for (const QString &root : roots)
            for (const auto view : {QSettings::Registry64Format, QSettings::Registry32Format})
                if (const QString path = appPath(root, browser.program, view); isProgram(path))
                    return QFileInfo(path).absoluteFilePath();
    const QStringList folders = installFolders();
    QStringList places;
    for (const Known &browser : kBrowsers) {
        for (const QString &folder : folders) {
            const QString path = QDir(folder).filePath(QLatin1String(browser.folder) + u'/' +
                                                       QLatin1String(browser.program));
            if (isProgram(path)) return QFileInfo(path).absoluteFilePath();
            places.append(QDir::toNativeSeparators(path));
        }
    }
    BrowserError error;
    error.searched = {QStringLiteral("注册表 App Paths 里的 msedge.exe 和 chrome.exe")};
    error.searched += places;
    return error;
}

std::variant<QString, BrowserError> namedBrowser(const QString &path) {
    QString found = QFileInfo(path).fileName() == path ? QStandardPaths::findExecutable(path)
                                                       : QFileInfo(path).absoluteFilePath();
    // A browser is an .exe: any other file Windows would not run, or would open with some other
    // program.
    if (!isProgram(found) ||
        QFileInfo(found).suffix().compare(QLatin1String("exe"), Qt::CaseInsensitive) != 0) {
        BrowserError error;
        error.kind = BrowserError::Kind::NoProgram;
        error.program = path;
        return error;
    }
    return found;
}
