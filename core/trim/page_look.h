#pragma once

#include <QByteArrayView>

// The cheap look at a page before it is read: whether it may hold anything whose spaces the trim
// keeps. A page holds none where it names none of the elements that keep spaces or bring scripts
// and style sheets (<pre, <plaintext, <textarea, <listing, <xmp, <script, <style, <link, <svg,
// <math, in any case), says nothing of style or of white-space and xml:space, and has no quoted
// attribute value that holds a line end. Most large pages are of that kind, and tell it at the
// speed of memory.
bool mayHoldPreservedContent(QByteArrayView page);
