#pragma once

#include <QString>

#include "core/encoding/encoding.h"
#include "core/files/file_error.h"

// The whole Open, one step after the other: reads a page file (readRegularFile), chooses the
// encoding it is read in (choosePageEncoding), reads the style sheets it links beside it
// (readPageContext), trims every line of the spaces at both ends that a browser does not show
// (trimLinesInPlace) and decodes the trimmed bytes into the document the text area shows
// (decodePage). The caller gets the whole document or an error, never a part of
// one.
Result<TextBuffer> openPage(const QString &path);
