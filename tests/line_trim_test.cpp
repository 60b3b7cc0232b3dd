#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <limits>
#include <optional>

#include "byte_samples.h"
#include "core/encoding/converter.h"
#include "core/pages/open_page.h"
#include "core/trim/line_trim.h"
#include "kernel_levels.h"

namespace {

QByteArray encoded(const TextBuffer &document) {
    const auto bytes = encodeDocument(document.bytes, document.encoding);
    return std::get_if<QByteArray>(&bytes) ? std::get<QByteArray>(bytes)
                                           : QByteArray("(conversion stopped)");
}

// The trim in the page's own buffer, in two parts: up to the line that starts at or behind
// middle, and the rest.
QByteArray trimmedInPlace(const QByteArray &input, qsizetype middle) {
    return trimLinesInPlace(QByteArray(input.constData(), input.size()),
                            lineStartNear(input, middle));
}

}  // namespace

class LineTrimTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { SKIP_WHERE_THE_PROCESSOR_LACKS_THE_NAMED_KERNEL_LEVEL(); }
    void matchesReference_data();
    void matchesReference();
    void loadsBigPages_data();
    void loadsBigPages();
    void keepsPreservedContentOfBigPages_data();
    void keepsPreservedContentOfBigPages();
};

// The trim's kernels look at up to 64 bytes at a time, and at every kernel level (the test runs
// once for each) they must give what the plain trim gives. Each row is cut from a run of its unit
// at every start and every length up to 80 bytes, cut in two at every place, so that each kind of
// byte meets every place in a block, in the block before the end and at the very end; and at
// lengths up to three blocks of 64 bytes, cut at fewer places, so that what a block leaves open
// meets the next. The input ends where its memory ends.
void LineTrimTest::matchesReference_data() {
    QTest::addColumn<QByteArray>("unit");

    QTest::newRow("spaces") << QByteArray(" ");
    QTest::newRow("text between spaces") << QByteArray("   <p>  ");
    QTest::newRow("CR LF lines") << QByteArray("  x \r\n");
    QTest::newRow("lone CRs") << QByteArray(" \r");
    // In the page's own buffer, a lone CR gains its LF only where a space went before it.
    QTest::newRow("lone CRs with no space to give up") << QByteArray("ab\r");
    QTest::newRow("lone LFs") << QByteArray("  x \n");
    QTest::newRow("CR, LF and CR LF") << QByteArray("a \r\r\n \n\r");
    QTest::newRow("byte-order mark, then lines") << QByteArray("\xef\xbb\xbf  x \n \r\n");
    QTest::newRow("tab shields spaces") << QByteArray("\t   x  ");
    QTest::newRow("Chinese, ideographic space, NUL and 0x1A")
        << QByteArray(" \xe3\x80\x80\xe4\xb8\xad \0\x1a", 10);
    QTest::newRow("lines longer than a block")
        << QByteArray("   ") + QByteArray(37, 'x') + "   \r\n";
    QTest::newRow("spaces longer than a block")
        << QByteArray(19, ' ') + "x" + QByteArray(35, ' ') + "\r";
    QTest::newRow("spaces longer than the widest block")
        << QByteArray(70, ' ') + "x" + QByteArray(67, ' ') + "y\r\n" + QByteArray(66, ' ') + "\n";
    // Cut anywhere, these leave elements open to the end, tags cut off and end tags alone.
    QTest::newRow("pre blocks") << QByteArray("  <pre>  a  \n  </pre>  \r\n");
    QTest::newRow("element names in capitals")
        << QByteArray(" <TEXTAREA> a \r </TextArea> <XMP> b \n</xmp> ");
    QTest::newRow("listing and plaintext")
        << QByteArray(" <listing>  a \n  </listing> <plaintext> b \n </plaintext> c \n");
    QTest::newRow("style attribute")
        << QByteArray(" <div style=\"white-space: pre\"> a \n </div> ");
    QTest::newRow("> in a quoted attribute")
        << QByteArray("<pre title=\">  \"> a \n</pre  > <b class='>'> c \n");
    // Tags are mostly read 64 bytes at a time, a value in double quotes among them; whatever
    // else comes near a = is read a byte at a time.
    QTest::newRow("> in a double-quoted value")
        << QByteArray(" <b title=\"<i>x><pre>\"> a \n</pre> b \n");
    QTest::newRow("= that starts a name or lies in one")
        << QByteArray(" <b =\"x><pre>\"> a \n</pre> <i=\"y><pre>\"> b \n</pre> c \n");
    QTest::newRow("a second value behind a quoted one")
        << QByteArray(" <b a=\"1>\"c=\"><pre>\"> a \n</pre> ");
    QTest::newRow("style in double quotes")
        << QByteArray(" <b style=\"white-space:pre\"> a \n</b> <i class=\"c\"> b \n</i> ");
    QTest::newRow("<pre> in a comment") << QByteArray("<!-- <pre> --> a \n <!--> b \n");
    QTest::newRow("<pre> in a script string") << QByteArray("<script>\"<pre>\"</script> a \n");
    QTest::newRow("nested divs") << QByteArray(
        "<div style=white-space:pre-wrap><div> a </div> b \n</div> c \n");
}

