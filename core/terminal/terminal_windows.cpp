// The terminal on Windows: a console, or the pipe or file that a stream is redirected to.
#include <windows.h>
#include <QList>
#include <QString>
#include <array>
#include <atomic>

#include "core/terminal/terminal.h"

namespace {

// A window program started from a console has no streams of its own: what it prints goes to that
// console, after the prompt that came back at once.
HANDLE parentConsole() {
    static const HANDLE console = [] {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
        return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    }();
    return console;
}

HANDLE handleOf(Stream stream) {
    const HANDLE handle =
        ::GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) return handle;
    return parentConsole();
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode);
}

// Whether something written to a stream went missing: as with a C stream's error flag, once is
// enough.
std::array<std::atomic<bool>, 2> lost{};

std::atomic<bool> &lostOf(Stream stream) {
    return lost[stream == Stream::Output ? 0 : 1];
}

// A console takes text as UTF-16, whatever its code page: Chinese shows in cmd.exe and PowerShell
// alike. A pipe or a file gets UTF-8, as on Linux, line ends included as they are.
void write(Stream stream, const QString &text, QByteArrayView utf8) {
    const HANDLE handle = handleOf(stream);
    bool written = true;
    if (isConsole(handle)) {
        for (qsizetype done = 0; written && done < text.size();) {
            DWORD count = 0;
            written = ::WriteConsoleW(handle, text.utf16() + done, DWORD(text.size() - done),
                                      &count, nullptr) &&
                      count > 0;
            done += count;
        }
    } else {
        for (qsizetype done = 0; written && done < utf8.size();) {
            DWORD count = 0;
            written = ::WriteFile(handle, utf8.data() + done, DWORD(utf8.size() - done), &count,
                                  nullptr) &&
                      count > 0;
            done += count;
        }
    }
    if (!written) lostOf(stream) = true;
}

// Code points that a terminal shows two columns wide: the wide and fullwidth ones of Unicode's
// East Asian Width, Chinese, Japanese and Korean among them, and the emoji shown as pictures.
constexpr std::array<std::pair<char32_t, char32_t>, 18> kWide{{
    {0x1100, 0x115f},
    {0x231a, 0x231b},
    {0x2329, 0x232a},
    {0x2e80, 0x303e},
    {0x3041, 0x33ff},
    {0x3400, 0x4dbf},
    {0x4e00, 0x9fff},
    {0xa000, 0xa4cf},
    {0xac00, 0xd7a3},
    {0xf900, 0xfaff},
    {0xfe10, 0xfe19},
    {0xfe30, 0xfe6f},
    {0xff00, 0xff60},
    {0xffe0, 0xffe6},
    {0x1f300, 0x1f64f},
    {0x1f900, 0x1f9ff},
    {0x20000, 0x2fffd},
    {0x30000, 0x3fffd},
}};

int columnsOf(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_Enclosing:
        case QChar::Other_Format:
            return c == 0xad ? 1 : 0;  // the soft hyphen shows where a line breaks at it
        default:
            break;
    }
    for (const auto &[first, last] : kWide)
        if (c >= first && c <= last) return 2;
    return 1;
}

}  // namespace

// A console is a terminal for the progress bar only where it understands the sequences that
// redraw a line, as every console of Windows 10 and later does once asked.
bool isTerminal(Stream stream) {
    const HANDLE handle = handleOf(stream);
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) &&
           ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

int terminalColumns(Stream stream) {
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    if (::GetConsoleScreenBufferInfo(handleOf(stream), &screen)) {
        const int columns = screen.srWindow.Right - screen.srWindow.Left + 1;
        if (columns > 0) return columns;
    }
    return 80;
}

int displayColumns(QStringView text) {
    int columns = 0;
    for (const char32_t c : text.toUcs4()) columns += columnsOf(c);
    return columns;
}

void printText(Stream stream, const QString &text) {
    write(stream, text, text.toUtf8());
}

void printBytes(Stream stream, QByteArrayView bytes) {
    write(stream, QString::fromUtf8(bytes), bytes);
}

bool flush(Stream stream) {
    return !lostOf(stream);
}
