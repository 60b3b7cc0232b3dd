#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/encoding/encoding.h"

// The style sheets a page links: the href of each <link rel="stylesheet">, and the URL of each
// @import of its <style> elements, as written (character references read), in page order, with
// the href of its first <base>, against which a browser resolves them; and the text of its
// <style> elements.
struct StyleSheetLinks {
    QString base;
    QStringList sheets;
    std::vector<QByteArray> styleElements;
};
StyleSheetLinks styleSheetLinks(QByteArrayView page, const FileEncoding &encoding);

// The text of a page's <style> elements, as styleSheetLinks finds them.
std::vector<QByteArray> styleElementTexts(QByteArrayView page, const FileEncoding &encoding);
