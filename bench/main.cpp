// Measures how fast the main window opens and saves big pages and how much memory it needs, beside
// what the text area and the system need at least; how long a new window process takes to show a
// page named on its command line, as a person opening it waits (cold), beside the same window
// opening it again and again (warm); and a real tree of pages, the Python documentation, opened
// page by page and compressed by zerediz-compress.
// Usage: zerediz_bench [--trim | --cold] OUTPUT.json. With --trim, only the core trim is measured,
// in a few seconds; with --cold, only the cold opens and the corpus, in about a minute.
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "batch_measurements.h"
#include "bench_window.h"
#include "cold_open.h"
#include "measurements.h"
#include "page_generator.h"
#include "peak_memory.h"
#include "report.h"
#include "timing.h"
#include "ui/main/text_area.h"
#include "ui/text/text_accessible.h"

namespace {

constexpr qsizetype kMiB = 1 << 20;
// Enough runs for a steady median; the whole bench stays within a few minutes on two cores.
constexpr int kFastRuns = 15;
constexpr int kSlowRuns = 9;

constexpr char kUsage[] =
    "usage: zerediz_bench [--trim | --cold] OUTPUT.json\n"
    "Measures the window and zerediz-compress on generated pages and on the Python documentation\n"
    "(python3-doc), prints a table and writes the figures to OUTPUT.json.\n"
    "  --trim  only the core trim of a 100 MiB page, in a few seconds\n"
    "  --cold  only the cold opens (a new window process for each) and the corpus\n";

// The page files, in a folder that is removed again at the end.
struct Pages {
    QTemporaryDir folder;
    QString small, medium, large, gb18030, oneLine, empty;

