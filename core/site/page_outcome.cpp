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

QString unreadSheetText(const UnreadStyleSheet &sheet) {
    QString why;
    switch (sheet.why) {
        case UnreadStyleSheet::Why::NotLocal:
            why = QStringLiteral("不是本机上的文件");
            break;
        case UnreadStyleSheet::Why::NoPlace:
            why = QStringLiteral("网页来自标准输入，没有所在的文件夹");
            break;
        case UnreadStyleSheet::Why::FileFailed:
            why = fileErrorText(sheet.error);
            break;
    }
    return QStringLiteral("未能读取样式表：%1：%2（按没有这个样式表压缩）").arg(sheet.name, why);
}

QString skippedLinkText(const QString &link, const QString &target) {
    return QStringLiteral("跳过链接：%1：它指向的 %2 不在要压缩的文件夹里").arg(link, target);
}

QString leftoverFileText(const QString &path) {
    return QStringLiteral("发现临时文件：%1（Zerediz 的保存被中断时留下的，没有删除）").arg(path);
}
