#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QRandomGenerator>
#include <QTest>
#include <cstring>
#include <memory>

#include "byte_references.h"

// A copy of bytes in a heap block of exactly their size. A QByteArray keeps a NUL, and often more
// room, behind its last byte; here any read behind it is one that AddressSanitizer reports.
class ExactBytes {
public:
    explicit ExactBytes(QByteArrayView bytes)
        : data_(std::make_unique_for_overwrite<char[]>(bytes.size())), size_(bytes.size()) {
        if (size_ > 0) std::memcpy(data_.get(), bytes.data(), size_);
    }
    QByteArrayView view() const { return {data_.get(), size_}; }

private:
    std::unique_ptr<char[]> data_;
    qsizetype size_;
};

// Pieces that page files are made of, the awkward ones included. Half of the samples have no
// bytes that are invalid in their encoding.
inline QByteArray randomPageBytes(QRandomGenerator &random, bool gb18030) {
    // The same bytes in both encodings: line ends, spaces, tabs, markup, content whose spaces
    // stay, NUL and 0x1A.
    static const QByteArrayList common{
        "\r",     "\n", "\r\n", "\r\r\n",           " ", "   ", "\t", "<p>", "<pre>",
        "</pre>", "x",  "\x1a", QByteArray(1, '\0')};
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

// A page of at least size bytes made of such samples; a UTF-8 page is valid UTF-8 throughout.
inline QByteArray randomBigPage(QRandomGenerator &random, bool gb18030, qsizetype size) {
    QByteArray page;
    while (page.size() < size) {
        const QByteArray sample = randomPageBytes(random, gb18030);
        if (gb18030 || QByteArrayView(sample).isValidUtf8()) page += sample;
    }
    return page;
}

// The rows of a test over generated pages: one for each encoding's pieces.
inline void addGeneratedPageRows() {
    QTest::addColumn<bool>("gb18030");
    QTest::newRow("UTF-8 pieces") << false;
    QTest::newRow("GB18030 pieces") << true;
}

// A page of count indented lines, each 44 bytes and 36 once trimmed: big enough to run into a
// file-size limit half-way.
inline QByteArray indentedLines(int count) {
    QByteArray page;
    for (int i = 0; i < count; ++i)
        page += "    line " + QByteArray::number(i).rightJustified(6, '0') +
                " xxxxxxxxxxxxxxxxxxxxxx    \r\n";
    return page;
}
