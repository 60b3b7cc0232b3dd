#pragma once

#include <QByteArrayView>

// What the bytes of a page tell the check before a browser shows it.

// Whether anything in the page may run a script, or show only where scripts do not run: a script
// or noscript element, a frame, an object or embed (whose document may run its own), an event
// handler attribute, a javascript: address, an XSLT sheet, a refresh. Looked for in the bytes as
// they are, in any case and anywhere, so that it may answer yes where a browser would find none,
// never no where it would find one; a page that is no ASCII-compatible text may hold anything.
bool mayRunScripts(QByteArrayView page);

// Whether a browser reads both pages into the same characters, whatever it finds in them: both
// declare the same encoding near their start (see declaredEncoding), or begin with the same
// byte-order mark, or hold nothing but ASCII, which every encoding a browser guesses reads alike.
// The trim can move a declaration into the part of a page that browsers look at, or out of it.
bool readInSameEncoding(QByteArrayView page, QByteArrayView other);
