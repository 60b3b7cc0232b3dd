#pragma once

#include <QByteArray>

#include "core/files/file_error.h"

// Decodes the trimmed bytes of a GB18030 page to UTF-8, keeping raw exactly the bytes the converter
// rejects, which can never join their neighbours into valid UTF-8; every sequence it reads comes
// back as itself (tests/file_encoding_test.cpp goes through all of them). Where a big page's
// buffer holds room behind its bytes (its trim left some) and holds them alone, the text is
// decoded into that buffer, from its last stretch back to its first on two cores; what finds no
// room there, and a small page, is decoded into fresh memory. NoConverter where ICU has no GB18030
// converter (its data missing).
Result<QByteArray> decodeGb18030Page(QByteArray page);
