#include <QApplication>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QUrl>

#include "byte_samples.h"
#include "form1_harness.h"

namespace {

// Records what the window showed while a command ran: for each paint of the client area or of the
// text, what the text area held then, whether the dialog had been answered and whether the wait
// cursor was up.
class PaintLog : public QObject {
public:
    struct Paint {
        bool ofText;
        QByteArray text;
        bool dialogDone;
        bool busy;
        bool operator==(const Paint &) const = default;
    };
    QList<Paint> paints;

    explicit PaintLog(Form1Harness &window) : window_(window) {
        window.form.centralWidget()->installEventFilter(this);
        window.text().viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            const QCursor *cursor = QGuiApplication::overrideCursor();
            paints.append({watched == window_.text().viewport(), window_.textBytes(),
                           window_.dialogs.files.isEmpty(),
                           cursor && cursor->shape() == Qt::WaitCursor});
        }
        return false;
    }

private:
    Form1Harness &window_;
};

}  // namespace

class OpenCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void trimsEveryLine_data();
    void trimsEveryLine();
    void readsTheStyleSheetsItLinks_data();
    void readsTheStyleSheetsItLinks();
    void readsBothEncodings_data();
    void readsBothEncodings();
    void keepsEveryByteOfGeneratedPages_data();
    void keepsEveryByteOfGeneratedPages();
    void keepsEveryByteOfBigPages_data();
    void keepsEveryByteOfBigPages();
    void secondOpenReplacesFirst_data();
    void secondOpenReplacesFirst();
    void cancelKeepsText();
    void startsWithEmptyUndoAndCaretAtStart();
    void failureKeepsEverything_data();
    void failureKeepsEverything();
    void opensDroppedFile_data();
    void opensDroppedFile();
    void drawsWindowBeforeLoadAndTextWhileBusy_data();
    void drawsWindowBeforeLoadAndTextWhileBusy();

private:
    QTemporaryDir dir_;
};

