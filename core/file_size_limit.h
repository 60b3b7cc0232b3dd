#pragma once

#include <QtGlobal>

// The file-size limit of the process (ulimit -f, RLIMIT_FSIZE). By default a write that reaches
// past it ends the process with SIGXFSZ, in the middle of a page; ignored, that write fails with
// EFBIG instead, which the writer reports like any other failed write.

// Makes writes past the limit fail instead of ending the program. Both programs call it before
// they write any file.
void ignoreFileSizeSignal();

// Whether the limit lets a file hold length bytes: the limit applies to every write that reaches
// past it, however long the file already is.
bool fileSizeLimitAllows(qint64 length);
