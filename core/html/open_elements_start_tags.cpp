#include "core/html/open_elements.h"

#include "core/html/tag_sets.h"

using tag_sets::kBreakOut;
using tag_sets::kClosesParagraph;
using tag_sets::kFormatting;
using tag_sets::kHeadings;
using tag_sets::kTableParts;
using tag_sets::kVoid;

namespace {

// How the bytes behind an HTML element's start tag are read.
ContentKind contentOf(TagId id) {
    switch (id) {
        case TagId::Style:
        case TagId::Noframes:
        case TagId::Iframe:
        case TagId::Noembed:
        case TagId::Xmp:
            return ContentKind::RawText;
        case TagId::Title:
        case TagId::Textarea:
            return ContentKind::Rcdata;
        case TagId::Script:
            return ContentKind::ScriptData;
        case TagId::Plaintext:
            return ContentKind::PlainText;
        default:
            return ContentKind::Markup;
    }
}

}  // namespace

ContentKind OpenElements::startTag(const Tag &tag, bool kept) {
    // Outside what keeps spaces and outside foreign content nothing needs the elements: a
    // browser's stack below the next element that keeps spaces only decides whether an end tag
    // or start tag that closes one of the elements there closes it too, and a reading that does
    // not know them closes nothing there.
    if (idle() && !kept && tag.id != TagId::Svg && tag.id != TagId::Math) return contentOf(tag.id);
    const ContentKind content =
        takesHtmlStartTag(tag) ? htmlStartTag(tag, kept) : foreignStartTag(tag, kept);
    leaveWhereIdle();
    return content;
}
bool OpenElements::takesHtmlStartTag(const Tag &tag) const {
    if (stack_.empty()) return true;
    const Element &current = stack_.back();
    if (current.ns == Namespace::Html || isHtmlIntegrationPoint(current)) return true;
    if (isMathMlTextIntegrationPoint(current))
        return tag.id != TagId::Mglyph && tag.id != TagId::Malignmark;
    return current.ns == Namespace::MathMl && current.id == TagId::AnnotationXml &&
           tag.id == TagId::Svg;
}
ContentKind OpenElements::htmlStartTag(const Tag &tag, bool kept) {
    const TagId id = tag.id;
    if (kVoid.has(id)) {
        if (id == TagId::Hr) closeParagraph();
        return ContentKind::Markup;
    }
    if (kClosesParagraph.has(id)) {
        closeParagraph();
        push(tag, Namespace::Html, kept);
        return ContentKind::Markup;
    }
    if (kHeadings.has(id)) {
        closeParagraph();
        if (!stack_.empty() && stack_.back().ns == Namespace::Html &&
            kHeadings.has(stack_.back().id))
            popOne();
        push(tag, Namespace::Html, kept);
        return ContentKind::Markup;
    }
    if (kTableParts.has(id)) return tableStartTag(tag, kept);
    switch (id) {
        // The document's own elements are made once; their tags merely add attributes.
        case TagId::Html:
        case TagId::Head:
        case TagId::Body:
        case TagId::Frameset:
            return ContentKind::Markup;
        case TagId::Pre:
        case TagId::Listing:
        case TagId::Form:
            closeParagraph();
            break;
        case TagId::Plaintext:
        case TagId::Xmp:
            closeParagraph();
            [[fallthrough]];
        case TagId::Style:
        case TagId::Noframes:
        case TagId::Iframe:
        case TagId::Noembed:
        case TagId::Title:
        case TagId::Textarea:
        case TagId::Script:
            push(tag, Namespace::Html, kept);
            return contentOf(id);
        case TagId::Li:
            closeListItem(TagId::Li, TagId::Li);
            closeParagraph();
            break;
        case TagId::Dd:
        case TagId::Dt:
            closeListItem(TagId::Dd, TagId::Dt);
            closeParagraph();
            break;
        case TagId::Button:
            if (const qsizetype button = inScope(TagId::Button, Scope::Default); button >= 0)
                popTo(button);
            break;
        case TagId::A:
            if (const qsizetype open = lastEntryAfterMarker(TagId::A); open >= 0) {
                const std::uint32_t serial = formatting_[open].serial;
                adoptionAgency(TagId::A);
                if (const qsizetype left = lastEntryAfterMarker(TagId::A);
                    left >= 0 && formatting_[left].serial == serial && serial != 0) {
                    removeEntry(left);
                }
                if (serial != 0) {
                    if (const qsizetype index = stackIndexOf(serial); index >= 0)
                        removeFromStack(index);
                }
            }
            pushFormatting(tag, kept);
            return ContentKind::Markup;
        case TagId::Nobr:
            if (inScope(TagId::Nobr, Scope::Default) >= 0) adoptionAgency(TagId::Nobr);
            pushFormatting(tag, kept);
            return ContentKind::Markup;
        case TagId::Applet:
        case TagId::Marquee:
        case TagId::Object:
        case TagId::Template:
            push(tag, Namespace::Html, kept);
            addMarker();
            return ContentKind::Markup;
        case TagId::Option:
        case TagId::Optgroup:
            if (!stack_.empty() && isHtml(stack_.back(), TagId::Option)) popOne();
            break;
        case TagId::Svg:
        case TagId::Math:
            if (!tag.selfClosing)
                push(tag, id == TagId::Svg ? Namespace::Svg : Namespace::MathMl, kept);
            return ContentKind::Markup;
        default:
            if (kFormatting.has(id)) {
                pushFormatting(tag, kept);
                return ContentKind::Markup;
            }
            break;
    }
    push(tag, Namespace::Html, kept);
    return ContentKind::Markup;
}

