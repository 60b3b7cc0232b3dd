#pragma once

#include <QString>
#include <QStringList>

// One page to compress, and where its compressed form goes.
struct PageJob {
    enum class Kind {
        Check,     // nowhere: only whether it would change
        InPlace,   // back into source
        ToFile,    // into target, whose folder must exist
        ToMirror,  // into target, whose folders are made as needed
    };

    Kind kind = Kind::InPlace;
    QString source;
    QString target;
    QString errorLine;  // for a page found unfit already: its failure
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
