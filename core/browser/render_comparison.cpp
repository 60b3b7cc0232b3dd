#include "core/browser/render_comparison.h"

#include <algorithm>

namespace {

// A line cut down to what a report line holds: around where it first differs from the other.
QString excerpt(const QString &line, qsizetype from) {
    constexpr qsizetype kBefore = 20;
    constexpr qsizetype kLength = 60;
    const qsizetype start = std::max<qsizetype>(0, from - kBefore);
    QString shown = line.mid(start, kLength);
    if (start > 0) shown.prepend(u'…');
    if (start + kLength < line.size()) shown.append(u'…');
    // An attribute's value may span lines: a line end shows as what a person reads as one.
    return shown.replace(u'\n', u'↵').replace(u'\r', u'␍').replace(u'\t', u'⇥');
}

qsizetype firstUnequal(const QString &a, const QString &b) {
    const auto [differs, unused] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return differs - a.begin();
}

std::optional<RenderDifference> textDifference(const QString &before, const QString &after) {
    if (before == after) return std::nullopt;
    const QStringList beforeLines = before.split(u'\n');
    const QStringList afterLines = after.split(u'\n');
    RenderDifference difference;
    qsizetype line = 0;
    while (line < beforeLines.size() && line < afterLines.size() &&
           beforeLines[line] == afterLines[line])
        ++line;
    difference.line = line + 1;
    const QString old = beforeLines.value(line);
    const QString now = afterLines.value(line);
    const qsizetype from = firstUnequal(old, now);
    difference.before = excerpt(old, from);
    difference.after = excerpt(now, from);
    return difference;
}

std::optional<RenderDifference> attributeDifference(const QList<SeenAttribute> &before,
                                                    const QList<SeenAttribute> &after) {
    const qsizetype common = std::min(before.size(), after.size());
    for (qsizetype i = 0; i <= common; ++i) {
        if (i == common && before.size() == after.size()) break;
        const SeenAttribute old = before.value(i);
        const SeenAttribute now = after.value(i);
        if (i < common && old == now) continue;
        RenderDifference difference;
        difference.kind = RenderDifference::Kind::Attribute;
        const SeenAttribute &named = i < before.size() ? old : now;
        difference.element = named.element;
        difference.name = named.name;
        const qsizetype from = firstUnequal(old.value, now.value);
        difference.before = excerpt(old.value, from);
        difference.after = excerpt(now.value, from);
        return difference;
    }
    return std::nullopt;
}

// "img 3" as a person says it.
QString elementText(const QString &element) {
    return QStringLiteral("第 %1 个 %2").arg(element.section(u' ', 1), element.section(u' ', 0, 0));
}

}  // namespace

std::optional<RenderDifference> firstDifference(const PageRendering &before,
                                                const PageRendering &after) {
    if (auto difference = textDifference(before.text, after.text)) return difference;
    if (auto difference = attributeDifference(before.attributes, after.attributes))
        return difference;
    if (before.picture.isEmpty() || after.picture.isEmpty() || before.picture == after.picture)
        return std::nullopt;
    RenderDifference difference;
    difference.kind = RenderDifference::Kind::Picture;
    difference.sizeBefore = before.pictureSize;
    difference.sizeAfter = after.pictureSize;
    return difference;
}

QString renderDifferenceText(const RenderDifference &difference) {
    QString text;
    switch (difference.kind) {
        case RenderDifference::Kind::Text:
            text = QStringLiteral("文字不同：第 %1 行“%2”变成了“%3”")
                       .arg(difference.line)
                       .arg(difference.before, difference.after);
            break;
        case RenderDifference::Kind::Attribute:
            text = QStringLiteral("属性不同：%1 的 %2 从“%3”变成了“%4”")
                       .arg(elementText(difference.element), difference.name, difference.before,
                            difference.after);
            break;
        case RenderDifference::Kind::Picture:
            if (difference.sizeBefore == difference.sizeAfter)
                text = QStringLiteral("画面不同（整页 %1×%2 像素，文字和属性都一样）")
                           .arg(difference.sizeBefore.width())
                           .arg(difference.sizeBefore.height());
            else
                text = QStringLiteral("画面不同：整页从 %1×%2 像素变成了 %3×%4 像素")
                           .arg(difference.sizeBefore.width())
                           .arg(difference.sizeBefore.height())
                           .arg(difference.sizeAfter.width())
                           .arg(difference.sizeAfter.height());
            break;
    }
    if (difference.scriptsOff) text += QStringLiteral("（不运行脚本时）");
    return text;
}

QString renderFailureText(const RenderFailure &failure, int seconds) {
    switch (failure.kind) {
        case RenderFailure::Kind::TimeUp:
            return QStringLiteral("没有在 %1 秒内显示完").arg(seconds);
        case RenderFailure::Kind::TabCrashed:
            return QStringLiteral("浏览器显示它的标签页崩溃了");
        case RenderFailure::Kind::BrowserGone:
        case RenderFailure::Kind::GaveUp:
            return QStringLiteral("浏览器意外退出了");
        case RenderFailure::Kind::NotShown:
            return QStringLiteral("浏览器没能显示它（%1）").arg(failure.detail);
        case RenderFailure::Kind::Interrupted:
            return QStringLiteral("检查被中断了");
        case RenderFailure::Kind::Unsteady:
            return QStringLiteral("它每次显示都不一样（动画或脚本），无法比较");
    }
    return {};
}
