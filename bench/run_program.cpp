#include "run_program.h"

#include <QProcess>
#include <stdexcept>

#include "timing.h"

double runSeconds(const QString &program, const QStringList &arguments, const QString &folder,
                  const QString &input) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!input.isEmpty()) process.setStandardInputFile(input);
    const double seconds = secondsOf([&] {
        process.start(program, arguments);
        process.waitForFinished(-1);
    });
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("failed: " + program.toStdString() + ' ' +
                                 arguments.join(u' ').toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    return seconds;
}
