#include "core/temporary_file_name.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

constexpr char kMark[] = ".zerediz-";
constexpr char kEnd[] = ".tmp";
constexpr int kRandomLetters = 6;
constexpr qsizetype kLongestName = 255;  // NAME_MAX of the usual Linux file systems

}  // namespace

QByteArray temporaryFileName(const QByteArray &name) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray random(kRandomLetters, Qt::Uninitialized);
    for (char &letter : random)
        letter = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    const qsizetype room = kLongestName - 1 - qsizetype(sizeof kMark - 1) - kRandomLetters -
                           qsizetype(sizeof kEnd - 1);
    return '.' + name.left(room) + kMark + random + kEnd;
}

bool isTemporaryFileName(const QString &name) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\..+\\.zerediz-[A-Za-z0-9]{%1}\\.tmp$").arg(kRandomLetters),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(name).hasMatch();
}
