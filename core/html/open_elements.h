#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/html/html_tags.h"

// How the tokenizer reads the bytes behind a start tag: as markup, as text that ends only at the
// element's own end tag (RAWTEXT: style, xmp, ...; RCDATA: textarea, title; script data), or as
// text to the end of the page (plaintext).
enum class ContentKind : std::uint8_t { Markup, RawText, Rcdata, ScriptData, PlainText };

// The elements a browser's tree builder holds open while it reads a page, as far as where the
// content of an element that keeps its spaces ends depends on them: the stack of open elements
// with each element's namespace, and the list of active formatting elements, which a browser
// opens again (as copies with the same attributes) behind the elements that closed them.
//
// Only what lies inside an element that keeps spaces, or inside foreign content, is held: the
// elements a browser holds open below them only ever decide that something closes there, and
// not knowing them closes nothing, which keeps spaces longer at most.
//
// The rules of HTML's tree construction are followed where they close elements: end tags, with
// the scopes that decide whether one closes anything, the elements that a start tag closes (a p
// before a div, an li before the next, a table cell before the next), the adoption agency
// algorithm for misnested formatting elements, and foreign content (SVG and MathML) with its
// integration points and the HTML elements that break out of it. What it leaves out only ever
// leaves elements open that a browser closes: the insertion modes of tables apart from closing
// their cells, rows and sections; select; framesets; foster parenting, which moves text but
// closes nothing. So the content of an element that keeps spaces ends no earlier than a
// browser ends it.
class OpenElements {
public:
    OpenElements();

    // Whether the next token is read in foreign content, where <![CDATA[ opens a CDATA section.
    bool inForeignContent() const;

    // Takes a start tag, whose element keeps its spaces where kept is true; answers how the bytes
    // behind it are read.
    ContentKind startTag(const Tag &tag, bool kept);
    void endTag(const Tag &tag);

    // Whether the bytes that follow lie in the content of an element that keeps its spaces: one
    // that is open, or a formatting element that a browser opens again before the next text.
    bool keepsSpaces() const { return kept_ > 0; }

private:
    // Whether nothing is held: nothing keeps spaces and no element of foreign content is open.
    bool idle() const { return stack_.empty() && formatting_.empty(); }
    void leaveWhereIdle();

    enum class Namespace : std::uint8_t { Html, Svg, MathMl };
    enum class Scope : std::uint8_t { Default, ListItem, Button, Table, Select };

    struct Element {
        TagId id = TagId::Other;
        Namespace ns = Namespace::Html;
        bool kept = false;
        bool htmlIntegrationPoint = false;  // a MathML annotation-xml that holds HTML
        std::uint32_t serial = 0;
        QByteArrayView name;  // as written, for names without an id
    };
    // An entry of the list of active formatting elements, or a marker that ends what the
    // adoption agency and the reopening of elements look at.
    struct Formatting {
        bool marker = false;
        TagId id = TagId::Other;
        bool kept = false;
        std::uint32_t serial = 0;   // of its element while that is on the stack, else 0
        QByteArrayView attributes;  // the bytes of its start tag behind the name
    };

    // The rules of start tags (open_elements_start_tags.cpp).
    bool takesHtmlStartTag(const Tag &tag) const;
    ContentKind htmlStartTag(const Tag &tag, bool kept);
    ContentKind tableStartTag(const Tag &tag, bool kept);
    ContentKind foreignStartTag(const Tag &tag, bool kept);
    void closeParagraph();
    void closeListItem(TagId first, TagId second);
    void closeCell();

    // The rules of end tags (open_elements_end_tags.cpp).
    void htmlEndTag(const Tag &tag);
    void foreignEndTag(const Tag &tag);
    bool adoptionAgency(TagId subject);
    void anyOtherEndTag(const Tag &tag);

    // The stack and the list themselves (open_elements.cpp).
    void push(const Tag &tag, Namespace ns, bool kept);
    void pushFormatting(const Tag &tag, bool kept);
    void addMarker();
    void popOne();
    void popTo(qsizetype index);  // pops the element at index and all above it
    // Pops the elements of foreign content above the nearest HTML element or integration point,
    // for a tag that breaks out of it.
    void popToHtmlContent();
    void removeFromStack(qsizetype index);
    void removeEntry(qsizetype index);
    void clearToLastMarker();
    qsizetype stackIndexOf(std::uint32_t serial) const;
    Formatting *entryOf(std::uint32_t serial);
    qsizetype lastEntryAfterMarker(TagId id) const;

    bool isHtml(const Element &element, TagId id) const {
        return element.id == id && element.ns == Namespace::Html;
    }
    bool isSpecial(const Element &element) const;
    bool isBoundary(const Element &element, Scope scope) const;
    bool isMathMlTextIntegrationPoint(const Element &element) const;
    bool isHtmlIntegrationPoint(const Element &element) const;

    // How far the scope of an end tag is looked for at most. Real pages nest far less deep; on a
    // page that nests deeper, an end tag looked for further away is taken as closing nothing,
    // which only keeps spaces longer.
    static constexpr qsizetype kDeepestLook = 1024;

    // The topmost HTML element with this id that is in scope, or -1.
    qsizetype inScope(TagId id, Scope scope) const;
    template <typename Matches>
    qsizetype inScopeWhere(Scope scope, Matches matches) const;

    std::vector<Element> stack_;
    std::vector<Formatting> formatting_;
    // How many HTML elements of each id are on the stack, so that a look for one that is not
    // there costs nothing.
    std::array<std::uint32_t, 256> open_{};
    std::uint32_t serial_ = 0;
    qsizetype kept_ = 0;     // elements that keep spaces, open or to be opened again
    qsizetype foreign_ = 0;  // elements of SVG and MathML on the stack
};

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