// Space ␣, tab ⇥, CR ␍ and LF ␊ in the row names.
void OpenCommandTest::trimsEveryLine_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("a␍␊b") << QByteArray("a\r\nb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("a␍␊b␍␊") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("a␍␍␊b") << QByteArray("a\r\r\nb") << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("one empty line") << QByteArray("\r\n") << QByteArray("\r\n");
    QTest::newRow("spaces inside stay")
        << QByteArray("   <p>  x  </p>   \r\n") << QByteArray("<p>  x  </p>\r\n");
    QTest::newRow("line of spaces becomes empty, empty lines stay")
        << QByteArray("a\r\n     \r\n\r\nb") << QByteArray("a\r\n\r\n\r\nb\r\n");
    QTest::newRow("tab shields spaces") << QByteArray("\t  x  \r\n") << QByteArray("\t  x\r\n");
    QTest::newRow("␣␣a␊␣␣b␣␣␊: lone LFs end lines and stay")
        << QByteArray("  a\n  b  \n") << QByteArray("a\nb\n");
    QTest::newRow("a␊b: the last line of a LF page gets LF")
        << QByteArray("a\n b ") << QByteArray("a\nb\n");
    QTest::newRow("a␍␊b␊c: the last line of a mixed page gets CR LF")
        << QByteArray("a\r\n b \nc") << QByteArray("a\r\nb\nc\r\n");
    QTest::newRow("a␊b␍: one CR makes the last line's end CR LF")
        << QByteArray(" a\nb\r c") << QByteArray("a\nb\r\nc\r\n");
    QTest::newRow("␊␊: empty LF lines") << QByteArray("\n  \n") << QByteArray("\n\n");
    QTest::newRow("only spaces") << QByteArray("   ") << QByteArray("\r\n");
    QTest::newRow("ideographic space is no space")
        << QByteArray(" \xe3\x80\x80x\xe3\x80\x80 ") << QByteArray("\xe3\x80\x80x\xe3\x80\x80\r\n");
    QTest::newRow("no-break space is no space")
        << QByteArray("\xc2\xa0 x \xc2\xa0") << QByteArray("\xc2\xa0 x \xc2\xa0\r\n");
    QTest::newRow("NUL and 0x1A are kept")
        << QByteArray(" a\0b\x1a \r", 7) << QByteArray("a\0b\x1a\r\n", 6);

    const QByteArray mark("\xef\xbb\xbf");
    QTest::newRow("byte-order mark: the first line starts behind it")
        << mark + "  x  \r\n  y  " << mark + "x\r\ny\r\n";
    QTest::newRow("byte-order mark of a LF page") << mark + " x \n y" << mark + "x\ny\n";
    QTest::newRow("byte-order mark alone") << mark << mark;
    QTest::newRow("byte-order mark behind spaces: they go")
        << "  " + mark + "  x" << mark + "x\r\n";
    QTest::newRow("byte-order mark inside a line is a character") << " x " + mark + " "
                                                                  << "x " + mark + "\r\n";

    // Whitespace-preserving content keeps its spaces; the tags' own lines are trimmed outside it.
    for (const char *name : {"pre", "textarea", "listing", "xmp", "plaintext"}) {
        for (const QByteArray &written : {QByteArray(name), QByteArray(name).toUpper()}) {
            // plaintext runs to the end: a tag that would end it is text, and the page ends in
            // it as it did.
            const QByteArray end =
                qstrcmp(name, "plaintext") == 0 ? QByteArray() : "</" + written + ">";
            QTest::addRow("<%s> keeps its spaces", written.constData())
                << "  <" + written + ">  a  \n    b  \n  " + end + "  \n  c  "
                << "<" + written + ">  a  \n    b  \n  " + end +
                       (end.isEmpty() ? "  \n  c  " : "\nc\n");
        }
    }
    QTest::newRow("spaces before the start tag and behind the end tag go")
        << QByteArray("   <pre>  x  </pre>   \r\n") << QByteArray("<pre>  x  </pre>\r\n");
    QTest::newRow("style white-space: pre-wrap, among other declarations")
        << QByteArray(
               "<div style=\"color: red; White-Space : Pre-Wrap !important\">\n  a  \n</div>  ")
        << QByteArray(
               "<div style=\"color: red; White-Space : Pre-Wrap !important\">\n  a  \n</div>\n");
    QTest::newRow("style in single quotes, white-space-collapse: preserve")
        << QByteArray("<p style='white-space-collapse:preserve'>\n  a  \n</p>\n  b  ")
        << QByteArray("<p style='white-space-collapse:preserve'>\n  a  \n</p>\nb\n");
    QTest::newRow("failure: white-space: pre-line collapses spaces, so they go")
        << QByteArray("<div style=\"white-space: pre-line\">\n  a  \n</div>")
        << QByteArray("<div style=\"white-space: pre-line\">\na\n</div>\n");
    QTest::newRow("failure: a later style attribute does not count")
        << QByteArray("<div style=\"color: red\" style=\"white-space: pre\">\n  a  \n</div>")
        << QByteArray("<div style=\"color: red\" style=\"white-space: pre\">\na\n</div>\n");
    QTest::newRow("white-space in a style element keeps the spaces of what it selects")
        << QByteArray("<style>\n  p { white-space: pre }\n</style>\n<p>\n  a  \n</p>\n  b  ")
        << QByteArray("<style>\np { white-space: pre }\n</style>\n<p>\n  a  \n</p>\nb\n");
    QTest::newRow("failure: a void element with the style has no content")
        << QByteArray("<br style=\"white-space:pre\">\n  a  \n")
        << QByteArray("<br style=\"white-space:pre\">\na\n");
    QTest::newRow("a div with the style ends at its matching end tag")
        << QByteArray("<div style=\"white-space:pre\">\n<div>\n  a  \n</div>\n  b  \n</div>\n  c  ")
        << QByteArray("<div style=\"white-space:pre\">\n<div>\n  a  \n</div>\n  b  \n</div>\nc\n");
    QTest::newRow("a span with the style inside a pre")
        << QByteArray("<pre><span style=\"white-space:pre\">\n  a  \n</span>  b  \n</pre>  \n  c  ")
        << QByteArray("<pre><span style=\"white-space:pre\">\n  a  \n</span>  b  \n</pre>\nc\n");
    QTest::newRow("a pre inside a pre: the outer end tag ends it")
        << QByteArray("<pre>\n<pre>\n  a  \n</pre>\n  b  \n</pre>\n  c  ")
        << QByteArray("<pre>\n<pre>\n  a  \n</pre>\n  b  \n</pre>\nc\n");
    QTest::newRow("> inside a quoted attribute does not end the tag")
        << QByteArray("<pre title=\"a > b\" class='>'>\n  x  \n</pre>")
        << QByteArray("<pre title=\"a > b\" class='>'>\n  x  \n</pre>\n");
    QTest::newRow("failure: </pre> inside a quoted attribute does not close it")
        << QByteArray("<pre>\n<a title=\"</pre>\">\n  x  \n</pre>\n  y  ")
        << QByteArray("<pre>\n<a title=\"</pre>\">\n  x  \n</pre>\ny\n");
    QTest::newRow("failure: <pre> inside a comment opens nothing")
        << QByteArray("<!-- <pre> -->\n  x  \n") << QByteArray("<!-- <pre> -->\nx\n");
    QTest::newRow("failure: <pre> inside a script string opens nothing")
        << QByteArray("<script>\n  var s = \"<pre>\";\n</script>\n  x  \n")
        << QByteArray("<script>\nvar s = \"<pre>\";\n</script>\nx\n");
    QTest::newRow("failure: </pre> inside a script in a pre does not close it")
        << QByteArray("<pre><script>\"</pre>\"</script>\n  x  \n</pre>")
        << QByteArray("<pre><script>\"</pre>\"</script>\n  x  \n</pre>\n");
    QTest::newRow("failure: a textarea's text holds no tags")
        << QByteArray("<textarea><pre></textarea>\n  x  \n")
        << QByteArray("<textarea><pre></textarea>\nx\n");
    QTest::newRow("failure: a title's text holds no tags")
        << QByteArray("<title><pre></title>\n  x  \n") << QByteArray("<title><pre></title>\nx\n");
    QTest::newRow("failure: a name that only starts with pre")
        << QByteArray("<prefix>\n  x  \n<pre_x>\n  y  \n")
        << QByteArray("<prefix>\nx\n<pre_x>\ny\n");
    QTest::newRow("plaintext runs past its own end tag")
        << QByteArray("<plaintext>\n</plaintext>\n  a  ")
        << QByteArray("<plaintext>\n</plaintext>\n  a  ");
    QTest::newRow("an unclosed pre runs to the end")
        << QByteArray("<pre>\n  a  \n  b  ") << QByteArray("<pre>\n  a  \n  b  ");
    QTest::newRow("failure: a start tag cut off by the end opens nothing")
        << QByteArray(" x \n<pre class=\" ") << QByteArray("x\n<pre class=\"\n");
}

