#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QRandomGenerator>
#include <QTest>

// A second, deliberately plain statement of the line trim, byte by byte, to check the real one
// against on generated input.
inline QByteArray referenceTrim(const QByteArray &in) {
    QByteArray out;
    QByteArray line;
    const auto finishLine = [&] {
        qsizetype first = 0;
        qsizetype last = line.size();
        while (first < last && line[first] == ' ') ++first;
        while (last > first && line[last - 1] == ' ') --last;
        out += line.mid(first, last - first) + "\r\n";
        line.clear();
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\r') {
            finishLine();
            if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
        } else {
            line += in[i];
        }
    }
    if (!line.isEmpty()) finishLine();
    return out;
}

// Pieces that page files are made of, the awkward ones included. Half of the samples have no
// bytes that are invalid in their encoding.
inline QByteArray randomPageBytes(QRandomGenerator &random, bool gb18030) {
    // The same bytes in both encodings: line ends, spaces, tabs, markup, NUL and 0x1A.
    static const QByteArrayList common{
        "\r", "\n", "\r\n", "\r\r\n", " ", "   ", "\t", "<p>", "x", QByteArray(1, '\0'), "\x1a"};
    // 中文, the ideographic space and a no-break space or a four-byte character.
    static const QByteArrayList utf8Text{"\xe4\xb8\xad\xe6\x96\x87", "\xe3\x80\x80", "\xc2\xa0"};
    static const QByteArrayList gbText{"\xd6\xd0\xce\xc4", "\xa1\xa1", "\x81\x30\x81\x30"};
    // Stray bytes and a character cut off.
    static const QByteArrayList utf8Invalid{"\x80", "\xff", "\xe4\xb8"};
    static const QByteArrayList gbInvalid{"\x80", "\xff", "\xd6"};

    QByteArrayList pieces = common + (gb18030 ? gbText : utf8Text);
    if (random.bounded(2)) pieces += gb18030 ? gbInvalid : utf8Invalid;
    QByteArray bytes;
    const int length = random.bounded(40);
    for (int i = 0; i < length; ++i) bytes += pieces[random.bounded(pieces.size())];
    return bytes;
}

// The rows of a test over generated pages: one for each encoding's pieces.
inline void addGeneratedPageRows() {
    QTest::addColumn<bool>("gb18030");
    QTest::newRow("UTF-8 pieces") << false;
    QTest::newRow("GB18030 pieces") << true;
}
