// The terminal on Linux and other POSIX systems.
#include <locale.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <wchar.h>
#include <QList>
#include <cstdio>

#include "core/terminal/terminal.h"

namespace {

std::FILE *fileOf(Stream stream) {
    return stream == Stream::Output ? stdout : stderr;
}

int descriptorOf(Stream stream) {
    return stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

}  // namespace

bool isTerminal(Stream stream) {
    return ::isatty(descriptorOf(stream));
}

int terminalColumns(Stream stream) {
    winsize size{};
    if (::ioctl(descriptorOf(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

int displayColumns(QStringView text) {
    // The terminal's own measure, in a locale that every glibc has built in, whatever the
    // user's locale is.
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    const locale_t previous = utf8 ? ::uselocale(utf8) : locale_t(nullptr);
    int columns = 0;
    for (const char32_t c : text.toUcs4()) {
        const int width = ::wcwidth(wchar_t(c));
        columns += width < 0 ? 1 : width;
    }
    if (utf8) ::uselocale(previous);
    return columns;
}

void printText(Stream stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), fileOf(stream));
}

void printBytes(Stream stream, QByteArrayView bytes) {
    std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), fileOf(stream));
}

bool flush(Stream stream) {
    std::FILE *file = fileOf(stream);
    return std::fflush(file) == 0 && !std::ferror(file);
}