void OpenCommandTest::trimsEveryLine() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    Form1Harness window;
    window.open(writeFile(dir_, QStringLiteral("page.htm"), file));
    QCOMPARE(window.textBytes(), text);
    QVERIFY(window.dialogs.shown.isEmpty());
}

// The style sheets a page links are read beside it; what cannot be read keeps nothing, and the
// window says nothing of it. Each row's files lie in a folder of their own, the page as
// page.htm; a name that ends in / is a folder, and @DIR@ in the page stands for the folder's
// file: URL.
void OpenCommandTest::readsTheStyleSheetsItLinks_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QByteArrayList>("files");
    QTest::addColumn<QByteArray>("text");

    const QByteArray styled("<p class=\"k\">\n  a  \n</p>\n  b  ");
    const QByteArray kept("<p class=\"k\">\n  a  \n</p>\nb\n");
    const QByteArray trimmed("<p class=\"k\">\na\n</p>\nb\n");
    const QByteArray rule(".k { white-space: pre }");
    const auto link = [&](const char *href) {
        return "<link rel=\"stylesheet\" href=\"" + QByteArray(href) + "\">\n";
    };
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    const QByteArrayList noFiles;

    row("a sheet beside the page") << link("site.css") + styled << QByteArrayList{"site.css"}
                                   << QByteArrayList{rule} << link("site.css") + kept;
    row("a sheet in a folder, and one it imports from the folder above")
        << link("css/main.css") + styled << QByteArrayList{"css/main.css", "more.css"}
        << QByteArrayList{"@import \"../more.css\";", rule} << link("css/main.css") + kept;
    row("an @import of a style element, through url()")
        << "<style>@import url(sheets/k.css);</style>\n" + styled << QByteArrayList{"sheets/k.css"}
        << QByteArrayList{rule} << "<style>@import url(sheets/k.css);</style>\n" + kept;
    row("a file: URL with a query and a fragment")
        << link("@DIR@/site.css?v=2#top") + styled << QByteArrayList{"site.css"}
        << QByteArrayList{rule} << link("@DIR@/site.css?v=2#top") + kept;
    row("a <base> names the folder links start from")
        << "<base href=\"sub/\">\n" + link("k.css") + styled << QByteArrayList{"sub/k.css", "k.css"}
        << QByteArrayList{rule, ".other { white-space: pre }"}
        << "<base href=\"sub/\">\n" + link("k.css") + kept;
    row("a data: URL") << link("data:text/css,.k%7Bwhite-space:pre%7D") + styled << noFiles
                       << QByteArrayList() << link("data:text/css,.k%7Bwhite-space:pre%7D") + kept;
    row("rel in capitals, and an alternate sheet")
        << "<LINK REL=\"Alternate StyleSheet\" HREF=\"site.css\">\n" + styled
        << QByteArrayList{"site.css"} << QByteArrayList{rule}
        << "<LINK REL=\"Alternate StyleSheet\" HREF=\"site.css\">\n" + kept;
    row("sheets that import themselves and each other are read once")
        << link("a.css") + styled << QByteArrayList{"a.css", "b.css"}
        << QByteArrayList{"@import 'a.css'; @import 'b.css';", "@import 'a.css';" + rule}
        << link("a.css") + kept;
    row("GBK: a sheet in the page's encoding, another that names its own")
        << "<meta charset=\"gbk\">\n" + link("gb.css") + link("utf8.css") +
               "<p class=\"\xd6\xd0\">\n  a  \n</p><p class=\"\xce\xc4\">\n  b  \n</p>"
        << QByteArrayList{"gb.css", "utf8.css"}
        << QByteArrayList{".\xd6\xd0 { white-space: pre }",
                          "@charset \"utf-8\";\n.\xe6\x96\x87 { white-space: pre }"}
        << "<meta charset=\"gbk\">\n" + link("gb.css") + link("utf8.css") +
               "<p class=\"中\">\n  a  \n</p><p class=\"文\">\n  b  \n</p>\n";
    row("failure: a missing sheet keeps nothing")
        << link("gone.css") + styled << noFiles << QByteArrayList() << link("gone.css") + trimmed;
    row("failure: a folder where the sheet should be")
        << link("site.css") + styled << QByteArrayList{"site.css/"} << QByteArrayList{QByteArray()}
        << link("site.css") + trimmed;
    row("failure: a sheet on the web is not read")
        << link("https://example.invalid/k.css") + styled << noFiles << QByteArrayList()
        << link("https://example.invalid/k.css") + trimmed;
    row("failure: a link that is no style sheet")
        << "<link rel=\"icon\" href=\"site.css\">\n" + styled << QByteArrayList{"site.css"}
        << QByteArrayList{rule} << "<link rel=\"icon\" href=\"site.css\">\n" + trimmed;
    row("failure: a missing sheet beside one that is read: the one read counts")
        << link("gone.css") + link("site.css") + styled << QByteArrayList{"site.css"}
        << QByteArrayList{rule} << link("gone.css") + link("site.css") + kept;
}

