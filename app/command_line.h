#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

#include "core/terminal/command_line.h"

class Form1;

// What the command line `zerediz [选项] [文件]` asks for: the main window, and a file to open in
// it or a folder to compress.
struct StartRequest {
    std::optional<QString> file;  // absolute
};

// Reads the arguments, the program's name first: the request, or what to print instead (help,
// version, a usage error). The help is in Chinese where Qt's translations are installed; a
// relative file name is taken from the current folder.
std::variant<StartRequest, CommandLineAnswer> parseStartRequest(const QStringList &arguments);

// Shows the main window, then opens the file of the request, if any, as if it had been chosen in
// the Open dialog, or compresses the folder it names.
void startMainWindow(Form1 &form1, const StartRequest &request);
