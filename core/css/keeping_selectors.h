#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

#include "core/css/css_declarations.h"
#include "core/encoding/encoding.h"
#include "core/html/html_tags.h"

// The selectors of the rules that keep spaces (or line ends, as the reading asks), each cut down to
// what an element must have for the selector to select it, erring towards selecting: the last
// compound of a complex selector alone (the element's type, id, classes and attributes; combinators
// and pseudo-classes are taken to match), with :is(), :where(), :host() and ::slotted() read as the
// alternatives they hold, & as the selectors of the rule it is nested in, and every rule inside
// @media, @supports, @layer,
// @container, @scope and nested rules counted as if it applied. A compound that asks nothing of
// an element (*, :root, :not(...)), or asks for html or body, keeps the whole page. Names, ids,
// classes and attribute values are compared without case, as a page in quirks mode does.
class KeepingSelectors {
public:
    explicit KeepingSelectors(Keeping keeping = Keeping::Spaces) : keeping_(keeping) {}

    void addSheet(const QByteArray &sheet, const FileEncoding &encoding);

    bool isEmpty() const { return compounds_.empty() && !wholePage_; }
    bool keepWholePage() const { return wholePage_; }

    // Whether a rule that keeps white space may select the element of a start tag of a page in
    // encoding.
    bool mayKeep(const Tag &tag, const FileEncoding &encoding) const;

    struct AttributeTest {
        QByteArray name;
        char match = 0;  // 0 for presence alone, or the operator: = ~ | ^ $ *
        QByteArray value;
    };
    struct Compound {
        QByteArray type;  // empty for any
        std::vector<QByteArray> ids;
        std::vector<QByteArray> classes;
        std::vector<AttributeTest> attributes;
    };

private:
    void add(Compound compound);

    Keeping keeping_;
    std::vector<Compound> compounds_;
    // What any of the compounds asks for, to pass over most elements at a glance.
    std::vector<QByteArray> types_;
    std::vector<QByteArray> attributeNames_;
    bool wholePage_ = false;
};