namespace {

// How far apart the places a run is cut at lie. The builds that look for memory and thread faults
// run many times slower and need not meet every place: they take every seventh, which still
// meets every place in a block over the lengths of a row, and start a long unit's run at eight
// places of it.
#ifdef ZEREDIZ_SAMPLED_TESTS
constexpr qsizetype kCutStep = 7;
constexpr qsizetype kStarts = 8;
#else
constexpr qsizetype kCutStep = 1;
constexpr qsizetype kStarts = std::numeric_limits<qsizetype>::max();
#endif

// What is wrong with the trims of input, or nothing: the trim in a buffer of its own, and the
// trim in the page's own buffer in two parts cut at each place, against the plain trim. The
// description of a fault is only made where there is one, since a row makes millions of checks.
std::optional<QByteArray> trimFault(const QByteArray &input, qsizetype middleStep) {
    const QByteArray trimmed = trimLines(ExactBytes(input).view());
    if (trimmed != referenceTrim(input)) return input.toHex(' ');
    if (trimLines(ExactBytes(trimmed).view()) != trimmed)
        return trimmed.toHex(' ') + " trimmed again";
    for (qsizetype middle = 0; middle <= input.size(); middle += middleStep) {
        const QByteArray from = " from " + QByteArray::number(middle);
        if (trimmedInPlace(input, middle) != trimmed) return input.toHex(' ') + " in place" + from;
    }
    return std::nullopt;
}

}  // namespace

void LineTrimTest::matchesReference() {
    QFETCH(QByteArray, unit);
    constexpr qsizetype kEveryCut = 80;
    constexpr qsizetype kLongest = 3 * 64 + 16;
    const QByteArray run = unit.repeated(kLongest / unit.size() + 2);
    const qsizetype startStep = std::max<qsizetype>(1, unit.size() / kStarts);
    for (qsizetype start = 0; start < unit.size(); start += startStep) {
        for (qsizetype length = 0; length <= kLongest;
             length += length < kEveryCut ? 1 : 3 * kCutStep) {
            const qsizetype middleStep = length <= kEveryCut ? kCutStep : 11 * kCutStep;
            if (const auto fault = trimFault(run.sliced(start, length), middleStep))
                QFAIL(fault->constData());
        }
    }
}

