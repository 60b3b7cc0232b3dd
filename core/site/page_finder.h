#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

#include "core/files/file_error.h"

// Where compressed pages go.
enum class PageOutput {
    InPlace,  // each page is replaced by its compressed form
    File,     // the one page goes to the file outputPath
    Mirror,   // the pages go below the folder outputPath, in the same tree
    Check,    // nothing is written
};

// The names a page found in a folder ends in, when no others are asked for: lower case, without
// the dot.
inline const QStringList kPageExtensions{QStringLiteral("htm"), QStringLiteral("html"),
                                         QStringLiteral("xhtml"), QStringLiteral("shtml")};

// Whether a file of that name is a page: it ends in a dot and one of extensions, in any case.
bool isPageName(const QString &name, const QStringList &extensions);

// What to compress, and where to.
struct PageSearch {
    PageOutput output = PageOutput::InPlace;
    QString outputPath;
    QStringList paths;  // files and folders; "-" alone stands for standard input and output
    QStringList extensions = kPageExtensions;

    bool readsStandardInput() const { return paths == QStringList{QStringLiteral("-")}; }
};

// One page to compress, and where its compressed form goes.
struct PageJob {
    // As the search says, except that standard input, which has no place of its own, goes to a
    // File: the search's, or else standard output. A File's target must have its folder already; a
    // Mirror's gets the folders it needs.
    PageOutput output = PageOutput::InPlace;
    QString source;  // "-": standard input
    QString target;  // "-": standard output
    // For a page found unfit already: why it cannot be opened.
    std::optional<FileError> unfit;
    // Where source was found in a folder PATH: that folder, links resolved, outside of which no
    // link is followed.
    QString within;
    // The other names of the same file (hard links) that were found: it is compressed once, and
    // they count as compressed with it.
    QStringList otherNames;
    // The file has names elsewhere too: source is replaced by a file of its own, not written
    // through them all.
    bool nameAlone = false;
};

// A folder that could not be read, and why.
struct FolderFailure {
    QString folder;
    FileError why;
};

// The pages a search names, and what finding them met on the way.
struct JobPlan {
    std::vector<PageJob> jobs;
    std::vector<FolderFailure> unreadableFolders;
    QStringList leftovers;  // the temporary files found, left where they are
};

// Why a search cannot be carried out at all, as one sentence.
struct PlanRefusal {
    QString reason;
};

// Finds the pages that the PATHs of a search name and turns them into the jobs it asks for, in
// the order found. Standard input is one page, written to standard output unless the search names a
// file.
//
// A file PATH is taken whatever its name; a folder PATH is walked to the bottom in name order,
// taking the files whose names end in one of the extensions. Folders whose names start with a dot
// are not entered, nor is a link to a folder, so no walk goes round in a loop, nor the output
// folder, which may lie in the tree that is walked. A link to a file is taken like the file; found
// in a folder PATH, it is followed only to a file inside that folder, which only the opened file
// can tell. A save's temporary file is never taken for a page: one that a killed run left behind
// is reported.
//
// A file reached twice (through a link, or under two PATHs) is compressed once in every mode, and
// goes by the same name in all of them: the first that is no link, where it has one; a mirror gets
// it under that name only. Hard links are names of their own: a mirror gets a file for each, and
// in place and for --check the file is compressed once and counts for each (otherNames), unless it
// has names beyond those found, which must not change: then each name is replaced on its own
// (nameAlone). A page found unfit keeps why.
//
// Refused before anything is written: a File output for a folder, a Mirror whose output is no
// folder, and two different files that would be written to the same target.
std::variant<JobPlan, PlanRefusal> planJobs(const PageSearch &search);
