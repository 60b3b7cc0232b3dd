// The program as the tests run it on Linux and other POSIX systems. Rows that run it as another
// user need every folder above it and its emulator to let others through, and the sanitizers'
// suppression files to be readable; a build tree in a private folder (mktemp -d makes them 0700)
// has neither, so the program, its emulator and those files are then used from copies in a folder
// anyone may enter, made once. So are the libraries of a cross build that lie in the build tree
// (simdjson for arm64), which the emulated program then finds through LD_LIBRARY_PATH.
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "compress_program.h"

namespace {

bool othersMayEnter(const QString &path) {
    for (QFileInfo folder(QFileInfo(path).absolutePath());; folder.setFile(folder.absolutePath())) {
        struct stat status {};
        if (::stat(QFile::encodeName(folder.absoluteFilePath()).constData(), &status) != 0 ||
            (status.st_mode & S_IXOTH) == 0)
            return false;
        if (folder.isRoot()) return true;
    }
}

}  // namespace

const CompressProgram &compressProgram() {
    static const CompressProgram program = [] {
        CompressProgram reachable{QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM)};
#if defined(ZEREDIZ_EMULATOR)
        reachable.emulator = QStringLiteral(ZEREDIZ_EMULATOR);
#endif
        if (othersMayEnter(reachable.path) &&
            (reachable.emulator.isEmpty() || othersMayEnter(reachable.emulator)))
            return reachable;
        static QTemporaryDir copies(QDir::tempPath() + QStringLiteral("/zerediz-compress-XXXXXX"));
        const auto copy = [](const QString &from) {
            const QString to = copies.filePath(QFileInfo(from).fileName());
            if (!copies.isValid() ||
                ::chmod(QFile::encodeName(copies.path()).constData(), 0755) != 0 ||
                !QFile::copy(from, to))
                qFatal("zerediz-compress cannot be copied where every user may run it");
            QFile(to).setPermissions(QFile(to).permissions() | QFile::ReadOther);
            return to;
        };
        reachable.path = copy(reachable.path);
        if (!reachable.emulator.isEmpty()) reachable.emulator = copy(reachable.emulator);
#if defined(ZEREDIZ_COMPRESS_LIBRARY_DIR)
        const QDir libraries(QStringLiteral(ZEREDIZ_COMPRESS_LIBRARY_DIR));
        for (const QFileInfo &library : libraries.entryInfoList({QStringLiteral("lib*.so*")}))
            copy(library.absoluteFilePath());
        // Set for the emulated program alone: the emulator is a program of this machine.
        reachable.environment.insert(QStringLiteral("QEMU_SET_ENV"),
                                     QStringLiteral("LD_LIBRARY_PATH=") + copies.path());
#endif
        for (const QString &name :
             {QStringLiteral("ASAN_OPTIONS"), QStringLiteral("LSAN_OPTIONS"),
              QStringLiteral("TSAN_OPTIONS"), QStringLiteral("UBSAN_OPTIONS")}) {
            QStringList options = reachable.environment.value(name).split(u':');
            for (QString &option : options) {
                if (option.startsWith(QStringLiteral("suppressions=")))
                    option = QStringLiteral("suppressions=") + copy(option.sliced(13));
            }
            if (reachable.environment.contains(name))
                reachable.environment.insert(name, options.join(u':'));
        }
        return reachable;
    }();
    return program;
}
