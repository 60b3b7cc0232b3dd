// The browser's process on Windows. Its pipe is two anonymous pipes whose browser ends it inherits,
// named to it by --remote-debugging-io-pipes as numbers: an inherited handle keeps its value. Only
// those handles and its standard ones are inherited (a handle list), so that no other handle of
// this program leaks into it. It starts suspended, is put in a job that ends every process of it
// when the job is closed, this program's end included, and only then runs; it has no console, so
// a Ctrl+C at this program's console does not reach it.
#include <windows.h>
#include <QDir>
#include <QProcessEnvironment>
#include <algorithm>
#include <mutex>
#include <vector>

#include "core/browser/browser_process.h"

struct BrowserProcess::Native {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    HANDLE toBrowser = nullptr;
    HANDLE fromBrowser = nullptr;
    std::mutex mutex;

    ~Native() {
        for (HANDLE handle : {process, job, toBrowser, fromBrowser})
            if (handle) ::CloseHandle(handle);
    }
};

namespace {

QString systemError(DWORD error) {
    return QStringLiteral("系统错误（%1）").arg(error);
}

// One argument as CommandLineToArgvW and the C runtime read it back: quoted where it holds a
// space, a tab or a quote, with the backslashes before a quote, and before the closing one,
// doubled.
QString quoted(const QString &argument) {
    const bool plain = std::none_of(argument.begin(), argument.end(),
                                    [](QChar c) { return c == u' ' || c == u'\t' || c == u'"'; });
    if (!argument.isEmpty() && plain) return argument;
    QString result(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        result += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        result += c;
    }
    return result + QString(2 * backslashes, u'\\') + u'"';
}

// This program's environment with changes on top, as CreateProcessW takes it: NAME=value
// strings, each ended by a NUL, and one more NUL at the end.
std::wstring environmentBlock(const QStringList &changes) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &change : changes)
        environment.insert(change.section(u'=', 0, 0), change.section(u'=', 1));
    std::wstring block;
    for (const QString &entry : environment.toStringList()) {
        block += entry.toStdWString();
        block += L'\0';
    }
    block += L'\0';
    return block;
}

}  // namespace

BrowserProcess::BrowserProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}

QString BrowserProcess::temporaryRoot(qsizetype) {
    return QDir::tempPath();
}

std::variant<std::unique_ptr<BrowserProcess>, BrowserError> BrowserProcess::start(
    const QString &program, const QStringList &arguments, const QStringList &environment) {
    BrowserError error;
    error.kind = BrowserError::Kind::NotStarted;
    error.program = program;
    const auto failed = [&error](DWORD code) {
        error.systemMessage = systemError(code);
        return error;
    };

    auto native = std::make_unique<Native>();
    HANDLE browserReads = nullptr;
    HANDLE browserWrites = nullptr;
    if (!::CreatePipe(&browserReads, &native->toBrowser, nullptr, 0))
        return failed(::GetLastError());
    if (!::CreatePipe(&native->fromBrowser, &browserWrites, nullptr, 0)) {
        ::CloseHandle(browserReads);
        return failed(::GetLastError());
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nowhere =
        ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      &inherited, OPEN_EXISTING, 0, nullptr);
    // Closed however start returns: the browser has its own copies.
    struct Ends {
        HANDLE handles[3];
        ~Ends() {
            for (HANDLE handle : handles)
                if (handle && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
        }
    } ends{{browserReads, browserWrites, nowhere}};
    if (nowhere == INVALID_HANDLE_VALUE) return failed(::GetLastError());
    for (HANDLE end : {browserReads, browserWrites})
        if (!::SetHandleInformation(end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            return failed(::GetLastError());

    HANDLE inheritedHandles[] = {browserReads, browserWrites, nowhere};
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listMemory(listSize);
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &listSize))
        return failed(::GetLastError());
    struct ListEnd {
        LPPROC_THREAD_ATTRIBUTE_LIST list;
        ~ListEnd() { ::DeleteProcThreadAttributeList(list); }
    } listEnd{list};
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inheritedHandles,
                                     sizeof inheritedHandles, nullptr, nullptr))
        return failed(::GetLastError());

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nowhere;
    startup.StartupInfo.hStdOutput = nowhere;
    startup.StartupInfo.hStdError = nowhere;
    startup.lpAttributeList = list;

    const QString nativeProgram = QDir::toNativeSeparators(program);
    QString commandLine = quoted(nativeProgram);
    for (const QString &argument : arguments) commandLine += u' ' + quoted(argument);
    commandLine += QStringLiteral(" --remote-debugging-io-pipes=%1,%2")
                       .arg(quint32(quintptr(browserReads)))
                       .arg(quint32(quintptr(browserWrites)));
    std::wstring line = commandLine.toStdWString();
    std::wstring block = environmentBlock(environment);
    const std::wstring application = nativeProgram.toStdWString();

    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                          CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP |
                              CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
                          block.data(), nullptr, &startup.StartupInfo, &started)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_ACCESS_DENIED || code == ERROR_BAD_EXE_FORMAT) {
            error.kind = BrowserError::Kind::NoProgram;
            return error;
        }
        return failed(code);
    }
    native->process = started.hProcess;
    native->job = ::CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    // Without its job the browser's helpers could outlive it: it is not started then.
    if (!native->job ||
        !::SetInformationJobObject(native->job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) ||
        !::AssignProcessToJobObject(native->job, native->process)) {
        const DWORD code = ::GetLastError();
        ::TerminateProcess(native->process, 1);
        ::CloseHandle(started.hThread);
        return failed(code);
    }
    ::ResumeThread(started.hThread);
    ::CloseHandle(started.hThread);
    return std::unique_ptr<BrowserProcess>(new BrowserProcess(std::move(native)));
}

BrowserProcess::~BrowserProcess() {
    kill();
}

bool BrowserProcess::write(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qsizetype>(bytes.size(), 1 << 20));
        if (!::WriteFile(native_->toBrowser, bytes.data(), chunk, &written, nullptr) ||
            written == 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

QByteArray BrowserProcess::read() {
    QByteArray bytes(1 << 16, Qt::Uninitialized);
    for (;;) {
        DWORD got = 0;
        // A pipe whose writer has closed it, the browser ended, fails the read.
        if (!::ReadFile(native_->fromBrowser, bytes.data(), DWORD(bytes.size()), &got, nullptr))
            return {};
        if (got > 0) {
            bytes.resize(got);
            return bytes;
        }
    }
}

bool BrowserProcess::waitForEnd(int milliseconds) {
    return ::WaitForSingleObject(native_->process, DWORD(milliseconds)) == WAIT_OBJECT_0;
}

void BrowserProcess::kill() {
    const std::lock_guard lock(native_->mutex);
    if (native_->job) ::TerminateJobObject(native_->job, 1);
    ::WaitForSingleObject(native_->process, INFINITE);
}

QString BrowserProcess::howItEnded() {
    DWORD code = STILL_ACTIVE;
    if (!::GetExitCodeProcess(native_->process, &code) || code == STILL_ACTIVE) return {};
    return QStringLiteral("退出状态 %1").arg(code);
}
