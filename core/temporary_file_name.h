#pragma once

#include <QByteArray>
#include <QString>

// The names of the files that a save writes before they replace their target, such as
// ".index.html.zerediz-k3Xw9Q.tmp" beside index.html: hidden, named after the page and the
// program, and ending in .tmp, so that a person can tell what one is and no tool takes it for a
// page. Only a process that was killed leaves one behind.

// A new such name for the file called name (the bytes of its last path component), unlikely to
// exist yet. A long name is cut so that the result stays within the file system's limit.
QByteArray temporaryFileName(const QByteArray &name);

// Whether a file's name is one that temporaryFileName gives.
bool isTemporaryFileName(const QString &name);
