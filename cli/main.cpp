// zerediz-compress: compresses many page files at once, for scripts and build pipelines, with
// the window's own loader, trim and writer. Needs no display.
#include <QCoreApplication>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/compress_run.h"
#include "cli/stop_signals.h"
#include "core/chinese_translations.h"
#include "core/page_file.h"

int main(int argc, char *argv[]) {
    catchStopSignals();
    // A page beyond the file-size limit fails on its own line; the run goes on with the next.
    ignoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zerediz-compress"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEREDIZ_VERSION));
    installChineseQtTranslations(app);

    const auto parsed = parseCommandLine(QCoreApplication::arguments());
    if (const auto *answer = std::get_if<CommandLineAnswer>(&parsed)) {
        std::fputs(answer->text.toLocal8Bit().constData(),
                   answer->exitStatus == 0 ? stdout : stderr);
        return answer->exitStatus;
    }
    return runCompression(std::get<CompressRequest>(parsed));
}
