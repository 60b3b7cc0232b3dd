#include "core/trim/page_reader.h"

#include <QByteArrayList>
#include <cstring>

#include "core/css/css_declarations.h"
#include "core/css/keeping_selectors.h"
#include "core/encoding/character_steps.h"
#include "core/html/character_references.h"
#include "core/html/folded_text.h"
#include "core/html/html_tags.h"
#include "core/html/open_elements.h"
#include "core/javascript/script_reader.h"
#include "core/two_halves/two_halves.h"

namespace {

using html_bytes::endsName;
using html_bytes::isAsciiLetter;
using html_bytes::isTagSpace;

// An attribute value's text without the white space around it.
QByteArrayView trimmedValue(QByteArrayView value) {
    while (!value.isEmpty() && isTagSpace(value.front())) value = value.sliced(1);
    while (!value.isEmpty() && isTagSpace(value.back())) value.chop(1);
    return value;
}

// What a reading of a page gathers for the style sheets it links: its first <base>'s href.
struct Gathered {
    QString base;
    bool hasBase = false;
};

// The kinds of script a type names, as the HTML standard reads a script's type and language:
// JavaScript, JSON and other data, and the types that a browser does not run, whose text the
// page's own scripts read. Of those, the templates of HTML that libraries put into the page are
// read as markup; the text of any other type is read as written, since its line starts may
// matter (Markdown, Python, YAML, a shader, a template of a kind the rule does not know).
enum class ScriptKind { Classic, Module, Data, Markup, ClassicAndMarkup, AsWritten };

ScriptKind scriptKind(const Tag &tag, bool markdownSlides) {
    const Attribute *type = tag.attribute("type");
    QByteArray name;
    if (type) {
        name = trimmedValue(type->value).toByteArray().toLower();
    } else if (const Attribute *language = tag.attribute("language");
               language && !language->value.isEmpty()) {
        name = "text/" + language->value.toByteArray().toLower();
    }
    if (name.isEmpty()) return ScriptKind::Classic;
    static const QByteArrayList kJavaScript{"application/ecmascript",
                                            "application/javascript",
                                            "application/x-ecmascript",
                                            "application/x-javascript",
                                            "text/ecmascript",
                                            "text/javascript",
                                            "text/javascript1.0",
                                            "text/javascript1.1",
                                            "text/javascript1.2",
                                            "text/javascript1.3",
                                            "text/javascript1.4",
                                            "text/javascript1.5",
                                            "text/jscript",
                                            "text/livescript",
                                            "text/x-ecmascript",
                                            "text/x-javascript"};
    if (kJavaScript.contains(name)) return ScriptKind::Classic;
    if (name == "module") return ScriptKind::Module;
    if (name == "importmap" || name == "speculationrules" || name.endsWith("json"))
        return ScriptKind::Data;
    // A type with parameters, or the JavaScript of a compiler that runs in the page (Babel's JSX,
    // TypeScript): read both ways, since either may be what a script makes of it.
    const qsizetype semicolon = name.indexOf(';');
    if ((semicolon > 0 && kJavaScript.contains(name.first(semicolon).trimmed())) ||
        name == "text/babel" || name == "text/jsx" || name == "text/typescript" ||
        name == "application/typescript")
        return ScriptKind::ClassicAndMarkup;
    static const QByteArrayList kHtmlTemplates{"text/template",
                                               "text/html",
                                               "text/x-template",
                                               "text/ng-template",
                                               "text/handlebars",
                                               "text/x-handlebars",
                                               "text/x-handlebars-template",
                                               "text/mustache",
                                               "text/x-mustache",
                                               "text/x-mustache-template",
                                               "text/x-jquery-tmpl",
                                               "text/x-jsrender",
                                               "text/x-kendo-template",
                                               "text/x-underscore-template",
                                               "text/x-lodash-template",
                                               "text/x-dot-template",
                                               "text/x-tmpl",
                                               "text/ractive"};
    // A presentation's slides in Markdown come in a text/template script, inside a section marked
    // data-markdown.
    if (kHtmlTemplates.contains(name) && !markdownSlides) return ScriptKind::Markup;
    return ScriptKind::AsWritten;
}

// What a reading of a page shares with the readings of the scripts of markup inside it.
struct Reading {
    const char *page = nullptr;
    FileEncoding encoding;
    CharacterSteps steps{FileEncoding::Utf8};
    Keeping keeping = Keeping::Spaces;
    const KeepingSelectors *selectors = nullptr;
    std::vector<ByteRange> *ranges = nullptr;
    Gathered *gathered = nullptr;  // a reading that looks for the page's <base>
    bool wholePage = false;
    bool markdownSlides = false;  // an element marked data-markdown was read
};

// Reads the markup from begin to end as HTML's tokenizer does, with the tree builder's open
// elements beside it.
class PageReader {
public:
    PageReader(Reading &reading, const char *begin, const char *end)
        : reading_(reading), end_(end), position_(begin) {}

