#pragma once

#include <QString>

struct FileError;

// A short reason, in the interface's language, why a file could not be read or written.
QString fileErrorText(const FileError &error);

// What failed, said before the reason: the file at path could not be opened, or saved.
QString cannotOpenText(const QString &path);
QString cannotSaveText(const QString &path);
