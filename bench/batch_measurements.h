#pragma once

#include <QString>

// zerediz-compress on a tree of generated pages, beside cp and a Perl one-liner on the same tree,
// and on one big page through standard input. Times are medians in seconds.
struct BatchMeasurements {
    int pages = 0;
    qint64 treeSize = 0;
    double batch = 0;          // zerediz-compress --output-dir, each page synced to the disk
    double batchManyJobs = 0;  // the same with -j 16: more syncs waited for at once
    double batchNoSync = 0;    // the same under eatmydata, which makes every sync a no-op; 0: none
    double copy = 0;           // cp -r of the tree
    double perl = 0;           // the Perl one-liner, in place in a copy of the tree
    qint64 standardInputSize = 0;
    double standardInput = 0;  // zerediz-compress - from the page, into /dev/null
};

// Generates the tree in folder, checks that the Perl one-liner writes the same bytes as
// zerediz-compress, then measures; largePage goes through standard input. Throws on any failure.
BatchMeasurements measureBatch(const QString &folder, const QString &largePage);
