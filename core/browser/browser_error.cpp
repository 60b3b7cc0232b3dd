#include "core/browser/browser_error.h"

QString browserErrorText(const BrowserError &error) {
    using Kind = BrowserError::Kind;
    const QString kinds = QStringLiteral("Chromium、Google Chrome 或 Microsoft Edge");
    switch (error.kind) {
        case Kind::NotFound:
            return QStringLiteral("找不到浏览器（找过 %1）；请安装 %2，或者用 --browser 指定。")
                .arg(error.searched.join(QStringLiteral("、")), kinds);
        case Kind::NoProgram:
            return QStringLiteral("浏览器“%1”不存在，或者不是可以运行的程序。").arg(error.program);
        case Kind::NotStarted:
            return QStringLiteral("浏览器“%1”启动不了：%2。")
                .arg(error.program, error.systemMessage);
        case Kind::Quit:
            return QStringLiteral("浏览器“%1”启动后没有应答就退出了（%2）；它应当是 %3。")
                .arg(error.program, error.exitStatus, kinds);
        case Kind::NoAnswer:
            return QStringLiteral("浏览器“%1”在 %2 秒内没有通过 DevTools 协议应答；它应当是 %3。")
                .arg(error.program)
                .arg(error.seconds)
                .arg(kinds);
        case Kind::Interrupted:
            return QStringLiteral("浏览器“%1”启动时被中断了。").arg(error.program);
    }
    return {};
}
