#include "core/trim/preserved_content.h"

#include <algorithm>

#include "core/css/keeping_selectors.h"
#include "core/trim/page_look.h"
#include "core/trim/page_reader.h"
#include "core/trim/style_sheet_links.h"

namespace {

// Sorted, with stretches that overlap or touch made one.
std::vector<ByteRange> merged(std::vector<ByteRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const ByteRange &a, const ByteRange &b) { return a.begin < b.begin; });
    std::vector<ByteRange> out;
    for (const ByteRange &range : ranges) {
        if (range.end <= range.begin) continue;
        if (!out.empty() && range.begin <= out.back().end)
            out.back().end = std::max(out.back().end, range.end);
        else
            out.push_back(range);
    }
    return out;
}

}  // namespace

std::vector<ByteRange> preservedContent(QByteArrayView page, const PageContext &context,
                                        Keeping keeping) {
    if (page.isEmpty() || context.holdsNothing || !mayHoldPreservedContent(page)) return {};
    KeepingSelectors selectors(keeping);
    if (context.styleElements) {
        for (const QByteArray &text : *context.styleElements)
            selectors.addSheet(text, context.encoding);
    } else {
        for (const QByteArray &text : styleElementTexts(page, context.encoding))
            selectors.addSheet(text, context.encoding);
    }
    for (const StyleSheetText &sheet : context.linkedSheets)
        selectors.addSheet(sheet.bytes, sheet.encoding);
    const ByteRange wholePage{0, page.size()};
    if (selectors.keepWholePage()) return {wholePage};
    return merged(
        keptStretches(page, context.encoding, selectors.isEmpty() ? nullptr : &selectors, keeping));
}
