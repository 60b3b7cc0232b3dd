#include "cli/command_line.h"

#include <QCommandLineParser>
#include <QThread>
#include <optional>

#include "zerediz_version.h"

namespace {

// The help is the only description of the program there is: the manual page is made from it,
// its paragraphs before the options becoming the description, the exit statuses and examples
// after them sections of their own. Paragraphs are single lines: Chinese needs no spaces to break
// at, so a terminal or the manual page wraps them anywhere.
QString description() {
    return QStringLiteral(
        "去掉网页文件每一行两端的空格（只去 U+0020），一次压缩许多网页。CR LF、单独的 CR "
        "和单独的 LF 都算行尾。浏览器照原样显示、脚本照原样读到的空格都保留：pre、textarea、"
        "listing、xmp、plaintext 里的，style 属性或样式表（网页里的 <style>、它链接的本机上的"
        "样式表和其中 @import 的）设了 white-space: pre 等的元素里的，SVG 里 "
        "xml:space=\"preserve\" 的元素里的，跨行的属性值里的，脚本里跨行的模板字符串和续行的字符串"
        "里的，text/template 等 HTML 模板脚本里的这些，以及网页的脚本照原样读的："
        "其他类型的脚本（Markdown、Python、YAML 等）和自定义元素（名字里有“-”的元素）的全部"
        "内容；浏览器显示的内容不变。网页在保留的内容里结束、没有行尾时，不添加行尾。网页链接的"
        "样式表读不到（在网上、不存在、无法读取）时，当它不存在来压缩，并在标准错误上提一次它的"
        "名字。每个网页的结果与在 Zerediz 窗口里打开再保存完全相同，编码不变。\n"
        "\n"
        "PATH 是文件或文件夹。文件夹逐层查找，只取名字以 .htm、.html、.xhtml 或 .shtml 结尾的"
        "文件（不分大小写，--ext 可以改）；名字以“.”开头的文件夹和指向文件夹的链接不进入。文件夹里"
        "指向文件的链接，只有目标在这个文件夹里面才处理，否则跳过并报告。命令行上直接给出的文件（"
        "链接也一样）不论扩展名、不论指向哪里都处理。同一个文件经过链接或几个 PATH 找到几次，也只"
        "处理一次，用它自己的名字，不用链接的名字；硬链接是各自的名字，每个都算一个文件。\n"
        "\n"
        "不加 -o、--output-dir 或 --check 时，每个网页就地压缩：新内容先写进同一文件夹里的临时"
        "文件（如 .a.html.zerediz-k3Xw9Q.tmp），写到磁盘上以后才替换原文件，出错时原文件不变；"
        "新文件保留原文件的所有者、权限、扩展属性和访问控制列表。有多个名字（硬链接）的文件就地"
        "改写。内容不会变的网页不写，修改时间也不变；--output-dir 下已经是压缩结果的文件也不写。\n"
        "\n"
        "每个失败的文件在标准错误上占一行，其余文件照常处理。最后一行统计文件数，并按结果分开"
        "计数：就地压缩时是已改写和无需改写的，写到别的文件或标准输出时是已写入和无需写入的，用 "
        "--check 时是需要压缩和无需压缩的，另有失败的；然后是压缩前后的字节数和节省的比例。\n"
        "\n"
        "加 --verify 时，每个压缩后会变的网页在写入之前，先在本机的浏览器（Chromium、Google Chrom"
        "e 或 Microsoft Edge，自动查找，或者用 --browser 指定）里显示：原来的样子和压缩后的样子，"
        "在两个标签页里并排显示，位置就是网页文件本身，所以它引用的本地样式表、脚本和图片照常从磁"
        "盘读取。比较的是：显示出来的文字（运行脚本和不运行脚本各一次）、title、alt、placeholder "
        "和 value 属性的值，以及运行脚本时 1024×768 窗口里浏览器排版和绘制所依据的一切（每个方框"
        "和每段文字的位置和大小、所有属性、样式表、表单的状态等）；画布、视频这类排版看不出来的地"
        "方另外截图，排版不同时再比较整页画面。没有脚本的网页只显示一次，压缩后的文字直接放进显示"
        "出来的网页里再排版。一样的网页照常写入；不一样的，或者无法检查的（超时、标签页崩溃、每次"
        "显示都不一样），保持原样（用 --output-dir "
        "时原样写入输出文件夹），并在标准错误上说明是哪里不"
        "同或者为什么。不会变的网页不用显示。"
        "浏览器无界面运行，用一个临时的配置文件夹，结束后删除；它不联网，也不开端口，只通过管道和"
        "本程序通信。浏览器中途意外退出时会重新启动一次；第二次退出就停止，已经写入的网页保留，其"
        "余的不动。--verify 看不到点击、输入等操作之后网页的样子，也看不到服务器的回答（网络上的"
        "样式表、脚本和图片，以及服务器生成的内容）。\n"
        "\n"
        "加 --deep 时压缩得更深：凡是去掉空格的地方，也去掉行首行尾的制表符（U+0009），"
        "去完以后变空的行连同它的行尾一起去掉；上面说的保留的内容照样一个字节不动，pre-line "
        "的元素里的空行也保留。用制表符缩进的网页用它才压缩得动。不加 --deep 时的结果与窗口里"
        "打开再保存的相同；加了以后与窗口里选“深度压缩”压缩整个文件夹的相同。");
}

QString epilogue() {
    return QStringLiteral(
        "\n"
        "退出状态：\n"
        "  0  全部完成；用 --check 时没有需要压缩的文件\n"
        "  1  有文件失败或文件夹无法读取，或者 --check 发现需要压缩的文件，或者 --verify "
        "留下了显示会变或无法检查的网页\n"
        "  2  用法错误，或者 --verify 找不到、启动不了浏览器，什么也没做\n"
        "  128+N  被信号 N 中断（Ctrl+C 是 130）：正在处理的文件处理完，其余不动，不留临时文件\n"
        "\n"
        "示例：\n"
        "  zerediz-compress site/                      就地压缩 site 里的所有网页\n"
        "  zerediz-compress --output-dir dist/ site/   压缩到 dist/，site 不变\n"
        "  zerediz-compress --check site/              列出 site 里还需要压缩的网页\n"
        "  zerediz-compress --deep site/               连制表符和空行一起压缩\n"
        "  zerediz-compress - < a.html > a.min.html    从标准输入压缩到标准输出\n"
        "  zerediz-compress --verify site/             只改写在浏览器里看起来一样的网页\n");
}

struct Options {
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("结果写到 FILE（“-”是标准输出）；只能有一个 PATH。"),
                              QStringLiteral("FILE")};
    QCommandLineOption outputDir{QStringLiteral("output-dir"),
                                 QStringLiteral("结果按原来的目录结构写到 DIR 下，原文件不变。"),
                                 QStringLiteral("DIR")};
    QCommandLineOption check{QStringLiteral("check"),
                             QStringLiteral("什么也不写，只列出需要压缩的文件；有就以 1 退出。")};
    QCommandLineOption null{{QStringLiteral("0"), QStringLiteral("null")},
                            QStringLiteral("和 --check 一起用：每个文件名后面跟一个 NUL 字节，"
                                           "而不是换行，如同 find -print0。")};
    QCommandLineOption extensions{
        QStringLiteral("ext"), QStringLiteral("在文件夹里找这些扩展名（逗号分隔），代替上面四个。"),
        QStringLiteral("LIST")};
    QCommandLineOption jobs{{QStringLiteral("j"), QStringLiteral("jobs")},
                            QStringLiteral("同时压缩 N 个文件（默认：CPU 核数）。"),
                            QStringLiteral("N")};
    QCommandLineOption deep{
        QStringLiteral("deep"),
        QStringLiteral("深度压缩：也去掉行首行尾的制表符，以及去完以后变空的行。")};
    QCommandLineOption verify{
        QStringLiteral("verify"),
        QStringLiteral("在浏览器里比较每个会变的网页压缩前后的样子，只写入看起来一样的网页。")};
    QCommandLineOption browser{
        QStringLiteral("browser"),
        QStringLiteral("--verify 用这个浏览器（Chromium、Google Chrome 或 Microsoft Edge）。"),
        QStringLiteral("PATH")};
    QCommandLineOption verifyTimeout{
        QStringLiteral("verify-timeout"),
        QStringLiteral(
            "--verify 等浏览器启动、等一个网页显示完最多的秒数（默认 %1）；超时的网页保持"
            "原样。")
            .arg(kPageSeconds),
        QStringLiteral("SECONDS")};
    QCommandLineOption quiet{{QStringLiteral("q"), QStringLiteral("quiet")},
                             QStringLiteral("不显示进度条和统计行，只报告错误。")};
    // Qt's own help and version options describe themselves in English or in odd Chinese.
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("显示本帮助，然后退出。")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("显示版本号，然后退出。")};
};

