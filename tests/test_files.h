#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// What the tests ask of files beyond what Qt tells, the same on every system. Each platform has
// its own file of these.

// Makes link a symbolic link to target, as written: relative to link's folder, or absolute. False
// where the system makes none (Wine 8 reports success and makes nothing).
bool makeSymbolicLink(const QString &target, const QString &link);

// Gives the file at existing another name, link: a hard link.
bool makeHardLink(const QString &existing, const QString &link);

// How many names (hard links) the file at path has.
qint64 nameCount(const QString &path);

// Which file is at path, not following a link there: two names give the same value only where
// they name one file.
QByteArray fileIdentity(const QString &path);

// When the file at path was last written, in the finest unit the system keeps.
qint64 modifiedTime(const QString &path);

// Everything the file at path gives whom, as one value to compare: owner, group, permission bits
// and extended attributes on Linux; attributes and access control list on Windows.
QByteArray fileRights(const QString &path);
