#pragma once

#include <QByteArrayView>
#include <QString>
#include <vector>

#include "core/css/css_declarations.h"
#include "core/encoding/encoding.h"
#include "core/html/byte_range.h"

class KeepingSelectors;

// The stretches of a page that keep their spaces, or their line ends (see preservedContent), the
// page read as a browser reads it: HTML's tokenizer, with the tree builder's open elements beside
// it (see OpenElements). selectors, where not null, are those of the page's style sheets, for the
// same keeping. In no order, and they may overlap; one stretch of all of the page where a tag
// keeps the whole page.
std::vector<ByteRange> keptStretches(QByteArrayView page, const FileEncoding &encoding,
                                     const KeepingSelectors *selectors, Keeping keeping);

// The href of a page's first <base>, read as a browser reads the page.
QString baseOf(QByteArrayView page, const FileEncoding &encoding);