void OpenCommandTest::readsTheStyleSheetsItLinks() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArrayList, names);
    QFETCH(QByteArrayList, files);
    QFETCH(QByteArray, text);
    const QTemporaryDir folder;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString name = QString::fromUtf8(names[i]);
        if (name.endsWith(u'/')) {
            QVERIFY(QDir(folder.path()).mkpath(name));
        } else {
            QVERIFY(QDir(folder.path()).mkpath(QFileInfo(name).path()));
            writeFile(folder, name, files[i]);
        }
    }
    const QByteArray url = QUrl::fromLocalFile(folder.path()).toEncoded();
    page.replace("@DIR@", url);
    text.replace("@DIR@", url);
    Form1Harness window;
    window.open(writeFile(folder, QStringLiteral("page.htm"), page));
    QCOMPARE(window.textBytes(), text);
    QVERIFY(window.dialogs.shown.isEmpty());
}

void OpenCommandTest::readsBothEncodings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<FileEncoding>("encoding");

    QTest::newRow("UTF-8 Chinese")
        << QByteArray("  <p>中文</p>  ") << QByteArray("<p>中文</p>\r\n") << FileEncoding::Utf8;
    QTest::newRow("GB18030 Chinese") << QByteArray("  <p>\xd6\xd0\xce\xc4</p>  ")
                                     << QByteArray("<p>中文</p>\r\n") << FileEncoding::Gb18030;
    QTest::newRow("GB18030 four-byte character")
        << QByteArray("\x81\x30\x81\x30 ") << QByteArray("\xc2\x80\r\n") << FileEncoding::Gb18030;
    QTest::newRow("GB18030 with stray bytes kept raw")
        << QByteArray("\x80\xd6\xd0\xff") << QByteArray("\x80中\xff\r\n") << FileEncoding::Gb18030;
    QTest::newRow("GB18030 character cut off by a line end")
        << QByteArray("\xd6\r\n\xd0") << QByteArray("\xd6\r\n\xd0\r\n") << FileEncoding::Gb18030;
    QTest::newRow("stray byte beside one Chinese character makes the file GB18030")
        << QByteArray("\xe4\xb8\xad\x80") << QByteArray("\xe4\xb8\xad\x80\r\n")
        << FileEncoding::Gb18030;
    QTest::newRow("stray byte in a UTF-8 page with Chinese keeps it UTF-8")
        << QByteArray("  <p>中文</p>\xff  ") << QByteArray("<p>中文</p>\xff\r\n")
        << FileEncoding::Utf8;
    QTest::newRow("GB18030 page with pre")
        << QByteArray("  <pre>\n  \xd6\xd0\xce\xc4  \n</pre>  \n  \xd6\xd0  ")
        << QByteArray("<pre>\n  中文  \n</pre>\n中\n") << FileEncoding::Gb18030;
    QTest::newRow("GB18030: a lead byte before <pre> does not hide it")
        << QByteArray("\xd6<pre>\n  \xd6\xd0  \n</pre>")
        << QByteArray("\xd6<pre>\n  中  \n</pre>\n") << FileEncoding::Gb18030;
    QTest::newRow("declared Big5")
        << QByteArray("<meta charset=big5>  \r\n  <p>\xa4\xa4\xa4\xe5</p>  ")
        << QByteArray("<meta charset=big5>\r\n<p>中文</p>\r\n") << FileEncoding("BIG5");
}

