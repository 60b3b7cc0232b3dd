#pragma once

#include <QString>
#include <QStringList>

// Why no browser could be had to render pages with, in terms a user can act on.
struct BrowserError {
    enum class Kind {
        NotFound,     // none where the platform keeps one; searched says where it was looked for
        NoProgram,    // the program named is not there, or not a program that can be run
        NotStarted,   // the system would not start it; systemMessage says why
        Quit,         // it ended before it answered; exitStatus says how
        NoAnswer,     // it did not answer over the pipe in time: no browser of the Chromium kind
        Interrupted,  // a stop signal came while it started
    };

    Kind kind = Kind::NotFound;
    QString program;
    QStringList searched;
    QString systemMessage;
    QString exitStatus;  // "退出状态 1", "信号 SIGSEGV"
    int seconds = 0;     // NoAnswer: how long it was waited for
};

// One sentence, in the interface's language, that says what went wrong and what to do.
QString browserErrorText(const BrowserError &error);
