#pragma once

#include <QByteArray>

// The encoding a document is stored in on disk. In memory every document is UTF-8.
enum class FileEncoding { Utf8, Gb18030 };

// The document of the text area: UTF-8 bytes, where bytes that were not valid in the file's
// encoding are kept as they were read, and the encoding the file is written back in.
struct TextBuffer {
    QByteArray bytes;
    FileEncoding encoding = FileEncoding::Utf8;
};
