#pragma once

#include <QByteArrayView>
#include <QSize>
#include <QString>

class BenchWindow;

// Times are in seconds. A function given a number of repetitions returns the median of that many
// runs; preparation between runs is never timed.

// The core line trim of page, its result freshly allocated as in the loader.
double trimSeconds(QByteArrayView page, int repetitions);

// A plain memcpy of page into a buffer that is already mapped: the ceiling for any pass that
// reads every byte and writes most of them.
double memcpySeconds(QByteArrayView page, int repetitions);

// From the click on Open, with path chosen, until the text area has drawn the new text; one run.
// Before it the window gets an empty file, so that every run starts from the same small document.
double openOnce(BenchWindow &window, const QString &path, const QString &emptyPath);

// The same, as the median of repetitions runs.
double openSeconds(BenchWindow &window, const QString &path, const QString &emptyPath,
                   int repetitions);

// What opening a page costs before any window is involved: the loader reading and trimming
// path in this process, into a document that is freed after the timing.
double readTrimSeconds(const QString &path);

// One character typed where the text area's caret is, until the area has drawn it. Every run
// types one more.
double typedKeySeconds(BenchWindow &window, int repetitions);

// Ctrl+End from the start of the document, where the caret must be, until the text area has drawn
// the end; the Ctrl+Home after each run is not timed.
double caretToEndSeconds(BenchWindow &window, int repetitions);

// Ctrl+Home from the end of the first line, where the caret must be, until the text area has
// drawn the start; the End after each run is not timed.
double caretToStartSeconds(BenchWindow &window, int repetitions);

// The click on Save with path chosen, for what the window holds now.
double saveSeconds(BenchWindow &window, const QString &path, int repetitions);

// One plain write() of bytes to a file at path, created or truncated, and closed.
double writeSeconds(QByteArrayView bytes, const QString &path, int repetitions);
