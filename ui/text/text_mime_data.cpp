#include "ui/text/text_mime_data.h"

#include "ui/text/text_document.h"

const QString TextMimeData::kBytesType = QStringLiteral("application/x-zerediz-bytes");

TextMimeData::TextMimeData(QByteArray bytes)
    : TextMimeData([bytes = std::move(bytes)] { return bytes; }) {}

TextMimeData::TextMimeData(std::function<QByteArray()> bytes) : bytes_(std::move(bytes)) {}

QStringList TextMimeData::formats() const {
    return {kBytesType, QStringLiteral("text/plain")};
}

bool TextMimeData::hasFormat(const QString &type) const {
    return formats().contains(type);
}

QVariant TextMimeData::retrieveData(const QString &type, QMetaType) const {
    if (type == kBytesType) return bytes_();
    if (type == u"text/plain") return TextDocument::readableUtf8(bytes_());
    return {};
}

std::optional<QByteArray> TextMimeData::bytesFrom(const QMimeData *data) {
    if (!data) return std::nullopt;
    if (data->hasFormat(kBytesType)) return data->data(kBytesType);
    if (data->hasText()) return data->text().toUtf8();
    return std::nullopt;
}
