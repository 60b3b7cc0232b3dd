#include "core/html/open_elements.h"

#include "core/html/tag_sets.h"

using tag_sets::kClosedInScope;
using tag_sets::kFormatting;
using tag_sets::kHeadings;

void OpenElements::endTag(const Tag &tag) {
    if (idle()) return;
    if (!stack_.empty() && stack_.back().ns != Namespace::Html)
        foreignEndTag(tag);
    else
        htmlEndTag(tag);
    leaveWhereIdle();
}

void OpenElements::htmlEndTag(const Tag &tag) {
    const TagId id = tag.id;
    if (kClosedInScope.has(id)) {
        if (const qsizetype open = inScope(id, Scope::Default); open >= 0) popTo(open);
        return;
    }
    if (kHeadings.has(id)) {
        const qsizetype open = inScopeWhere(Scope::Default, [&](const Element &element) {
            return element.ns == Namespace::Html && kHeadings.has(element.id);
        });
        if (open >= 0) popTo(open);
        return;
    }
    if (kFormatting.has(id)) {
        if (!adoptionAgency(id)) anyOtherEndTag(tag);
        return;
    }
    qsizetype open = -1;
    switch (id) {
        case TagId::Html:
        case TagId::Head:
        case TagId::Body:
        case TagId::Br:
            return;
        case TagId::P:
            open = inScope(TagId::P, Scope::Button);
            break;
        case TagId::Li:
            open = inScope(TagId::Li, Scope::ListItem);
            break;
        case TagId::Dd:
        case TagId::Dt:
            open = inScope(id, Scope::Default);
            break;
        case TagId::Form:
            // A form is taken off the stack, and what it holds stays open inside it: closed
            // here only where it holds nothing open.
            if (!stack_.empty() && isHtml(stack_.back(), TagId::Form)) popOne();
            return;
        case TagId::Applet:
        case TagId::Marquee:
        case TagId::Object:
        case TagId::Caption:
        case TagId::Td:
        case TagId::Th:
            open = inScope(id, id == TagId::Applet || id == TagId::Marquee || id == TagId::Object
                                   ? Scope::Default
                                   : Scope::Table);
            if (open >= 0) {
                popTo(open);
                clearToLastMarker();
            }
            return;
        case TagId::Template:
            // Closes the template whatever stands in between.
            if (open_[static_cast<unsigned>(TagId::Template)] == 0) return;
            for (open = qsizetype(stack_.size()) - 1; !isHtml(stack_[open], TagId::Template);)
                --open;
            popTo(open);
            clearToLastMarker();
            return;
        case TagId::Table:
        case TagId::Tbody:
        case TagId::Thead:
        case TagId::Tfoot:
        case TagId::Tr:
            open = inScope(id, Scope::Table);
            break;
        case TagId::Colgroup:
        case TagId::Option:
            if (!stack_.empty() && isHtml(stack_.back(), id)) popOne();
            return;
        case TagId::Optgroup:
            if (stack_.size() >= 2 && isHtml(stack_.back(), TagId::Option) &&
                isHtml(stack_[stack_.size() - 2], TagId::Optgroup))
                popOne();
            if (!stack_.empty() && isHtml(stack_.back(), TagId::Optgroup)) popOne();
            return;
        case TagId::Select:
            open = inScope(TagId::Select, Scope::Select);
            break;
        default:
            anyOtherEndTag(tag);
            return;
    }
    if (open >= 0) popTo(open);
}

void OpenElements::foreignEndTag(const Tag &tag) {
    if (tag.id == TagId::Br || tag.id == TagId::P) {
        popToHtmlContent();
        htmlEndTag(tag);
        return;
    }
    const qsizetype lowest = std::max<qsizetype>(0, qsizetype(stack_.size()) - kDeepestLook);
    for (qsizetype i = qsizetype(stack_.size()) - 1; i >= lowest; --i) {
        const Element &element = stack_[i];
        if (element.ns == Namespace::Html) {
            htmlEndTag(tag);
            return;
        }
        if (sameTagName(element.name, tag.name)) {
            popTo(i);
            return;
        }
    }
    // Where the HTML elements below the foreign content are not held, an end tag that closes
    // none of it leaves it open: mostly it closes nothing, and where it closes an element below,
    // the foreign content lasts longer than a browser's, which only ever keeps spaces longer.
}

// The adoption agency algorithm, for the end tag of a formatting element (or an <a> or <nobr>
// that finds one open): closes it, and where other elements lie across it, moves them and
// continues it in copies inside them, as a browser does. Answers false where the end tag is to
// be read as any other end tag instead.
bool OpenElements::adoptionAgency(TagId subject) {
    if (!stack_.empty() && isHtml(stack_.back(), subject) && !entryOf(stack_.back().serial)) {
        popOne();
        return true;
    }
    for (int round = 0; round < 8; ++round) {
        const qsizetype entryIndex = lastEntryAfterMarker(subject);
        if (entryIndex < 0) return false;
        const qsizetype formatting =
            formatting_[entryIndex].serial == 0 ? -1 : stackIndexOf(formatting_[entryIndex].serial);
        if (formatting < 0) {
            removeEntry(entryIndex);
            return true;
        }
        for (qsizetype i = qsizetype(stack_.size()) - 1; i > formatting; --i) {
            if (isBoundary(stack_[i], Scope::Default)) return true;
        }
        qsizetype furthest = -1;
        for (qsizetype i = formatting + 1; i < qsizetype(stack_.size()); ++i) {
            if (isSpecial(stack_[i])) {
                furthest = i;
                break;
            }
        }
        if (furthest < 0) {
            popTo(formatting);
            removeEntry(lastEntryAfterMarker(subject));
            return true;
        }
        // The elements between the formatting element and the furthest block: those the list
        // still holds (no more than three) go on as copies, the others are closed.
        int inner = 0;
        for (qsizetype node = furthest - 1; node > formatting; --node) {
            ++inner;
            Formatting *entry = entryOf(stack_[node].serial);
            if (inner > 3 && entry) {
                formatting_.erase(formatting_.begin() + (entry - formatting_.data()));
                entry = nullptr;
            }
            if (!entry) {
                removeFromStack(node);
                --furthest;
            }
        }
        // The formatting element goes on as a copy inside the furthest block.
        Element copy = stack_[formatting];
        copy.serial = ++serial_;
        formatting_[lastEntryAfterMarker(subject)].serial = copy.serial;
        stack_.erase(stack_.begin() + formatting);
        stack_.insert(stack_.begin() + furthest, copy);
    }
    return true;
}

void OpenElements::anyOtherEndTag(const Tag &tag) {
    const qsizetype lowest = std::max<qsizetype>(0, qsizetype(stack_.size()) - kDeepestLook);
    for (qsizetype i = qsizetype(stack_.size()) - 1; i >= lowest; --i) {
        const Element &element = stack_[i];
        if (element.ns == Namespace::Html && element.id == tag.id &&
            (tag.id != TagId::Other || sameTagName(element.name, tag.name))) {
            popTo(i);
            return;
        }
        if (isSpecial(element)) return;
    }
}
