#pragma once

#include <QString>

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
};
