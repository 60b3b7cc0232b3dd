#pragma once

#include <QByteArrayView>

// The cheap look at a page before it is read: whether it may hold anything whose spaces the trim
// keeps. A page holds none where it names none of the elements that keep spaces or bring scripts
// and style sheets (<pre, <plaintext, <textarea, <listing, <xmp, <script, <style, <link, <svg,
// <math, in any case) nor a custom element (a name with a hyphen), has no attribute named style,
// white-space or xml:space, and no quoted attribute value that holds a line end. Most large pages
// are of that kind, and tell it at the speed of memory.
bool mayHoldPreservedContent(QByteArrayView page);
