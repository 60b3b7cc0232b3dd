#pragma once

#include <QByteArray>
#include <QString>
#include <variant>

#include "core/file_descriptor.h"
#include "core/file_error.h"

// Reads the whole content of a regular file. Anything else (a folder, FIFO, device or socket) is
// refused without reading from it, so that a FIFO or /dev/zero cannot block or fill memory; so is
// a file of more than maxSize bytes.
std::variant<QByteArray, FileError> readRegularFile(const QString &path, qint64 maxSize);

// A file as it was read: its bytes, the path it lies at with every link resolved, taken from the
// open file itself, and which file it is.
struct ReadFile {
    QByteArray bytes;
    QString resolvedPath;
    FileIdentity identity;
};

// Reads a file as readRegularFile does, and tells where it really lies.
std::variant<ReadFile, FileError> readResolvedFile(const QString &path, qint64 maxSize);

// Reads what an open descriptor holds from its position to its end, a pipe's included; more than
// maxSize bytes are refused as too large. expectedSize is how much is likely to come.
std::variant<QByteArray, FileError> readToEnd(int fd, qint64 expectedSize, qint64 maxSize);
