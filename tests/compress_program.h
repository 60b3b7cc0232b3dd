#pragma once

#include <QProcess>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// What one run of the real zerediz-compress answered.
struct ProgramRun {
    int exitCode = -1;  // -1: it crashed
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs zerediz-compress in folder, with input on its standard input. inChild runs in the child
// process just before the program starts, to limit it as a test needs.
inline ProgramRun runCompress(const QString &folder, const QStringList &arguments,
                              const QByteArray &input = {},
                              const std::function<void()> &inChild = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    if (inChild) process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM), arguments);
    if (!process.waitForStarted()) qFatal("zerediz-compress does not start");
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
