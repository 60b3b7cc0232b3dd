#pragma once

#include <QString>

struct FileError;

// A short reason, in the interface's language, why a file could not be read or written.
QString fileErrorText(const FileError &error);
