#pragma once

#include <QByteArrayView>
#include <optional>

#include "core/encoding.h"

// The encoding that a page declares near its start, found the way browsers look for it before
// they read a page: in its first 1024 bytes, a <meta charset="..."> or a <meta http-equiv=
// "Content-Type" content="...; charset=..."> outside comments, with double, single or no quotes,
// or else an XML declaration's encoding="..." (quoted, as XML demands). A declaration of a label
// that names no encoding this program reads (see encodingForLabel) is passed over, as browsers
// pass over one they do not know. nullopt where the page declares nothing usable.
std::optional<FileEncoding> declaredEncoding(QByteArrayView page);

// How far into a page a declaration is looked for.
inline constexpr qsizetype kDeclarationScanLength = 1024;
