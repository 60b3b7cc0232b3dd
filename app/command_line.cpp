#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "ui/main/form1.h"

namespace {

CommandLine refuse(const QString &reason) {
    return {CommandLine::Action::Refuse, std::nullopt,
            QStringLiteral("zerediz：%1（用法见 zerediz --help）\n").arg(reason)};
}

}  // namespace

CommandLine parseCommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("去掉网页文件每行首尾的空格，压缩网页。"));
    // Qt's own help and version options describe themselves in English or in odd Chinese.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本帮助，然后退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号，然后退出。"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("文件"), QStringLiteral("启动后打开的网页文件。"),
                                 QStringLiteral("[文件]"));

    if (!parser.parse(arguments)) return refuse(parser.errorText());
    if (parser.isSet(help)) return {CommandLine::Action::Answer, std::nullopt, parser.helpText()};
    if (parser.isSet(version)) {
        return {CommandLine::Action::Answer, std::nullopt,
                QCoreApplication::applicationName() + u' ' +
                    QCoreApplication::applicationVersion() + u'\n'};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return refuse(QStringLiteral("一次只能打开一个文件，却给了 %1 个。").arg(files.size()));
    if (files.isEmpty()) return {};
    if (files.first().isEmpty()) return refuse(QStringLiteral("文件名是空的。"));
    return {CommandLine::Action::Start, QFileInfo(files.first()).absoluteFilePath(), {}};
}

void startMainWindow(Form1 &form1, const CommandLine &commandLine) {
    form1.show();
    if (commandLine.file) form1.openFile(*commandLine.file);
}
