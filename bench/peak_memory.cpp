#include "peak_memory.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench_window.h"

namespace {

// VmHWM belongs to the address space made at exec. getrusage's ru_maxrss would not do: the kernel
// carries the high-water mark of the parent's address space, which the child shared until exec,
// into it.
qint64 peakResidentBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    }
    throw std::runtime_error("no VmHWM in /proc/self/status");
}

}  // namespace

int runPeakMemoryChild(const QString &path) {
    BenchWindow window;
    window.open(path);
    std::printf("%lld\n", static_cast<long long>(peakResidentBytes()));
    return 0;
}

qint64 peakMemoryOfOpening(const QString &path) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kPeakMemoryChildFlag), path});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        throw std::runtime_error("the memory child failed");
    bool ok = false;
    const qint64 bytes = child.readAllStandardOutput().trimmed().toLongLong(&ok);
    if (!ok) throw std::runtime_error("the memory child printed no figure");
    return bytes;
}
