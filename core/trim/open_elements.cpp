#include "core/trim/open_elements.h"

#include <algorithm>
#include <initializer_list>

namespace {

// A set of tag ids, tested with one look.
class TagSet {
public:
    constexpr TagSet(std::initializer_list<TagId> ids) {
        for (const TagId id : ids) {
            const auto index = static_cast<unsigned>(id);
            words_[index / 64] |= std::uint64_t{1} << (index % 64);
        }
    }
    constexpr bool has(TagId id) const {
        const auto index = static_cast<unsigned>(id);
        return (words_[index / 64] >> (index % 64)) & 1;
    }

private:
    std::uint64_t words_[4] = {};
};

using T = TagId;

constexpr TagSet kSpecial{
    T::Address, T::Applet,     T::Area,     T::Article,    T::Aside,     T::Base,     T::Basefont,
    T::Bgsound, T::Blockquote, T::Body,     T::Br,         T::Button,    T::Caption,  T::Center,
    T::Col,     T::Colgroup,   T::Dd,       T::Details,    T::Dir,       T::Div,      T::Dl,
    T::Dt,      T::Embed,      T::Fieldset, T::Figcaption, T::Figure,    T::Footer,   T::Form,
    T::Frame,   T::Frameset,   T::H1,       T::H2,         T::H3,        T::H4,       T::H5,
    T::H6,      T::Head,       T::Header,   T::Hgroup,     T::Hr,        T::Html,     T::Iframe,
    T::Img,     T::Input,      T::Keygen,   T::Li,         T::Link,      T::Listing,  T::Main,
    T::Marquee, T::Menu,       T::Meta,     T::Nav,        T::Noembed,   T::Noframes, T::Noscript,
    T::Object,  T::Ol,         T::P,        T::Param,      T::Plaintext, T::Pre,      T::Script,
    T::Search,  T::Section,    T::Select,   T::Source,     T::Style,     T::Summary,  T::Table,
    T::Tbody,   T::Td,         T::Template, T::Textarea,   T::Tfoot,     T::Th,       T::Thead,
    T::Title,   T::Tr,         T::Track,    T::Ul,         T::Wbr,       T::Xmp};

constexpr TagSet kDefaultScope{T::Applet, T::Caption, T::Html,   T::Table,   T::Td,
                               T::Th,     T::Marquee, T::Object, T::Template};
constexpr TagSet kMathMlTextIntegrationPoints{T::Mi, T::Mo, T::Mn, T::Ms, T::Mtext};

// Start tags that close an open p first.
constexpr TagSet kClosesParagraph{T::Address,  T::Article,    T::Aside,   T::Blockquote, T::Center,
                                  T::Details,  T::Dialog,     T::Dir,     T::Div,        T::Dl,
                                  T::Fieldset, T::Figcaption, T::Figure,  T::Footer,     T::Header,
                                  T::Hgroup,   T::Main,       T::Menu,    T::Nav,        T::Ol,
                                  T::P,        T::Search,     T::Section, T::Summary,    T::Ul};

// End tags that close their element where it is in scope, with everything inside it.
constexpr TagSet kClosedInScope{
    T::Address, T::Article, T::Aside,  T::Blockquote, T::Button,   T::Center,     T::Details,
    T::Dialog,  T::Dir,     T::Div,    T::Dl,         T::Fieldset, T::Figcaption, T::Figure,
    T::Footer,  T::Header,  T::Hgroup, T::Listing,    T::Main,     T::Menu,       T::Nav,
    T::Ol,      T::Pre,     T::Search, T::Section,    T::Summary,  T::Ul};

constexpr TagSet kFormatting{T::A,    T::B, T::Big,   T::Code,   T::Em,     T::Font, T::I,
                             T::Nobr, T::S, T::Small, T::Strike, T::Strong, T::Tt,   T::U};

constexpr TagSet kHeadings{T::H1, T::H2, T::H3, T::H4, T::H5, T::H6};

// Elements that never have content: their start tag is all there is.
constexpr TagSet kVoid{T::Area,  T::Base,  T::Basefont, T::Bgsound, T::Br,    T::Col,    T::Embed,
                       T::Frame, T::Hr,    T::Image,    T::Img,     T::Input, T::Keygen, T::Link,
                       T::Meta,  T::Param, T::Source,   T::Track,   T::Wbr};

// HTML start tags that end foreign content.
constexpr TagSet kBreakOut{
    T::B,      T::Big,  T::Blockquote, T::Body,  T::Br,   T::Center, T::Code,    T::Dd,   T::Div,
    T::Dl,     T::Dt,   T::Em,         T::Embed, T::H1,   T::H2,     T::H3,      T::H4,   T::H5,
    T::H6,     T::Head, T::Hr,         T::I,     T::Img,  T::Li,     T::Listing, T::Menu, T::Meta,
    T::Nobr,   T::Ol,   T::P,          T::Pre,   T::Ruby, T::S,      T::Small,   T::Span, T::Strong,
    T::Strike, T::Sub,  T::Sup,        T::Table, T::Tt,   T::U,      T::Ul,      T::Var};

// The parts of a table that its own insertion modes handle.
constexpr TagSet kTableParts{T::Caption, T::Colgroup, T::Tbody, T::Td,
                             T::Tfoot,   T::Th,       T::Thead, T::Tr};

// How far the scope of an end tag is looked for at most. Real pages nest far less deep; on a page
// that nests deeper, an end tag looked for further away is taken as closing nothing, which only
// keeps spaces longer.
constexpr qsizetype kDeepestLook = 1024;

}  // namespace