    void read() {
        readUntil(end_);
        finish();
    }

    // Reads on up to the first markup that starts at until or behind it, or to the end; answers
    // where it stopped.
    const char *readUntil(const char *until) {
        const char *p = position_;
        while (p < end_ && !reading_.wholePage) {
            const auto *markup =
                static_cast<const char *>(std::memchr(p, '<', std::size_t(end_ - p)));
            if (!markup) {
                p = end_;
                break;
            }
            if (markup >= until) {
                p = markup;
                break;
            }
            p = afterMarkup(markup);
        }
        position_ = p;
        return p;
    }

    // Whether the bytes that follow lie in HTML's content, in no element that keeps spaces: as
    // they are to a reading that starts there.
    bool atRest() const { return !elements_.keepsSpaces() && !elements_.inForeignContent(); }

    void finish() {
        if (elements_.keepsSpaces()) close(end_);
    }

private:
    void keep(const char *from, const char *to) {
        if (reading_.ranges && to > from)
            reading_.ranges->push_back({from - reading_.page, to - reading_.page});
    }

    void close(const char *at) { keep(contentStart_, at); }

    // Keeps the spaces of a quoted value that holds a line end.
    void valueWithLineEnd(QByteArrayView value) { keep(value.begin(), value.end()); }

    // Reads what starts with the < at p; answers where text goes on.
    const char *afterMarkup(const char *p) {
        const char *const next = p + 1;
        if (next == end_) return end_;
        const bool isEndTag = *next == '/';
        if (next + isEndTag < end_ && isAsciiLetter(next[isEndTag])) return tag(p, isEndTag);
        if (*next == '!') {
            if (end_ - next >= 3 && next[1] == '-' && next[2] == '-') return afterComment(p);
            if (elements_.inForeignContent() && end_ - next >= 8 &&
                QByteArrayView(next + 1, 7) == "[CDATA[")
                return afterCdata(next + 8);
            return afterGreaterThan(next);
        }
        if (*next == '?') return afterGreaterThan(next);
        if (isEndTag) {
            if (end_ - next < 2) return end_;
            return next[1] == '>' ? next + 2 : afterGreaterThan(next);
        }
        return next;
    }

    const char *tag(const char *lessThan, bool isEndTag) {
        readTag(lessThan + 1 + isEndTag, end_, tag_,
                [this](QByteArrayView value) { valueWithLineEnd(value); });
        if (!tag_.after) return end_;
        tag_.lessThan = lessThan;
        tag_.isEnd = isEndTag;
        const bool kept = elements_.keepsSpaces();
        if (isEndTag) {
            elements_.endTag(tag_);
            changed(kept);
            return tag_.after;
        }
        if (reading_.gathered) gather();
        if (!reading_.markdownSlides && tag_.attribute("data-markdown"))
            reading_.markdownSlides = true;
        const bool keeps = keepsSpaces();
        if (keeps && (tag_.id == TagId::Html || tag_.id == TagId::Body)) {
            reading_.wholePage = true;
            return end_;
        }
        const ContentKind content = elements_.startTag(tag_, keeps);
        changed(kept);
        switch (content) {
            case ContentKind::Markup:
                return tag_.after;
            case ContentKind::RawText:
            case ContentKind::Rcdata:
                return rawTextEnd(tag_.after, tag_.name);
            case ContentKind::ScriptData: {
                const char *const textEnd = scriptDataEnd(tag_.after);
                script(tag_.after, textEnd);
                return textEnd;
            }
            case ContentKind::PlainText:
                return end_;
        }
        return tag_.after;
    }

    // Opens or closes the stretch of kept content where the tag just read changed whether the
    // bytes behind it keep their spaces.
    void changed(bool kept) {
        const bool keeps = elements_.keepsSpaces();
        if (keeps && !kept) contentStart_ = tag_.after;
        if (kept && !keeps) close(tag_.lessThan);
    }

