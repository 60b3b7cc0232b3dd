#pragma once

#include <QString>

#include "batch_measurements.h"
#include "corpus_measurements.h"

// From starting a new process of the window with a page on its command line until it has drawn
// the page's text, as a person opening the page meets it.
struct ColdOpens {
    double none = 0;  // no page: until the text area is first drawn
    double small = 0;
    double medium = 0;
    double large = 0;
    double gb18030 = 0;
};

// What one run of the bench measured; times are medians in seconds, sizes in bytes.
struct Measurements {
    qint64 smallSize = 0;           // the 1 MiB page
    qint64 mediumSize = 0;          // the 10 MiB page
    qint64 largeSize = 0;           // the 100 MiB page, UTF-8
    qint64 preBlockSize = 0;        // a page as large with a <pre> block every 100 lines
    qint64 gb18030Size = 0;         // the same page in GB18030
    qint64 oneLineSize = 0;         // a page of one line, as minified
    qint64 mediumDocumentSize = 0;  // the medium page after the trim
    qint64 documentSize = 0;        // the large page after the trim

    double trim = 0;
    double trimPreBlocks = 0;
    double memcpy = 0;
    double openSmall = 0;
    double openMedium = 0;
    double openLarge = 0;
    double readTrimMedium = 0;  // the loader alone, without the window
    double readTrimLarge = 0;
    double openGb18030 = 0;
    double save = 0;
    double write = 0;

    // Each until the text area has drawn the result.
    double caretEndLarge = 0;          // Ctrl+End from the start of the large page
    double keyEndLarge = 0;            // a typed character at its end
    double keyMiddleLarge = 0;         // and in its middle
    double keyEndLargeAccessible = 0;  // at its end, with an assistive technology client
    double openOneLine = 0;            // opening the page of one line
    double keyEndOneLine = 0;          // a typed character at the end of its line
    double caretHomeOneLine = 0;       // Ctrl+Home from there

    qint64 peakResident = 0;      // a process that opened the large page
    qint64 baselineResident = 0;  // the same process after opening an empty file

    ColdOpens coldOpen;             // huge pages where the program asks for them
    ColdOpens coldOpenNoHugePages;  // none at all for the process

    BatchMeasurements batch;
    CorpusMeasurements corpus;
};

// What is reported: everything; only the trim of the two pages and the copy beside it; or only the
// cold opens and the corpus, what a person meets.
enum class Scope { Everything, TrimOnly, ColdAndCorpus };

// The table for a reader, on standard output.
void printReport(const Measurements &measured, Scope scope);

// The headline figures as one JSON object; false if the file could not be written.
bool writeJson(const Measurements &measured, Scope scope, const QString &path);
