#include <windows.h>

#include "stand_in_pipe.h"

namespace {

HANDLE reading = INVALID_HANDLE_VALUE;
HANDLE writing = INVALID_HANDLE_VALUE;

}  // namespace

bool openPipe(const QStringList &arguments) {
    const QString prefix = QStringLiteral("--remote-debugging-io-pipes=");
    for (const QString &argument : arguments) {
        if (!argument.startsWith(prefix)) continue;
        const QStringList handles = argument.sliced(prefix.size()).split(u',');
        if (handles.size() != 2) return false;
        reading = HANDLE(quintptr(handles[0].toUInt()));
        writing = HANDLE(quintptr(handles[1].toUInt()));
        return true;
    }
    return false;
}

QByteArray readPipe() {
    QByteArray bytes(1 << 16, Qt::Uninitialized);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(reading, bytes.data(), DWORD(bytes.size()), &got, nullptr)) return {};
        if (got > 0) {
            bytes.resize(got);
            return bytes;
        }
    }
}

bool writePipe(const QByteArray &bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        DWORD wrote = 0;
        if (!::WriteFile(writing, bytes.data() + done, DWORD(bytes.size() - done), &wrote, nullptr))
            return false;
        done += wrote;
    }
    return true;
}

void dieAtOnce() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    ::ExitProcess(137);
}