    // Whether the element of the start tag just read keeps its spaces (or, for a reading of line
    // ends, its line ends).
    bool keepsSpaces() const {
        // A custom element's script may read its text as written: a Markdown or code block.
        if (tag_.name.contains('-')) return true;
        switch (tag_.id) {
            case TagId::Pre:
            case TagId::Textarea:
            case TagId::Listing:
            case TagId::Xmp:
            case TagId::Plaintext:
                return true;
            default:
                break;
        }
        for (const Attribute &attribute : tag_.attributes) {
            if (sameTagName(attribute.name, "style")) {
                // Only what speaks of white space, or hides its words, needs reading.
                const QByteArrayView value = attribute.value;
                if ((containsFolded(value, "space") || value.contains('\\') ||
                     value.contains('&')) &&
                    declarationsKeep(attributeValueText(value, reading_.encoding),
                                     reading_.keeping))
                    return true;
            } else if (sameTagName(attribute.name, "xml:space")) {
                if (sameTagName(trimmedValue(attribute.value), "preserve")) return true;
            } else if (sameTagName(attribute.name, "white-space")) {
                if (declarationsKeep(
                        "white-space:" + attributeValueText(attribute.value, reading_.encoding),
                        reading_.keeping))
                    return true;
            }
        }
        return reading_.selectors && reading_.selectors->mayKeep(tag_, reading_.encoding);
    }

    void gather() {
        Gathered &gathered = *reading_.gathered;
        if (tag_.id == TagId::Base && !gathered.hasBase) {
            if (const Attribute *href = tag_.attribute("href")) {
                gathered.hasBase = true;
                gathered.base = urlText(href->value, reading_.encoding);
            }
        }
    }

    void script(const char *begin, const char *end) {
        // Content that keeps its spaces keeps all of a script's; a reading that looks for the
        // <base> still looks into markup.
        const bool ranges = !elements_.keepsSpaces();
        const ScriptKind kind = scriptKind(tag_, reading_.markdownSlides);
        switch (kind) {
            case ScriptKind::Classic:
            case ScriptKind::Module:
                if (ranges && reading_.ranges) {
                    const ScriptSyntax syntax =
                        kind == ScriptKind::Module ? ScriptSyntax::Module : ScriptSyntax::Classic;
                    findScriptStretches(reading_.page, begin, end, syntax, reading_.steps,
                                        *reading_.ranges);
                }
                return;
            case ScriptKind::Data:
                return;
            case ScriptKind::ClassicAndMarkup:
                if (ranges && reading_.ranges)
                    findScriptStretches(reading_.page, begin, end, ScriptSyntax::Classic,
                                        reading_.steps, *reading_.ranges);
                [[fallthrough]];
            case ScriptKind::Markup:
                if (ranges || reading_.gathered) PageReader(reading_, begin, end).read();
                return;
            case ScriptKind::AsWritten:
                if (ranges) keep(begin, end);
                return;
        }
    }

    // Where a comment that starts at p with <!-- ends: behind its -->, or --!>, or at the end.
    const char *afterComment(const char *p) const {
        const char *text = p + 4;
        if (text < end_ && *text == '>') return text + 1;
        if (end_ - text >= 2 && text[0] == '-' && text[1] == '>') return text + 2;
        for (; end_ - text >= 3; ++text) {
            text = static_cast<const char *>(std::memchr(text, '-', std::size_t(end_ - text - 2)));
            if (!text) break;
            if (text[1] != '-') continue;
            if (text[2] == '>') return text + 3;
            if (end_ - text >= 4 && text[2] == '!' && text[3] == '>') return text + 4;
        }
        return end_;
    }

    // Behind the ]]> of a CDATA section whose text starts at p, a character at a time in the
    // page's encoding, or the end.
    const char *afterCdata(const char *p) const {
        while (p < end_) {
            if (*p == ']' && end_ - p >= 3 && p[1] == ']' && p[2] == '>') return p + 3;
            p += reading_.steps.length(p, end_);
        }
        return end_;
    }

    const char *afterGreaterThan(const char *p) const {
        const auto *close = static_cast<const char *>(std::memchr(p, '>', std::size_t(end_ - p)));
        return close ? close + 1 : end_;
    }

    bool isEndTagOf(const char *p, QByteArrayView name) const {
        const qsizetype length = name.size();
        if (end_ - p < length + 3 || p[1] != '/' ||
            !sameTagName(QByteArrayView(p + 2, length), name))
            return false;
        const char after = p[2 + length];
        return endsName(after);
    }

