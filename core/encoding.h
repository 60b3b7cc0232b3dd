#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

// The encoding a document is stored in on disk, by the name the system's converter (iconv) knows
// it by. In memory every document is UTF-8. A plain value, so that a document can carry it and
// the choice can be made before any thread or converter exists.
class FileEncoding {
public:
    static const FileEncoding Utf8;
    static const FileEncoding Gb18030;

    // The longest name kept; no encoding the converter knows has a longer one.
    static constexpr std::size_t kMaxNameLength = 40;

    constexpr FileEncoding() : FileEncoding("UTF-8") {}
    // A name longer than kMaxNameLength is cut off, which no converter then knows.
    constexpr explicit FileEncoding(std::string_view iconvName) {
        const std::size_t length = std::min(iconvName.size(), kMaxNameLength);
        std::copy_n(iconvName.data(), length, name_.data());
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
//    glibc's BIG5-HKSCS, CP1255, CP1258, TCVN or *-JISX0213, which hold characters back to
//    compose them with the next one).
// The charsets that qualify are a fixed list of glibc's names; a test tries every one of them
// with every byte sequence up to four bytes long that can start a character.
bool isSupportedCharset(std::string_view iconvName);

// That list, in capitals.
std::vector<std::string_view> supportedCharsets();

// The encoding a charset label in a page names, as browsers read labels: ASCII white space around
// it is ignored, letters are compared without case, and the usual aliases are known (gb2312, gbk,
// x-gbk, gb18030, cp936 and euc-cn all read as GB18030, a superset of them all; shift_jis as
// Windows' code page 932; latin1 and ascii as windows-1252; a page that says UTF-16 but is read
// as bytes at all is UTF-8). Other labels are taken as the system's converter knows them.
// nullopt where the label names no encoding, or one that pages cannot be kept exactly in (see
// isSupportedCharset).
std::optional<FileEncoding> encodingForLabel(QByteArrayView label);

// The encoding a page is read in, from its bytes, in this order:
//  1. a UTF-8 byte-order mark: UTF-8;
//  2. a charset the page declares in its first 1024 bytes (see declaredEncoding);
//  3. otherwise what the bytes say (see encodingOfContent).
// A declaration wins even where the bytes say otherwise, as in browsers.
FileEncoding chooseFileEncoding(QByteArrayView page);

// The encoding a page states at its start, by steps 1 and 2 above; nullopt where it states none.
std::optional<FileEncoding> statedEncoding(QByteArrayView page);

// The encoding of a page that declares none: UTF-8 when it is valid UTF-8 or mostly UTF-8
// (isMostlyUtf8), else GB18030. validUtf8 is what isValidUtf8(page) says.
FileEncoding encodingOfContent(QByteArrayView page, bool validUtf8);

// Whether a page that is not valid UTF-8 is still a UTF-8 page with a few stray bytes in it: a
// Latin-1 "©" pasted in, a 0xFF, a character cut short. It is, when
//  - it holds characters of three or four bytes in UTF-8 (Chinese, say),
//  - no run of bytes that are not valid UTF-8 is longer than three bytes, and
//  - there are at least twice as many of those characters as there are such runs.
// A GBK page fails this: its Chinese text makes long runs of bytes that are not UTF-8, and where
// two of its bytes happen to be valid UTF-8 they mostly make a two-byte (Latin, Greek, ...)
// character, which does not count. Of 591,328 generated GB2312 pages (one to fifty words of one
// to four characters between markup), 12 were taken for UTF-8, all with at most eight Chinese
// characters; of pages made from the system's Chinese message catalogues, no GBK one was, while
// every UTF-8 one with a stray byte and at least two Chinese characters was read as UTF-8.
bool isMostlyUtf8(QByteArrayView page);
