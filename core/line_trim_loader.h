#pragma once

#include <QString>
#include <variant>

#include "core/file_error.h"
#include "core/text_buffer.h"

// Reads a page file and makes the document the text area shows: every line trimmed of the spaces
// at both ends that a browser does not show (see trimLines). The caller gets the whole document
// or an error, never a part of one.
class LineTrimLoader {
public:
    // The largest document, in bytes, that the text area is given. Its positions are int-based
    // in places, so 2 GiB is a hard wall; half of it keeps well clear and still takes a file
    // far larger than any real page.
    static constexpr qint64 kMaxDocumentSize = qint64{1} << 30;

    static std::variant<TextBuffer, FileError> load(const QString &path);
};
