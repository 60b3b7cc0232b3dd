#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// What one run of the real zerediz-compress answered.
struct ProgramRun {
    int exitCode = -1;  // -1: it crashed
    QByteArray standardOutput;
    QByteArray standardError;
};

// The program to run, and its environment. A build whose programs run under an emulator runs
// this one under it too, with the program as the emulator's first argument: a system need not know
// how to run them by itself.
struct CompressProgram {
    QString path;
    QString emulator = {};  // none: the program runs by itself
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// The program as the tests run it. Each platform has its own file of it.
const CompressProgram &compressProgram();

// Runs zerediz-compress in folder, with input on its standard input. setUp prepares the process
// before it starts, as a test needs (its limits, its user, its console); whileRunning runs once it
// has started, given its process id, before anything it writes to standard output is read.
inline ProgramRun runCompress(const QString &folder, const QStringList &arguments,
                              const QByteArray &input = {},
                              const std::function<void(QProcess &)> &setUp = {},
                              const std::function<void(qint64 processId)> &whileRunning = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessEnvironment(compressProgram().environment);
    if (setUp) setUp(process);
    if (compressProgram().emulator.isEmpty())
        process.start(compressProgram().path, arguments);
    else
        process.start(compressProgram().emulator, QStringList{compressProgram().path} + arguments);
    if (!process.waitForStarted()) qFatal("zerediz-compress does not start");
    process.write(input);
    process.closeWriteChannel();
    if (whileRunning) whileRunning(process.processId());
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}
