#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A page like a generated report: indented HTML with CR LF line ends, runs of spaces at both ends
// of most lines, blank and space-only lines, some tab-indented lines, and Chinese text in the
// cells. The UTF-8 result has close to size bytes and ends with a complete line. The same size
// always gives the same page.
QByteArray generatePage(qsizetype size);

// The same page with a code sample in a <pre> block every 100 lines, whose spaces are content.
QByteArray generatePreBlockPage(qsizetype size);

// What a minifier makes of such a page: every line stripped of its spaces and joined to the next,
// so the whole page is one line of close to size bytes, valid UTF-8, without a line end.
QByteArray generateOneLinePage(qsizetype size);

// The page in GB18030, converted with the system's iconv. Every generated character exists in
// GB18030, so the conversion is complete.
QByteArray toGb18030(QByteArrayView utf8);
