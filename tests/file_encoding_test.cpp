#include <QTest>

#include "core/file_encoding.h"

// Big documents go through the converter in pieces; these check the seams between them.
class FileEncodingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTripsAcrossPieces_data();
    void roundTripsAcrossPieces();
    void stoppingSinkStopsConversion();
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

QTEST_APPLESS_MAIN(FileEncodingTest)
#include "file_encoding_test.moc"
