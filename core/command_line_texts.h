#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

class QCommandLineParser;
class QCoreApplication;

// The columns text takes on a terminal: two for a Chinese character, none for a combining mark.
int displayColumns(QStringView text);

// The parser's help, with every description starting in the same column. Qt lines them up by
// characters, so a description after a name in Chinese, whose characters take two columns each,
// starts further right than the others.
QString alignedHelpText(const QCommandLineParser &parser);

// Why the parser could not read arguments (the program's name first), as one Chinese sentence.
// Unlike Qt's own text, it names an unknown option as it was typed, with its dashes.
QString commandLineErrorText(const QCommandLineParser &parser, const QStringList &arguments);

// Installs Qt's own Simplified Chinese texts (command-line help, standard dialogs and buttons)
// whatever the system's language is, as the whole interface is Chinese. False where they are
// missing (package qt6-translations-l10n); Qt's English texts stay then.
bool installChineseQtTranslations(QCoreApplication &app);
