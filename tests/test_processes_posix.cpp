#include <errno.h>
#include <signal.h>
#include <QFile>

#include "test_processes.h"

bool processRuns(qint64 processId) {
    // A process that has ended but is not reaped yet runs no more.
    QFile status(QStringLiteral("/proc/%1/stat").arg(processId));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray line = status.readAll();
        const qsizetype state = line.lastIndexOf(')') + 2;
        if (state > 1 && state < line.size() && line[state] == 'Z') return false;
    }
    return ::kill(pid_t(processId), 0) == 0 || errno == EPERM;
}