// Pages big enough that the UTF-8 check and the trim in the page's own buffer each go in two halves
// on two cores, and that a GB18030 page is decoded in its own buffer on two cores.
void LineTrimTest::loadsBigPages_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<FileEncoding>("encoding");

    QRandomGenerator random(14);
    const QByteArray utf8 = randomBigPage(random, false, 2 << 20);
    QTest::newRow("UTF-8") << utf8 << FileEncoding::Utf8;
    QTest::newRow("UTF-8 but for a stray byte in the middle")
        << utf8.first(1 << 20) + "\xff" + utf8.sliced(1 << 20) << FileEncoding::Utf8;
    // The halves are checked for UTF-8 apart; both answers count.
    const QByteArray gbWord("\xd6\xd0\xce\xc4");
    QTest::newRow("GB18030 words only near the start")
        << gbWord.repeated(4) + utf8 << FileEncoding::Gb18030;
    QTest::newRow("GB18030 words only near the end")
        << utf8 + gbWord.repeated(4) << FileEncoding::Gb18030;
    // Trimmed in the page's buffer: lone CRs that find no room go on in a buffer of their own,
    // and a last line gains its line end past the page's last byte.
    QTest::newRow("lone CRs with no spaces, in the second half")
        << utf8 + QByteArray("ab\r").repeated(1 << 18) << FileEncoding::Utf8;
    QTest::newRow("no line end at the end") << utf8 + "  x" << FileEncoding::Utf8;
    QTest::newRow("GB18030 on two cores")
        << randomBigPage(random, true, 6 << 20) << FileEncoding::Gb18030;
    // Decoded in the page's own buffer from its end, into the room its trim left: where that room
    // runs out part of the way, the rest is decoded elsewhere and the two are joined.
    const QByteArray chinese = QByteArray("\xd6\xd0\xce\xc4").repeated(15) + "\r\n";
    QTest::newRow("GB18030 decoded wholly in the room its trim left")
        << QByteArray("      \xd6\xd0\xce\xc4 x \xd6\xd0      \r\n").repeated(1 << 19)
        << FileEncoding::Gb18030;
    QTest::newRow("GB18030 whose trim leaves room for part of its decoding")
        << QByteArray("  x  \r\n").repeated(1 << 19) + chinese.repeated(100'000)
        << FileEncoding::Gb18030;
    // The stretches it is decoded in start before a byte below 0x30: a long run without one makes
    // a stretch too long to decode in place.
    QTest::newRow("GB18030 with Chinese longer than stretches, without a space")
        << QByteArray("  x  \r\n").repeated(1 << 19) + QByteArray("\xd6\xd0").repeated(3 << 18) +
               "\r\n" + QByteArray("  x  \r\n").repeated(1 << 19)
        << FileEncoding::Gb18030;
    QTest::newRow("GB18030 with no room left by its trim")
        << chinese.repeated(100'000) << FileEncoding::Gb18030;
    QTest::newRow("GB18030 ending in a long line: the second half is its last LF")
        << randomBigPage(random, true, 2 << 20) + QByteArray("\xd6\xd0 ").repeated(1 << 20)
        << FileEncoding::Gb18030;
}

void LineTrimTest::loadsBigPages() {
    QFETCH(QByteArray, file);
    QFETCH(FileEncoding, encoding);
    QTemporaryDir dir;
    QFile page(dir.filePath(QStringLiteral("big.htm")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    QCOMPARE(page.write(file), file.size());
    page.close();

    const auto loaded = openPage(page.fileName());
    const auto *document = std::get_if<TextBuffer>(&loaded);
    QVERIFY(document);
    QCOMPARE(document->encoding, encoding);
    const QByteArray expected = referenceTrim(file);
    QVERIFY(encoded(*document) == expected);
    // Decoded in the page's own buffer, the text reads as the page decoded elsewhere: a bad cut
    // would keep its bytes, raw, and show them as such.
    if (encoding == FileEncoding::Gb18030) {
        const QByteArray shared = expected;  // not the only holder of its bytes: decoded elsewhere
        const auto elsewhere = decodePage(shared, {encoding, encoding});
        QVERIFY(std::get<TextBuffer>(elsewhere).bytes == document->bytes);
    }
    // And in a buffer of its own, as zerediz-compress trims it.
    QVERIFY(trimLines(file) == expected);
}

// Big pages whose elements that preserve spaces are found in two halves at once.
void LineTrimTest::keepsPreservedContentOfBigPages_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<FileEncoding>("encoding");

    const QByteArray half = QByteArray("  x  \r\n").repeated(3 << 20 >> 3);
    QTest::newRow("pre in both halves, which join in text")
        << half + "<pre>\n  a  \n</pre>\n" + half + "<pre>\n  b  \n</pre>" << FileEncoding::Utf8;
    QTest::newRow("the middle in pre content")
        << "<pre>" + half + half + "</pre>\n  c  " << FileEncoding::Utf8;
    // What hides the pre lies across the middle, and the pre behind it in the second half.
    QTest::newRow("the middle in a comment that hides a pre")
        << "<!--" + half + half + "<pre>" + half + "-->\n  d  " << FileEncoding::Utf8;
    QTest::newRow("the middle in an attribute value that hides a pre")
        << "<a title=\"" + half + half + "<pre>" + half + "\">  e  \r\n  f  " << FileEncoding::Utf8;
    QTest::newRow("the middle in a script that hides a pre")
        << "<script>" + half + half + "<pre>" + half + "</script>\n  g  " << FileEncoding::Utf8;
    // Looked for in two halves too: what is named only in the second half, or across the middle,
    // is found. The look goes a block at a time, so the middle is put where a block ends.
    const auto acrossTheMiddle = [&half](const char *before, const QByteArray &after) {
        QByteArray page = half.chopped(qstrlen(before)) + before;
        const qsizetype middle = page.size();
        page += after;
        return page + QByteArray(2 * middle - page.size(), ' ');
    };
    QTest::newRow("a pre named only in the second half")
        << acrossTheMiddle("\n", QByteArray("  x  \n").repeated(13) + "<pre>\n  a  \n</pre>\n")
        << FileEncoding::Utf8;
    QTest::newRow("white-space named across the middle")
        << acrossTheMiddle("\n<div style=\"white", "-space: pre\">\n  b  \n</div>\n")
        << FileEncoding::Utf8;
}

void LineTrimTest::keepsPreservedContentOfBigPages() {
    loadsBigPages();
}

QTEST_APPLESS_MAIN(LineTrimTest)
#include "line_trim_test.moc"
