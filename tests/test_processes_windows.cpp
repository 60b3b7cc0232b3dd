#include <windows.h>

#include "test_processes.h"

bool processRuns(qint64 processId) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, DWORD(processId));
    if (!process) return false;
    const bool runs = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return runs;
}
