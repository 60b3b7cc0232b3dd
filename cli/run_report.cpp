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

ProgressBar::ProgressBar(bool wanted, qsizetype total)
    : enabled_(wanted && isTerminal(Stream::Error)),
      start_(std::chrono::steady_clock::now()),
      pace_(total, start_) {}

void ProgressBar::show(qsizetype done, qsizetype total) {
    if (!enabled_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietTime || (shown_ && now - lastDrawn_ < kRedrawEvery)) return;
    // The last column stays free: a line that fills it makes some terminals wrap there and then,
    // and the next carriage return would leave the bar behind on the line above. The width is
    // asked each time, as the window may be resized while the run goes on.
    QString pace, left;
    if (const auto estimate = pace_.estimate(done, now)) {
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

RunReport::RunReport(const CompressRequest &request, const std::vector<PageJob> &jobs)
    : effect_(effectOf(request)),
      quiet_(request.quiet),
      nameEnd_(request.nullEnded ? '\0' : '\n'),
      // Standard input is read as it comes, for as long as it takes: a bar would only flash
      // once it is all there.
      bar_(!request.quiet && !request.readsStandardInput(), qsizetype(jobs.size())),
      jobs_(qsizetype(jobs.size())),
      verifySeconds_(request.verifySeconds) {
    for (const PageJob &job : jobs) untouched_ += 1 + job.otherNames.size();
}

void RunReport::page(const PageJob &job, const PageOutcome &outcome) {
    if (outcome.notBegun) return;
    untouched_ -= 1 + job.otherNames.size();
    for (qsizetype i = 0; i <= job.otherNames.size(); ++i) count(outcome);
    if (outcome.browserRestarted)
        notice(QStringLiteral(
            "浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）"));
    if (outcome.failure) {
        notice(pageFailureText(*outcome.failure));
    } else if (outcome.left) {
        notice(leftPageText(job.source == u'-' ? QStringLiteral("标准输入") : job.source,
                            *outcome.left, verifySeconds_));
    } else if (effect_ == Effect::Check && outcome.changed) {
        listChanged(job.source, nameEnd_);
        for (const QString &name : job.otherNames) listChanged(name, nameEnd_);
    }
    for (const UnreadStyleSheet &sheet : outcome.unreadSheets) {
        if (unreadSheets_.insert(sheet.name).second) notice(unreadSheetText(sheet));
    }
    if (outcome.skipped) notice(skippedLinkText(job.source, outcome.linkTarget));
    if (!outcome.lostAttributes.isEmpty()) {
        const QString &file =
            job.output == CompressRequest::Output::InPlace ? job.source : job.target;
        notice(cannotKeepAttributesText(file) + u'：' + lostAttributesText(outcome.lostAttributes));
    }
}

void RunReport::unreadableFolder(const FolderFailure &failure) {
    ++unreadableFolders_;
    notice(cannotOpenText(failure.folder) + u'：' + fileErrorText(failure.why));
}

void RunReport::unsyncedFolder(const QString &folder, const FileError &why) {
    ++unsyncedFolders_;
    notice(cannotSyncFolderText(folder) + u'：' + fileErrorText(why));
}

void RunReport::leftover(const QString &path) {
    notice(leftoverFileText(path));
}

void RunReport::notice(const QString &line) {
    bar_.clear();
    printText(Stream::Error, line + u'\n');
}

int RunReport::finish(int signal) {
    bar_.clear();
    if (!flush(Stream::Output)) {
        printText(Stream::Error, QStringLiteral("zerediz-compress：无法写到标准输出。\n"));
        return exit_status::kFailed;
    }
    if (signal != 0) {
        const QString interruption = interruptionText(signal, untouched_);
        printText(Stream::Error, quiet_ ? interruption + u'\n' : interruption + summary());
        return 128 + signal;
    }
    if (browserGaveUp_) {
        const QString stop =
            QStringLiteral("浏览器又一次意外退出，压缩停止了，还有 %1 个文件没有处理。")
                .arg(untouched_);
        printText(Stream::Error, quiet_ ? stop + u'\n' : stop + summary());
        return exit_status::kFailed;
    }
    if (!quiet_) printText(Stream::Error, summary());
    if (failed_ > 0 || unreadableFolders_ > 0 || unsyncedFolders_ > 0 || lookDifferent_ > 0 ||
        unchecked_ > 0 || (effect_ == Effect::Check && done_ > 0))
        return exit_status::kFailed;
    return exit_status::kDone;
}

RunReport::Effect RunReport::effectOf(const CompressRequest &request) {
    if (request.output == CompressRequest::Output::Check) return Effect::Check;
    if (request.output == CompressRequest::Output::InPlace && !request.readsStandardInput())
        return Effect::Rewrite;
    return Effect::Write;
}

void RunReport::count(const PageOutcome &outcome) {
    if (outcome.skipped) return;
    ++files_;
    if (outcome.failure) {
        ++failed_;
        return;
    }
    // A mirror file that already holds the page's compressed bytes is not written, though the
    // compression changes the page: only what was written counts as done.
    if (outcome.left)
        ++(outcome.left->kind == RenderVerdict::Kind::Differs ? lookDifferent_ : unchecked_);
    else if (effect_ == Effect::Check ? outcome.changed : outcome.written)
        ++done_;
    before_ += outcome.sizeBefore;
    after_ += outcome.sizeAfter;
}

// Files, how many were done, needed nothing and failed, bytes before and after, share saved.
QString RunReport::summary() const {
    QString done, nothingToDo;
    switch (effect_) {
        case Effect::Rewrite:
            done = QStringLiteral("已改写");
            nothingToDo = QStringLiteral("无需改写");
            break;
        case Effect::Write:
            done = QStringLiteral("已写入");
            nothingToDo = QStringLiteral("无需写入");
            break;
        case Effect::Check:
            done = QStringLiteral("需要压缩");
            nothingToDo = QStringLiteral("无需压缩");
            break;
    }
    QString text = QStringLiteral("%1 个文件：%2 个%3").arg(files_).arg(done_).arg(done);
    if (const qint64 left = files_ - done_ - failed_ - lookDifferent_ - unchecked_; left > 0)
        text += QStringLiteral("，%1 个%2").arg(left).arg(nothingToDo);
    if (lookDifferent_ > 0) text += QStringLiteral("，%1 个显示会变").arg(lookDifferent_);
    if (unchecked_ > 0) text += QStringLiteral("，%1 个无法检查").arg(unchecked_);
    if (failed_ > 0) text += QStringLiteral("，%1 个失败").arg(failed_);
    if (unreadableFolders_ > 0)
        text += QStringLiteral("；%1 个文件夹无法读取").arg(unreadableFolders_);
    if (unsyncedFolders_ > 0) text += QStringLiteral("；%1 个文件夹无法同步").arg(unsyncedFolders_);
    text += QStringLiteral("；%1 字节 → %2 字节").arg(before_).arg(after_);
    // A lone CR becomes CR LF and a last line gains its line end, so a page can also grow.
    const bool check = effect_ == Effect::Check;
    const double share = before_ > 0 ? 100.0 * double(before_ - after_) / double(before_) : 0.0;
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
