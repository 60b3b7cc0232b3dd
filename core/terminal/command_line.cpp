#include "core/terminal/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <algorithm>

#include "core/terminal/terminal.h"

CommandLineAnswer usageError(const QString &program, const QString &reason) {
    return {QStringLiteral("%1：%2（用法见 %1 --help）\n").arg(program, reason),
            exit_status::kUsageError};
}

int printAnswer(const CommandLineAnswer &answer) {
    printText(answer.exitStatus == exit_status::kDone ? Stream::Output : Stream::Error,
              answer.text);
    return answer.exitStatus;
}

QString alignedHelpText(const QCommandLineParser &parser) {
    // Qt writes each option and argument as "  NAME" padded with spaces, then the description.
    // A name that takes more columns than characters gives back as many of its padding spaces
    // as it can, keeping one.
    QStringList lines = parser.helpText().split(u'\n');
    for (QString &line : lines) {
        if (!line.startsWith(QStringLiteral("  ")) || line.size() < 3 || line[2] == u' ') continue;
        const qsizetype nameEnd = line.indexOf(QStringLiteral("  "), 2);
        if (nameEnd < 0) continue;
        qsizetype descriptionStart = nameEnd;
        while (descriptionStart < line.size() && line[descriptionStart] == u' ') ++descriptionStart;
        const QStringView name = QStringView(line).sliced(2, nameEnd - 2);
        const qsizetype extra = displayColumns(name) - name.size();
        const qsizetype spare = descriptionStart - nameEnd - 1;
        if (extra > 0) line.remove(nameEnd, qMin(extra, spare));
    }
    return lines.join(u'\n');
}

QString commandLineErrorText(const QCommandLineParser &parser, const QStringList &arguments) {
    QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) return parser.errorText();
    // Qt keeps the names without their dashes. A name of one letter was typed with one dash,
    // alone or among others ("-qz"), unless it stands with two.
    QStringList typed = arguments.mid(1);
    if (const qsizetype end = typed.indexOf(QStringLiteral("--")); end >= 0) typed.resize(end);
    unknown.removeDuplicates();
    QStringList named;
    for (const QString &name : unknown) {
        const QString longForm = QStringLiteral("--") + name;
        const bool asLong = name.size() > 1 || typed.contains(longForm) ||
                            std::any_of(typed.begin(), typed.end(), [&](const QString &argument) {
                                return argument.startsWith(longForm + u'=');
                            });
        named.append(u'“' + (asLong ? longForm : u'-' + name) + u'”');
    }
    return QStringLiteral("未知选项%1。").arg(named.join(u'、'));
}

bool installChineseQtTranslations(QCoreApplication &app) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    auto *translator = new QTranslator(&app);
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
