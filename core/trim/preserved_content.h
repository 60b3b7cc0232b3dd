#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <vector>

#include "core/css/css_declarations.h"
#include "core/encoding/encoding.h"
#include "core/html/byte_range.h"

// A style sheet read beside a page: one it links, or one that such a sheet imports, with the
// encoding a browser reads it in (styleSheetEncoding).
struct StyleSheetText {
    QByteArray bytes;
    FileEncoding encoding;
};

// What a browser reads beside a page's bytes, as far as which of its spaces it shows depends on
// it: the encoding it reads the page in (choosePageEncoding's), and the style sheets the page
// links that could be read.
struct PageContext {
    FileEncoding encoding = FileEncoding::Utf8;
    // The text of the page's <style> elements, where the caller found them already
    // (styleSheetLinks); looked for in the page where not.
    std::optional<std::vector<QByteArray>> styleElements;
    std::vector<StyleSheetText> linkedSheets;
    // Told already by the cheap look (mayHoldPreservedContent): the page holds nothing whose
    // spaces the trim keeps, so that a big page is not looked through twice.
    bool holdsNothing = false;
};

// Where a page's spaces are shown as they are, as the stretches that keep them (see ByteRange),
// in page order, none overlapping; empty for most pages, which it tells cheaply. The page is
// read as a browser reads it, tokenizer and tree builder (see OpenElements), and these keep their
// spaces:
//  - the content of every element that keeps white space, from the end of its start tag to the
//    start of the tag that closes it, or to the end of the page: pre, textarea, listing, xmp and
//    plaintext; an element whose style attribute sets white-space (or white-space-collapse) to a
//    value that keeps spaces, character references and CSS escapes read (see
//    declarationsKeep), or whose white-space attribute does, or that has
//    xml:space="preserve"; an element that a rule of the page's style sheets may select (its
//    <style> elements, the sheets it links and those they import; see KeepingSelectors); the
//    text of a script inside SVG or MathML, which the tokenizer reads as markup;
//  - the content of a custom element (a name with a hyphen), whose script may read its text as
//    written;
//  - a quoted attribute value, of any attribute in any tag, that holds a line end;
//  - in a classic or module script, template literals and continued strings that span lines
//    (see findScriptStretches);
//  - in a script of a template of HTML (text/template, text/x-handlebars-template, ...), which
//    holds markup that scripts put into the page, whatever these rules keep of its content read
//    as a page of its own; unless a presentation marks it as Markdown (data-markdown);
//  - all the text of a script of any other type that is not JavaScript or JSON (Markdown,
//    Python, YAML, ...), which the page's scripts read as written;
//  - all of a page where a rule that keeps spaces may select its root (*, html, body, :root).
//
// Keeping::LineEnds asks instead where a page's line ends are shown as they are: the same, and
// where white-space is pre-line (or white-space-collapse preserve-breaks), which shows a line
// left empty as an empty line, though not the spaces at a line's ends.
std::vector<ByteRange> preservedContent(QByteArrayView page, const PageContext &context = {},
                                        Keeping keeping = Keeping::Spaces);
