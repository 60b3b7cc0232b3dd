#include "core/browser/static_page.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>

#include "core/encoding/encoding.h"

namespace {

bool startsWithByteOrderMark(QByteArrayView page) {
    return page.startsWith("\xef\xbb\xbf") || page.startsWith("\xfe\xff") ||
           page.startsWith("\xff\xfe");
}

}  // namespace

bool mayRunScripts(QByteArrayView page) {
    // UTF-16 and the like hide their tags from a search of the bytes.
    if (page.contains('\0') || page.startsWith("\xfe\xff") || page.startsWith("\xff\xfe"))
        return true;
    // An attribute may follow a quote or a slash with no space between.
    static const QRegularExpression running(
        QStringLiteral("<(no)?script|<i?frame|<object|<embed|<portal|<fencedframe|javascript:|"
                       "xml-stylesheet|http-equiv\\s*=\\s*[\"']?\\s*refresh|"
                       "[\\s\"'/]on[a-z]+\\s*="),
        QRegularExpression::CaseInsensitiveOption);
    return QString::fromLatin1(page.data(), page.size()).contains(running);
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
