#pragma once

#include <QByteArray>
#include <QString>
#include <variant>

#include "core/file_error.h"

// Reads the whole content of a regular file. Anything else (a folder, FIFO, device or socket) is
// refused without reading from it, so that a FIFO or /dev/zero cannot block or fill memory; so is
// a file of more than maxSize bytes.
std::variant<QByteArray, FileError> readRegularFile(const QString &path, qint64 maxSize);
