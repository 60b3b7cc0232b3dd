#pragma once

#include <QMimeData>
#include <functional>
#include <optional>

// Text on a clipboard or in a drag: the exact bytes in a private format, NUL and bytes that are
// no character included, so that copies between text areas keep them, and beside them plain text
// for other programs, made only when one asks for it: well-formed UTF-8 is the bytes themselves,
// not a copy of them.
class TextMimeData : public QMimeData {
public:
    static const QString kBytesType;

    // Bytes of its own.
    explicit TextMimeData(QByteArray bytes);
    // Bytes read each time a program asks: a selection as it stands then.
    explicit TextMimeData(std::function<QByteArray()> bytes);

    QStringList formats() const override;
    bool hasFormat(const QString &type) const override;

    // The bytes any mime data stands for: its exact bytes, or its plain text as UTF-8.
    static std::optional<QByteArray> bytesFrom(const QMimeData *data);

protected:
    QVariant retrieveData(const QString &type, QMetaType) const override;

private:
    std::function<QByteArray()> bytes_;
};
