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
    void deepTrimMatchesReference_data() { matchesReference_data(); }
    void deepTrimMatchesReference();
    void loadsBigPages_data();
    void loadsBigPages();
    void keepsPreservedContentOfBigPages_data();
    void keepsPreservedContentOfBigPages();
    void keepsWhatABrowserShows_data();
    void keepsWhatABrowserShows();
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
    // A quoted value that holds a line end keeps its spaces; the look tells most values from
    // the masks of a block, and those that start in one block and end in another alone.
    QTest::newRow("a value in double quotes across a line end")
        << QByteArray("<a alt=\"x  \n  y\" b=\"1\">  \n");
    QTest::newRow("a value in single quotes across a line end")
        << QByteArray("<a data-x='x  \r\n  y'>  \r\n");
    QTest::newRow("a value in single quotes across CR LF, behind = and spaces")
        << QByteArray("<a title = 'x  \r\n  y'>  \r\n");
    // Tabs shield spaces at the standard level and go with them at the deep one; lines of blanks
    // only are left empty, and at the deep level go.
    QTest::newRow("tabs and spaces at both ends") << QByteArray(" \t x\t \r\n\t");
    QTest::newRow("lines left empty") << QByteArray("x\n \t\n\n\r");
    // A custom element's name holds a -: the look finds it in any block, as it finds no element
    // in a - elsewhere.
    QTest::newRow("custom elements") << QByteArray(" <x-ab>  a \t\n\n  </x-ab>  b \n");
    QTest::newRow("a - in text and in a value is no element")
        << QByteArray(" a-b <p class=\"c-d\"> -x \t\n");
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

