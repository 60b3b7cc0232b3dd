// The browser's process on Linux and its kin. Its pipe is one end of a socket pair, on its
// descriptors 3 and 4 alike: a socket can be written to with MSG_NOSIGNAL, so that a browser gone
// makes a write fail rather than raise SIGPIPE, which would end this program. posix_spawn starts
// it in a session of its own, away from the terminal's signals, with every signal unblocked and
// at its default, as this program blocks or ignores some of them.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QThread>
#include <mutex>
#include <vector>

#include "core/browser/browser_process.h"

extern char **environ;

struct BrowserProcess::Native {
    pid_t pid = -1;
    int pipe = -1;  // this program's end of the socket pair
    std::mutex mutex;
    bool reaped = false;  // guarded by mutex
    int status = 0;       // guarded by mutex, once reaped

    // Whether it has ended, reaping it if so; waits for it where wait says.
    bool reap(bool wait) {
        const std::lock_guard lock(mutex);
        if (reaped) return true;
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, wait ? 0 : WNOHANG);
            if (done < 0 && errno == EINTR) continue;
            reaped = done == pid || done < 0;
            return reaped;
        }
    }
};

namespace {

QString systemError(int error) {
    const char *name = ::strerrorname_np(error);
    return QStringLiteral("系统错误（%1）")
        .arg(name ? QString::fromLatin1(name) : QString::number(error));
}

// This program's environment, with each NAME=value of changes in place of its NAME.
std::vector<QByteArray> environmentWith(const QStringList &changes) {
    std::vector<QByteArray> entries;
    for (char **entry = environ; *entry; ++entry) {
        const QByteArray existing(*entry);
        const QByteArray name = existing.left(existing.indexOf('=') + 1);
        bool replaced = false;
        for (const QString &change : changes) replaced |= change.toLocal8Bit().startsWith(name);
        if (!replaced) entries.push_back(existing);
    }
    for (const QString &change : changes) entries.push_back(change.toLocal8Bit());
    return entries;
}

std::vector<char *> pointersTo(std::vector<QByteArray> &strings) {
    std::vector<char *> pointers;
    for (QByteArray &string : strings) pointers.push_back(string.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn's attributes and file actions, released however start returns.
struct Spawn {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    Spawn() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~Spawn() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
};

void closeDescriptor(int &descriptor) {
    if (descriptor >= 0) ::close(descriptor);
    descriptor = -1;
}

}  // namespace

BrowserProcess::BrowserProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}

QString BrowserProcess::temporaryRoot(qsizetype temporaryLength) {
    // Chromium makes a socket in its temporary folder, at .../org.chromium.Chromium.XXXXXX/
    // SingletonSocket, and a socket's path holds at most 107 bytes: with a longer folder it
    // ends at once. /tmp is short enough, and every system of this kind has it.
    constexpr qsizetype kLongestFolder =
        107 - qsizetype(sizeof("/org.chromium.Chromium.XXXXXX/SingletonSocket") - 1);
    const QString system = QDir::tempPath();
    if (QFile::encodeName(system).size() + temporaryLength <= kLongestFolder) return system;
    return QStringLiteral("/tmp");
}

std::variant<std::unique_ptr<BrowserProcess>, BrowserError> BrowserProcess::start(
    const QString &program, const QStringList &arguments, const QStringList &environment) {
    BrowserError error;
    error.kind = BrowserError::Kind::NotStarted;
    error.program = program;
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error.systemMessage = systemError(errno);
        return error;
    }
    int nowhere = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nowhere < 0) {
        error.systemMessage = systemError(errno);
        closeDescriptor(ends[0]);
        closeDescriptor(ends[1]);
        return error;
    }
    // Standard input and output first: the pipe's end may be any descriptor, 3 and 4 included.
    Spawn spawn;
    for (const int target : {0, 1, 2})
        ::posix_spawn_file_actions_adddup2(&spawn.actions, nowhere, target);
    for (const int target : {3, 4})
        ::posix_spawn_file_actions_adddup2(&spawn.actions, ends[1], target);
    sigset_t none;
    sigset_t defaults;
    ::sigemptyset(&none);
    ::sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ})
        ::sigaddset(&defaults, signal);
    ::posix_spawnattr_setsigmask(&spawn.attributes, &none);
    ::posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    ::posix_spawnattr_setflags(&spawn.attributes,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> argumentBytes{QFile::encodeName(program)};
    for (const QString &argument : arguments) argumentBytes.push_back(argument.toLocal8Bit());
    if (::geteuid() == 0) argumentBytes.push_back("--no-sandbox");
    std::vector<QByteArray> environmentBytes = environmentWith(environment);
    std::vector<char *> argv = pointersTo(argumentBytes);
    std::vector<char *> envp = pointersTo(environmentBytes);

    auto native = std::make_unique<Native>();
    const int spawned = ::posix_spawn(&native->pid, argv[0], &spawn.actions, &spawn.attributes,
                                      argv.data(), envp.data());
    closeDescriptor(nowhere);
    closeDescriptor(ends[1]);
    if (spawned != 0) {
        closeDescriptor(ends[0]);
        if (spawned == ENOENT || spawned == EACCES || spawned == ENOEXEC) {
            error.kind = BrowserError::Kind::NoProgram;
            return error;
        }
        error.systemMessage = systemError(spawned);
        return error;
    }
    native->pipe = ends[0];
    return std::unique_ptr<BrowserProcess>(new BrowserProcess(std::move(native)));
}

BrowserProcess::~BrowserProcess() {
    kill();
    closeDescriptor(native_->pipe);
}

bool BrowserProcess::write(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t sent =
            ::send(native_->pipe, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes = bytes.sliced(sent);
    }
    return true;
}

QByteArray BrowserProcess::read() {
    QByteArray bytes(1 << 16, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::recv(native_->pipe, bytes.data(), size_t(bytes.size()), 0);
        if (got < 0 && errno == EINTR) continue;
        bytes.resize(got > 0 ? got : 0);
        return bytes;
    }
}

bool BrowserProcess::waitForEnd(int milliseconds) {
    constexpr int kStep = 10;
    for (int waited = 0;; waited += kStep) {
        if (native_->reap(false)) return true;
        if (waited >= milliseconds) return false;
        QThread::msleep(kStep);
    }
}

void BrowserProcess::kill() {
    {
        const std::lock_guard lock(native_->mutex);
        // Its session's number is its own; the group goes with it, renderers and all.
        if (!native_->reaped) ::kill(-native_->pid, SIGKILL);
    }
    native_->reap(true);
    // Whoever else may still hold the other end, reading here ends now.
    ::shutdown(native_->pipe, SHUT_RDWR);
}

QString BrowserProcess::howItEnded() {
    if (!native_->reap(false)) return {};
    const std::lock_guard lock(native_->mutex);
    if (WIFSIGNALED(native_->status)) {
        const char *name = ::sigabbrev_np(WTERMSIG(native_->status));
        return QStringLiteral("信号 SIG") +
               (name ? QString::fromLatin1(name) : QString::number(WTERMSIG(native_->status)));
    }
    return QStringLiteral("退出状态 %1").arg(WEXITSTATUS(native_->status));
}
