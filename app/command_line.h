#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class Form1;

// What the command line `zerediz [选项] [文件]` asks for.
struct CommandLine {
    enum class Action {
        Start,   // show the main window, then open file if one is given
        Answer,  // print text on standard output and exit with status 0 (--help, --version)
        Refuse,  // print text on standard error and exit with kUsageError, showing no window
    };
    static constexpr int kUsageError = 2;

    Action action = Action::Start;
    std::optional<QString> file;  // absolute
    QString text;                 // ends with a newline
};

// Reads the arguments, the program's name first. The help is in Chinese where Qt's translations
// are installed; a relative file name is taken from the current folder.
CommandLine parseCommandLine(const QStringList &arguments);

// Shows the main window, then opens the file of the command line, if any, as if it had been
// chosen in the Open dialog.
void startMainWindow(Form1 &form1, const CommandLine &commandLine);
