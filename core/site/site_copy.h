#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/files/file_error.h"
#include "core/site/page_finder.h"
#include "core/site/page_outcome.h"

// A compressed copy of a site: a new folder beside it holding every file, the pages compressed.
// The pages go there as a Mirror run of the compressor writes them; this copies the rest.

// Makes the folder for a copy of folder, beside it: "NAME-压缩", or "NAME-压缩 (2)" and so on
// where that name is taken. Answers its path.
Result<QString> makeCopyFolder(const QString &folder);

// A file of a site that the page finder does not take, to be copied as it is.
struct OtherFile {
    QString source;
    QString target;
};

// What a site holds beside its pages: the folders to make in the copy and the files to copy.
struct OtherFiles {
    QStringList folders;  // in the copy, parents first
    std::vector<OtherFile> files;
    std::vector<FolderFailure> unreadableFolders;
};

// Walks folder to the bottom as the page finder does, but into folders whose names start with a
// dot as well, since they are part of the site; links to folders are not entered either. Leaves
// out what the compressor writes (the pages the finder takes) and a save's temporary files.
OtherFiles otherFilesOf(const QString &folder, const QStringList &extensions, const QString &copy);

// What copying a file did: copied it, left out a link that leads out of the site, or failed.
struct CopyOutcome {
    bool skipped = false;
    std::optional<PageFailure> failure;
};

// Copies a file as it is, its time kept (copyToNewFile). A link is followed only to a file inside
// within (resolved), as the compressor follows a page's; anywhere where within is empty.
CopyOutcome copyOtherFile(const OtherFile &file, const QString &within);
