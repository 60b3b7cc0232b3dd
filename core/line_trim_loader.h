#pragma once

#include <QString>
#include <QtGlobal>
#include <variant>

#include "core/encoding.h"
#include "core/file_error.h"

// The largest document, in bytes, that the text area is given. Its positions are int-based in
// places, so 2 GiB is a hard wall; half of it keeps well clear and still takes a file far larger
// than any real page.
inline constexpr qint64 kMaxDocumentSize = qint64{1} << 30;

// The whole Open: reads a page file (readRegularFile), takes the encoding it states
// (statedEncoding), trims every line of the spaces at both ends that a browser does not show
// (InPlaceTrim) and decodes the trimmed bytes into the document the text area shows, in the
// stated encoding or else the one its bytes call for (decodeFileBytes). The caller gets the whole
// document or an error, never a part of one.
std::variant<TextBuffer, FileError> openPage(const QString &path);
