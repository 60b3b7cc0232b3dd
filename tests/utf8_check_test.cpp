#include "core/encoding/utf8_check.h"
#include "byte_samples.h"

// Qt's own check is the reference: the fast check must give its answer for every input, wherever
// a character stands relative to the sixteen-byte blocks that the fast check works in.
class Utf8CheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void agreesWithQt_data();
    void agreesWithQt();
    void agreesOnGeneratedText();
};

void Utf8CheckTest::agreesWithQt_data() {
    QTest::addColumn<QByteArrayList>("thirdBytes");
    QTest::addColumn<QByteArrayList>("fourthBytes");
    QTest::newRow("every pair, then ASCII") << QByteArrayList{"a"} << QByteArrayList{"a"};
    QTest::newRow("every pair, then a continuation")
        << QByteArrayList{"\x80", "\xbf"} << QByteArrayList{"a", "\x80"};
    QTest::newRow("every pair, then a lead")
        << QByteArrayList{"\xc2", "\xe4"} << QByteArrayList{"\x80", "a"};
}

void Utf8CheckTest::agreesWithQt() {
    QFETCH(QByteArrayList, thirdBytes);
    QFETCH(QByteArrayList, fourthBytes);
    for (int first = 0x80; first <= 0xFF; ++first)
        for (int second = 0; second <= 0xFF; ++second)
            for (const QByteArray &third : thirdBytes)
                for (const QByteArray &fourth : fourthBytes)
                    for (int place : {0, 12, 13, 14, 15, 29}) {
                        const QByteArray bytes =
                            QByteArray(place, 'x') + char(first) + char(second) + third + fourth;
                        for (const QByteArray &text : {bytes, bytes + QByteArray(9, 'y')})
                            if (isValidUtf8(text) != QByteArrayView(text).isValidUtf8())
                                QFAIL(text.toHex(' ').constData());
                    }
}

void Utf8CheckTest::agreesOnGeneratedText() {
    const QByteArrayList pieces{"a",
                                "\r\n",
                                "中",
                                "\xf0\x9f\x98\x80",
                                "\xc3\xa9",
                                "\x80",
                                "\xbf",
                                "\xc0",
                                "\xc2",
                                "\xe0",
                                "\xed",
                                "\xf0",
                                "\xf4",
                                "\xf5",
                                "\xff",
                                "\xe0\xa0",
                                "\xed\xa0\x80",
                                "\xf4\x90\x80\x80"};
    QRandomGenerator random(16);
    for (int round = 0; round < 100000; ++round) {
        QByteArray text;
        const int length = random.bounded(48);
        // Mostly good characters, so that long valid stretches reach into later blocks.
        for (int i = 0; i < length; ++i)
            text += pieces[random.bounded(random.bounded(8) ? 5 : pieces.size())];
        if (isValidUtf8(ExactBytes(text).view()) != QByteArrayView(text).isValidUtf8())
            QFAIL(text.toHex(' ').constData());
    }
}

QTEST_APPLESS_MAIN(Utf8CheckTest)
#include "utf8_check_test.moc"
