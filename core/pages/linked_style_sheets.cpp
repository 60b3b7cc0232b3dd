#include "core/pages/linked_style_sheets.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <set>

#include "core/css/css_reader.h"
#include "core/files/page_file.h"
#include "core/trim/page_look.h"
#include "core/trim/style_sheet_links.h"

namespace {

// The bytes of a data: URL, and the charset it names.
struct DataUrl {
    QByteArray bytes;
    std::optional<FileEncoding> charset;
};

std::optional<DataUrl> dataUrlBytes(const QString &url) {
    const QByteArray text = url.toUtf8();
    const qsizetype comma = text.indexOf(',');
    if (comma < 0) return std::nullopt;
    const QByteArray meta = text.sliced(5, comma - 5).toLower();  // behind "data:"
    DataUrl data;
    const QByteArray payload = QByteArray::fromPercentEncoding(text.sliced(comma + 1));
    data.bytes = meta.endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
    const qsizetype charset = meta.indexOf("charset=");
    if (charset >= 0) {
        const QByteArray label = meta.sliced(charset + 8).split(';').front();
        data.charset = encodingForLabel(label);
    }
    return data;
}

class SheetReader {
public:
    // Names files relative to the current folder where the page is named so and they lie below
    // it, as the page's own name is.
    SheetReader(std::vector<StyleSheetText> &sheets, std::vector<UnreadStyleSheet> &unread,
                bool relativeNames)
        : sheets_(sheets), unread_(unread), relativeNames_(relativeNames) {}

    // Reads the sheet that link names, resolved against base, and the sheets it imports.
    void read(const QString &link, const QUrl &base, const FileEncoding &environment) {
        QUrl url(link, QUrl::TolerantMode);
        if (url.isRelative()) {
            if (base.isEmpty()) {
                notRead({link, UnreadStyleSheet::Why::NoPlace});
                return;
            }
            url = base.resolved(url);
        }
        const QString scheme = url.scheme().toLower();
        if (scheme == u"data") {
            if (!taken(url.toString())) return;
            const std::optional<DataUrl> data = dataUrlBytes(url.toString());
            if (!data) return;
            take(data->bytes, data->charset.value_or(environment), url);
            return;
        }
        const bool local =
            scheme == u"file" && (url.host().isEmpty() || url.host() == u"localhost");
        if (!local) {
            notRead({link, UnreadStyleSheet::Why::NotLocal});
            return;
        }
        url.setHost({});
        const QString path = QDir::cleanPath(url.toLocalFile());
        if (!taken(path)) return;
        auto bytes = readRegularFile(path, kMaxDocumentSize);
        if (const auto *error = std::get_if<FileError>(&bytes)) {
            notRead({nameOf(path), UnreadStyleSheet::Why::FileFailed, *error});
            return;
        }
        url.setQuery(QString());
        url.setFragment(QString());
        take(std::get<QByteArray>(bytes), environment, url);
    }

private:
    // Whether a sheet is met for the first time.
    bool taken(const QString &key) { return seen_.insert(key).second; }

    // A sheet is named as the report names pages, with / on every system, from the current
    // folder where it lies below it.
    QString nameOf(const QString &path) const {
        if (!relativeNames_) return path;
        const QString relative = QDir::current().relativeFilePath(path);
        const bool outside = relative == u".." || relative.startsWith(QStringLiteral("../"));
        return outside ? path : relative;
    }

    void take(const QByteArray &bytes, const FileEncoding &environment, const QUrl &url) {
        const FileEncoding encoding = styleSheetEncoding(bytes, environment);
        sheets_.push_back({bytes, encoding});
        for (const QString &import : styleSheetImports(bytes, encoding))
            read(import, url, encoding);
    }

    void notRead(const UnreadStyleSheet &sheet) {
        if (std::find(unread_.begin(), unread_.end(), sheet) == unread_.end())
            unread_.push_back(sheet);
    }

    std::vector<StyleSheetText> &sheets_;
    std::vector<UnreadStyleSheet> &unread_;
    const bool relativeNames_;
    std::set<QString> seen_;
};

}  // namespace

PageContext readPageContext(QByteArrayView page, const QString &pagePath,
                            std::optional<FileEncoding> encoding,
                            std::vector<UnreadStyleSheet> &unread) {
    PageContext context;
    context.holdsNothing = !mayHoldPreservedContent(page);
    if (context.holdsNothing) return context;
    context.encoding = encoding ? *encoding : choosePageEncoding(page).encoding;
    StyleSheetLinks links = styleSheetLinks(page, context.encoding);
    context.styleElements = std::move(links.styleElements);
    if (links.sheets.isEmpty()) return context;
    QUrl base;
    if (!pagePath.isEmpty()) base = QUrl::fromLocalFile(QFileInfo(pagePath).absoluteFilePath());
    if (!links.base.isEmpty()) {
        const QUrl named(links.base, QUrl::TolerantMode);
        base = named.isRelative() ? (base.isEmpty() ? QUrl() : base.resolved(named)) : named;
    }
    SheetReader reader(context.linkedSheets, unread, QFileInfo(pagePath).isRelative());
    for (const QString &link : links.sheets) reader.read(link, base, context.encoding);
    return context;
}
