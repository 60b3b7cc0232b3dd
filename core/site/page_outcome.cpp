#include "core/site/page_outcome.h"

#include "core/browser/render_comparison.h"
#include "core/files/file_error_text.h"

QString pageFailureText(const PageFailure &failure) {
    const bool stream = failure.file == u'-';
    QString what;
    switch (failure.step) {
        case PageFailure::Step::Open:
            what = cannotOpenText(stream ? QStringLiteral("标准输入") : failure.file);
            break;
        case PageFailure::Step::Compress:
            what = cannotCompressText(stream ? QStringLiteral("标准输入") : failure.file);
            break;
        case PageFailure::Step::Save:
            what = cannotSaveText(stream ? QStringLiteral("标准输出") : failure.file);
            break;
    }
    return what + u'：' + fileErrorText(failure.why);
}

QString leftPageText(const QString &page, const RenderVerdict &verdict, int seconds) {
    if (verdict.kind == RenderVerdict::Kind::Differs)
        return QStringLiteral("显示会变，保持原样：%1：%2")
            .arg(page, renderDifferenceText(verdict.difference));
    return QStringLiteral("无法检查，保持原样：%1：%2")
        .arg(page, renderFailureText(verdict.failure, seconds));
}