std::optional<QStringList> extensionList(const QString &list) {
    QStringList extensions;
    for (QString extension : list.split(u',')) {
        extension = extension.trimmed();
        while (extension.startsWith(u'.')) extension.remove(0, 1);
        if (!extension.isEmpty()) extensions.append(extension.toLower());
    }
    if (extensions.isEmpty()) return std::nullopt;
    return extensions;
}

// What the options say together, or why they cannot go together.
std::variant<CompressRequest, CommandLineAnswer> requestOf(const QCommandLineParser &parser,
                                                           const Options &options) {
    CompressRequest request;
    request.paths = parser.positionalArguments();
    request.quiet = parser.isSet(options.quiet);
    if (request.paths.isEmpty())
        return compressUsageError(QStringLiteral("没有给出要压缩的文件或文件夹。"));
    if (request.paths.contains(QString()))
        return compressUsageError(QStringLiteral("PATH 不能是空的。"));

    const int outputs = int(parser.isSet(options.output)) + int(parser.isSet(options.outputDir)) +
                        int(parser.isSet(options.check));
    if (outputs > 1)
        return compressUsageError(QStringLiteral("-o、--output-dir 和 --check 只能用其中一个。"));
    if (parser.isSet(options.output)) {
        request.output = CompressRequest::Output::File;
        request.outputPath = parser.value(options.output);
        if (request.paths.size() != 1)
            return compressUsageError(QStringLiteral("-o 只能用于一个文件，却给了 %1 个 PATH。")
                                          .arg(request.paths.size()));
    } else if (parser.isSet(options.outputDir)) {
        request.output = CompressRequest::Output::Mirror;
        request.outputPath = parser.value(options.outputDir);
    } else if (parser.isSet(options.check)) {
        request.output = CompressRequest::Output::Check;
    }
    request.nullEnded = parser.isSet(options.null);
    if (request.nullEnded && request.output != CompressRequest::Output::Check)
        return compressUsageError(QStringLiteral("-0 只能和 --check 一起用。"));
    if (request.outputPath.isEmpty() && request.output != CompressRequest::Output::InPlace &&
        request.output != CompressRequest::Output::Check)
        return compressUsageError(QStringLiteral("输出的文件名或文件夹名是空的。"));

    if (request.paths.contains(QStringLiteral("-"))) {
        if (request.paths.size() > 1)
            return compressUsageError(QStringLiteral("“-”（标准输入）不能和别的 PATH 一起用。"));
        if (request.output == CompressRequest::Output::Mirror)
            return compressUsageError(
                QStringLiteral("“-”（标准输入）不能和 --output-dir 一起用。"));
    }

    request.extensions = kPageExtensions;
    if (parser.isSet(options.extensions)) {
        const auto extensions = extensionList(parser.value(options.extensions));
        if (!extensions) return compressUsageError(QStringLiteral("--ext 的扩展名列表是空的。"));
        request.extensions = *extensions;
    }

    request.jobs = QThread::idealThreadCount();
    if (parser.isSet(options.jobs)) {
        bool isNumber = false;
        request.jobs = parser.value(options.jobs).toInt(&isNumber);
        if (!isNumber || request.jobs < 1)
            return compressUsageError(
                QStringLiteral("-j 要一个正整数，却给了“%1”。").arg(parser.value(options.jobs)));
    }

    if (parser.isSet(options.deep)) request.level = TrimLevel::Deep;
    request.verify = parser.isSet(options.verify);
    if (!request.verify && (parser.isSet(options.browser) || parser.isSet(options.verifyTimeout)))
        return compressUsageError(
            QStringLiteral("--browser 和 --verify-timeout 只能和 --verify 一起用。"));
    request.browser = parser.value(options.browser);
    if (parser.isSet(options.browser) && request.browser.isEmpty())
        return compressUsageError(QStringLiteral("--browser 的程序名是空的。"));
    if (parser.isSet(options.verifyTimeout)) {
        bool isNumber = false;
        request.verifySeconds = parser.value(options.verifyTimeout).toInt(&isNumber);
        if (!isNumber || request.verifySeconds < 1)
            return compressUsageError(
                QStringLiteral("--verify-timeout 要一个正整数（秒），却给了“%1”。")
                    .arg(parser.value(options.verifyTimeout)));
    }
    return request;
}

}  // namespace

CommandLineAnswer compressUsageError(const QString &reason) {
    return usageError(QStringLiteral("zerediz-compress"), reason);
}

std::variant<CompressRequest, CommandLineAnswer> parseCompressRequest(
    const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const Options options;
    parser.addOptions({options.output, options.outputDir, options.check, options.null,
                       options.extensions, options.jobs, options.deep, options.verify,
                       options.browser, options.verifyTimeout, options.quiet, options.help,
                       options.version});
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("要压缩的网页文件或文件夹；“-”是标准输入。"),
                                 QStringLiteral("PATH..."));

    if (!parser.parse(arguments))
        return compressUsageError(commandLineErrorText(parser, arguments));
    if (parser.isSet(options.help))
        return CommandLineAnswer{alignedHelpText(parser) + epilogue(), exit_status::kDone};
    if (parser.isSet(options.version))
        return CommandLineAnswer{QStringLiteral("zerediz-compress " ZEREDIZ_VERSION "\n"),
                                 exit_status::kDone};
    return requestOf(parser, options);
}
