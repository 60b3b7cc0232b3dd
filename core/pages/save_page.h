#pragma once

#include <QByteArrayView>
#include <QString>

#include "core/encoding/encoding.h"
#include "core/files/page_file.h"

// The whole Save: stores a document in a file, exactly as it is, in the encoding it came from
// (encodeDocument), with every guarantee of writeRegularFile. A text with a character that its
// encoding cannot hold is not written at all: the error names the first such character and its
// line.
WriteResult savePage(const QString &path, QByteArrayView document, const FileEncoding &encoding);
