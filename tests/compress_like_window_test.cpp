#include <QRandomGenerator>

#include "byte_samples.h"
#include "compress_program.h"
#include "form1_harness.h"

// zerediz-compress writes for each page exactly what opening it in the window and saving it right
// away writes, whatever its bytes are.
class CompressLikeWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesWhatTheWindowSaves_data();
    void writesWhatTheWindowSaves();
};

void CompressLikeWindowTest::writesWhatTheWindowSaves_data() {
    addGeneratedPageRows();
}

void CompressLikeWindowTest::writesWhatTheWindowSaves() {
    QFETCH(bool, gb18030);
    QRandomGenerator random(gb18030 ? 54936 : 1208);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("pages")));
    // A GB18030 four-byte code with a two-byte twin, characters cut off at the very end, and pages
    // that declare their charset, with bytes it does not have.
    QByteArrayList pages{
        "  \x95\x32\x90\x31  \r\n \xfe\x51 ", " \xe4\xb8", "\xd6 ",
        "<meta charset=\"big5\">\r\n  \xa4\xa4\xa4\xe5 \x80 \r\n \xa4",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
        "\r  \x82\xa0  \r\n\x82",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n  caf\xe9  ",
        "<meta charset=\"windows-1252\"> \x81\x80 \r", "<meta charset=\"utf-8\">\r\n  \xd6\xd0  ",
        "<meta charset=\"x-no-such-charset\">  a  ",
        // Lines that end with LF, a byte-order mark, and content whose spaces stay.
        "\xef\xbb\xbf  <pre>\n  \xe4\xb8\xad  \n</pre>  \n  b  ",
        "<meta charset=\"gbk\">\n<textarea>  \xd6\xd0  \n</textarea>  \r\n  x",
        // Style sheets linked beside the page, one importing another, one missing; and scripts,
        // attribute values and SVG that keep spaces.
        "<link rel=\"stylesheet\" href=\"site.css\">\n<p class=\"k\">\n  a  \n</p><p class=\"m\">\n"
        "  b  \n</p>\n  c  ",
        "<link rel=stylesheet href=gone.css>\r\n<style>@import 'more.css';</style><b class=m>\r\n  "
        "d  "
        "\r\n</b>  \r\n",
        "<meta charset=\"gbk\"><link rel=\"stylesheet\" href=\"site.css\">\n<p "
        "class=\"\xd6\xd0\">\n"
        "  \xd6\xd0  \n</p>",
        "<script>\n  t = `\n  a  \n`;  \n</script><p title=\"x  \n  y\">  \n<svg><text "
        "xml:space=\"preserve\">\n  z  \n</text></svg>"};
    writeFile(
        dir, QStringLiteral("pages/site.css"),
        "@import url(more.css);\n.k { white-space: pre }\n.\xd6\xd0 { white-space: pre-wrap }");
    writeFile(dir, QStringLiteral("pages/more.css"), ".m { white-space: break-spaces }");
    for (int i = 0; i < 60; ++i) pages.append(randomPageBytes(random, gb18030));
    for (int i = 0; i < pages.size(); ++i)
        writeFile(dir, QStringLiteral("pages/%1.html").arg(i), pages[i]);

    const ProgramRun run = runCompress(
        dir.path(),
        {QStringLiteral("--output-dir"), QStringLiteral("out"), QStringLiteral("pages")});
    QCOMPARE(run.exitCode, 0);

    Form1Harness window;
    const QString saved = dir.filePath(QStringLiteral("saved.html"));
    for (int i = 0; i < pages.size(); ++i) {
        window.open(dir.filePath(QStringLiteral("pages/%1.html").arg(i)));
        window.save(saved);
        QVERIFY2(readFile(dir.filePath(QStringLiteral("out/%1.html").arg(i))) == readFile(saved),
                 pages[i].toHex(' ').constData());
    }
}

QTEST_MAIN(CompressLikeWindowTest)
#include "compress_like_window_test.moc"
