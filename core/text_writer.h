#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "core/file_error.h"
#include "core/text_buffer.h"

// Stores a document in a file, exactly as it is, in the encoding it came from; nothing is added.
// The file is replaced only once everything, the last byte included, is written and on the disk:
// on failure it keeps its old content and no temporary file is left. Only where its folder takes
// no new file is a file written in place, with its old content put back on failure (see
// overwriteInPlace). A symbolic link is followed and stays a link; an existing file keeps its
// permission bits. A text with a character that its encoding cannot hold is not written at all:
// the error names the first such character and its line.
class TextWriter {
public:
    static std::optional<FileError> write(const QString &path, QByteArrayView document,
                                          const FileEncoding &encoding);

    // Stores bytes exactly as they are, with the same guarantees: for content that is already in
    // its stored form, such as the trimmed bytes of a page file, whatever its encoding.
    static std::optional<FileError> writeBytes(const QString &path, QByteArrayView bytes);
};
