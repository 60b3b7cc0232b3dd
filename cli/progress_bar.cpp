#include "cli/progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <QByteArray>
#include <QString>
#include <cstdio>

#include "core/command_line_texts.h"

namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kWidestBar = 30;
constexpr int kNarrowestBar = 10;

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// What fits in room columns: the bar with the counts, else the counts, else the bare numbers,
// else nothing.
QString lineFor(qsizetype done, qsizetype total, int room) {
    const QString numbers = QStringLiteral("%1/%2").arg(done).arg(total);
    const QString counts = numbers + QStringLiteral(" 个文件");
    const int barRoom = room - displayColumns(counts) - int(sizeof("[] ") - 1);
    if (barRoom >= kNarrowestBar) {
        const auto width = qMin(barRoom, kWidestBar);
        const auto filled = static_cast<int>(width * done / total);
        return u'[' + QString(filled, u'#') + QString(width - filled, u'-') + QStringLiteral("] ") +
               counts;
    }
    if (displayColumns(counts) <= room) return counts;
    if (displayColumns(numbers) <= room) return numbers;
    return {};
}

}  // namespace

ProgressBar::ProgressBar(bool wanted)
    : enabled_(wanted && ::isatty(STDERR_FILENO)), start_(std::chrono::steady_clock::now()) {}

void ProgressBar::show(qsizetype done, qsizetype total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietTime || (shown_ && now - lastDrawn_ < kRedrawEvery)) return;
    // The last column stays free: a line that fills it makes some terminals wrap there and then,
    // and the next carriage return would leave the bar behind on the line above. The width is
    // asked each time, as the window may be resized while the run goes on.
    const QString line = lineFor(done, total, terminalColumns() - 1);
    if (line.isEmpty()) {
        clear();
        return;
    }
    // Erasing after the text takes away what a longer line drawn before left.
    std::fputs(("\r" + line.toUtf8() + "\033[K").constData(), stderr);
    std::fflush(stderr);
    shown_ = true;
    lastDrawn_ = now;
}

void ProgressBar::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}
