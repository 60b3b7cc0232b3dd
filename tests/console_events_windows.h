#pragma once

#include <windows.h>
#include <QProcess>
#include <QTest>

// How the Windows tests stop a program as a person at its console does: the program runs in a
// console of its own, and gets the console's events there.

// Starts the program in a console of its own, as a person starts it from cmd.exe or
// PowerShell; its output still goes to the test's pipes.
inline void inItsOwnConsole(QProcess &process) {
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *arguments) {
        arguments->flags = (arguments->flags & ~DWORD(CREATE_NO_WINDOW)) | CREATE_NEW_CONSOLE;
    });
}

// How a row sends the program its stop event.
enum class Sending {
    ThroughTheConsole,  // GenerateConsoleCtrlEvent to every process of the program's console
    AsTheConsoleDoes,   // a thread of the program's own at CtrlRoutine, as conhost starts one
};

// Lets a console event pass the test by. Ignoring Ctrl+C by SetConsoleCtrlHandler(nullptr, TRUE)
// instead would be inherited by the programs the test starts after.
inline BOOL WINAPI passBy(DWORD) {
    return TRUE;
}

// Sends event to the program whose console is its own. Windows ends a program whose handler
// returns from a closing console: where the handler's thread ends of itself, rather than with the
// program ending with exitCode, the program is ended as Windows would end it.
inline void sendStop(qint64 processId, DWORD event, Sending sending, int exitCode) {
    const HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, DWORD(processId));
    QVERIFY(process);
    HANDLE handler = nullptr;
    if (sending == Sending::ThroughTheConsole) {
        // The test, attached to the program's console for a moment, lets the event pass it by.
        ::SetConsoleCtrlHandler(passBy, TRUE);
        ::FreeConsole();
        QVERIFY(::AttachConsole(DWORD(processId)));
        QVERIFY(::GenerateConsoleCtrlEvent(event, 0));
        ::FreeConsole();
    } else {
        // The console's own entry: void (*)() is the type that casts to any other.
        const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine")));
        QVERIFY(routine);
        handler = ::CreateRemoteThread(process, nullptr, 0, routine,
                                       reinterpret_cast<void *>(ULONG_PTR(event)), 0, nullptr);
        QVERIFY(handler);
    }
    // A program that ends takes the handler's thread with it, a moment before it counts as ended
    // itself, and gives the thread its own exit status.
    const HANDLE waited[] = {process, handler};
    DWORD handlerEnd = 0;
    if (handler && event == CTRL_CLOSE_EVENT &&
        ::WaitForMultipleObjects(2, waited, FALSE, 60000) == WAIT_OBJECT_0 + 1 &&
        ::GetExitCodeThread(handler, &handlerEnd) && handlerEnd != DWORD(exitCode))
        ::TerminateProcess(process, STATUS_CONTROL_C_EXIT);
    if (handler) ::CloseHandle(handler);
    ::CloseHandle(process);
}
