#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "core/file_error.h"

// Overwrites an existing regular file with bytes, for where no new file can be made beside it to
// replace it with. The old content survives a failure: the space for the new bytes is reserved
// before the first old byte is overwritten, and the old bytes are kept in memory and put back if
// writing fails all the same. What this cannot cover: a crash or power cut in the middle; a
// copy-on-write file system where putting the old bytes back needs new space that is not there;
// a file that may be written but not read, on a file system that reserves no space.
std::optional<FileError> overwriteInPlace(const QString &path, QByteArrayView bytes);
