#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>

#include "test_processes.h"

// What the tests of zerediz-compress --verify share: the stand-in browser, and a run's own
// temporary folder, where a browser's profile and temporary files go, and which must be empty
// again once the run has ended.
class BrowserRun {
public:
    BrowserRun() { QDir().mkpath(temporary()); }

    static QString standIn() {
#if defined(ZEREDIZ_STAND_IN_BROWSER)
        return QFileInfo(QStringLiteral(ZEREDIZ_STAND_IN_BROWSER)).absoluteFilePath();
#else
        return {};
#endif
    }

    // The folder a run takes for its temporary one.
    QString temporary() const {
        return dir_.filePath(QStringLiteral("tmp"));
    }

    // Prepares the program's process: its temporary folder, the stand-in's log, and the words
    // ZEREDIZ_STAND_IN gives it.
    std::function<void(QProcess &)> setUp(const QString &words = {}) const {
        const QString temporaryFolder = QDir::toNativeSeparators(temporary());
        const QString log = QDir::toNativeSeparators(logPath());
        return [=](QProcess &process) {
            QProcessEnvironment environment = process.processEnvironment();
            for (const char *name : {"TMPDIR", "TMP", "TEMP"})
                environment.insert(QLatin1String(name), temporaryFolder);
            environment.insert(QStringLiteral("ZEREDIZ_STAND_IN_LOG"), log);
            environment.insert(QStringLiteral("ZEREDIZ_STAND_IN"), words);
            process.setProcessEnvironment(environment);
        };
    }

    // What the stand-in logged: "start PID ARGUMENTS...", "show URL scripts=on|off" and
    // "become URL".
    QStringList log() const {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // The file names of the pages the stand-in was shown, with scripts "on" or "off", or put in
    // place of the page shown ("become"), in order.
    QStringList shown() const {
        QStringList pages;
        for (const QString &line : log()) {
            if (line.startsWith(QStringLiteral("show ")))
                pages.append(line.section(u'/', -1).replace(QStringLiteral(" scripts="),
                                                            QStringLiteral(" ")));
            else if (line.startsWith(QStringLiteral("become ")))
                pages.append(line.section(u'/', -1) + QStringLiteral(" become"));
        }
        return pages;
    }
    // Waits, not for ever, until the stand-in has started number times; the id of that start's
    // process, or 0 where it did not come.
    qint64 waitForStart(int number) const {
        for (int wait = 0; wait < 60000; wait += 10) {
            int seen = 0;
            for (const QString &line : log())
                if (line.startsWith(QStringLiteral("start ")) && ++seen == number)
                    return line.section(u' ', 1, 1).toLongLong();
            QThread::msleep(10);
        }
        return 0;
    }
    // Waits, not for ever, until the stand-in has been shown count pages.
    bool waitForShown(int count) const {
        for (int wait = 0; wait < 60000; wait += 10) {
            if (shown().size() >= count) return true;
            QThread::msleep(10);
        }
        return false;
    }
    int starts() const {
        int count = 0;
        for (const QString &line : log()) count += line.startsWith(QStringLiteral("start "));
        return count;
    }

    // Once the run has ended: no browser it started still runs, and its temporary folder is
    // empty again.
    void verifyCleanedUp() const {
        for (const QString &line : log())
            if (line.startsWith(QStringLiteral("start ")))
                QVERIFY2(!processRuns(line.section(u' ', 1, 1).toLongLong()), qPrintable(line));
        const QStringList left =
            QDir(temporary())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

private:
    QString logPath() const {
        return dir_.filePath(QStringLiteral("stand-in.log"));
    }

    QTemporaryDir dir_;
};