OpenElements::OpenElements() = default;

bool OpenElements::isSpecial(const Element &element) const {
    switch (element.ns) {
        case Namespace::Html:
            return kSpecial.has(element.id);
        case Namespace::MathMl:
            return kMathMlTextIntegrationPoints.has(element.id) ||
                   element.id == TagId::AnnotationXml;
        case Namespace::Svg:
            return element.id == TagId::ForeignObject || element.id == TagId::Desc ||
                   element.id == TagId::Title;
    }
    return false;
}

bool OpenElements::isBoundary(const Element &element, Scope scope) const {
    if (scope == Scope::Select)
        return !isHtml(element, TagId::Optgroup) && !isHtml(element, TagId::Option);
    if (element.ns == Namespace::Html) {
        switch (scope) {
            case Scope::Table:
                return element.id == TagId::Html || element.id == TagId::Table ||
                       element.id == TagId::Template;
            case Scope::ListItem:
                if (element.id == TagId::Ol || element.id == TagId::Ul) return true;
                break;
            case Scope::Button:
                if (element.id == TagId::Button) return true;
                break;
            default:
                break;
        }
        return kDefaultScope.has(element.id);
    }
    return scope != Scope::Table && isSpecial(element);
}

bool OpenElements::isMathMlTextIntegrationPoint(const Element &element) const {
    return element.ns == Namespace::MathMl && kMathMlTextIntegrationPoints.has(element.id);
}