    // Where the text of a RAWTEXT or RCDATA element ends: at the < of its end tag, or at the
    // end.
    const char *rawTextEnd(const char *p, QByteArrayView name) const {
        for (; p < end_; ++p) {
            p = static_cast<const char *>(std::memchr(p, '<', std::size_t(end_ - p)));
            if (!p) return end_;
            if (isEndTagOf(p, name)) return p;
        }
        return end_;
    }

    // Where a script's text ends, as the tokenizer's script data states find it: at the < of
    // its end tag, which inside <!-- and --> does not count behind another <script, or at the
    // end.
    const char *scriptDataEnd(const char *p) const {
        enum class State { Data, Escaped, DoubleEscaped } state = State::Data;
        for (; p < end_; ++p) {
            const char c = *p;
            if (c == '<') {
                if (state != State::DoubleEscaped && isEndTagOf(p, "script")) return p;
                if (state == State::Data && end_ - p >= 4 && QByteArrayView(p, 4) == "<!--") {
                    // Its dashes may be those of the --> that ends it: <!--> escapes nothing.
                    p += 3;
                    state = p + 1 < end_ && p[1] == '>' ? State::Data : State::Escaped;
                    continue;
                }
                if (state == State::Escaped && end_ - p >= 8 &&
                    startsWithFolded(p + 1, end_, "script") && endsName(p[7])) {
                    state = State::DoubleEscaped;
                    p += 6;
                    continue;
                }
                if (state == State::DoubleEscaped && end_ - p >= 9 && p[1] == '/' &&
                    startsWithFolded(p + 2, end_, "script") && endsName(p[8])) {
                    state = State::Escaped;
                    p += 7;
                    continue;
                }
            } else if (c == '-' && state != State::Data && end_ - p >= 3 && p[1] == '-' &&
                       p[2] == '>') {
                state = State::Data;
                p += 2;
            }
        }
        return end_;
    }

    Reading &reading_;
    const char *const end_;
    const char *position_;
    OpenElements elements_;
    Tag tag_;
    const char *contentStart_ = nullptr;
};

}  // namespace

std::vector<ByteRange> keptStretches(QByteArrayView page, const FileEncoding &encoding,
                                     const KeepingSelectors *selectors, Keeping keeping) {
    std::vector<ByteRange> ranges;
    std::vector<ByteRange> secondRanges;
    Reading reading;
    reading.page = page.data();
    reading.encoding = encoding;
    reading.keeping = keeping;
    reading.steps = CharacterSteps(encoding);
    reading.selectors = selectors;
    reading.ranges = &ranges;
    Reading second = reading;
    second.ranges = &secondRanges;

    // A big page is read in two halves at once: the second from its middle on, as a reading
    // that starts in HTML's content, outside any element that keeps spaces, which the middle
    // mostly is. Where the first half's reading finds that it is not, it reads on to the end and
    // the second half's reading is not used. Where it is, the second half's reading knows
    // nothing of the elements opened before the middle; the end tag or start tag that closes one
    // of them closes nothing there, which only ever keeps spaces longer.
    const char *const begin = page.data();
    const char *const end = begin + page.size();
    PageReader firstReader(reading, begin, end);
    if (page.size() < kTwoCoresFrom) {
        firstReader.read();
    } else {
        const char *const middle = begin + page.size() / 2;
        PageReader secondReader(second, middle, end);
        const char *stopped = nullptr;
        inTwoHalves(
            page.size(), [&] { stopped = firstReader.readUntil(middle); },
            [&] { secondReader.read(); });
        const auto *firstMarkup =
            static_cast<const char *>(std::memchr(middle, '<', std::size_t(end - middle)));
        // A presentation marked in the first half reads the templates of the second as
        // Markdown, which the second half's reading cannot know.
        if (stopped == (firstMarkup ? firstMarkup : end) && firstReader.atRest() &&
            !reading.wholePage && !reading.markdownSlides) {
            ranges.insert(ranges.end(), secondRanges.begin(), secondRanges.end());
            reading.wholePage = second.wholePage;
        } else {
            firstReader.read();
        }
    }
    if (reading.wholePage) return {{0, page.size()}};
    return ranges;
}

QString baseOf(QByteArrayView page, const FileEncoding &encoding) {
    Gathered gathered;
    Reading reading;
    reading.page = page.data();
    reading.encoding = encoding;
    reading.steps = CharacterSteps(encoding);
    reading.gathered = &gathered;
    PageReader(reading, page.data(), page.data() + page.size()).read();
    return gathered.base;
}
