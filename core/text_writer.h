#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

#include "core/file_attributes.h"
#include "core/file_descriptor.h"
#include "core/file_error.h"
#include "core/text_buffer.h"

// What a save that succeeded could not keep of the file it replaced.
struct Written {
    QList<LostAttribute> lostAttributes;
};
using WriteResult = std::variant<Written, FileError>;

// What a caller that read the file before asks of its writing.
struct TargetRule {
    // Written only while the target is still this file, the one that was read.
    std::optional<FileIdentity> readAs;
    // A file with other names (hard links) is replaced under this name alone instead of being
    // written through all of them.
    bool nameAlone = false;
};

// Stores a document in a file, exactly as it is, in the encoding it came from; nothing is added.
// A symbolic link is followed and stays a link. An existing file is replaced by a new one only
// once everything, the last byte included, is written and on the disk: on failure it keeps its
// old content and no temporary file is left. The new file keeps the old one's owner, group,
// permission bits and extended attributes, its access control list among them.
//
// An existing file is written in place instead (see overwriteInPlace), with its old content put
// back on failure, where a new one could not take its place as it was: where its folder takes no
// new file, where the new file could not get its owner and group, where it has other names (which
// then all get the new text) and where it cannot be renamed over (a file mounted on its own).
//
// A text with a character that its encoding cannot hold is not written at all: the error names
// the first such character and its line.
class TextWriter {
public:
    static WriteResult write(const QString &path, QByteArrayView document,
                             const FileEncoding &encoding);

    // Stores bytes exactly as they are, with the same guarantees: for content that is already in
    // its stored form, such as the trimmed bytes of a page file, whatever its encoding.
    static WriteResult writeBytes(const QString &path, QByteArrayView bytes,
                                  const TargetRule &rule = {});
};
