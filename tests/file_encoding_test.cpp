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
    // Each of these four-byte codes stands for the same character as a two-byte code.
    const QByteArray twins(
        "\x95\x32\x90\x31\xfe\x51\x95\x32\x90\x33\xfe\x52\x95\x32\x97\x30\xfe\x53\r\n"
        "\x95\x36\xb9\x37\xfe\x6c\x96\x30\xba\x35\xfe\x76\x96\x35\xb6\x30\xfe\x91\r\n");
    QTest::newRow("four-byte codes with a two-byte twin") << twins << 1;
    QTest::newRow("two-byte codes beyond the BMP only") << QByteArray("\xfe\x51") << 18;
    // Big pages are decoded in two halves, cut at a CR of the second half.
    QTest::newRow("8 MiB, CRs all through") << mixed + twins << (8 << 20) / 43 + 1;
    QTest::newRow("8 MiB, the only CR in the first half")
        << mixed.repeated((4 << 20) / 5) + "\r" + mixed.repeated((5 << 20) / 5) << 1;
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

// Exactness of GB18030 pages rests on each sequence that the converter decodes coming back as
// itself, or else being kept raw; this goes through all of them, each on a line of its own.
void FileEncodingTest::everyGb18030SequenceComesBack_data() {
    QTest::addColumn<QByteArray>("file");
    QByteArray twoBytes;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) twoBytes += QByteArray(1, char(lead)) + char(trail) + "\n";
    QTest::newRow("two bytes") << twoBytes;

    const auto fourBytes = [](int firstLead, int lastLead) {
        QByteArray all;
        for (int lead = firstLead; lead <= lastLead; ++lead)
            for (int second = 0x30; second <= 0x39; ++second)
                for (int third = 0x81; third <= 0xFE; ++third)
                    for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                        const char bytes[] = {char(lead), char(second), char(third), char(fourth),
                                              '\n'};
                        all.append(bytes, sizeof bytes);
                    }
        return all;
    };
    QTest::newRow("four bytes, BMP") << fourBytes(0x81, 0x84);
    QTest::newRow("four bytes, unassigned below 90") << fourBytes(0x85, 0x8F);
    QTest::newRow("four bytes, beyond the BMP") << fourBytes(0x90, 0xE3);
    QTest::newRow("four bytes, beyond Unicode") << fourBytes(0xE4, 0xFE);
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
