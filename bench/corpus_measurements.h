#pragma once

#include <QString>

// A real tree of pages, the Python documentation as Debian installs it, opened page by page as the
// window opens them and compressed in place by zerediz-compress. Times are medians in seconds;
// the tree is in the page cache for all of them, so that they measure the program, not the disk.
struct CorpusMeasurements {
    int pages = 0;         // the files zerediz-compress takes from a folder: *.htm, *.html, ...
    qint64 pagesSize = 0;  // their bytes
    qint64 treeSize = 0;   // the bytes of every file of the tree
    double open = 0;       // every page through the window's Open, one after another, in-process
    double compress = 0;   // zerediz-compress in place on a copy of the tree, each page synced
    double compressNoSync = 0;  // the same under eatmydata, which makes every sync a no-op; 0: none
};

// Where the corpus is read from: the documentation of python3-doc.
inline constexpr char kCorpusFolder[] = "/usr/share/doc/python3-doc/html";

// Copies the corpus into folder, checks that the window opens every page, then measures. The copies
// stay in folder, for its owner to remove. Throws on any failure, a missing corpus among them.
CorpusMeasurements measureCorpus(const QString &folder);
