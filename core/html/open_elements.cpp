#include "core/html/open_elements.h"

#include "core/html/tag_sets.h"

using tag_sets::kDefaultScope;
using tag_sets::kFormatting;
using tag_sets::kMathMlTextIntegrationPoints;
using tag_sets::kSpecial;

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

bool OpenElements::inForeignContent() const {
    return !stack_.empty() && stack_.back().ns != Namespace::Html;
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

void OpenElements::popToHtmlContent() {
    while (!stack_.empty() && stack_.back().ns != Namespace::Html &&
           !isMathMlTextIntegrationPoint(stack_.back()) && !isHtmlIntegrationPoint(stack_.back()))
        popOne();
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

void OpenElements::leaveWhereIdle() {
    if (kept_ > 0 || foreign_ > 0) return;
    stack_.clear();
    formatting_.clear();
    open_ = {};
}
