#include "core/browser/render_comparison.h"

#include <QHash>
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

// "img 3" as a person says it; "iframe 1/p 2" as the second p in the first iframe.
QString elementText(const QString &element) {
    QStringList said;
    for (const QString &part : element.split(u'/')) {
        const QString tag = part.section(u' ', 0, -2);
        const QString number = part.section(u' ', -1);
        if (tag == u"#text")
            said.append(QStringLiteral("第 %1 段文字").arg(number));
        else if (tag == u"sheet")
            said.append(QStringLiteral("第 %1 个样式表").arg(number));
        else if (tag == u"adopted sheet")
            said.append(QStringLiteral("脚本加上的第 %1 个样式表").arg(number));
        else if (part == u"document")
            said.append(QStringLiteral("页面"));
        else if (part == u"state")
            said.append(QStringLiteral("页面的状态"));
        else
            said.append(QStringLiteral("第 %1 个 %2").arg(number, tag));
    }
    return said.join(QStringLiteral("里的"));
}

// A field of the look as a person says it.
QString fieldText(const QString &name) {
    static const QHash<QString, QString> words{
        {QStringLiteral("rects"), QStringLiteral("位置和大小")},
        {QStringLiteral("scroll"), QStringLiteral("滚动位置")},
        {QStringLiteral("value"), QStringLiteral("值")},
        {QStringLiteral("checked"), QStringLiteral("勾选状态")},
        {QStringLiteral("indeterminate"), QStringLiteral("半选状态")},
        {QStringLiteral("selected"), QStringLiteral("选中状态")},
        {QStringLiteral("selectedIndex"), QStringLiteral("选中项")},
        {QStringLiteral("currentSrc"), QStringLiteral("显示的图片")},
        {QStringLiteral("defined"), QStringLiteral("是否已定义")},
        {QStringLiteral("href"), QStringLiteral("地址")},
        {QStringLiteral("disabled"), QStringLiteral("停用状态")},
        {QStringLiteral("media"), QStringLiteral("适用的媒体")},
        {QStringLiteral("rules"), QStringLiteral("规则")},
        {QStringLiteral("size"), QStringLiteral("大小")},
        {QStringLiteral("mode"), QStringLiteral("排版模式")},
        {QStringLiteral("hash"), QStringLiteral("地址的 # 部分")},
        {QStringLiteral("designMode"), QStringLiteral("编辑模式")},
        {QStringLiteral("text"), QStringLiteral("文字")},
        {QStringLiteral("focus"), QStringLiteral("焦点")},
        {QStringLiteral("selection"), QStringLiteral("选中的文字")},
        {QStringLiteral(":modal"), QStringLiteral("模态对话框")},
        {QStringLiteral(":popover-open"), QStringLiteral("弹出的元素")},
        {QStringLiteral("highlight"), QStringLiteral("高亮")},
        {QStringLiteral("range"), QStringLiteral("高亮的范围")},
        {QStringLiteral("font"), QStringLiteral("字体")},
        {QStringLiteral("animation"), QStringLiteral("动画")},
    };
    if (name.startsWith(u'@')) return name.mid(1) + QStringLiteral(" 属性");
    return words.value(name, name);
}

// Two pieces of a phrase, with a space between them where one of them meets the other with a
// letter or a digit of the Latin alphabet, as Chinese is written beside it.
QString joined(const QString &first, const QString &second) {
    const auto latin = [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); };
    const bool spaced =
        !first.isEmpty() && !second.isEmpty() && (latin(first.back()) || latin(second.front()));
    return spaced ? first + u' ' + second : first + second;
}

// The look's entries, each as two 32-bit hashes.
constexpr qsizetype kEntryBytes = 8;

}  // namespace

std::optional<RenderDifference> firstDifference(const PageRendering &before,
                                                const PageRendering &after) {
    if (auto difference = textDifference(before.text, after.text)) return difference;
    if (auto difference = attributeDifference(before.attributes, after.attributes))
        return difference;
    // Where both whole pages were photographed, their pictures tell whether a difference of the
    // look shows.
    const bool photographed = !before.pagePicture.isEmpty() && !after.pagePicture.isEmpty();
    if (!before.look.isEmpty() && !after.look.isEmpty() && before.look != after.look &&
        (!photographed || before.pagePicture != after.pagePicture)) {
        const auto [differs, unused] = std::mismatch(before.look.begin(), before.look.end(),
                                                     after.look.begin(), after.look.end());
        RenderDifference difference;
        difference.kind = RenderDifference::Kind::Look;
        difference.entry = (differs - before.look.begin()) / kEntryBytes;
        return difference;
    }
    for (qsizetype i = 0; i < before.regionPictures.size(); ++i) {
        if (i >= after.regionPictures.size() || before.regionPictures[i] == after.regionPictures[i])
            continue;
        RenderDifference difference;
        difference.kind = RenderDifference::Kind::Picture;
        difference.element = before.regions.value(i).element;
        return difference;
    }
    if (before.pagePicture.isEmpty() || after.pagePicture.isEmpty() ||
        before.pagePicture == after.pagePicture)
        return std::nullopt;
    RenderDifference difference;
    difference.kind = RenderDifference::Kind::Picture;
    difference.sizeBefore = before.pictureSize;
    difference.sizeAfter = after.pictureSize;
    return difference;
}

void describeLook(RenderDifference &difference, const QStringList &before,
                  const QStringList &after) {
    difference.element = before.value(0, after.value(0));
    if (before.isEmpty() || after.isEmpty() || before.first() != after.first()) {
        // One page has an entry the other has not, or another one in its place.
        difference.name.clear();
        difference.before = before.value(0);
        difference.after = after.value(0);
        return;
    }
    // The fields, name and value in turn, after the label.
    for (qsizetype i = 1; i < std::max(before.size(), after.size()); i += 2) {
        if (before.value(i) == after.value(i) && before.value(i + 1) == after.value(i + 1))
            continue;
        difference.name = before.value(i, after.value(i));
        const QString old = before.value(i) == difference.name ? before.value(i + 1) : QString();
        const QString now = after.value(i) == difference.name ? after.value(i + 1) : QString();
        const qsizetype from = firstUnequal(old, now);
        difference.before = excerpt(old, from);
        difference.after = excerpt(now, from);
        return;
    }
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
        case RenderDifference::Kind::Look:
            if (difference.name.isEmpty())
                text = QStringLiteral("画面不同：%1变成了%2")
                           .arg(difference.before.isEmpty() ? QStringLiteral("没有")
                                                            : elementText(difference.before),
                                difference.after.isEmpty() ? QStringLiteral("没有")
                                                           : elementText(difference.after));
            else
                text =
                    QStringLiteral("画面不同：%1从“%2”变成了“%3”")
                        .arg(joined(joined(elementText(difference.element), QStringLiteral("的")),
                                    fieldText(difference.name)),
                             difference.before, difference.after);
            break;
        case RenderDifference::Kind::Picture:
            if (!difference.element.isEmpty())
                text = QStringLiteral("画面不同：") +
                       joined(elementText(difference.element),
                              QStringLiteral("画出来的不一样（文字、属性和布局都一样）"));
            else if (difference.sizeBefore == difference.sizeAfter)
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