// What is wrong with the deep trim of input, or nothing. It has no kernels of its own: the look
// that finds a custom element does.
std::optional<QByteArray> deepTrimFault(const QByteArray &input) {
    const QByteArray trimmed = trimLines(ExactBytes(input).view(), {}, TrimLevel::Deep);
    if (trimmed != referenceDeepTrim(input)) return input.toHex(' ') + " deep";
    if (trimLines(ExactBytes(trimmed).view(), {}, TrimLevel::Deep) != trimmed)
        return trimmed.toHex(' ') + " trimmed deeply again";
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

// The same runs at the deep level, each cut once.
void LineTrimTest::deepTrimMatchesReference() {
    QFETCH(QByteArray, unit);
    constexpr qsizetype kLongest = 3 * 64 + 16;
    const QByteArray run = unit.repeated(kLongest / unit.size() + 2);
    const qsizetype startStep = std::max<qsizetype>(1, unit.size() / kStarts);
    for (qsizetype start = 0; start < unit.size(); start += startStep) {
        for (qsizetype length = 0; length <= kLongest; length += kCutStep) {
            if (const auto fault = deepTrimFault(run.sliced(start, length)))
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

namespace {

// A row of what a browser shows: a page, the sheets it links (read in its encoding), and its trim.
void addShownRow(const char *name, const QByteArray &page, const QByteArray &trimmed,
                 const FileEncoding &encoding = FileEncoding::Utf8,
                 const QByteArrayList &sheets = {}) {
    QTest::newRow(name) << page << encoding << sheets << trimmed << QByteArray();
}

// The same with its trim at the deep level too.
void addDeepRow(const char *name, const QByteArray &page, const QByteArray &trimmed,
                const QByteArray &deep, const FileEncoding &encoding = FileEncoding::Utf8,
                const QByteArrayList &sheets = {}) {
    QTest::newRow(name) << page << encoding << sheets << trimmed << deep;
}

}  // namespace

// What the trim keeps where a browser shows spaces for other reasons than an element's name or
// its own style: what a reading of the page as a browser reads it gives, which the plain
// reference above does not follow. Each row is trimmed in its own buffer, and in place, whole and
// cut in two at each line; and at the deep level, where it keeps the same stretches and the line
// ends that pre-line shows, as its own column says where it has one.
void LineTrimTest::keepsWhatABrowserShows_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<FileEncoding>("encoding");
    QTest::addColumn<QByteArrayList>("sheets");
    QTest::addColumn<QByteArray>("trimmed");
    QTest::addColumn<QByteArray>("deep");  // null where the stretches found tell it alone

    // Attribute values that span lines are shown and read as written.
    addShownRow("a title across lines", "<p title=\"one  \n   two\">\n  x  \n</p>",
                "<p title=\"one  \n   two\">\nx\n</p>\n");
    addShownRow("a placeholder over three lines, CR LF",
                "  <textarea placeholder=\"a  \r\n   b  \r\n   c\"></textarea>  \r\n  x  ",
                "<textarea placeholder=\"a  \r\n   b  \r\n   c\"></textarea>\r\nx\r\n");
    addShownRow("a value in single quotes", "<input value='  a  \n  b  '>  \n  c",
                "<input value='  a  \n  b  '>\nc\n");
    addShownRow("values in an end tag, and after =  with spaces",
                "</p title = \"a  \n  b\">  \n  c", "</p title = \"a  \n  b\">\nc\n");
    addShownRow("failure: a value on one line", "  <a title=\"x\">  \n  y  ",
                "<a title=\"x\">\ny\n");
    addShownRow("failure: no value holds a line end without quotes", "<a title=x  \n  y>  ",
                "<a title=x\ny>\n");
    addShownRow("failure: quotes in text are no value", "said \"a  \n  b\"  ", "said \"a\nb\"\n");
    addShownRow("failure: a value in a comment", "<!-- <a title=\"a  \n  b\"> -->",
                "<!-- <a title=\"a\nb\"> -->\n");

    // Scripts: template literals and continued strings, strings, comments and regular
    // expressions told apart.
    addShownRow("a template literal that writes a pre",
                "<script>\n  el.innerHTML = `<pre>\n    code  \n</pre>`;\n</script>\n  x  ",
                "<script>\nel.innerHTML = `<pre>\n    code  \n</pre>`;\n</script>\nx\n");
    addShownRow(
        "a template literal with templates nested in ${}",
        "<script>\n  t = `a ${ b ? `\n  c  \n` : `${ `d\n  e` }` }  \n  f`;\n  g  \n</script>",
        "<script>\nt = `a ${ b ? `\n  c  \n` : `${ `d\n  e` }` }  \n  f`;\ng\n</script>\n");
    addShownRow("a string continued by a backslash",
                "<script>\n  s = \"one  \\\n   two\";  \n  t = 'a\\\n  b';\n</script>",
                "<script>\ns = \"one  \\\n   two\";\nt = 'a\\\n  b';\n</script>\n");
    addShownRow("a string continued across CR LF",
                "<script>\r\n  s = \"one  \\\r\n   two\";  \r\n</script>",
                "<script>\r\ns = \"one  \\\r\n   two\";\r\n</script>\r\n");
    addShownRow("a classic script's text, not the markup it holds",
                "<script>\n  s = \"<pre>\";  \n  // a ` in a comment\n  r = /`/g;  \n  "
                "q = '`';\n  /* ` */\n  <!-- a `\n</script>\n  x  ",
                "<script>\ns = \"<pre>\";\n// a ` in a comment\nr = /`/g;\nq = '`';\n/* ` */\n"
                "<!-- a `\n</script>\nx\n");
    addShownRow("a module has no HTML-like comments",
                "<script type=\"module\">\n  x = 1 <!-- a `\n  b  \n`;\n  c  \n</script>",
                "<script type=\"module\">\nx = 1 <!-- a `\n  b  \n`;\nc\n</script>\n");
    addShownRow("a / that divides is no regular expression",
                "<script>\n  x = a / 2 + `\n  y  \n` / 3;\n  z  \n</script>",
                "<script>\nx = a / 2 + `\n  y  \n` / 3;\nz\n</script>\n");
    addShownRow("a regular expression behind the condition of an if",
                "<script>\n  if (a) /`/.test(s);\n  b  \n</script>",
                "<script>\nif (a) /`/.test(s);\nb\n</script>\n");
    addShownRow("failure: a / behind a } may start either: the rest keeps its spaces",
                "<script>\n  if (a) {}\n  /x/.test(s)  \n   b  \n</script>\n  c  ",
                "<script>\nif (a) {}\n/x/.test(s)  \n   b  \n</script>\nc\n");
    addShownRow("failure: a string that a line end cuts off keeps the rest",
                "<script>\n  s = 'a\\   \n   b';  \n</script>",
                "<script>\ns = 'a\\   \n   b';  \n</script>\n");
    addShownRow("a template literal that the script's end cuts off keeps the rest",
                "<script>\n  t = `a  \n  b  \n</script>\n  c  ",
                "<script>\nt = `a  \n  b  \n</script>\nc\n");
    addShownRow("JSON and import maps keep nothing, a ` in them opens nothing",
                "<script type=\"application/json\">\n  {\"a\": 1} `  \n  b  \n</script>"
                "<script type=importmap>\n  {} `  \n</script>",
                "<script type=\"application/json\">\n{\"a\": 1} `\nb\n</script>"
                "<script type=importmap>\n{} `\n</script>\n");
    addShownRow("a script of markup keeps what a page would",
                "<script type=\"text/template\">\n  <pre>\n    a  \n  </pre>\n  b  \n</script>"
                "<script type=\"text/x-handlebars-template\"><textarea>\n  c  \n</textarea>\n"
                "  d  \n</script>",
                "<script type=\"text/template\">\n<pre>\n    a  \n  </pre>\nb\n</script>"
                "<script type=\"text/x-handlebars-template\"><textarea>\n  c  \n</textarea>\n"
                "d\n</script>\n");
    addShownRow("the end of a script hidden behind <!-- <script>",
                "<script>\n  <!-- <script> </script>\n  t = `\n  a  \n`;\n  -->\n</script>\n  b  ",
                "<script>\n<!-- <script> </script>\nt = `\n  a  \n`;\n-->\n</script>\nb\n");
    addShownRow("failure: <!--> hides no end tag of a script",
                "<script>\n  <!--> <script> </script>\n  t = `\n  a  \n`;\n</script>",
                "<script>\n<!--> <script> </script>\nt = `\na\n`;\n</script>\n");
    // In these charsets the second byte of a character may be the byte of \ or `.
    const QByteArray gbkMeta("<meta charset=\"gbk\">\n");
    addShownRow("GBK: a character whose second byte is \\ ends no string",
                gbkMeta + "<script>\n  a = \"\x95\\\";\n  b = `\n  x  \n`;\n  c  \n</script>",
                gbkMeta + "<script>\na = \"\x95\\\";\nb = `\n  x  \n`;\nc\n</script>\n",
                FileEncoding::Gb18030);
    addShownRow("GBK read as UTF-8, for contrast: the \\ escapes the quote",
                "<script>\n  a = \"\x95\\\";\n  b = `\n  x  \n`;\n  c  \n</script>",
                "<script>\na = \"\x95\\\";\n  b = `\n  x  \n`;\n  c  \n</script>\n");
    addShownRow("Big5: a character whose second byte is ` opens no template literal",
                "<script>\n  var x\xa4` = 1;\n  y = 2;  \n</script>",
                "<script>\nvar x\xa4` = 1;\ny = 2;\n</script>\n", FileEncoding("BIG5"));
    addShownRow("Shift_JIS: 表 ends in the byte of \\",
                "<script>\n  a = '\x95\\';\n  b = `\n  x  \n`;  \n</script>",
                "<script>\na = '\x95\\';\nb = `\n  x  \n`;\n</script>\n", FileEncoding("CP932"));

    // Style sheets: the element a rule's last compound may select keeps its spaces.
    const QByteArray poem("<div class=\"poem\">\n   roses  \n</div>\n<div>\n  x  \n</div>\n");
    const QByteArray poemKept("<div class=\"poem\">\n   roses  \n</div>\n<div>\nx\n</div>\n");
    addShownRow("a class in a style element",
                "<style>\n  .poem { white-space: pre }\n</style>\n" + poem,
                "<style>\n.poem { white-space: pre }\n</style>\n" + poemKept);
    addShownRow("a style element behind what it styles",
                poem + "<style>.poem{white-space:pre}</style>",
                poemKept + "<style>.poem{white-space:pre}</style>\n");
    addShownRow("an attribute selector",
                "<style>[data-code] { white-space: pre-wrap }</style>\n<span data-code>  a  \n"
                "   b  </span>  \n  c  ",
                "<style>[data-code] { white-space: pre-wrap }</style>\n<span data-code>  a  \n"
                "   b  </span>\nc\n");
    addShownRow("td.src in a CR LF page, inside @media, behind combinators and pseudo-classes",
                "<style>@media screen { table > tr td.src:first-child { white-space: "
                "break-spaces } }</style>\r\n<table><tr><td class=\"x src\">  a  \r\n  b  </td>"
                "<td>  c  \r\n  d  </td></tr></table>",
                "<style>@media screen { table > tr td.src:first-child { white-space: "
                "break-spaces } }</style>\r\n<table><tr><td class=\"x src\">  a  \r\n  b  </td>"
                "<td>  c\r\nd  </td></tr></table>\r\n");
    addShownRow("a linked sheet: pre-wrap and break-spaces on two classes",
                "<link rel=\"stylesheet\" href=\"site.css\">\n<p class=\"a\">\n  x  \n</p>\n"
                "<p class=\"b\">\n  y  \n</p>\n<p>\n  z  \n</p>",
                "<link rel=\"stylesheet\" href=\"site.css\">\n<p class=\"a\">\n  x  \n</p>\n"
                "<p class=\"b\">\n  y  \n</p>\n<p>\nz\n</p>\n",
                FileEncoding::Utf8,
                {".a { white-space: pre-wrap }\n.b { white-space: break-spaces }\n"});
    addShownRow(
        "@supports, @layer, nesting, :is() and an id",
        "<style>@supports (x: y) { @layer base { .n { & .m, .x &.o { white-space: pre } } } "
        "} :is(#i, .j) { white-space-collapse: preserve }</style>\n<b class=\"m\">\n  a  \n"
        "</b><b class=\"n o\">\n  b  \n</b><i id=\"i\">\n  c  \n</i><i class=\"j\">\n  d  \n"
        "</i><i class=\"o\">\n  e  \n</i>",
        "<style>@supports (x: y) { @layer base { .n { & .m, .x &.o { white-space: pre } } } "
        "} :is(#i, .j) { white-space-collapse: preserve }</style>\n<b class=\"m\">\n  a  \n"
        "</b><b class=\"n o\">\n  b  \n</b><i id=\"i\">\n  c  \n</i><i class=\"j\">\n  d  \n"
        "</i><i class=\"o\">\ne\n</i>\n");
    addShownRow("CSS escapes, comments, a variable, and classes in any case",
                "<style>.A { white\\-space: pr\\65 } .b { \\77 hite-space : /**/ var(--w) }"
                "</style>\n<p class=\"a\">\n  x  \n</p><p class=\"B\">\n  y  \n</p>",
                "<style>.A { white\\-space: pr\\65 } .b { \\77 hite-space : /**/ var(--w) }"
                "</style>\n<p class=\"a\">\n  x  \n</p><p class=\"B\">\n  y  \n</p>\n");
    addShownRow("a style attribute with character references",
                "<p style=\"white&#45;space&colon; &#x70;re\">\n  x  \n</p>\n  y  ",
                "<p style=\"white&#45;space&colon; &#x70;re\">\n  x  \n</p>\ny\n");
    for (const char *root : {"*", "html", "body", ":root", "*:not(p)"}) {
        QTest::addRow("%s keeps the whole page", root)
            << "  <style>" + QByteArray(root) + " { white-space: pre }</style>\n  x  \n"
            << FileEncoding::Utf8 << QByteArrayList()
            << "  <style>" + QByteArray(root) + " { white-space: pre }</style>\n  x  \n"
            << QByteArray();
    }
    addShownRow(
        "failure: pre-line, nowrap, a rule in a comment, another class",
        "<style>.a { white-space: pre-line } .b { white-space: nowrap } /* .c { "
        "white-space: pre } */ .d { white-space: pre }</style>\n<p class=\"a b c\">\n  x  \n"
        "</p>",
        "<style>.a { white-space: pre-line } .b { white-space: nowrap } /* .c { "
        "white-space: pre } */ .d { white-space: pre }</style>\n<p class=\"a b c\">\nx\n"
        "</p>\n");
    addShownRow("GB18030: a class in Chinese, and a linked UTF-8 sheet that escapes one",
                "<style>.\xd6\xd0 { white-space: pre }</style>\n<p class=\"\xd6\xd0\">\n  x  \n"
                "</p><p class=\"\xce\xc4\">\n  y  \n</p>",
                "<style>.\xd6\xd0 { white-space: pre }</style>\n<p class=\"\xd6\xd0\">\n  x  \n"
                "</p><p class=\"\xce\xc4\">\n  y  \n</p>\n",
                FileEncoding::Gb18030, {"\xef\xbb\xbf.\\6587 { white-space: pre }"});

    // SVG and MathML.
    addShownRow(
        "SVG text with xml:space=\"preserve\"",
        "<svg><text xml:space=\"preserve\">  a  \n   b  </text>\n  <text>  c  \n</text></svg>",
        "<svg><text xml:space=\"preserve\">  a  \n   b  </text>\n<text>  c\n</text></svg>\n");
    addShownRow("a style element in SVG counts like any other",
                "<svg><style><![CDATA[ .t { white-space: pre } ]]></style></svg>\n<p class=\"t\">\n"
                "  x  \n</p>",
                "<svg><style><![CDATA[ .t { white-space: pre } ]]></style></svg>\n<p class=\"t\">\n"
                "  x  \n</p>\n");
    addShownRow("a script in SVG keeps all of its text",
                "<svg><script>\n  s = \"</pre>\";  \n</script></svg>\n  x  ",
                "<svg><script>\n  s = \"</pre>\";  \n</script></svg>\nx\n");
    addShownRow("in SVG a b breaks out, an iframe does not",
                "<svg><iframe><script>\n  s = 1;  \n</script></iframe></svg>\n"
                "<svg><b></b><script>\n  t = 2;  \n</script>",
                "<svg><iframe><script>\n  s = 1;  \n</script></iframe></svg>\n"
                "<svg><b></b><script>\nt = 2;\n</script>\n");
    addShownRow("foreign content ends at its end tag, and at </p>",
                "<svg><g></g></svg><script>\n  s = 1;  \n</script><math></p><script>\n  t = 2;  \n"
                "</script>",
                "<svg><g></g></svg><script>\ns = 1;\n</script><math></p><script>\nt = 2;\n"
                "</script>\n");
    addShownRow(
        "failure: the end tag of an HTML ancestor not held leaves SVG open: spaces stay "
        "longer",
        "<div><svg></div><script>\n  s = 1;  \n</script>",
        "<div><svg></div><script>\n  s = 1;  \n</script>\n");
    addShownRow("a CDATA section in SVG hides markup",
                "<pre><svg><![CDATA[ a > </pre> ]]>\n  a  \n</svg></pre>\n  b  ",
                "<pre><svg><![CDATA[ a > </pre> ]]>\n  a  \n</svg></pre>\nb\n");
    addShownRow("MathML's mtext holds HTML",
                "<math><mtext><iframe><script>\n  a  \n</script></iframe></mtext><iframe><script>"
                "\n  b  \n</script></iframe></math>",
                "<math><mtext><iframe><script>\na\n</script></iframe></mtext><iframe><script>"
                "\n  b  \n</script></iframe></math>\n");

    // Where a kept element ends: no earlier than a browser ends it.
    const QByteArray preDiv("<div style=\"white-space:pre\">");
    addShownRow("a </div> inside a table inside the styled div is ignored",
                preDiv + "<table><tr><td></div>\n  a  \n</td></tr></table>\n  b  \n</div>\n  c  ",
                preDiv + "<table><tr><td></div>\n  a  \n</td></tr></table>\n  b  \n</div>\nc\n");
    addShownRow("a </span> is ignored while a div is open inside it",
                "<span style=\"white-space:pre\"><div>\n  a  \n</span>\n  b  \n</div>\n  c  ",
                "<span style=\"white-space:pre\"><div>\n  a  \n</span>\n  b  \n</div>\n  c  ");
    addShownRow("a formatting element a browser opens again behind the paragraph that closed it",
                "<p><b style=\"white-space:pre\">x</p>\n   y  \n</b>\n  z  ",
                "<p><b style=\"white-space:pre\">x</p>\n   y  \n</b>\nz\n");
    addShownRow("the adoption agency closes a misnested formatting element",
                "<b style=\"white-space:pre\">\n  a  <p>\n  b  </b>\n  c  \n</p>",
                "<b style=\"white-space:pre\">\n  a  <p>\n  b  </b>\nc\n</p>\n");
    addShownRow("an li closes the li before it, a div the p",
                "<ul><li style=\"white-space:pre\">\n  a  \n<li>\n  b  \n</ul><p "
                "style=\"white-space:pre\">\n  c  \n<div>\n  d  \n</div>",
                "<ul><li style=\"white-space:pre\">\n  a  \n<li>\nb\n</ul><p "
                "style=\"white-space:pre\">\n  c  \n<div>\nd\n</div>\n");
    addShownRow("a cell closes the cell before it",
                "<table><tr><td style=\"white-space:pre\">\n  a  \n<td>\n  b  \n</table>",
                "<table><tr><td style=\"white-space:pre\">\n  a  \n<td>\nb\n</table>\n");
    addShownRow("failure: the end tag of an ancestor not held closes nothing: spaces stay longer",
                "<section>" + preDiv + "\n  a  \n</section>\n  b  ",
                "<section>" + preDiv + "\n  a  \n</section>\n  b  ");

    // Text that the page's scripts read as written keeps its bytes at both levels.
    addDeepRow("Markdown in a script",
               "<script type=\"text/markdown\">\n  # Title\n\n      code  \n\t- item\n</script>\n"
               "\t x \t\n",
               "<script type=\"text/markdown\">\n  # Title\n\n      code  \n\t- item\n</script>\n"
               "\t x \t\n",
               "<script type=\"text/markdown\">\n  # Title\n\n      code  \n\t- item\n</script>\n"
               "x\n");
    const QByteArray python(
        "<script type=\"py\">\n  def f():\n      return 1\n\n</script>\n<script "
        "type=\"text/python\">\n  if x:\n\t  y()\n</script>\n<script type=\"text/yaml\">\n  a:\n"
        "    - b\n</script>\n");
    addDeepRow("Python and YAML in scripts of their types", python + "  y  ", python + "y\n",
               python + "y\n");
    const QByteArray slides(
        "\n  <script type=\"text/template\">\n    ## Slide\n    ```\n    if x:\n        y()\n"
        "\n    ```\n  </script>\n</section>");
    const QByteArray slidesTrimmed = QByteArray(slides).replace("\n  <script", "\n<script");
    addDeepRow("a template that a presentation marks as Markdown",
               "<section data-markdown>" + slides + "\n\n",
               "<section data-markdown>" + slidesTrimmed + "\n\n",
               "<section data-markdown>" + slidesTrimmed + "\n");
    addDeepRow("a custom element that renders Markdown, and <py-script>",
               "<md-block>\n\t# Title\n\n\t\tcode\n</md-block>\n<py-script>\n  print(1)\n"
               "</py-script>\n\t x \n",
               "<md-block>\n\t# Title\n\n\t\tcode\n</md-block>\n<py-script>\n  print(1)\n"
               "</py-script>\n\t x\n",
               "<md-block>\n\t# Title\n\n\t\tcode\n</md-block>\n<py-script>\n  print(1)\n"
               "</py-script>\nx\n");
    addShownRow("a custom element ends where a browser ends it: not at its end tag inside a div",
                "<x-a><div></x-a>\n  a  \n</div>\n  b  ", "<x-a><div></x-a>\n  a  \n</div>\n  b  ");
    addShownRow("failure: a - in an attribute's name or value opens nothing",
                "<p data-a-b=\"c-d\">\n  x-y  \n</p>", "<p data-a-b=\"c-d\">\nx-y\n</p>\n");

    // A page that ends inside content whose spaces are kept ends as it did.
    addDeepRow("a page that ends inside a pre", "<pre>\n  a  ", "<pre>\n  a  ", "<pre>\n  a  ");
    addDeepRow("a page that ends inside a textarea, CR LF", "  <textarea>\r\n\ta",
               "<textarea>\r\n\ta", "<textarea>\r\n\ta");
    addDeepRow("a page that ends inside plaintext", "<plaintext>\n\ta \t", "<plaintext>\n\ta \t",
               "<plaintext>\n\ta \t");
    addDeepRow("failure: a page that ends behind a closed pre gets its line end",
               "<pre> a </pre>  ", "<pre> a </pre>\r\n", "<pre> a </pre>\r\n");

    // The deep level: tabs go where spaces go, and lines left empty go, but for what is kept.
    addDeepRow("tabs at both ends of lines, CR LF", "\t<p>\r\n\t\t  x\t \r\n\t</p>\r\n",
               "\t<p>\r\n\t\t  x\t\r\n\t</p>\r\n", "<p>\r\nx\r\n</p>\r\n");
    addDeepRow("lines left empty go", "<ul>\n\n\t<li>a</li>\n \t \n\t<li>b</li>\n\n</ul>\n\n",
               "<ul>\n\n\t<li>a</li>\n\t\n\t<li>b</li>\n\n</ul>\n\n",
               "<ul>\n<li>a</li>\n<li>b</li>\n</ul>\n");
    addDeepRow("a pre keeps its tabs and empty lines, the lines around it go",
               "\t<pre>\n\t\ta\n\n\t</pre>\n\n\tx", "\t<pre>\n\t\ta\n\n\t</pre>\n\n\tx\n",
               "<pre>\n\t\ta\n\n\t</pre>\nx\n");
    addDeepRow("pre-line keeps its empty lines, not its blanks",
               "<p style=\"white-space: pre-line\">\n\ta\t\n\n\tb\n</p>\n\n",
               "<p style=\"white-space: pre-line\">\n\ta\t\n\n\tb\n</p>\n\n",
               "<p style=\"white-space: pre-line\">\na\n\nb\n</p>\n");
    const QByteArray breaks(
        "<style>.a { white-space-collapse: preserve-breaks } p { white-space: pre-line }</style>\n"
        "<div class=\"a\">\n\tx\n\n</div>\n<p>\n\n</p>\n\n<b>\n\n</b>");
    addDeepRow("pre-line and preserve-breaks through a style sheet", breaks, breaks + "\n",
               "<style>.a { white-space-collapse: preserve-breaks } p { white-space: pre-line "
               "}</style>\n<div class=\"a\">\nx\n\n</div>\n<p>\n\n</p>\n<b>\n</b>\n");
    addDeepRow("pre-line in a linked sheet", "<link rel=stylesheet href=a.css>\n<p>\n\n</p>\n\n",
               "<link rel=stylesheet href=a.css>\n<p>\n\n</p>\n\n",
               "<link rel=stylesheet href=a.css>\n<p>\n\n</p>\n", FileEncoding::Utf8,
               {"p { white-space: pre-line }"});
    addDeepRow("failure: nowrap keeps no line ends",
               "<p style=\"white-space: nowrap\">\n\n\tx\n</p>",
               "<p style=\"white-space: nowrap\">\n\n\tx\n</p>\n",
               "<p style=\"white-space: nowrap\">\nx\n</p>\n");
    addDeepRow("a value across lines keeps its empty line and tabs",
               "<a title=\"a\n\n\tb\">\n\n\tx</a>", "<a title=\"a\n\n\tb\">\n\n\tx</a>\n",
               "<a title=\"a\n\n\tb\">\nx</a>\n");
    addDeepRow("a template literal keeps its empty lines",
               "<script>\n\tt = `\n\n\ta`;\n\n\tu = 1;\n</script>",
               "<script>\n\tt = `\n\n\ta`;\n\n\tu = 1;\n</script>\n",
               "<script>\nt = `\n\n\ta`;\nu = 1;\n</script>\n");
    addDeepRow("a byte-order mark behind tabs", "\t\xEF\xBB\xBF\t<p>\n", "\t\xEF\xBB\xBF\t<p>\n",
               "\xEF\xBB\xBF<p>\n");
    addDeepRow("a byte-order mark behind empty lines", "\r\n\t\r\n\xEF\xBB\xBF\r\n<p>",
               "\r\n\t\r\n\xEF\xBB\xBF\r\n<p>\r\n", "\xEF\xBB\xBF<p>\r\n");
    addDeepRow("GB18030 with tabs", gbkMeta + "\t<p>\xd6\xd0\xce\xc4\t\n\t\t\xd6\xd0 \n</p>",
               gbkMeta + "\t<p>\xd6\xd0\xce\xc4\t\n\t\t\xd6\xd0\n</p>\n",
               gbkMeta + "<p>\xd6\xd0\xce\xc4\n\xd6\xd0\n</p>\n", FileEncoding::Gb18030);
    addDeepRow("lone CRs become CR LF, and the empty lines between them go", "a\r\r \r\tb",
               "a\r\n\r\n\r\n\tb\r\n", "a\r\nb\r\n");
    addDeepRow("a page of blanks only is left empty", " \t\n\t \r\n ", "\t\n\t\r\n\r\n", "");
}

void LineTrimTest::keepsWhatABrowserShows() {
    QFETCH(QByteArray, page);
    QFETCH(FileEncoding, encoding);
    QFETCH(QByteArrayList, sheets);
    QFETCH(QByteArray, trimmed);
    QFETCH(QByteArray, deep);
    PageContext context;
    context.encoding = encoding;
    for (const QByteArray &sheet : sheets) context.linkedSheets.push_back({sheet, encoding});

    const std::vector<ByteRange> kept = preservedContent(ExactBytes(page).view(), context);
    const std::vector<ByteRange> keptLineEnds =
        preservedContent(ExactBytes(page).view(), context, Keeping::LineEnds);
    for (const auto *ranges : {&kept, &keptLineEnds}) {
        const QByteArray fault = rangeFault(page, *ranges);
        QVERIFY2(fault.isEmpty(), fault.constData());
    }
    QCOMPARE(trimLines(ExactBytes(page).view(), context), trimmed);
    QCOMPARE(trimLinesInPlace(page, context), trimmed);
    for (qsizetype middle = 0; middle < page.size(); middle = lineStartNear(page, middle)) {
        QCOMPARE(trimLinesInPlace(page, middle, context), trimmed);
        if (middle == page.size()) break;
        ++middle;
    }
    // A page saved right away and opened again keeps what it kept.
    QCOMPARE(trimLines(trimmed, context), trimmed);

    const std::vector<bool> lineEndBytes = bytesIn(page.size(), keptLineEnds);
    const QByteArray deeply = trimLines(ExactBytes(page).view(), context, TrimLevel::Deep);
    QCOMPARE(deeply, referenceTrimKeeping(page, bytesIn(page.size(), kept), &lineEndBytes));
    if (!deep.isNull()) QCOMPARE(deeply, deep);
    QCOMPARE(trimLines(deeply, context, TrimLevel::Deep), deeply);
}

QTEST_APPLESS_MAIN(LineTrimTest)
#include "line_trim_test.moc"
