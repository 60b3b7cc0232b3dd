#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <memory>
#include <vector>

#include "core/css/keeping_selectors.h"
#include "core/encoding/encoding.h"

// What a style sheet says about the spaces of a page's elements, and where it leads: the
// encoding it is read in, the sheets it imports, its rules that keep spaces.

// The encoding a browser reads a style sheet in: its byte-order mark's, else the charset its
// @charset rule names, else the environment's (the page's for a sheet the page links, the
// importing sheet's for one it imports).
FileEncoding styleSheetEncoding(QByteArrayView sheet, const FileEncoding &environment);

// The URLs that a style sheet's @import rules name, as written, in order.
QStringList styleSheetImports(const QByteArray &sheet, const FileEncoding &encoding);

// What a style sheet says: the sheets it imports, and the compounds of its rules that keep
// spaces, and of those that keep line ends. Each sheet is read once however many pages link it.
struct SheetReading {
    struct Rules {
        std::vector<KeepingSelectors::Compound> compounds;
        bool wholePage = false;
    };
    QStringList imports;
    Rules keepingSpaces;
    Rules keepingLineEnds;

    const Rules &keeping(Keeping keeping) const {
        return keeping == Keeping::Spaces ? keepingSpaces : keepingLineEnds;
    }
};
std::shared_ptr<const SheetReading> sheetReading(const QByteArray &sheet,
                                                 const FileEncoding &encoding);
