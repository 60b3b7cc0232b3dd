#include "cli/run_report.h"

#include <QByteArray>
#include <QFile>

#include "cli/stop_signals.h"
#include "core/files/file_error_text.h"
#include "core/terminal/terminal.h"

namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kWidestBar = 30;
constexpr int kNarrowestBar = 10;

// What fits in room columns: the bar with the counts, the pace and the time left; else without
// the bar, then without the pace, then without the time left; else the bare numbers, else nothing.
QString barLine(qsizetype done, qsizetype total, const QString &pace, const QString &left,
                int room) {
    const QString numbers = QStringLiteral("%1/%2").arg(done).arg(total);
    const QString counts = numbers + QStringLiteral(" 个文件");
    const QString paced = pace.isEmpty() ? counts : counts + u'，' + pace + u'，' + left;
    const int barRoom = room - displayColumns(paced) - int(sizeof("[] ") - 1);
    if (barRoom >= kNarrowestBar) {
        const auto width = qMin(barRoom, kWidestBar);
        const auto filled = static_cast<int>(width * done / total);
        return u'[' + QString(filled, u'#') + QString(width - filled, u'-') + QStringLiteral("] ") +
               paced;
    }
    QStringList lines{paced};
    if (!left.isEmpty()) lines.append(counts + u'，' + left);
    lines.append({counts, numbers});
    for (const QString &line : lines)
        if (displayColumns(line) <= room) return line;
    return {};
}

// The page names that --check lists go out as the bytes of their file names, for scripts; a name
// may hold a line end, but never a NUL.
void listChanged(const QString &path, char end) {
    printBytes(Stream::Output, QFile::encodeName(path) + end);
}

// What the summary line starts with when a signal stopped the run: which, and how many pages it
// left as they were.
QString interruptionText(int signal, qsizetype untouched) {
    return QStringLiteral("已中断（%1），还有 %2 个文件没有处理。")
        .arg(signalName(signal))
        .arg(untouched);
}

}  // namespace

ProgressBar::ProgressBar(bool wanted) : enabled_(wanted && isTerminal(Stream::Error)) {}

void ProgressBar::show(qsizetype done, qsizetype total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    // The time goes from the first pages on, not from the browser's start.
    if (!pace_) {
        pace_.emplace(total, now);
        start_ = now;
    }
    if (now - start_ < kQuietTime || (shown_ && now - lastDrawn_ < kRedrawEvery)) return;
    // The last column stays free: a line that fills it makes some terminals wrap there and then,
    // and the next carriage return would leave the bar behind on the line above. The width is
    // asked each time, as the window may be resized while the run goes on.
    QString pace, left;
    if (const auto estimate = pace_->estimate(done, now)) {
        pace = QStringLiteral("每秒 %1 个").arg(paceNumberText(estimate->pagesPerSecond));
        left = timeLeftText(estimate->secondsLeft);
    }
    const QString line = barLine(done, total, pace, left, terminalColumns(Stream::Error) - 1);
    if (line.isEmpty()) {
        clear();
        return;
    }
    // Erasing after the text takes away what a longer line drawn before left.
    printBytes(Stream::Error, "\r" + line.toUtf8() + "\033[K");
    flush(Stream::Error);
    shown_ = true;
    lastDrawn_ = now;
}

void ProgressBar::clear() {
    if (!shown_) return;
    printBytes(Stream::Error, "\r\033[K");
    flush(Stream::Error);
    shown_ = false;
}

RunReport::RunReport(const CompressRequest &request)
    : effect_(effectOf(request)),
      mirror_(request.output == CompressRequest::Output::Mirror),
      quiet_(request.quiet),
      nameEnd_(request.nullEnded ? '\0' : '\n'),
      // Standard input is read as it comes, for as long as it takes: a bar would only flash
      // once it is all there.
      bar_(!request.quiet && !request.readsStandardInput()) {}

void RunReport::detail(const QString &line) {
    bar_.clear();
    printText(Stream::Error, line + u'\n');
}

void RunReport::page(const PageJob &job, const PageOutcome &outcome) {
    if (effect_ != Effect::Check || !outcome.changed || outcome.failure || outcome.left ||
        outcome.skipped)
        return;
    listChanged(job.source, nameEnd_);
    for (const QString &name : job.otherNames) listChanged(name, nameEnd_);
}

void RunReport::progress(qsizetype done, qsizetype total, const QString &current) {
    Q_UNUSED(current);
    bar_.show(done, total);
}

