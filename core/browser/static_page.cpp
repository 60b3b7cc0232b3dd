#include "core/browser/static_page.h"

#include <QString>
#include <algorithm>

#include "core/encoding/encoding.h"

namespace {

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool startsWithByteOrderMark(QByteArrayView page) {
    return page.startsWith("\xef\xbb\xbf") || page.startsWith("\xfe\xff") ||
           page.startsWith("\xff\xfe");
}

}  // namespace

bool mayRunScripts(QByteArrayView page) {
    // UTF-16 and the like hide their tags from a search of the bytes.
    if (page.contains('\0') || page.startsWith("\xfe\xff") || page.startsWith("\xff\xfe"))
        return true;
    // Searched by hand, not with a regular expression: one matched on a thread leaves Qt a stack
    // of that thread's own to free as it ends, and under Wine that end can keep the whole process
    // from ending.
    const QByteArray text = page.toByteArray().toLower();
    for (const char *word : {"<script", "<noscript", "<iframe", "<frame", "<object", "<embed",
                             "<portal", "<fencedframe", "javascript:", "xml-stylesheet"}) {
        if (text.contains(word)) return true;
    }
    const qsizetype size = text.size();
    const auto spacesFrom = [&](qsizetype i) {
        while (i < size && isAsciiSpace(text[i])) ++i;
        return i;
    };
    // http-equiv="refresh", spaces and quotes as they may come.
    for (qsizetype at = text.indexOf("http-equiv"); at >= 0;
         at = text.indexOf("http-equiv", at + 1)) {
        qsizetype i = spacesFrom(at + 10);
        if (i >= size || text[i] != '=') continue;
        i = spacesFrom(i + 1);
        if (i < size && (text[i] == '"' || text[i] == '\'')) ++i;
        if (QByteArrayView(text).sliced(spacesFrom(i)).startsWith("refresh")) return true;
    }
    // An event handler: on and letters, then =, after a space, a quote or a slash (an attribute
    // may follow a quote or a slash with no space between).
    for (qsizetype at = text.indexOf("on"); at > 0; at = text.indexOf("on", at + 1)) {
        const char before = text[at - 1];
        if (!isAsciiSpace(before) && before != '"' && before != '\'' && before != '/') continue;
        qsizetype i = at + 2;
        while (i < size && text[i] >= 'a' && text[i] <= 'z') ++i;
        if (i == at + 2) continue;
        i = spacesFrom(i);
        if (i < size && text[i] == '=') return true;
    }
    return false;
}

bool readInSameEncoding(QByteArrayView page, QByteArrayView other) {
    if (startsWithByteOrderMark(page) || startsWithByteOrderMark(other))
        return page.first(std::min<qsizetype>(3, page.size())) ==
               other.first(std::min<qsizetype>(3, other.size()));
    const auto declared = declaredEncoding(page);
    if (declared || declaredEncoding(other)) return declared == declaredEncoding(other);
    const auto ascii = [](QByteArrayView bytes) {
        return std::all_of(bytes.begin(), bytes.end(),
                           [](char c) { return c != 0 && static_cast<unsigned char>(c) < 0x80; });
    };
    return ascii(page) && ascii(other);
}
