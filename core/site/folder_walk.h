#pragma once

#include <QString>
#include <vector>

#include "core/files/file_error.h"
#include "core/files/page_file.h"

// Folders and what their entries are, as pages are found in them. Each platform has
// its own file of these.

// An entry of a folder.
struct FolderEntry {
    QString name;
    bool nameIsUtf8 = true;  // the system's name converts to text and back unchanged
    bool isFolder = false;   // a folder, or a link that leads to one
    bool isLink = false;
};

// The entries of a folder, in the order of their names as the system stores them.
Result<std::vector<FolderEntry>> listFolder(const QString &path);

// What a path leads to.
struct FileStatus {
    enum class Kind { Folder, RegularFile, Link, Other };
    Kind kind = Kind::Other;
    FileIdentity identity;
    qint64 links = 1;  // names of the file (hard links)
    qint64 size = 0;
};

enum class Links { Follow, Keep };

// What is at path: what its links lead to, or, with Links::Keep, a link itself. NotFound where
// nothing is.
Result<FileStatus> statusOf(const QString &path, Links links = Links::Follow);

// The path a file or folder lies at with every link resolved, as readResolvedFile tells it for the
// files in it; empty where nothing is there.
QString resolvedPath(const QString &path);

// Makes the folder at path and the folders above it that are missing.
Result<Done> makeFolders(const QString &path);
