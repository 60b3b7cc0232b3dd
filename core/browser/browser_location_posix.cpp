// Where the browser is found on Linux and its kin: its names on PATH first, as the user arranges
// PATH, then the folders packages and snaps install into, which a service's PATH may lack.
#include <QFileInfo>
#include <QStandardPaths>

#include "core/browser/browser_location.h"

namespace {

const QStringList kNames{
    QStringLiteral("chromium"),       QStringLiteral("chromium-browser"),
    QStringLiteral("google-chrome"),  QStringLiteral("google-chrome-stable"),
    QStringLiteral("microsoft-edge"), QStringLiteral("microsoft-edge-stable"),
};
const QStringList kFolders{
    QStringLiteral("/usr/bin"),
    QStringLiteral("/usr/local/bin"),
    QStringLiteral("/snap/bin"),
    QStringLiteral("/opt/google/chrome"),
    QStringLiteral("/opt/microsoft/msedge"),
};

}  // namespace

std::variant<QString, BrowserError> findBrowser() {
    for (const QString &name : kNames)
        if (QString found = QStandardPaths::findExecutable(name); !found.isEmpty()) return found;
    for (const QString &name : kNames)
        if (QString found = QStandardPaths::findExecutable(name, kFolders); !found.isEmpty())
            return found;
    BrowserError error;
    error.searched = {
        QStringLiteral("PATH 和 %1 里的 %2")
            .arg(kFolders.join(QStringLiteral("、")), kNames.join(QStringLiteral("、")))};
    return error;
}

std::variant<QString, BrowserError> namedBrowser(const QString &path) {
    const QFileInfo program(path);
    // A bare name is looked for on PATH, as a shell would.
    const QString found = program.fileName() == path ? QStandardPaths::findExecutable(path)
                                                     : program.absoluteFilePath();
    const QFileInfo file(found);
    if (found.isEmpty() || !file.isFile() || !file.isExecutable()) {
        BrowserError error;
        error.kind = BrowserError::Kind::NoProgram;
        error.program = path;
        return error;
    }
    return found;
}
