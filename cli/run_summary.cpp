#include "cli/run_summary.h"

#include "cli/exit_status.h"

void RunSummary::add(const PageOutcome &outcome) {
    ++files_;
    if (outcome.failed) {
        ++failed_;
        return;
    }
    if (outcome.changed) ++changed_;
    before_ += outcome.sizeBefore;
    after_ += outcome.sizeAfter;
}

QString RunSummary::line() const {
    QString text = QStringLiteral("%1 个文件，%2 个%3")
                       .arg(files_)
                       .arg(changed_)
                       .arg(checkOnly_ ? QStringLiteral("会变") : QStringLiteral("有变化"));
    if (failed_ > 0) text += QStringLiteral("，%1 个失败").arg(failed_);
    text += QStringLiteral("；%1 字节 → %2 字节").arg(before_).arg(after_);
    // A lone CR becomes CR LF and a last line gains its line end, so a page can also grow.
    const double share = before_ > 0 ? 100.0 * double(before_ - after_) / double(before_) : 0.0;
    if (share >= 0)
        text += QStringLiteral("，%1 %2%")
                    .arg(checkOnly_ ? QStringLiteral("可节省") : QStringLiteral("节省"))
                    .arg(share, 0, 'f', 1);
    else
        text += QStringLiteral("，%1 %2%")
                    .arg(checkOnly_ ? QStringLiteral("会增加") : QStringLiteral("增加"))
                    .arg(-share, 0, 'f', 1);
    return text + QStringLiteral("。\n");
}

int RunSummary::exitStatus() const {
    if (failed_ > 0 || (checkOnly_ && changed_ > 0)) return exit_status::kFailed;
    return exit_status::kDone;
}
