#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QCoreApplication;

// What the command lines of both programs share: the exit statuses, the shape of what is printed
// instead of running, and the texts Qt's parser needs help with.

// The exit statuses of both programs, for scripts and build tools; each program's help tells them.
namespace exit_status {

constexpr int kDone = 0;        // the program did what was asked, or answered --help or --version
constexpr int kFailed = 1;      // something failed (a page, or the display the window needs)
constexpr int kUsageError = 2;  // the command line asked for something impossible; nothing done

}  // namespace exit_status

// What a program prints instead of running: help or version on standard output, or a usage error
// on standard error. text ends with a newline.
struct CommandLineAnswer {
    QString text;
    int exitStatus = exit_status::kDone;
};

// A usage error of the named program, worded as both programs word them.
CommandLineAnswer usageError(const QString &program, const QString &reason);

// Prints the answer where it belongs, and answers its exit status.
int printAnswer(const CommandLineAnswer &answer);

// The parser's help, with every description starting in the same column. Qt lines them up by
// characters, so a description after a name in Chinese, whose characters take two columns each,
// starts further right than the others.
QString alignedHelpText(const QCommandLineParser &parser);

// Why the parser could not read arguments (the program's name first), as one Chinese sentence.
// Unlike Qt's own text, it names an unknown option as it was typed, with its dashes.
QString commandLineErrorText(const QCommandLineParser &parser, const QStringList &arguments);

// Installs Qt's own Simplified Chinese texts (command-line help, standard dialogs and buttons)
// whatever the system's language is, as the whole interface is Chinese. False where they are
// missing (package qt6-translations-l10n); Qt's English texts stay then.
bool installChineseQtTranslations(QCoreApplication &app);