int RunReport::finish(const SiteTally &tally, int signal) {
    bar_.clear();
    if (!flush(Stream::Output)) {
        printText(Stream::Error, QStringLiteral("zerediz-compress：无法写到标准输出。\n"));
        return exit_status::kFailed;
    }
    if (signal != 0) {
        const QString interruption = interruptionText(signal, tally.untouched);
        printText(Stream::Error, quiet_ ? interruption + u'\n' : interruption + summary(tally));
        return 128 + signal;
    }
    if (tally.browserGaveUp) {
        const QString stop =
            QStringLiteral("浏览器又一次意外退出，压缩停止了，还有 %1 个文件没有处理。")
                .arg(tally.untouched);
        printText(Stream::Error, quiet_ ? stop + u'\n' : stop + summary(tally));
        return exit_status::kFailed;
    }
    if (!quiet_) printText(Stream::Error, summary(tally));
    if (tally.failed > 0 || tally.unreadableFolders > 0 || tally.unsyncedFolders > 0 ||
        tally.left() > 0 || (effect_ == Effect::Check && done(tally) > 0))
        return exit_status::kFailed;
    return exit_status::kDone;
}

RunReport::Effect RunReport::effectOf(const CompressRequest &request) {
    if (request.output == CompressRequest::Output::Check) return Effect::Check;
    if (request.output == CompressRequest::Output::InPlace && !request.readsStandardInput())
        return Effect::Rewrite;
    return Effect::Write;
}

// A check counts the pages that would change; the others what they wrote: a mirror file that
// already holds the page's compressed bytes is not written, though the compression changes it.
qint64 RunReport::done(const SiteTally &tally) const {
    return effect_ == Effect::Check ? tally.changed : tally.written;
}

// Files, how many were done, needed nothing, were left and failed, bytes before and after, share
// saved.
QString RunReport::summary(const SiteTally &tally) const {
    QString doneWord, nothingToDo;
    switch (effect_) {
        case Effect::Rewrite:
            doneWord = QStringLiteral("已改写");
            nothingToDo = QStringLiteral("无需改写");
            break;
        case Effect::Write:
            doneWord = QStringLiteral("已写入");
            nothingToDo = QStringLiteral("无需写入");
            break;
        case Effect::Check:
            doneWord = QStringLiteral("需要压缩");
            nothingToDo = QStringLiteral("无需压缩");
            break;
    }
    const qint64 doneCount = done(tally);
    QString text =
        QStringLiteral("%1 个文件：%2 个%3").arg(tally.files).arg(doneCount).arg(doneWord);
    if (const qint64 rest = tally.files - doneCount - tally.failed - tally.left(); rest > 0)
        text += QStringLiteral("，%1 个%2").arg(rest).arg(nothingToDo);
    if (tally.lookDifferent > 0) text += QStringLiteral("，%1 个显示会变").arg(tally.lookDifferent);
    if (tally.unchecked > 0) text += QStringLiteral("，%1 个无法检查").arg(tally.unchecked);
    // A copy of the site lacks no page: those left are in it as they are.
    if (mirror_ && tally.left() > 0) text += QStringLiteral("（已按原样写入）");
    if (tally.failed > 0) text += QStringLiteral("，%1 个失败").arg(tally.failed);
    if (tally.unreadableFolders > 0)
        text += QStringLiteral("；%1 个文件夹无法读取").arg(tally.unreadableFolders);
    if (tally.unsyncedFolders > 0)
        text += QStringLiteral("；%1 个文件夹无法同步").arg(tally.unsyncedFolders);
    text += QStringLiteral("；%1 字节 → %2 字节").arg(tally.before).arg(tally.after);
    // A lone CR becomes CR LF and a last line gains its line end, so a page can also grow.
    const bool check = effect_ == Effect::Check;
    const double share =
        tally.before > 0 ? 100.0 * double(tally.before - tally.after) / double(tally.before) : 0.0;
    if (share >= 0)
        text += QStringLiteral("，%1 %2%")
                    .arg(check ? QStringLiteral("可节省") : QStringLiteral("节省"))
                    .arg(share, 0, 'f', 1);
    else
        text += QStringLiteral("，%1 %2%")
                    .arg(check ? QStringLiteral("会增加") : QStringLiteral("增加"))
                    .arg(-share, 0, 'f', 1);
    return text + QStringLiteral("。\n");
}
