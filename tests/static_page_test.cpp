#include <QTest>

#include "core/browser/static_page.h"

// Whether a page may run a script decides whether the check shows it without scripts at all: a
// yes costs a showing, a no where a browser runs one would let a difference through.
class StaticPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsWhatMayRunScripts_data();
    void findsWhatMayRunScripts();
};

void StaticPageTest::findsWhatMayRunScripts_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("scripts");
    QTest::newRow("text alone") << QByteArray("<p>Done = 3, on and on</p>") << false;
    QTest::newRow("a word that ends in on, then =") << QByteArray("<p>button=1</p>") << false;
    QTest::newRow("on alone before =") << QByteArray("<p>go on = stop</p>") << false;
    QTest::newRow("another meta") << QByteArray("<meta http-equiv=\"content-type\">") << false;
    QTest::newRow("a script") << QByteArray("<p>x</p><SCRIPT>f()</SCRIPT>") << true;
    QTest::newRow("a noscript") << QByteArray("<noscript>no</noscript>") << true;
    QTest::newRow("an iframe") << QByteArray("<iframe src=a.html>") << true;
    QTest::newRow("a frameset") << QByteArray("<frameset><frame src=a.html>") << true;
    QTest::newRow("an object") << QByteArray("<object data=a.svg>") << true;
    QTest::newRow("an embed") << QByteArray("<embed src=a.svg>") << true;
    QTest::newRow("a portal") << QByteArray("<portal src=a.html>") << true;
    QTest::newRow("a fenced frame") << QByteArray("<fencedframe>") << true;
    QTest::newRow("a javascript: address") << QByteArray("<a href='JavaScript:f()'>") << true;
    QTest::newRow("an XSLT sheet") << QByteArray("<?xml-stylesheet href=a.xsl?>") << true;
    QTest::newRow("a refresh") << QByteArray("<meta http-equiv=refresh content=1>") << true;
    QTest::newRow("a refresh, quoted, spaced")
        << QByteArray("<meta http-equiv = \" Refresh\" content=1>") << true;
    QTest::newRow("a refresh in single quotes")
        << QByteArray("<meta content=1 http-equiv='refresh'>") << true;
    QTest::newRow("a handler after a space") << QByteArray("<body onload=f()>") << true;
    QTest::newRow("a handler after a line end") << QByteArray("<body\nONLOAD\t=f()>") << true;
    QTest::newRow("a handler after a quote") << QByteArray("<img src='a'onerror=f()>") << true;
    QTest::newRow("a handler after a slash") << QByteArray("<img/onerror=f()>") << true;
    QTest::newRow("UTF-16, whose tags a search of the bytes misses")
        << QByteArray("\xff\xfe<\0p\0>\0", 8) << true;
}

void StaticPageTest::findsWhatMayRunScripts() {
    QFETCH(QByteArray, page);
    QFETCH(bool, scripts);
    QCOMPARE(mayRunScripts(page), scripts);
}

QTEST_GUILESS_MAIN(StaticPageTest)
#include "static_page_test.moc"
