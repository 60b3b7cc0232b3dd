#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The terminal, or whatever standard output and standard error lead to: both programs print
// through these alone. Each platform has its own file of them.

enum class Stream { Output, Error };

// Whether the stream is a terminal that a person watches, rather than a file or a pipe.
bool isTerminal(Stream stream);

// How many columns the terminal of the stream has; 80 where it cannot say.
int terminalColumns(Stream stream);

// The columns text takes on a terminal: two for a Chinese character, none for a combining mark.
int displayColumns(QStringView text);

// Prints text as the terminal reads it.
void printText(Stream stream, const QString &text);

// Prints bytes as they are: file names for scripts, or a line a terminal redraws in place.
void printBytes(Stream stream, QByteArrayView bytes);

// Hands on what was printed to the stream; false where it could not all be written (a full disk, a
// closed pipe).
bool flush(Stream stream);
