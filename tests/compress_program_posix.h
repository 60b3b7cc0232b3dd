#pragma once

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstddef>

// What zerediz-compress meets on Linux alone, made for it: a terminal, and a failing disk.

// A terminal of a given width, for a program's standard error: what a person at a terminal sees.
class PseudoTerminal {
public:
    explicit PseudoTerminal(int columns) : columns_(columns) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            qFatal("no pseudo-terminal");
        terminal_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        const winsize size{24, static_cast<unsigned short>(columns), 0, 0};
        if (terminal_ < 0 || ::ioctl(terminal_, TIOCSWINSZ, &size) != 0)
            qFatal("no pseudo-terminal");
    }
    ~PseudoTerminal() {
        closeTerminalSide();
        ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // In the child, before the program starts.
    void becomeStandardError() const { ::dup2(terminal_, STDERR_FILENO); }
    // Once the child has it: then reading ends when the program has ended.
    void closeTerminalSide() {
        if (terminal_ >= 0) ::close(terminal_);
        terminal_ = -1;
    }

    // Reads what the program writes until it has written mark, or has ended; whether it did.
    // Only a program that hangs is given up on, after a minute.
    bool readUntil(QByteArrayView mark) {
        while (!written_.contains(mark)) {
            pollfd ready{master_, POLLIN, 0};
            if (::poll(&ready, 1, 60000) <= 0 || !readSome()) return false;
        }
        return true;
    }
    void readToEnd() {
        while (readSome()) {
        }
    }

    const QByteArray &written() const { return written_; }

    // The lines left on the screen after bytes, as a terminal of this width shows them: text
    // wraps at the last column, a carriage return goes back to the start of the line, ESC [ K
    // erases to its end. A Chinese character takes two columns.
    QStringList screenOf(const QByteArray &bytes) const {
        QList<QList<QChar>> rows;
        int row = 0;
        int column = 0;
        const QString text = QString::fromUtf8(bytes);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            const int width = c.unicode() < 0x2e80 ? 1 : 2;
            if (c != u'\r' && c != u'\n' && c != u'\x1b' && column + width > columns_) {
                ++row;
                column = 0;
            }
            while (rows.size() <= row) rows.append(QList<QChar>(columns_, u' '));
            if (c == u'\r') {
                column = 0;
            } else if (c == u'\n') {
                ++row;
                column = 0;
            } else if (c == u'\x1b' && text.sliced(i).startsWith(QStringLiteral("\x1b[K"))) {
                std::fill(rows[row].begin() + column, rows[row].end(), u' ');
                i += 2;
            } else {
                rows[row][column] = c;
                if (width == 2) rows[row][column + 1] = QChar();  // the right half of c
                column += width;
            }
        }
        QStringList lines;
        for (const QList<QChar> &cells : rows) {
            QString line;
            for (const QChar c : cells)
                if (!c.isNull()) line += c;
            while (line.endsWith(u' ')) line.chop(1);
            lines.append(line);
        }
        while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }

private:
    bool readSome() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            // EIO: every program that had the terminal has closed it.
            if (n <= 0) return false;
            written_.append(buffer, n);
            return true;
        }
    }

    int columns_;
    int master_ = -1;
    int terminal_ = -1;
    QByteArray written_;
};
// Makes the calls of one system call fail with error, in this process and in the program it then
// starts, as a failing disk would make them fail: all of them, or only those whose argument (from
// 0) is value. For a child process just before the program starts.
inline void failSystemCall(long number, int error, int argument = -1, __u32 value = 0) {
#if defined(__x86_64__)
    constexpr __u32 kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr __u32 kArchitecture = AUDIT_ARCH_AARCH64;
#endif
    const __u32 fail = SECCOMP_RET_ERRNO | (__u32(error) & SECCOMP_RET_DATA);
    const bool always = argument < 0;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(number), 0, 3),
        // The low half of the argument, on the little-endian machines this runs on.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                 __u32(offsetof(seccomp_data, args) + 8 * (always ? 0 : argument))),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, __u8(always ? 0 : 1)),
        BPF_STMT(BPF_RET | BPF_K, fail),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(126);
}
