#include "core/css/keeping_selectors.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "core/css/css_reader.h"
#include "core/css/css_tokens.h"
#include "core/html/character_references.h"

namespace {

using css::lowered;
using html_bytes::isTagSpace;

// The value of an attribute, as selectors compare it.
QByteArray comparedValue(QByteArrayView value, const FileEncoding &encoding) {
    QByteArray text = attributeValueText(value, encoding);
    for (char &c : text) c = lowered(c);
    return text;
}

bool hasWord(QByteArrayView text, QByteArrayView word) {
    for (qsizetype i = 0; i < text.size();) {
        while (i < text.size() && isTagSpace(text[i])) ++i;
        qsizetype j = i;
        while (j < text.size() && !isTagSpace(text[j])) ++j;
        if (j > i && text.sliced(i, j - i) == word) return true;
        i = j;
    }
    return false;
}

bool passes(const KeepingSelectors::AttributeTest &test, QByteArrayView value) {
    const QByteArrayView wanted(test.value);
    switch (test.match) {
        case 0:
            return true;
        case '=':
            return value == wanted;
        case '~':
            return hasWord(value, wanted);
        case '|':
            return value == wanted || value.startsWith(test.value + "-");
        case '^':
            return !wanted.isEmpty() && value.startsWith(wanted);
        case '$':
            return !wanted.isEmpty() && value.endsWith(wanted);
        case '*':
            return !wanted.isEmpty() && value.contains(wanted);
        default:
            return false;
    }
}

}  // namespace

void KeepingSelectors::addSheet(const QByteArray &sheet, const FileEncoding &encoding) {
    const std::shared_ptr<const SheetReading> reading = sheetReading(sheet, encoding);
    const SheetReading::Rules &rules = reading->keeping(keeping_);
    if (rules.wholePage) wholePage_ = true;
    for (const Compound &compound : rules.compounds) add(compound);
}

void KeepingSelectors::add(Compound compound) {
    // These keep their spaces anyway.
    if (isOneOf(compound.type, {"pre", "textarea", "listing", "xmp", "plaintext"})) return;
    if (compound.type.isEmpty() && compound.ids.empty() && compound.classes.empty() &&
        compound.attributes.empty()) {
        wholePage_ = true;
        return;
    }
    if (!compound.type.isEmpty()) {
        if (std::find(types_.begin(), types_.end(), compound.type) == types_.end())
            types_.push_back(compound.type);
    } else {
        const auto addName = [&](const QByteArray &name) {
            if (std::find(attributeNames_.begin(), attributeNames_.end(), name) ==
                attributeNames_.end())
                attributeNames_.push_back(name);
        };
        if (!compound.ids.empty())
            addName("id");
        else if (!compound.classes.empty())
            addName("class");
        else
            addName(compound.attributes.front().name);
    }
    compounds_.push_back(std::move(compound));
}

bool KeepingSelectors::mayKeep(const Tag &tag, const FileEncoding &encoding) const {
    if (compounds_.empty()) return false;
    QByteArray name = tag.name.toByteArray();
    for (char &c : name) c = lowered(c);
    // Most elements have nothing that any compound asks for.
    const bool typeAsked = std::find(types_.begin(), types_.end(), name) != types_.end();
    const bool attributeAsked =
        std::any_of(attributeNames_.begin(), attributeNames_.end(),
                    [&](const QByteArray &wanted) { return tag.attribute(wanted) != nullptr; });
    if (!typeAsked && !attributeAsked) return false;

    const auto value = [&](QByteArrayView attributeName) -> std::optional<QByteArray> {
        const Attribute *attribute = tag.attribute(attributeName);
        if (!attribute) return std::nullopt;
        return comparedValue(attribute->value, encoding);
    };
    const std::optional<QByteArray> id = value("id");
    const std::optional<QByteArray> classes = value("class");
    for (const Compound &compound : compounds_) {
        if (!compound.type.isEmpty() && compound.type != name) continue;
        const bool ids = std::all_of(compound.ids.begin(), compound.ids.end(),
                                     [&](const QByteArray &wanted) { return id && *id == wanted; });
        if (!ids) continue;
        const bool classesMatch = std::all_of(
            compound.classes.begin(), compound.classes.end(),
            [&](const QByteArray &wanted) { return classes && hasWord(*classes, wanted); });
        if (!classesMatch) continue;
        const bool attributes = std::all_of(
            compound.attributes.begin(), compound.attributes.end(), [&](const AttributeTest &test) {
                const std::optional<QByteArray> actual = value(test.name);
                return actual && passes(test, *actual);
            });
        if (attributes) return true;
    }
    return false;
}
