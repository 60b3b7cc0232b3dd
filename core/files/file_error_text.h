#pragma once

#include <QList>
#include <QString>

struct FileError;
struct LostAttribute;

// A short reason, in the interface's language, why a file could not be read or written.
QString fileErrorText(const FileError &error);

// What failed, said before the reason: the file at path could not be opened, compressed (it
// was read, but its result cannot be had), or saved.
QString cannotOpenText(const QString &path);
QString cannotCompressText(const QString &path);
QString cannotSaveText(const QString &path);
// The files written into the folder at path may not survive a power cut.
QString cannotSyncFolderText(const QString &path);

// What a save that succeeded could not keep: the attributes of the file at path, and why.
QString cannotKeepAttributesText(const QString &path);
QString lostAttributesText(const QList<LostAttribute> &lost);
