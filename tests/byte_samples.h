#pragma once

#include <QByteArray>
#include <QRandomGenerator>

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

// Pieces that page files are made of, the awkward ones included.
inline QByteArray randomPageBytes(QRandomGenerator &random, bool gb18030) {
    static const QByteArray utf8Pieces[] = {
        "\r",
        "\n",
        "\r\n",
        "\r\r\n",
        " ",
        "   ",
        "\t",
        "<p>",
        "x",
        QByteArray(1, '\0'),
        "\x1a",
        "\xe4\xb8\xad\xe6\x96\x87",  // 中文
        "\xe3\x80\x80",              // ideographic space
        "\xc2\xa0",                  // no-break space
        "\x80",
        "\xff",
        "\xe4\xb8",  // invalid and cut-off UTF-8
    };
    static const QByteArray gbPieces[] = {
        "\r",
        "\n",
        "\r\n",
        "\r\r\n",
        " ",
        "   ",
        "\t",
        "<p>",
        "x",
        QByteArray(1, '\0'),
        "\x1a",
        "\xd6\xd0\xce\xc4",  // 中文
        "\xa1\xa1",          // ideographic space
        "\x81\x30\x81\x30",  // a four-byte sequence
        "\x80",
        "\xff",
        "\xd6",  // invalid and cut-off GB18030
    };
    const QByteArray *pieces = gb18030 ? gbPieces : utf8Pieces;
    // The last three pieces are the invalid ones; half of the samples go without them.
    const int all = gb18030 ? std::size(gbPieces) : std::size(utf8Pieces);
    const int count = random.bounded(2) ? all : all - 3;
    QByteArray bytes;
    const int length = random.bounded(40);
    for (int i = 0; i < length; ++i) bytes += pieces[random.bounded(count)];
    return bytes;
}