void OpenCommandTest::readsBothEncodings() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    QFETCH(FileEncoding, encoding);
    Form1Harness window;
    window.open(writeFile(dir_, QStringLiteral("page.htm"), file));
    QCOMPARE(window.text().encoding(), encoding);
    QCOMPARE(window.encodedText(), referenceTrim(file));
    // The display of a page in another encoding is its UTF-8 text; where the bytes are valid in
    // that encoding that is exactly the text expected.
    if (encoding == FileEncoding::Utf8 || QByteArrayView(text).isValidUtf8())
        QCOMPARE(window.textBytes(), text);
}

void OpenCommandTest::keepsEveryByteOfGeneratedPages_data() {
    addGeneratedPageRows();
}

void OpenCommandTest::keepsEveryByteOfGeneratedPages() {
    QFETCH(bool, gb18030);
    QRandomGenerator random(gb18030 ? 18030 : 8);
    Form1Harness window;
    for (int round = 0; round < 300; ++round) {
        const QByteArray file = randomPageBytes(random, gb18030);
        window.open(writeFile(dir_, QStringLiteral("generated.htm"), file));
        QVERIFY2(window.encodedText() == referenceTrim(file), file.toHex(' ').constData());
    }
    QVERIFY(window.dialogs.shown.isEmpty());
}

// Pages of megabytes come through byte for byte, their encoding chosen from the whole page down
// to its last bytes, and the new text has no undo step.
void OpenCommandTest::keepsEveryByteOfBigPages_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<FileEncoding>("encoding");

    QRandomGenerator random(3);
    const QByteArray utf8 = randomBigPage(random, false, 3 << 20);
    QTest::newRow("UTF-8") << utf8 << FileEncoding::Utf8;
    QTest::newRow("UTF-8 but for a stray byte at the end") << utf8 + "\x80" << FileEncoding::Utf8;
    QTest::newRow("UTF-8 but for four stray bytes at the end")
        << utf8 + "\x80\x80\x80\x80" << FileEncoding::Gb18030;
    QTest::newRow("GB18030") << randomBigPage(random, true, 3 << 20) << FileEncoding::Gb18030;
}

void OpenCommandTest::keepsEveryByteOfBigPages() {
    QFETCH(QByteArray, file);
    QFETCH(FileEncoding, encoding);
    Form1Harness window;
    window.open(writeFile(dir_, QStringLiteral("big.htm"), file));
    QCOMPARE(window.text().encoding(), encoding);
    QVERIFY(window.encodedText() == referenceTrim(file));
    QVERIFY(!window.text().document().canUndo());
}