    QString path(const char *name) const { return folder.filePath(QString::fromLatin1(name)); }
};

void progress(const char *step) {
    std::fprintf(stderr, "bench: %s\n", step);
}

qint64 writePage(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw std::runtime_error("cannot write " + path.toStdString());
    return bytes.size();
}

// The trim of the large page, and of a page as large whose <pre> blocks it must keep as they are.
void measureTrim(const QByteArray &large, Measurements &measured) {
    progress("trim and memcpy");
    measured.trim = trimSeconds(large, kFastRuns);
    measured.memcpy = memcpySeconds(large, kFastRuns);
    const QByteArray preBlocks = generatePreBlockPage(100 * kMiB);
    measured.preBlockSize = preBlocks.size();
    measured.trimPreBlocks = trimSeconds(preBlocks, kFastRuns);
}

// Writes the pages; the large one is returned, for the trim to be measured on.
QByteArray writePages(Pages &pages, Measurements &measured) {
    if (!pages.folder.isValid()) throw std::runtime_error("no temporary folder");
    pages.small = pages.path("page-1mib.htm");
    pages.medium = pages.path("page-10mib.htm");
    pages.large = pages.path("page-100mib.htm");
    pages.gb18030 = pages.path("page-100mib-gb18030.htm");
    pages.oneLine = pages.path("page-one-line-20mib.htm");
    pages.empty = pages.path("empty.htm");
    progress("generating pages");
    measured.smallSize = writePage(pages.small, generatePage(kMiB));
    measured.mediumSize = writePage(pages.medium, generatePage(10 * kMiB));
    const QByteArray large = generatePage(100 * kMiB);
    measured.largeSize = writePage(pages.large, large);
    measured.gb18030Size = writePage(pages.gb18030, toGb18030(large));
    measured.oneLineSize = writePage(pages.oneLine, generateOneLinePage(20 * kMiB));
    writePage(pages.empty, {});
    // The pages just written go to the disk first: their write-back would otherwise take a core
    // and memory bandwidth from what is measured next, more in one run than in the next.
    ::sync();
    return large;
}

// Opens path in the window and returns a copy of the document it made.
QByteArray documentOf(BenchWindow &window, const QString &path) {
    window.open(path);
    return window.text().bytes().toByteArray();
}

void measureOpen(const Pages &pages, BenchWindow &window, Measurements &measured) {
    progress("open, 1 MiB");
    measured.openSmall = openSeconds(window, pages.small, pages.empty, kFastRuns);

    measured.mediumDocumentSize = documentOf(window, pages.medium).size();
    measured.documentSize = documentOf(window, pages.large).size();
    window.open(pages.gb18030);
    if (window.text().encoding() != FileEncoding::Gb18030)
        throw std::runtime_error("the GB18030 page was not taken as GB18030");

    progress("open, and read and trim alone, 10 and 100 MiB, in turn");
    const std::vector<double> medians = interleavedMedians(
        kSlowRuns, {
                       [&] { return openOnce(window, pages.medium, pages.empty); },
                       [&] { return openOnce(window, pages.large, pages.empty); },
                       [&] { return openOnce(window, pages.gb18030, pages.empty); },
                       [&] { return readTrimSeconds(pages.medium); },
                       [&] { return readTrimSeconds(pages.large); },
                   });
    measured.openMedium = medians[0];
    measured.openLarge = medians[1];
    measured.openGb18030 = medians[2];
    measured.readTrimMedium = medians[3];
    measured.readTrimLarge = medians[4];
}

void measureSave(const Pages &pages, BenchWindow &window, Measurements &measured) {
    progress("save and write");
    window.open(pages.large);
    measured.save = saveSeconds(window, pages.path("saved.htm"), kSlowRuns);
    const QByteArray document = window.text().bytes().toByteArray();
    measured.write = writeSeconds(document, pages.path("written.htm"), kSlowRuns);
}

void measureTyping(const Pages &pages, BenchWindow &window, Measurements &measured) {
    progress("typing and moving the caret, 100 MiB");
    window.open(pages.large);
    measured.caretEndLarge = caretToEndSeconds(window, kFastRuns);
    window.press(Qt::Key_End, Qt::ControlModifier);
    measured.keyEndLarge = typedKeySeconds(window, kFastRuns);
    {
        // A client listening: every change and caret move is reported with its offsets. The
        // events go nowhere, as they would not without a platform bridge either.
        AssistiveTechnology &technology = assistiveTechnology();
        const AssistiveTechnology platform = technology;
        technology.active = [] { return true; };
        technology.update = [](QAccessibleEvent *) {};
        measured.keyEndLargeAccessible = typedKeySeconds(window, kFastRuns);
        technology = platform;
    }
    window.moveCaretTo(window.text().bytes().size() / 2);
    measured.keyMiddleLarge = typedKeySeconds(window, kFastRuns);

    progress("one-line page, 20 MiB");
    measured.openOneLine = openSeconds(window, pages.oneLine, pages.empty, kSlowRuns);
    window.open(pages.oneLine);
    window.press(Qt::Key_End, Qt::NoModifier);  // the end of the line, not the empty one after it
    measured.keyEndOneLine = typedKeySeconds(window, kFastRuns);
    measured.caretHomeOneLine = caretToStartSeconds(window, kFastRuns);
}

// Each run a new process, started as a person starts the program on a page that is in the page
// cache but not in the process; interleaved, so that a slower phase of the machine weighs on
// every figure alike.
void measureColdOpen(const Pages &pages, Measurements &measured) {
    progress("cold open: a new window process for each run, with and without huge pages");
    const QString paths[] = {QString(), pages.small, pages.medium, pages.large, pages.gb18030};
    std::vector<std::function<double()>> samples;
    for (const HugePages hugePages : {HugePages::AsAsked, HugePages::Off}) {
        for (const QString &path : paths)
            samples.push_back([path, hugePages] { return coldOpenSeconds(path, hugePages); });
    }
    const std::vector<double> medians = interleavedMedians(kSlowRuns, samples);
    measured.coldOpen = {medians[0], medians[1], medians[2], medians[3], medians[4]};
    measured.coldOpenNoHugePages = {medians[5], medians[6], medians[7], medians[8], medians[9]};
}

void measureMemory(const Pages &pages, Measurements &measured) {
    progress("peak memory");
    measured.peakResident = peakMemoryOfOpening(pages.large);
    measured.baselineResident = peakMemoryOfOpening(pages.empty);
}

void report(const Measurements &measured, Scope scope, const QString &jsonPath) {
    printReport(measured, scope);
    if (!writeJson(measured, scope, jsonPath))
        throw std::runtime_error("cannot write the JSON file");
    std::printf("\nwritten: %s\n", qPrintable(QDir::toNativeSeparators(jsonPath)));
}

int runTrimBench(const QString &jsonPath) {
    Measurements measured;
    progress("generating pages");
    const QByteArray large = generatePage(100 * kMiB);
    measured.largeSize = large.size();
    measureTrim(large, measured);
    report(measured, Scope::TrimOnly, jsonPath);
    return 0;
}

int runColdBench(const QString &jsonPath) {
    Pages pages;
    Measurements measured;
    writePages(pages, measured);
    measureColdOpen(pages, measured);
    measured.corpus = measureCorpus(pages.folder.path());
    report(measured, Scope::ColdAndCorpus, jsonPath);
    return 0;
}

int runBench(const QString &jsonPath) {
    Pages pages;
    Measurements measured;
    measureTrim(writePages(pages, measured), measured);
    // Before any window of this process holds a page: the child is started from a small process.
    measureColdOpen(pages, measured);
    {
        BenchWindow window;
        measureOpen(pages, window, measured);
        measureSave(pages, window, measured);
        measureTyping(pages, window, measured);
    }
    measureMemory(pages, measured);
    // Before the batch, whose trees are removed when it ends: the disk goes on working on a
    // removal behind it.
    measured.corpus = measureCorpus(pages.folder.path());
    measured.batch = measureBatch(pages.folder.path(), pages.large);
    report(measured, Scope::Everything, jsonPath);
    return 0;
}

}  // namespace

int main(int argc, char *argv[]) {
    // No display is needed; a platform chosen by the caller is kept.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    try {
        if (arguments.size() == 3 && arguments[1] == QLatin1String(kPeakMemoryChildFlag))
            return runPeakMemoryChild(arguments[2]);
        if (arguments.size() <= 3 && arguments.value(1) == QLatin1String(kColdOpenChildFlag))
            return runColdOpenChild(app, arguments.value(2));
        if (arguments.size() == 3 && arguments[1] == QLatin1String("--trim"))
            return runTrimBench(arguments[2]);
        if (arguments.size() == 3 && arguments[1] == QLatin1String("--cold"))
            return runColdBench(arguments[2]);
        if (arguments.size() == 2 && arguments[1] == QLatin1String("--help")) {
            std::printf("%s", kUsage);
            return 0;
        }
        if (arguments.size() != 2 || arguments[1].startsWith(u'-')) {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
        return runBench(arguments[1]);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "zerediz_bench: %s\n", error.what());
        return 1;
    }
}
