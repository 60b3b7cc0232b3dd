#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

class QCommandLineParser;

// The columns text takes on a terminal: two for a Chinese character, none for a combining mark.
int displayColumns(QStringView text);

// The parser's help, with every description starting in the same column. Qt lines them up by
// characters, so a description after a name in Chinese, whose characters take two columns each,
// starts further right than the others.
QString alignedHelpText(const QCommandLineParser &parser);

// Why the parser could not read arguments (the program's name first), as one Chinese sentence.
// Unlike Qt's own text, it names an unknown option as it was typed, with its dashes.
QString commandLineErrorText(const QCommandLineParser &parser, const QStringList &arguments);
