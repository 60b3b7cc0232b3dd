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

// The whole Open: reads a page file (readRegularFile), chooses the encoding it is read in
// (chooseFileEncoding), trims every line of the spaces at both ends that a browser does not show
// (trimLines) and decodes the trimmed bytes into the document the text area shows
// (decodeFileBytes). The caller gets the whole document or an error, never a part of one.
std::variant<TextBuffer, FileError> openPage(const QString &path);
