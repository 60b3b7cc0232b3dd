#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

// The encoding a document is stored in on disk, by the name ICU's converter knows it by. In
// memory every document is UTF-8. A plain value, so that a document can carry it and the choice can
// be made before any thread or converter exists.
class FileEncoding {
public:
    static const FileEncoding Utf8;
    static const FileEncoding Gb18030;

    // The longest name kept; no encoding the converter knows has a longer one.
    static constexpr std::size_t kMaxNameLength = 40;

    constexpr FileEncoding() : FileEncoding("UTF-8") {}
    // A name longer than kMaxNameLength is cut off, which no converter then knows.
    constexpr explicit FileEncoding(std::string_view name) {
        const std::size_t length = std::min(name.size(), kMaxNameLength);
        std::copy_n(name.data(), length, name_.data());
    }

    const char *name() const { return name_.data(); }

    friend constexpr bool operator==(const FileEncoding &, const FileEncoding &) = default;

private:
    std::array<char, kMaxNameLength + 1> name_{};
};

inline constexpr FileEncoding FileEncoding::Utf8{"UTF-8"};
inline constexpr FileEncoding FileEncoding::Gb18030{"GB18030"};

// The document of the text area: UTF-8 bytes, where bytes that were not valid in the file's
// encoding are kept as they were read, and the encoding the file is written back in.
struct TextBuffer {
    QByteArray bytes;
    FileEncoding encoding = FileEncoding::Utf8;
};

// Whether pages in a charset other than UTF-8 and GB18030 can be read and written back here byte
// for byte, the name compared without case. Lines are trimmed on the bytes and the converter
// works on the bytes between two boundaries, copying ASCII as it is; that is sound for a charset
// only where
//  - every byte below 0x80 stands for the same ASCII character, on its own (not UTF-16, UTF-7, an
//    EBCDIC code page, nor a converter that holds a letter back to combine it with an accent);
//  - no character of more than one byte contains a byte below 0x30 or one of : ; < = >, so CR,
//    LF, space, quotes, / and the bytes of tags and style declarations are never part of one and
//    a character never spans a boundary (not ISO-2022-*, HZ);
//  - no character is longer than four bytes; and
//  - the converter gives out each character as soon as it has read it, in both directions (not
//    one that holds a letter back to compose it with an accent that may follow, as ICU's
//    IBM-1390 does).
// The charsets that qualify are a table of ICU's names (supportedCharsets); a test
// tries every one of them with every byte sequence up to four bytes long that can start a
// character.
bool isSupportedCharset(std::string_view name);

// The encoding a charset label in a page names, as browsers read labels: ASCII white space around
// it is ignored, letters are compared without case, and the usual aliases are known (gb2312, gbk,
// x-gbk, gb18030, cp936 and euc-cn all read as GB18030, a superset of them all; shift_jis as
// Windows' code page 932; latin1 and ascii as windows-1252; a page that says UTF-16 but is read
// as bytes at all is UTF-8). Other labels are taken as ICU's converter knows them.
// nullopt where the label names no encoding, or one that pages cannot be kept exactly in (see
// isSupportedCharset).
std::optional<FileEncoding> encodingForLabel(QByteArrayView label);

// The encoding that a page declares near its start, found the way browsers look for it before
// they read a page: in its first kDeclarationScanLength bytes, a <meta charset="..."> or a <meta
// http-equiv="Content-Type" content="...; charset=..."> outside comments, with double, single or
// no quotes, or else an XML declaration's encoding="..." (quoted, as XML demands). A declaration
// of a label that names no encoding this program reads (see encodingForLabel) is passed over, as
// browsers pass over one they do not know. nullopt where the page declares nothing usable.
std::optional<FileEncoding> declaredEncoding(QByteArrayView page);

// How far into a page a declaration is looked for.
inline constexpr qsizetype kDeclarationScanLength = 1024;

// How a page is read: in encoding, or else in fallback, the encoding its bytes call for. The
// fallback counts only where bytes that encoding keeps raw would make UTF-8 together, and so could
// not be written back as they were: possible in a charset other than UTF-8 and GB18030.
struct PageEncoding {
    FileEncoding encoding;
    FileEncoding fallback;
};

// The encoding a page is read in, chosen once, from the page as it was read, in this order:
//  1. a UTF-8 byte-order mark: UTF-8;
//  2. a charset the page declares (see declaredEncoding), even where its bytes say otherwise, as in
//     browsers;
//  3. otherwise what its bytes say: UTF-8 when they are valid UTF-8 or mostly so (a few stray
//     bytes among characters of three or four bytes), else GB18030.
// Trimming a page changes none of this, so the choice holds for its trimmed bytes too.
PageEncoding choosePageEncoding(QByteArrayView page);

// How a page is read in a given charset, with the fallback its bytes call for.
PageEncoding readingIn(const FileEncoding &charset, QByteArrayView page);
