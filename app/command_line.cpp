#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QWindow>
#include <functional>

#include "ui/main/form1.h"

namespace {

// The manual page is made from the help: the paragraph before the options becomes its
// description, the exit statuses and examples after them sections of their own.
QString epilogue() {
    return QStringLiteral(
        "\n"
        "退出状态：\n"
        "  0  窗口关闭了，或者显示了帮助或版本号\n"
        "  1  找不到图形显示\n"
        "  2  用法错误，没有打开窗口\n"
        "\n"
        "示例：\n"
        "  zerediz               打开主窗口\n"
        "  zerediz index.html    打开主窗口，再打开 index.html\n"
        "  zerediz site          压缩文件夹 site 里的所有网页，先问放到哪里\n"
        "  zerediz -- -a.html    打开名字以“-”开头的文件\n");
}

CommandLineAnswer refuse(const QString &reason) {
    return usageError(QStringLiteral("zerediz"), reason);
}

}  // namespace

std::variant<StartRequest, CommandLineAnswer> parseStartRequest(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "去掉网页文件每一行两端的空格（只去 U+0020），压缩网页。打开的网页显示在窗口里，可以"
        "修改，再用“压缩并保存为”保存到想要的地方。给出文件时，窗口出现后就打开它，和在"
        "“打开网页文件”的对话框里选中它一样。\n"
        "\n"
        "给出文件夹时（或者把文件夹、一次把几个网页拖到窗口上），压缩其中所有的网页，和 "
        "zerediz-compress 一样：先问压缩到新文件夹（旁边的“名字-压缩”，其他文件照原样复制）还是"
        "原地压缩，再显示进度，最后汇总。找得到浏览器时，可以先在浏览器中核对每个网页，显示会变的"
        "保持原样。勾选“深度压缩”时，也去掉行首行尾的制表符和去完以后变空的行，和 "
        "zerediz-compress --deep 一样；它每次都不勾选，打开的单个网页总是只去空格。窗口里的文本"
        "不受影响。\n"
        "\n"
        "打开的单个网页不在浏览器里检查。在命令行里一次压缩许多网页，用 zerediz-compress（见 "
        "zerediz-compress(1)）。"));
    // Qt's own help and version options describe themselves in English or in odd Chinese.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本帮助，然后退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号，然后退出。"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("文件"),
                                 QStringLiteral("启动后打开的网页文件，或者要压缩的文件夹。"),
                                 QStringLiteral("[文件]"));

    if (!parser.parse(arguments)) return refuse(commandLineErrorText(parser, arguments));
    if (parser.isSet(help))
        return CommandLineAnswer{alignedHelpText(parser) + epilogue(), exit_status::kDone};
    if (parser.isSet(version)) {
        return CommandLineAnswer{QCoreApplication::applicationName() + u' ' +
                                     QCoreApplication::applicationVersion() + u'\n',
                                 exit_status::kDone};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return refuse(QStringLiteral("一次只能打开一个文件，却给了 %1 个。").arg(files.size()));
    if (files.isEmpty()) return StartRequest{};
    if (files.first().isEmpty()) return refuse(QStringLiteral("文件名是空的。"));
    return StartRequest{QFileInfo(files.first()).absoluteFilePath()};
}

namespace {

// Runs a job once, from the event loop, as soon as a window is on the screen. Until then the
// window manager may not have placed it, and a message box would be centred on a window that
// Qt still believes to be in the corner of the screen.
class WhenExposed : public QObject {
public:
    WhenExposed(QWindow &window, std::function<void()> job)
        : QObject(&window), job_(std::move(job)) {
        window.installEventFilter(this);
        if (window.isExposed()) start();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed())
            start();
        return false;
    }

private:
    void start() {
        parent()->removeEventFilter(this);
        QMetaObject::invokeMethod(
            this,
            [this] {
                job_();
                delete this;
            },
            Qt::QueuedConnection);
    }

    std::function<void()> job_;
};

}  // namespace

void startMainWindow(Form1 &form1, const StartRequest &request) {
    form1.show();
    if (!request.file) return;
    new WhenExposed(*form1.windowHandle(), [&form1, path = *request.file] {
        if (QFileInfo(path).isDir())
            form1.compressFolder(path);
        else
            form1.openFile(path);
    });
}
