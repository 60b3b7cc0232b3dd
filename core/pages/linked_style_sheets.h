#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

#include "core/encoding/encoding.h"
#include "core/files/file_error.h"
#include "core/trim/preserved_content.h"

// A style sheet that a page links and that was not read, and why: it is no file of this computer
// (on the web, or on another host), the page has no place to find it from (it came from standard
// input, and the link is relative), or reading its file failed.
struct UnreadStyleSheet {
    enum class Why { NotLocal, NoPlace, FileFailed };
    QString name;  // the file's path, or the URL as written
    Why why = Why::NotLocal;
    FileError error = {};  // for FileFailed

    friend bool operator==(const UnreadStyleSheet &, const UnreadStyleSheet &) = default;
};

// What a browser reads beside a page, read here as one that opens the page's file does: the
// encoding of the page (choosePageEncoding's, unless the caller chose it already), and the style
// sheets it links (see styleSheetLinks) with those they import, to any depth, each resolved
// against the URL of what names it (the page's <base>, the page's own file, the importing
// sheet), and each read once. A sheet is read where it is a file (a relative path or a file: URL)
// or lies in a data: URL; what is not read keeps nothing and goes to unread, each name once.
// pagePath is empty for a page that has no file. A page that holds nothing whose spaces the trim
// keeps needs nothing from beside it, which this tells at once.
PageContext readPageContext(QByteArrayView page, const QString &pagePath,
                            std::optional<FileEncoding> encoding,
                            std::vector<UnreadStyleSheet> &unread);
