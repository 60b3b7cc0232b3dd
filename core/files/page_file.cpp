#include "core/files/page_file.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

constexpr char kTemporaryMark[] = ".zerediz-";
constexpr char kTemporaryEnd[] = ".tmp";
constexpr int kRandomLetters = 6;
static_assert(kTemporarySuffixLength == qsizetype(sizeof kTemporaryMark - 1) + kRandomLetters +
                                            qsizetype(sizeof kTemporaryEnd - 1));

}  // namespace

WriteResult writeRegularFile(const QString &path, QByteArrayView bytes, const TargetRule &rule) {
    return finishWrite(startWrite(path, bytes, rule));
}

WriteResult finishWrite(StartedWrite write) {
    if (write.done_) return *std::move(write.done_);
    return StartedWrite::finish(*write.steps_);
}

QString temporaryNameSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString random(kRandomLetters, Qt::Uninitialized);
    for (QChar &letter : random)
        letter =
            QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
    return QLatin1String(kTemporaryMark) + random + QLatin1String(kTemporaryEnd);
}

bool isTemporaryFileName(const QString &name) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\..+\\.zerediz-[A-Za-z0-9]{%1}\\.tmp$").arg(kRandomLetters),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(name).hasMatch();
}
