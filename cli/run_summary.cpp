#include "cli/run_summary.h"

#include "cli/exit_status.h"

void RunSummary::add(const PageOutcome &outcome) {
    if (outcome.skipped) return;
    ++files_;
    if (outcome.failed) {
        ++failed_;
        return;
    }
    // A mirror file that already holds the page's compressed bytes is not written, though the
    // compression changes the page: only what was written counts as done.
    if (effect_ == Effect::Check ? outcome.changed : outcome.written) ++done_;
    before_ += outcome.sizeBefore;
    after_ += outcome.sizeAfter;
}

QString RunSummary::line() const {
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
    if (const qint64 left = files_ - done_ - failed_; left > 0)
        text += QStringLiteral("，%1 个%2").arg(left).arg(nothingToDo);
    if (failed_ > 0) text += QStringLiteral("，%1 个失败").arg(failed_);
    if (unreadableFolders_ > 0)
        text += QStringLiteral("；%1 个文件夹无法读取").arg(unreadableFolders_);
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

int RunSummary::exitStatus() const {
    if (failed_ > 0 || unreadableFolders_ > 0 || (effect_ == Effect::Check && done_ > 0))
        return exit_status::kFailed;
    return exit_status::kDone;
}
