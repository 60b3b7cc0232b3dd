#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The compression itself. A line ends at a CR or at a CR LF pair; a LF on its own is part of its
// line. Every line loses the spaces (0x20 only) at both of its ends and is followed by CR LF, the
// last line included. A line end at the very end of the input does not start another line.
//
// Works on bytes: in UTF-8 and GB18030 the bytes CR, LF and space never occur inside a multi-byte
// character, so the result is the same as on characters.
QByteArray trimLines(QByteArrayView input);
