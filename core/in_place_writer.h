#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "core/file_descriptor.h"
#include "core/file_error.h"

// Overwrites an existing regular file with bytes, for where no new file can be made beside it to
// replace it with. Nothing is written unless the new bytes, and the old ones where they may have
// to be put back, fit within the process's file-size limit. Then the space for the new bytes is
// reserved before the first old byte is overwritten, and the old bytes are kept in memory and put
// back if writing fails all the same. A file that may be written but not read is written only
// where the space could be reserved, since nothing of it could be put back. What this cannot
// cover: a crash or power cut in the middle; a copy-on-write file system where putting the old
// bytes back needs new space that is not there; a device that fails a write after the space for
// it was reserved, in a file that cannot be read.
// The file at path, whose links were followed already, must be the one that expected names.
std::optional<FileError> overwriteInPlace(const QString &path, const FileIdentity &expected,
                                          QByteArrayView bytes);