// Typed text is offered to be saved first, whichever way the second page comes.
void OpenCommandTest::secondOpenReplacesFirst_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("edits");  // to the first page, in turn: "x" typed, undone, saved
    QTest::addColumn<PlatformDialogs::Answer>("answer");
    QTest::addColumn<QString>("saveTo");  // the Save dialog's choice in the folder; none: cancelled
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QStringList>("dialogs");  // the dialogs shown, in turn
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QByteArray>("saved");  // what saved.htm holds afterwards
    QTest::addColumn<QString>("box");       // the first line of the message shown, if any

    using Answer = PlatformDialogs::Answer;
    const QByteArray first("first\r\n");
    const QByteArray typed("xfirst\r\n");
    const QByteArray second("second\r\n");
    const QString saved = QStringLiteral("saved.htm");
    const QString done = QStringLiteral("压缩完成：）");
    const QStringList none;
    const QStringList open{QStringLiteral("open")};
    const QStringList save{QStringLiteral("save")};
    const QStringList saveThenOpen{QStringLiteral("save"), QStringLiteral("open")};
    const QStringList ways{QStringLiteral("button"), QStringLiteral("Ctrl+O"),
                           QStringLiteral("drop"), QStringLiteral("command line")};
    for (const QString &way : ways) {
        const bool dialog = way == u"button" || way == u"Ctrl+O";
        QTest::addRow("%s, typed, 保存: saved, then opened", qPrintable(way))
            << way << "typed" << Answer::Save << saved << true << (dialog ? saveThenOpen : save)
            << second << typed << done;
        QTest::addRow("%s, typed, 不保存: opened", qPrintable(way))
            << way << "typed" << Answer::Discard << QString() << true << (dialog ? open : none)
            << second << QByteArray() << QString();
        QTest::addRow("%s, typed, 取消: kept", qPrintable(way))
            << way << "typed" << Answer::Cancel << QString() << true << none << typed
            << QByteArray() << QString();
    }
    QTest::newRow("button, only opened: no question")
        << "button" << QString() << Answer::Cancel << QString() << false << open << second
        << QByteArray() << QString();
    QTest::newRow("drop, typed and undone: no question")
        << "drop"
        << "typed, undone" << Answer::Cancel << QString() << false << none << second << QByteArray()
        << QString();
    QTest::newRow("command line, typed, saved, typed and undone: no question")
        << "command line"
        << "typed, saved, typed, undone" << Answer::Cancel << QString() << false << none << second
        << typed << QString();
    QTest::newRow("Ctrl+O, typed and saved: no question")
        << "Ctrl+O"
        << "typed, saved" << Answer::Cancel << QString() << false << open << second << typed
        << QString();
    QTest::newRow("button, 保存 but the Save dialog cancelled: kept")
        << "button"
        << "typed" << Answer::Save << QString() << true << save << typed << QByteArray()
        << QString();
    QTest::newRow("drop, 保存 but the save fails: kept")
        << "drop"
        << "typed" << Answer::Save << QStringLiteral("missing/saved.htm") << true << save << typed
        << QByteArray() << QStringLiteral("无法保存文件：%1/missing/saved.htm");
}

void OpenCommandTest::secondOpenReplacesFirst() {
    QFETCH(QString, way);
    QFETCH(QString, edits);
    QFETCH(PlatformDialogs::Answer, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, asked);
    QFETCH(QStringList, dialogs);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, saved);
    QFETCH(QString, box);
    QTemporaryDir dir;
    const QString first = writeFile(dir, QStringLiteral("first.htm"), "  first  \r\n");
    const QString second = writeFile(dir, QStringLiteral("second.htm"), "second");
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.form.openFile(first);
    TextArea &text = window.text();
    for (const QString &edit : edits.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        if (edit == u"typed") QTest::keyClicks(&text, QStringLiteral("x"));
        if (edit == u"undone") text.undo();
        if (edit == u"saved") window.save(dir.filePath(QStringLiteral("saved.htm")));
    }
    window.dialogs.kinds.clear();
    window.dialogs.shown.clear();

    window.dialogs.answers = {answer};
    if (dialogs.contains(u"save"))
        window.dialogs.files.append(saveTo.isEmpty() ? std::nullopt
                                                     : std::optional(dir.filePath(saveTo)));
    if (dialogs.contains(u"open")) window.dialogs.files.append(second);
    if (way == u"button") {
        window.click("Command1");
    } else if (way == u"Ctrl+O") {
        QApplication::setActiveWindow(&window.form);
        QTRY_VERIFY(window.form.isActiveWindow());
        QTest::keyClick(&text, Qt::Key_O, Qt::ControlModifier);
    } else if (way == u"drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(second)});
        QVERIFY(window.drop(data, text.mapTo(&window.form, text.rect().center()),
                            Qt::CopyAction | Qt::MoveAction));
    } else {
        window.form.openFile(second);  // what the command line does
    }

    QCOMPARE(window.dialogs.asked.size(), asked ? 1 : 0);
    if (asked) {
        const auto &question = window.dialogs.asked.first();
        QCOMPARE(question.text, QStringLiteral("文本已修改。要先保存吗？"));
        QCOMPARE(question.title, QStringLiteral("Zerediz"));
        QCOMPARE(question.parent, &window.form);
    }
    QCOMPARE(window.dialogs.kinds, dialogs);
    QCOMPARE(window.textBytes(), shown);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("saved.htm"))), saved);
    QCOMPARE(window.dialogs.shown.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty())
        QCOMPARE(window.dialogs.shown.first().text.section(u'\n', 0, 0),
                 QString(box).replace(QStringLiteral("%1"), dir.path()));
    // The next dialog starts with the page shown, or with the one kept.
    window.open(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), shown == "second\r\n" ? second : first);
}

