#pragma once

#include <QString>
#include <QStringList>
#include <variant>

// The exit statuses of zerediz-compress, for scripts and build tools; the help tells them.
namespace exit_status {

constexpr int kDone = 0;        // every page was compressed, or --check found nothing to change
constexpr int kFailed = 1;      // a file failed, or --check found a page that would change
constexpr int kUsageError = 2;  // the command line asked for something impossible; nothing done

}  // namespace exit_status

// What `zerediz-compress [选项] PATH...` asks for.
struct CompressRequest {
    // Where the compressed pages go; each page's job says it again for its own page.
    enum class Output {
        InPlace,  // each page is replaced by its compressed form
        File,     // -o: the one page goes to outputPath
        Mirror,   // --output-dir: the pages go below the folder outputPath, in the same tree
        Check,    // --check: nothing is written
    };

    Output output = Output::InPlace;
    QString outputPath;
    QStringList paths;       // as given; "-" stands for standard input and output
    QStringList extensions;  // lower case, without the dot
    int jobs = 1;
    bool quiet = false;
    bool nullEnded = false;  // --check's list ends each name with a NUL instead of a line end

    bool readsStandardInput() const { return paths == QStringList{QStringLiteral("-")}; }
};

// Printed instead of running: help or version on standard output, or a usage error on standard
// error. text ends with a newline.
struct CommandLineAnswer {
    QString text;
    int exitStatus = 0;
};

// Reads the arguments, the program's name first. The help is in Chinese where Qt's Chinese
// translations are installed.
std::variant<CompressRequest, CommandLineAnswer> parseCommandLine(const QStringList &arguments);

// A usage error, worded as the command line's own.
CommandLineAnswer usageError(const QString &reason);