bool OpenElements::isHtmlIntegrationPoint(const Element &element) const {
    if (element.ns == Namespace::Svg)
        return element.id == TagId::ForeignObject || element.id == TagId::Desc ||
               element.id == TagId::Title;
    return element.htmlIntegrationPoint;
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

bool OpenElements::inForeignContent() const {
    return !stack_.empty() && stack_.back().ns != Namespace::Html;
}

template <typename Matches>
qsizetype OpenElements::inScopeWhere(Scope scope, Matches matches) const {
    const qsizetype lowest = std::max<qsizetype>(0, qsizetype(stack_.size()) - kDeepestLook);
    for (qsizetype i = qsizetype(stack_.size()) - 1; i >= lowest; --i) {
        const Element &element = stack_[i];
        if (matches(element)) return i;
        if (isBoundary(element, scope)) return -1;
    }
    return -1;
}

qsizetype OpenElements::inScope(TagId id, Scope scope) const {
    if (open_[static_cast<unsigned>(id)] == 0) return -1;
    return inScopeWhere(scope, [&](const Element &element) { return isHtml(element, id); });
}

// --- Changing the stack and the list, counting what keeps spaces.

void OpenElements::push(const Tag &tag, Namespace ns, bool kept) {
    Element element;
    element.id = tag.id;
    element.ns = ns;
    element.kept = kept;
    element.serial = ++serial_;
    element.name = tag.name;
    if (ns == Namespace::MathMl && tag.id == TagId::AnnotationXml) {
        const Attribute *encoding = tag.attribute("encoding");
        element.htmlIntegrationPoint =
            encoding && (sameTagName(encoding->value, "text/html") ||
                         sameTagName(encoding->value, "application/xhtml+xml"));
    }
    if (ns == Namespace::Html)
        ++open_[static_cast<unsigned>(tag.id)];
    else
        ++foreign_;
    if (kept) ++kept_;
    stack_.push_back(element);
}

// A formatting element, which the list remembers: a fourth one like three others after the last
// marker (same name, same attributes as written) takes the place of the first of them.
void OpenElements::pushFormatting(const Tag &tag, bool kept) {
    push(tag, Namespace::Html, kept);
    Formatting entry;
    entry.id = tag.id;
    entry.kept = kept;
    entry.serial = stack_.back().serial;
    entry.attributes = QByteArrayView(tag.name.end(), tag.after - 1);
    qsizetype alike = 0;
    qsizetype earliest = -1;
    for (qsizetype i = qsizetype(formatting_.size()) - 1; i >= 0 && !formatting_[i].marker; --i) {
        if (formatting_[i].id == entry.id && formatting_[i].attributes == entry.attributes) {
            ++alike;
            earliest = i;
        }
    }
    if (alike >= 3) removeEntry(earliest);
    formatting_.push_back(entry);
}

void OpenElements::addMarker() {
    Formatting marker;
    marker.marker = true;
    formatting_.push_back(marker);
}

OpenElements::Formatting *OpenElements::entryOf(std::uint32_t serial) {
    for (auto it = formatting_.rbegin(); it != formatting_.rend(); ++it) {
        if (!it->marker && it->serial == serial) return &*it;
    }
    return nullptr;
}

// An element leaves the stack: one in the list stays there, to be opened again, and still
// counts; any other that kept spaces no longer does.
void OpenElements::removeFromStack(qsizetype index) {
    const Element element = stack_[index];
    stack_.erase(stack_.begin() + index);
    if (element.ns == Namespace::Html)
        --open_[static_cast<unsigned>(element.id)];
    else
        --foreign_;
    // Only formatting elements are in the list.
    Formatting *const entry = element.ns == Namespace::Html && kFormatting.has(element.id)
                                  ? entryOf(element.serial)
                                  : nullptr;
    if (entry) {
        entry->serial = 0;
    } else if (element.kept) {
        --kept_;
    }
}

void OpenElements::popOne() {
    removeFromStack(qsizetype(stack_.size()) - 1);
}

void OpenElements::popTo(qsizetype index) {
    while (qsizetype(stack_.size()) > index) popOne();
}

void OpenElements::removeEntry(qsizetype index) {
    const Formatting entry = formatting_[index];
    formatting_.erase(formatting_.begin() + index);
    if (!entry.marker && entry.kept && entry.serial == 0) --kept_;
}

void OpenElements::clearToLastMarker() {
    while (!formatting_.empty()) {
        const bool marker = formatting_.back().marker;
        removeEntry(qsizetype(formatting_.size()) - 1);
        if (marker) return;
    }
}

qsizetype OpenElements::stackIndexOf(std::uint32_t serial) const {
    for (qsizetype i = qsizetype(stack_.size()) - 1; i >= 0; --i) {
        if (stack_[i].serial == serial) return i;
    }
    return -1;
}

qsizetype OpenElements::lastEntryAfterMarker(TagId id) const {
    for (qsizetype i = qsizetype(formatting_.size()) - 1; i >= 0 && !formatting_[i].marker; --i) {
        if (formatting_[i].id == id) return i;
    }
    return -1;
}

// --- The closing rules.

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

// --- Start tags.

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

void OpenElements::leaveWhereIdle() {
    if (kept_ > 0 || foreign_ > 0) return;
    stack_.clear();
    formatting_.clear();
    open_ = {};
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
            closeParagraph();
            push(tag, Namespace::Html, kept);
            return ContentKind::PlainText;
        case TagId::Xmp:
            closeParagraph();
            push(tag, Namespace::Html, kept);
            return ContentKind::RawText;
        case TagId::Style:
        case TagId::Noframes:
        case TagId::Iframe:
        case TagId::Noembed:
            push(tag, Namespace::Html, kept);
            return ContentKind::RawText;
        case TagId::Title:
        case TagId::Textarea:
            push(tag, Namespace::Html, kept);
            return ContentKind::Rcdata;
        case TagId::Script:
            push(tag, Namespace::Html, kept);
            return ContentKind::ScriptData;
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
        while (!stack_.empty() && stack_.back().ns != Namespace::Html &&
               !isMathMlTextIntegrationPoint(stack_.back()) &&
               !isHtmlIntegrationPoint(stack_.back()))
            popOne();
        return htmlStartTag(tag, kept);
    }
    // The text of a script in foreign content is markup to the tokenizer, which the script
    // reader does not follow: all of it keeps its spaces.
    if (!tag.selfClosing) push(tag, stack_.back().ns, kept || tag.id == TagId::Script);
    return ContentKind::Markup;
}

// --- End tags.

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
        while (!stack_.empty() && stack_.back().ns != Namespace::Html &&
               !isMathMlTextIntegrationPoint(stack_.back()) &&
               !isHtmlIntegrationPoint(stack_.back()))
            popOne();
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
