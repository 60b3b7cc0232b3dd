#include <QTest>

#include "core/site/run_pace.h"

// How fast a run goes and how long it still takes, as both programs say it: nothing before it can
// be told, then a pace and a time left that stay put between the progress's redraws.
class RunPaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saysHowLongTheRestTakes_data();
    void saysHowLongTheRestTakes();
};

void RunPaceTest::saysHowLongTheRestTakes_data() {
    QTest::addColumn<int>("milliseconds");  // since the run began
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("nothing done yet") << 10000 << 0 << 530 << QString();
    QTest::newRow("too soon to tell") << 2999 << 100 << 530 << QString();
    QTest::newRow("all done") << 10000 << 530 << 530 << QString();
    QTest::newRow("the browser's pace, minutes left")
        << 60000 << 40 << 530 << s("每秒 0.67 个网页，剩余约 12 分钟");
    QTest::newRow("the trim's pace, seconds left")
        << 3000 << 3600 << 5000 << s("每秒 1200 个网页，剩余约 5 秒");
    QTest::newRow("a pace below ten with one decimal")
        << 10000 << 62 << 530 << s("每秒 6.2 个网页，剩余约 1 分钟");
    QTest::newRow("seconds in fives, up")
        << 10000 << 100 << 521 << s("每秒 10 个网页，剩余约 45 秒");
    QTest::newRow("almost a minute is a minute")
        << 10000 << 100 << 658 << s("每秒 10 个网页，剩余约 1 分钟");
    QTest::newRow("hours and minutes")
        << 60000 << 10 << 850 << s("每秒 0.17 个网页，剩余约 1 小时 24 分钟");
    QTest::newRow("whole hours") << 60000 << 10 << 1210 << s("每秒 0.17 个网页，剩余约 2 小时");
}

void RunPaceTest::saysHowLongTheRestTakes() {
    QFETCH(int, milliseconds);
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(QString, text);
    const RunPace::Clock::time_point start{};
    const RunPace pace(total, start);
    QCOMPARE(
        pace.text(done, start + std::chrono::milliseconds(milliseconds), QStringLiteral("个网页")),
        text);
}

QTEST_GUILESS_MAIN(RunPaceTest)
#include "run_pace_test.moc"
