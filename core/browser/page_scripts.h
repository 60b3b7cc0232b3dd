#pragma once

#include <QByteArray>
#include <QString>

// The scripts a tab runs in a page it shows, in a world of their own, so that nothing a page's
// script changes in its globals (Array, JSON, ...) changes what they read, and the page sees
// nothing of them. Each begins with a comment that names it ("// zerediz:read"), which the tests'
// stand-in browser goes by.

// What to read of a page once it has loaded.
struct PageReading {
    // The page's scripts may have run: wait for two frames, so that what the load events of its
    // scripts did is laid out and drawn. Its fonts are waited for in any case.
    bool scripts = true;
    // Besides the text and the attributes a person sees, the look: what the browser lays out and
    // paints from.
    bool look = true;
    // The name the look is kept under in the page, to be asked about later (lookEntryScript).
    QString key;
};

// Reads the page: {text, attributes, charset, type} and, with the look, {look, regions, whole,
// scripted}.
//  - text: the title, the rendered text (innerText, which a browser gives as it lays the page
//    out: collapsed spaces are gone, kept ones are there) and the content of each text area;
//  - attributes: [element, name, value] of each title, alt, placeholder and value, element by
//    element ("img 3": its tag and its number among the elements of that tag);
//  - look: two 32-bit hashes of each entry of the look, as base64. An entry is a box (the place
//    and size of each of its fragments, every attribute, the state of a form field, its scroll, the
//    picture it shows), a run of text (the place and size of each of its fragments), a style sheet
//    (every rule, as the browser parsed it, and whether it applies), the document (its size,
//    scroll, mode) and what the page holds besides (focus, selection, highlights, fonts,
//    animations). Boxes and text come in the order of the document, open shadow trees and the
//    documents of frames it may read included;
//  - regions: [label, x, y, width, height] of what the look cannot tell, as the page paints it:
//    a canvas, a video, a frame it may not read, a picture a script made (blob:);
//  - whole: the look cannot tell at all (a style sheet that draws a picture a script made): the
//    whole page is to be photographed;
//  - scripted: anything in it runs scripts or shows only without them (script, noscript, a frame,
//    an event handler).
QString readingScript(const PageReading &reading);

// The entry of the look kept under key at index: [label, field, value, field, value, ...].
QString lookEntryScript(const QString &key, qsizetype index);

// Makes the page shown, which no script has changed, into the page of bytes, read in charset as a
// document of the page's type: {same: true} where the browser reads those bytes into the same
// elements and attributes, which differ only in their text (and comments), and that text is now
// in place; else {same: false}, and nothing is changed. The page then holds exactly what showing
// those bytes without scripts would hold.
QString becomeScript(const QByteArray &bytes, const QString &charset);