// A cell, row or section of a table closes the cell, row or section it follows; in a template it
// is made as it is.
ContentKind OpenElements::tableStartTag(const Tag &tag, bool kept) {
    const qsizetype table = inScopeWhere(Scope::Table, [&](const Element &element) {
        return isHtml(element, TagId::Table) || isHtml(element, TagId::Template);
    });
    // The elements held may start inside a table whose start tag they do not hold, and where
    // none of them is a table, a cell, row or section may still be one that a browser makes: so
    // the element is made, and closes what it would close in a table.
    if (table < 0 || isHtml(stack_[table], TagId::Table)) {
        switch (tag.id) {
            case TagId::Td:
            case TagId::Th:
                closeCell();
                break;
            case TagId::Tr:
                closeCell();
                if (const qsizetype row = inScope(TagId::Tr, Scope::Table); row >= 0) popTo(row);
                break;
            case TagId::Tbody:
            case TagId::Thead:
            case TagId::Tfoot: {
                closeCell();
                if (const qsizetype row = inScope(TagId::Tr, Scope::Table); row >= 0) popTo(row);
                const qsizetype section = inScopeWhere(Scope::Table, [&](const Element &element) {
                    return isHtml(element, TagId::Tbody) || isHtml(element, TagId::Thead) ||
                           isHtml(element, TagId::Tfoot);
                });
                if (section >= 0) popTo(section);
                break;
            }
            default:  // caption, colgroup: back to the table, where it is held
                if (table >= 0) popTo(table + 1);
                break;
        }
    }
    push(tag, Namespace::Html, kept);
    if (tag.id == TagId::Td || tag.id == TagId::Th || tag.id == TagId::Caption) addMarker();
    return ContentKind::Markup;
}

ContentKind OpenElements::foreignStartTag(const Tag &tag, bool kept) {
    const bool breaksOut =
        kBreakOut.has(tag.id) ||
        (tag.id == TagId::Font &&
         (tag.attribute("color") || tag.attribute("face") || tag.attribute("size")));
    if (breaksOut) {
        popToHtmlContent();
        return htmlStartTag(tag, kept);
    }
    // The text of a script in foreign content is markup to the tokenizer, which the script
    // reader does not follow: all of it keeps its spaces.
    if (!tag.selfClosing) push(tag, stack_.back().ns, kept || tag.id == TagId::Script);
    return ContentKind::Markup;
}
// --- What a start tag closes first.

void OpenElements::closeParagraph() {
    const qsizetype p = inScope(TagId::P, Scope::Button);
    if (p >= 0) popTo(p);
}

// An li closes the li that is open, a dd or dt the dd or dt, unless another special element
// than address, div or p stands in between.
void OpenElements::closeListItem(TagId first, TagId second) {
    const qsizetype lowest = std::max<qsizetype>(0, qsizetype(stack_.size()) - kDeepestLook);
    for (qsizetype i = qsizetype(stack_.size()) - 1; i >= lowest; --i) {
        const Element &element = stack_[i];
        if (isHtml(element, first) || isHtml(element, second)) {
            popTo(i);
            return;
        }
        if (isSpecial(element) && !isHtml(element, TagId::Address) &&
            !isHtml(element, TagId::Div) && !isHtml(element, TagId::P))
            return;
    }
}

void OpenElements::closeCell() {
    const qsizetype cell = inScopeWhere(Scope::Table, [&](const Element &element) {
        return isHtml(element, TagId::Td) || isHtml(element, TagId::Th);
    });
    if (cell < 0) return;
    popTo(cell);
    clearToLastMarker();
}
