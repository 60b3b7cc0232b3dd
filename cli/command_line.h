#pragma once

#include <QString>
#include <QStringList>
#include <variant>

#include "core/browser/page_verifier.h"
#include "core/site/page_finder.h"
#include "core/terminal/command_line.h"
#include "core/trim/line_trim.h"

// What `zerediz-compress [选项] PATH...` asks for.
struct CompressRequest {
    // Where the compressed pages go (-o: File, --output-dir: Mirror, --check: Check); each
    // page's job says it again for its own page.
    using Output = PageOutput;

    Output output = Output::InPlace;
    QString outputPath;
    QStringList paths;       // as given; "-" stands for standard input and output
    QStringList extensions;  // lower case, without the dot
    int jobs = 1;
    TrimLevel level = TrimLevel::Standard;  // --deep: Deep
    bool quiet = false;
    bool nullEnded = false;  // --check's list ends each name with a NUL instead of a line end
    // --verify: each page that changes is written only where a browser shows it as it showed the
    // page; browser is the one named, or empty to find one; each page and the browser's start
    // get verifySeconds.
    bool verify = false;
    QString browser;
    int verifySeconds = kPageSeconds;

    bool readsStandardInput() const { return paths == QStringList{QStringLiteral("-")}; }
    PageSearch search() const { return {output, outputPath, paths, extensions}; }
};

// Reads the arguments, the program's name first: the request, or what to print instead (help,
// version, a usage error). The help is in Chinese where Qt's Chinese translations are installed;
// it tells the exit statuses (exit_status, and 128 + N for a stop signal N).
std::variant<CompressRequest, CommandLineAnswer> parseCompressRequest(const QStringList &arguments);

// A usage error of zerediz-compress.
CommandLineAnswer compressUsageError(const QString &reason);
