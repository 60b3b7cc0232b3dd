#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "core/encoding/encoding.h"

// An attribute's value as a browser reads it, in UTF-8: the page's bytes converted from its
// encoding (bytes it does not hold stay as they are), and its character references read. Numeric
// references are read in full; of the named ones, those of ASCII characters (&colon;, &sol;,
// &lpar;, ...), with &amp;, &lt;, &gt;, &quot; also without their semicolon where an attribute
// allows that, and &nbsp;. Any other named reference stays as it is written.
QByteArray attributeValueText(QByteArrayView value, const FileEncoding &encoding);

// The same for text that is UTF-8 already.
QByteArray withCharacterReferencesRead(QByteArrayView value);

// Bytes of a charset converted to UTF-8 where they are not ASCII; bytes the charset does not hold
// stay as they are.
QByteArray utf8Text(QByteArrayView bytes, const FileEncoding &encoding);

// A URL as a browser takes it from an attribute: tabs and line ends inside it dropped, and the
// spaces and control characters around it.
QString urlText(QByteArrayView value, const FileEncoding &encoding);
