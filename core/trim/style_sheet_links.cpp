#include "core/trim/style_sheet_links.h"

#include <algorithm>
#include <cstring>

#include "core/css/css_reader.h"
#include "core/encoding/character_steps.h"
#include "core/html/character_references.h"
#include "core/html/folded_text.h"
#include "core/html/html_tags.h"
#include "core/trim/page_reader.h"

namespace {

using html_bytes::endsName;

// Whether a page has a tag of this name (in lower case), told by the places of the letter at
// rare in the name in either case, which memchr finds at the speed of memory.
bool mentionsTag(QByteArrayView page, QByteArrayView lowercaseName, qsizetype rare) {
    const char *const begin = page.data();
    const char *const end = begin + page.size();
    const char lower = lowercaseName[rare];
    const char upper = static_cast<char>(lower - 'a' + 'A');
    const auto find = [end](const char *from, char c) {
        const auto *found =
            static_cast<const char *>(std::memchr(from, c, std::size_t(end - from)));
        return found ? found : end;
    };
    const char *nextLower = find(begin, lower);
    const char *nextUpper = find(begin, upper);
    while (nextLower < end || nextUpper < end) {
        const char *&next = nextLower < nextUpper ? nextLower : nextUpper;
        const char *const start = next - rare - 1;
        if (start >= begin && *start == '<' && startsWithFolded(start + 1, end, lowercaseName))
            return true;
        next = find(next + 1, *next);
    }
    return false;
}

// The text of a style element whose start tag ends at p: up to its end tag, as HTML reads it, or
// as SVG does, where a CDATA section may hide one; whichever is longer, without the CDATA
// sections' markers, which are no CSS.
QByteArray styleText(const char *p, const char *end, const CharacterSteps &steps) {
    const auto endTagAt = [end](const char *at) {
        return *at == '<' && end - at >= 8 && at[1] == '/' &&
               startsWithFolded(at + 2, end, "style") && endsName(at[7]);
    };
    const char *htmlEnd = p;
    while (htmlEnd < end && !endTagAt(htmlEnd)) ++htmlEnd;
    QByteArray text;
    const char *q = p;
    for (; q < end && (q < htmlEnd || !endTagAt(q));) {
        if (*q == '<' && end - q >= 9 && QByteArrayView(q, 9) == "<![CDATA[") {
            text += ' ';
            q += 9;
            while (q < end && !(*q == ']' && end - q >= 3 && q[1] == ']' && q[2] == '>')) {
                const qsizetype length = steps.length(q, end);
                text += QByteArrayView(q, length);
                q += length;
            }
            q = std::min(q + 3, end);
            text += ' ';
            continue;
        }
        text += *q++;
    }
    return text;
}

// The style elements and the links to style sheets of a page. Reading more than a browser reads
// only keeps more: each <style and <link anywhere counts, in a comment or in a script's string too,
// and so the page is looked through quickly rather than read.
struct StyleSheetsFound {
    std::vector<QByteArray> texts;
    QStringList links;
};

StyleSheetsFound styleSheetsIn(QByteArrayView page, const FileEncoding &encoding) {
    StyleSheetsFound found;
    const CharacterSteps steps(encoding);
    const char *const end = page.data() + page.size();
    Tag tag;
    for (const char *p = page.data(); p < end;) {
        const auto *markup = static_cast<const char *>(std::memchr(p, '<', std::size_t(end - p)));
        if (!markup) break;
        p = markup + 1;
        const bool style = startsWithFolded(p, end, "style");
        if (!style && !startsWithFolded(p, end, "link")) continue;
        const char *const nameEnd = p + (style ? 5 : 4);
        if (nameEnd < end && !endsName(*nameEnd)) continue;
        readTag(p, end, tag, [](QByteArrayView) {});
        if (!tag.after) break;
        p = tag.after;
        if (style) {
            found.texts.push_back(styleText(p, end, steps));
            continue;
        }
        const Attribute *rel = tag.attribute("rel");
        const Attribute *href = tag.attribute("href");
        if (rel && href && hasWordFolded(rel->value, "stylesheet"))
            found.links.append(urlText(href->value, encoding));
    }
    return found;
}

}  // namespace

StyleSheetLinks styleSheetLinks(QByteArrayView page, const FileEncoding &encoding) {
    if (!mentionsTag(page, "link", 3) && !mentionsTag(page, "style", 2)) return {};
    StyleSheetsFound found = styleSheetsIn(page, encoding);
    StyleSheetLinks links;
    links.sheets = found.links;
    for (const QByteArray &text : found.texts)
        links.sheets.append(styleSheetImports(text, encoding));
    links.styleElements = std::move(found.texts);
    if (links.sheets.isEmpty()) return links;
    // A <base> in a comment or a script would lead elsewhere: it is looked for as a browser reads.
    if (mentionsTag(page, "base", 0)) links.base = baseOf(page, encoding);
    return links;
}

std::vector<QByteArray> styleElementTexts(QByteArrayView page, const FileEncoding &encoding) {
    if (!mentionsTag(page, "style", 2)) return {};
    return styleSheetsIn(page, encoding).texts;
}