void OpenCommandTest::cancelKeepsText() {
    Form1Harness window;
    const QString page = writeFile(dir_, QStringLiteral("page.htm"), " kept ");
    window.open(page);
    window.open(std::nullopt);
    QCOMPARE(window.textBytes(), QByteArray("kept\r\n"));
    QVERIFY(window.dialogs.shown.isEmpty());
    window.open(std::nullopt);
    QCOMPARE(window.dialogs.startPaths, QStringList({QString(), page, page}));
}

void OpenCommandTest::startsWithEmptyUndoAndCaretAtStart() {
    Form1Harness window;
    window.setText("typed before\r\n");
    window.text().setCaret(5);
    window.text().insertText("x");
    window.open(writeFile(dir_, QStringLiteral("page.htm"), "a\r\nb\r\n"));
    QVERIFY(!window.text().document().canUndo());
    QVERIFY(!window.text().document().isModified());
    QCOMPARE(window.text().caret(), 0);
    window.text().insertText("y");
    QCOMPARE(window.textBytes(), QByteArray("ya\r\nb\r\n"));
    window.text().undo();
    QCOMPARE(window.textBytes(), QByteArray("a\r\nb\r\n"));
}

void OpenCommandTest::failureKeepsEverything_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << dir_.filePath(QStringLiteral("missing.htm"))
                                  << QStringLiteral("文件不存在");
}

// Why a file cannot be read is the core's to tell; the window shows it and loses nothing.
void OpenCommandTest::failureKeepsEverything() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    Form1Harness window;
    const QString page = writeFile(dir_, QStringLiteral("good.htm"), " good ");
    window.open(page);
    window.open(path);
    QCOMPARE(window.textBytes(), QByteArray("good\r\n"));
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
    QCOMPARE(box.title, QStringLiteral("Zerediz"));
    QCOMPARE(box.text, QStringLiteral("无法打开文件：") + path + u'\n' + reason);
    window.open(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), page);
}

void OpenCommandTest::opensDroppedFile_data() {
    QTest::addColumn<QStringList>("urls");  // %1 is the test's folder, as a URL's path has it
    QTest::addColumn<QString>("text");      // the drag's plain text
    QTest::addColumn<QString>("place");     // where on the window it is dropped
    QTest::addColumn<bool>("copyOffered");  // or only a move
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QString>("box");         // %1 is the test's folder
    QTest::addColumn<QString>("remembered");  // the name the next dialog starts with

    const QStringList page{QStringLiteral("file://%1/dropped.htm")};
    const QByteArray dropped("dropped\r\n");
    const QByteArray kept("kept\r\n");
    const QString pagePath = QStringLiteral("%1/dropped.htm");
    const QString keptPath = QStringLiteral("%1/kept.htm");
    for (const QString &place :
         {QStringLiteral("Text1"), QStringLiteral("Command1"), QStringLiteral("Command2"),
          QStringLiteral("menu bar"), QStringLiteral("background")}) {
        QTest::addRow("a file on %s", qPrintable(place))
            << page << QString() << place << true << true << dropped << QString() << pagePath;
    }
    // Compressed together where they lie (site_job_test), not opened; 取消 here.
    QTest::newRow("several files: none is opened")
        << QStringList{page.first(), QStringLiteral("file://%1/other.htm")} << QString()
        << QStringLiteral("Text1") << true << true << kept << QString() << keptPath;
    QTest::newRow("a file that is gone: the Open command's error box")
        << QStringList{QStringLiteral("file://%1/missing.htm")} << QString()
        << QStringLiteral("Text1") << true << true << kept
        << QStringLiteral("无法打开文件：%1/missing.htm\n文件不存在") << keptPath;
    QTest::newRow("a folder is taken, not opened")
        << QStringList{QStringLiteral("file://%1")} << QString() << QStringLiteral("Command1")
        << true << true << kept << QString() << keptPath;
    QTest::newRow("a folder first is refused")
        << QStringList{QStringLiteral("file://%1"), page.first()} << QString()
        << QStringLiteral("Text1") << true << false << kept << QString() << keptPath;
    QTest::newRow("a remote page is refused, its text too")
        << QStringList{QStringLiteral("https://example.com/page.htm")}
        << QStringLiteral("https://example.com/page.htm") << QStringLiteral("Text1") << true
        << false << kept << QString() << keptPath;
    QTest::newRow("a file of another host is refused")
        << QStringList{QStringLiteral("file://example.com%1/dropped.htm")} << QString()
        << QStringLiteral("Text1") << true << false << kept << QString() << keptPath;
    QTest::newRow("a file offered only to be moved is refused")
        << page << QString() << QStringLiteral("Text1") << false << false << kept << QString()
        << keptPath;
    QTest::newRow("text is inserted, with CR LF line ends")
        << QStringList() << QStringLiteral("a\nb") << QStringLiteral("Text1") << true << true
        << QByteArray("kept\r\na\r\nb") << QString() << keptPath;
    QTest::newRow("text on a button is refused")
        << QStringList() << QStringLiteral("a") << QStringLiteral("Command1") << true << false
        << kept << QString() << keptPath;
}

