#include <QTest>

#include "core/file_encoding.h"

// Big documents go through the converter in pieces; these check the seams between them.
class FileEncodingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripsAcrossPieces_data();
    void roundTripsAcrossPieces();
    void stoppingSinkStopsConversion();
    void everyGb18030SequenceComesBack_data();
    void everyGb18030SequenceComesBack();
};

void FileEncodingTest::roundTripsAcrossPieces_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("repeat");

    // 中文 in GB18030 with a stray byte: the raw byte lands at every offset of a piece.
    const QByteArray mixed("\xd6\xd0\xce\xc4\x80");
    QTest::newRow("one stray byte") << QByteArray("\x80") << 1;
    QTest::newRow("just under a piece") << mixed << (1 << 20) / 5 - 1;
    QTest::newRow("several pieces") << mixed << 3 * (1 << 20) / 5 + 3;
    QTest::newRow("four-byte characters over several pieces")
        << QByteArray("\x81\x30\x81\x30\xff") << (1 << 20) / 2;
    QTest::newRow("cut-off character at the very end") << QByteArray("a\xd6") << 600000;
}

void FileEncodingTest::roundTripsAcrossPieces() {
    QFETCH(QByteArray, unit);
    QFETCH(int, repeat);
    const QByteArray file = unit.repeated(repeat);
    const auto document = decodeFileBytes(file);
    QVERIFY(document);
    QCOMPARE(document->encoding, FileEncoding::Gb18030);

    QByteArray stored;
    int pieces = 0;
    QVERIFY(encodeDocument(document->bytes, document->encoding, [&](QByteArrayView piece) {
        stored.append(piece);
        ++pieces;
        return true;
    }));
    QVERIFY(stored == file);
    QVERIFY(pieces >= 1 + file.size() / (2 << 20));
}

void FileEncodingTest::stoppingSinkStopsConversion() {
    const auto document = decodeFileBytes(QByteArray("\xd6\xd0\x80").repeated(1 << 20));
    QVERIFY(document);
    int pieces = 0;
    QVERIFY(!encodeDocument(document->bytes, FileEncoding::Gb18030, [&](QByteArrayView) {
        ++pieces;
        return false;
    }));
    QCOMPARE(pieces, 1);
}

// Exactness of GB18030 pages rests on the system's converter giving back every sequence it
// decodes; this goes through all of them (the four-byte ones that stand for characters outside
// the BMP by a sample of every lead byte), each on a line of its own.
void FileEncodingTest::everyGb18030SequenceComesBack_data() {
    QTest::addColumn<QByteArray>("file");
    QByteArray twoBytes;
    QByteArray fourBytes;
    QByteArray beyondBmp;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) twoBytes += QByteArray(1, char(lead)) + char(trail) + "\n";
        for (int second = 0x30; second <= 0x39; ++second)
            for (int third = 0x81; third <= 0xFE; ++third)
                for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                    const char bytes[] = {char(lead), char(second), char(third), char(fourth)};
                    const QByteArray sequence(bytes, 4);
                    if (lead <= 0x84)
                        fourBytes += sequence + "\n";
                    else if (third == 0x81 || third == 0xFE)
                        beyondBmp += sequence + "\n";
                }
    }
    QTest::newRow("two bytes") << twoBytes;
    QTest::newRow("four bytes, BMP") << fourBytes;
    QTest::newRow("four bytes, beyond the BMP and unassigned") << beyondBmp;
}

void FileEncodingTest::everyGb18030SequenceComesBack() {
    QFETCH(QByteArray, file);
    const auto document = decodeFileBytes(file);
    QVERIFY(document);
    QCOMPARE(document->encoding, FileEncoding::Gb18030);
    QByteArray stored;
    QVERIFY(encodeDocument(document->bytes, FileEncoding::Gb18030, [&](QByteArrayView piece) {
        stored.append(piece);
        return true;
    }));
    QVERIFY(stored == file);
}

QTEST_APPLESS_MAIN(FileEncodingTest)
#include "file_encoding_test.moc"
