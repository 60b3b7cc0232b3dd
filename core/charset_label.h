#pragma once

#include <QByteArrayView>
#include <optional>

#include "core/text_buffer.h"

// The encoding a charset label in a page names, as browsers read labels: ASCII white space around
// it is ignored, letters are compared without case, and the usual aliases are known (gb2312, gbk,
// x-gbk, gb18030, cp936 and euc-cn all read as GB18030, a superset of them all; shift_jis as
// Windows' code page 932; latin1 and ascii as windows-1252; a page that says UTF-16 but is read
// as bytes at all is UTF-8). Other labels are taken as the system's converter knows them.
// nullopt where the label names no encoding, or one that pages cannot be kept exactly in (see
// isSupportedCharset).
std::optional<FileEncoding> encodingForLabel(QByteArrayView label);