void OpenCommandTest::opensDroppedFile() {
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    QFETCH(QString, place);
    QFETCH(bool, copyOffered);
    QFETCH(bool, taken);
    QFETCH(QByteArray, shown);
    QFETCH(QString, box);
    QFETCH(QString, remembered);
    const auto inFolder = [this](QString text) {
        return text.replace(QStringLiteral("%1"), dir_.path());
    };
    writeFile(dir_, QStringLiteral("dropped.htm"), "  dropped  ");
    writeFile(dir_, QStringLiteral("other.htm"), "other");
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.open(writeFile(dir_, QStringLiteral("kept.htm"), " kept "));

    QMimeData data;
    QList<QUrl> links;
    // A URL's path starts with a slash, before the drive too (file:///C:/...).
    const QString urlFolder = QUrl::fromLocalFile(dir_.path()).path();
    for (QString url : urls) links.append(QUrl(url.replace(QStringLiteral("%1"), urlFolder)));
    if (!links.isEmpty()) data.setUrls(links);
    if (!text.isEmpty()) data.setText(text);
    QWidget *target = place == u"menu bar"     ? window.form.menuBar()
                      : place == u"background" ? window.form.centralWidget()
                                               : window.form.findChild<QWidget *>(place);
    // The background shows in the corner, away from every control.
    const QPoint inside = place == u"background" ? QPoint(2, 2) : target->rect().center();
    const Qt::DropActions offered = copyOffered ? Qt::CopyAction | Qt::MoveAction : Qt::MoveAction;

    QCOMPARE(window.drop(data, target->mapTo(&window.form, inside), offered), taken);
    QCOMPARE(window.textBytes(), shown);
    QCOMPARE(window.dialogs.shown.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) QCOMPARE(window.dialogs.shown.first().text, inFolder(box));
    window.open(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), inFolder(remembered));
}

void OpenCommandTest::drawsWindowBeforeLoadAndTextWhileBusy_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("page") << writeFile(dir_, QStringLiteral("new.htm"), " new ")
                          << QByteArray("new\r\n");
    QTest::newRow("missing page") << dir_.filePath(QStringLiteral("missing.htm"))
                                  << QByteArray("old\r\n");
}

// A long load holds the event loop: the window is drawn before it, so that no piece of the closed
// dialog stays on screen, and the new text is first drawn while the wait cursor is still up.
void OpenCommandTest::drawsWindowBeforeLoadAndTextWhileBusy() {
    QFETCH(QString, path);
    QFETCH(QByteArray, shown);
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.setText("old\r\n");
    QCoreApplication::processEvents();

    PaintLog log(window);
    window.open(path);
    QVERIFY(log.paints.contains(PaintLog::Paint{false, "old\r\n", true, true}));
    if (shown != "old\r\n") QVERIFY(log.paints.contains(PaintLog::Paint{true, shown, true, true}));
    QCOMPARE(window.textBytes(), shown);
}

QTEST_MAIN(OpenCommandTest)
#include "open_command_test.moc"
