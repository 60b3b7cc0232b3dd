#include "report.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Figure {
    const char *key;
    double value;
    const char *target;
    bool met;
};

double gigabytesPerSecond(qint64 bytes, double seconds) {
    return static_cast<double>(bytes) / seconds / 1e9;
}

double megabytesPerSecond(qint64 bytes, double seconds) {
    return static_cast<double>(bytes) / seconds / 1e6;
}

double megabytes(qint64 bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

std::vector<Figure> trimFiguresOf(const Measurements &m) {
    const double trimGbps = gigabytesPerSecond(m.largeSize, m.trim);
    const double trimPreGbps = gigabytesPerSecond(m.preBlockSize, m.trimPreBlocks);
    return {
        {"trim_gbps", trimGbps, ">= 4", trimGbps >= 4},
        {"trim_pre_gbps", trimPreGbps, ">= 2.5", trimPreGbps >= 2.5},
        {"trim_vs_memcpy", m.memcpy / m.trim, ">= 0.35", m.memcpy / m.trim >= 0.35},
    };
}

std::vector<Figure> windowFiguresOf(const Measurements &m) {
    const double ratios[] = {
        m.openLarge / m.readTrimLarge, m.openLarge / m.openMedium, m.openGb18030 / m.openLarge,
        m.save / m.write, static_cast<double>(m.peakResident) / static_cast<double>(m.largeSize)};
    const double milliseconds[] = {m.keyEndLarge * 1000,      m.keyMiddleLarge * 1000,
                                   m.caretEndLarge * 1000,    m.keyEndOneLine * 1000,
                                   m.caretHomeOneLine * 1000, m.keyEndLargeAccessible * 1000};
    std::vector<Figure> figures{
        {"open_100mb_s", m.openLarge, "<= 0.08", m.openLarge <= 0.08},
        {"open_vs_read_trim", ratios[0], "<= 1.5", ratios[0] <= 1.5},
        {"open_linear_ratio", ratios[1], "<= 12", ratios[1] <= 12},
        {"open_gb18030_vs_utf8", ratios[2], "<= 1.5", ratios[2] <= 1.5},
        {"save_vs_write", ratios[3], "<= 1.5", ratios[3] <= 1.5},
        {"rss_over_size", ratios[4], "<= 1.35", ratios[4] <= 1.35},
        {"key_end_100mb_ms", milliseconds[0], "<= 16", milliseconds[0] <= 16},
        {"key_middle_100mb_ms", milliseconds[1], "<= 16", milliseconds[1] <= 16},
        {"caret_end_100mb_ms", milliseconds[2], "<= 16", milliseconds[2] <= 16},
        {"key_end_100mb_a11y_ms", milliseconds[5], "<= 16", milliseconds[5] <= 16},
        {"open_1line_20mb_s", m.openOneLine, "<= 0.5", m.openOneLine <= 0.5},
        {"key_end_1line_20mb_ms", milliseconds[3], "<= 16", milliseconds[3] <= 16},
        {"caret_home_1line_20mb_ms", milliseconds[4], "<= 16", milliseconds[4] <= 16},
    };
    const BatchMeasurements &b = m.batch;
    const double stdinGbps = gigabytesPerSecond(b.standardInputSize, b.standardInput);
    figures.insert(figures.end(),
                   {{"batch_vs_copy", b.batch / b.copy, "<= 1.5", b.batch / b.copy <= 1.5},
                    {"batch_vs_perl", b.perl / b.batch, ">= 10", b.perl / b.batch >= 10},
                    {"stdin_gbps", stdinGbps, ">= 2", stdinGbps >= 2}});
    // What the syncs cost: more of them waited for at once, and none at all (eatmydata).
    figures.insert(figures.end(), {{"batch_vs_copy_j16", b.batchManyJobs / b.copy, "-", true},
                                   {"batch_vs_perl_j16", b.perl / b.batchManyJobs, "-", true}});
    if (b.batchNoSync > 0)
        figures.insert(figures.end(),
                       {{"batch_vs_copy_no_sync", b.batchNoSync / b.copy, "-", true},
                        {"batch_vs_perl_no_sync", b.perl / b.batchNoSync, "-", true}});
    return figures;
}

std::vector<Figure> coldFiguresOf(const Measurements &m) {
    const ColdOpens &c = m.coldOpen;
    const ColdOpens &n = m.coldOpenNoHugePages;
    return {
        {"start_cold_s", c.none, "-", true},
        {"open_cold_1mb_s", c.small, "-", true},
        {"open_cold_10mb_s", c.medium, "-", true},
        {"open_cold_100mb_s", c.large, "<= 0.3", c.large <= 0.3},
        {"open_cold_gb18030_s", c.gb18030, "-", true},
        {"start_cold_no_thp_s", n.none, "-", true},
        {"open_cold_1mb_no_thp_s", n.small, "-", true},
        {"open_cold_10mb_no_thp_s", n.medium, "-", true},
        {"open_cold_100mb_no_thp_s", n.large, "-", true},
        {"open_cold_gb18030_no_thp_s", n.gb18030, "-", true},
    };
}

std::vector<Figure> corpusFiguresOf(const CorpusMeasurements &c) {
    std::vector<Figure> figures{
        {"corpus_pages", static_cast<double>(c.pages), "-", true},
        {"corpus_pages_mb", static_cast<double>(c.pagesSize) / 1e6, "-", true},
        {"corpus_tree_mb", static_cast<double>(c.treeSize) / 1e6, "-", true},
        {"corpus_open_s", c.open, "-", true},
        {"corpus_open_pages_per_s", c.pages / c.open, "-", true},
        {"corpus_open_mbps", megabytesPerSecond(c.pagesSize, c.open), "-", true},
        {"corpus_compress_s", c.compress, "-", true},
        {"corpus_compress_pages_per_s", c.pages / c.compress, "-", true},
        {"corpus_compress_mbps", megabytesPerSecond(c.pagesSize, c.compress), "-", true},
    };
    if (c.compressNoSync > 0)
        figures.insert(figures.end(),
                       {{"corpus_compress_no_sync_s", c.compressNoSync, "-", true},
                        {"corpus_compress_no_sync_mbps",
                         megabytesPerSecond(c.pagesSize, c.compressNoSync), "-", true}});
    return figures;
}

std::vector<Figure> figuresOf(const Measurements &m, Scope scope) {
    std::vector<Figure> figures;
    const auto append = [&](const std::vector<Figure> &more) {
        figures.insert(figures.end(), more.begin(), more.end());
    };
    if (scope != Scope::ColdAndCorpus) append(trimFiguresOf(m));
    if (scope == Scope::TrimOnly) return figures;
    if (scope == Scope::Everything) append(windowFiguresOf(m));
    append(coldFiguresOf(m));
    append(corpusFiguresOf(m.corpus));
    return figures;
}

void printFigures(const Measurements &measured, Scope scope) {
    std::printf("%-28s %10s  %-8s %s\n", "figure", "value", "target", "");
    for (const Figure &figure : figuresOf(measured, scope))
        std::printf("%-28s %10.3f  %-8s %s\n", figure.key, figure.value, figure.target,
                    figure.met ? "met" : "MISSED");
}

void printLine(const char *what, qint64 bytes, double seconds) {
    std::printf("  %-34s %8.1f MiB %9.4f s %8.3f GB/s\n", what, megabytes(bytes), seconds,
                gigabytesPerSecond(bytes, seconds));
}

void printTrimTimes(const Measurements &m) {
    printLine("trim (core line trim)", m.largeSize, m.trim);
    printLine("trim, <pre> every 100 lines", m.preBlockSize, m.trimPreBlocks);
    printLine("memcpy (ceiling)", m.largeSize, m.memcpy);
}

void printWindowTimes(const Measurements &m) {
    printLine("open, UTF-8", m.smallSize, m.openSmall);
    printLine("open, UTF-8", m.mediumSize, m.openMedium);
    printLine("open, UTF-8", m.largeSize, m.openLarge);
    printLine("read and trim (loader alone)", m.mediumSize, m.readTrimMedium);
    printLine("read and trim (loader alone)", m.largeSize, m.readTrimLarge);
    printLine("open, GB18030", m.gb18030Size, m.openGb18030);
    printLine("save (Save command)", m.documentSize, m.save);
    printLine("one plain write()", m.documentSize, m.write);
    printLine("open, one line", m.oneLineSize, m.openOneLine);
    const auto step = [](const char *what, double seconds) {
        std::printf("  %-34s %12s %9.2f ms\n", what, "", seconds * 1000);
    };
    step("Ctrl+End, 100 MiB page", m.caretEndLarge);
    step("typed key at its end", m.keyEndLarge);
    step("typed key in its middle", m.keyMiddleLarge);
    step("typed key at its end, a11y client", m.keyEndLargeAccessible);
    step("typed key at the end of one line", m.keyEndOneLine);
    step("Ctrl+Home from there", m.caretHomeOneLine);
    std::printf("  %-34s %8.2f (open: %.2f)\n", "read and trim, 100 MiB over 10 MiB",
                m.readTrimLarge / m.readTrimMedium, m.openLarge / m.openMedium);
    std::printf("  %-34s %8.1f MiB, after opening an empty file %.1f MiB\n",
                "peak resident, opening 100 MiB", megabytes(m.peakResident),
                megabytes(m.baselineResident));
    const BatchMeasurements &b = m.batch;
    printLine("tree: zerediz-compress --output-dir", b.treeSize, b.batch);
    printLine("tree: the same, -j 16", b.treeSize, b.batchManyJobs);
    if (b.batchNoSync > 0)
        printLine("tree: the same, no syncs (eatmydata)", b.treeSize, b.batchNoSync);
    printLine("tree: cp -r", b.treeSize, b.copy);
    printLine("tree: perl -pi, line by line", b.treeSize, b.perl);
    printLine("zerediz-compress -, into /dev/null", b.standardInputSize, b.standardInput);
}

void printColdTimes(const Measurements &m) {
    std::printf(
        "\nCold open: a new window process for each run, the page in the page cache,\n"
        "until the window has drawn its text (huge pages as the program asks; none):\n");
    const auto line = [](const char *what, qint64 bytes, double asked, double off) {
        const QByteArray size = bytes ? QByteArray::number(megabytes(bytes), 'f', 1) + " MiB" : "";
        std::printf("  %-22s %12s %9.4f s %9.4f s\n", what, size.constData(), asked, off);
    };
    const ColdOpens &c = m.coldOpen;
    const ColdOpens &n = m.coldOpenNoHugePages;
    line("window, no page", 0, c.none, n.none);
    line("open, UTF-8", m.smallSize, c.small, n.small);
    line("open, UTF-8", m.mediumSize, c.medium, n.medium);
    line("open, UTF-8", m.largeSize, c.large, n.large);
    line("open, GB18030", m.gb18030Size, c.gb18030, n.gb18030);
}

void printCorpusTimes(const CorpusMeasurements &c) {
    std::printf("\nCorpus: %s, %d pages of %.1f MB (the tree %.1f MB; MB counts 10^6 bytes):\n",
                kCorpusFolder, c.pages, static_cast<double>(c.pagesSize) / 1e6,
                static_cast<double>(c.treeSize) / 1e6);
    const auto line = [&c](const char *what, double seconds) {
        std::printf("  %-34s %9.4f s %8.0f pages/s %7.1f MB/s\n", what, seconds, c.pages / seconds,
                    megabytesPerSecond(c.pagesSize, seconds));
    };
    line("every page opened, one by one", c.open);
    line("zerediz-compress in place", c.compress);
    if (c.compressNoSync > 0) line("the same, no syncs (eatmydata)", c.compressNoSync);
}

void printTimes(const Measurements &m, Scope scope) {
    if (scope != Scope::ColdAndCorpus) printTrimTimes(m);
    if (scope == Scope::TrimOnly) return;
    if (scope == Scope::Everything) printWindowTimes(m);
    printColdTimes(m);
    printCorpusTimes(m.corpus);
}

double rounded(double value) {
    return std::round(value * 1000) / 1000;
}

}  // namespace

void printReport(const Measurements &measured, Scope scope) {
    std::printf("\nMedian times (sizes are file sizes; GB/s counts 10^9 bytes):\n");
    printTimes(measured, scope);
    std::printf("\n");
    printFigures(measured, scope);
    std::fflush(stdout);
}

bool writeJson(const Measurements &measured, Scope scope, const QString &path) {
    QJsonObject object;
    for (const Figure &figure : figuresOf(measured, scope))
        object.insert(QString::fromLatin1(figure.key), rounded(figure.value));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(QJsonDocument(object).toJson()) > 0 && file.flush();
}
