#include "core/encoding/encoding.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <atomic>
#include <string>

#include "core/encoding/charset_converter.h"
#include "core/encoding/utf8_check.h"
#include "core/kernels/byte_block.h"
#include "core/two_halves/two_halves.h"

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// Calls visit with each name of a list separated by spaces, until visit answers true.
template <typename Visit>
bool anyName(std::string_view names, Visit visit) {
    for (std::string_view rest = names; !rest.empty();) {
        const std::size_t space = rest.find(' ');
        if (space != 0 && visit(rest.substr(0, space))) return true;
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    return false;
}

// The labels whose meaning on the web differs from the charset of that name, or which ICU does
// not know, with ICU's name for what browsers read them as.
struct Family {
    std::string_view converterName;
    std::string_view labels;  // separated by spaces
};

constexpr Family kFamilies[] = {
    {"UTF-8",
     "utf-8 utf8 unicode-1-1-utf-8 unicode11utf8 unicode20utf8 x-unicode20utf8 "
     // A page that declares UTF-16 in a declaration it could only make in ASCII is not UTF-16.
     "utf-16 utf-16le utf-16be unicode unicodefeff unicodefffe csunicode ucs-2 iso-10646-ucs-2"},
    {"GB18030",
     "gb18030 gbk gb2312 x-gbk cp936 ms936 windows-936 euc-cn chinese csgb2312 csiso58gb231280 "
     "gb_2312 gb_2312-80 iso-ir-58"},
    {"BIG5", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"},
    {"CP932", "shift_jis shift-jis sjis ms932 ms_kanji csshiftjis windows-31j x-sjis"},
    {"EUC-JP", "euc-jp x-euc-jp cseucpkdfmtjapanese"},
    // Browsers read these as Windows' code page 949 (UHC); here they are read as EUC-KR, the part
    // of it that pages are mostly written in, and the syllables only UHC has stay raw bytes.
    {"EUC-KR",
     "euc-kr cseuckr korean windows-949 ks_c_5601-1987 ks_c_5601-1989 ksc5601 ksc_5601 "
     "iso-ir-149 csksc56011987"},
    {"WINDOWS-1252",
     "windows-1252 x-cp1252 cp1252 iso-8859-1 iso8859-1 iso88591 iso_8859-1 iso_8859-1:1987 "
     "iso-ir-100 latin1 l1 csisolatin1 ibm819 cp819 ascii us-ascii ansi_x3.4-1968 x-user-defined"},
    {"WINDOWS-1254",
     "iso-8859-9 iso8859-9 iso88599 iso_8859-9 iso_8859-9:1989 iso-ir-148 latin5 l5 csisolatin5"},
    {"WINDOWS-874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620"},
    {"ISO-8859-6", "iso-8859-6-e iso-8859-6-i csiso88596e csiso88596i"},
    {"ISO-8859-8", "iso-8859-8-e iso-8859-8-i csiso88598e csiso88598i visual logical"},
    {"KOI8-U", "koi8-ru"},
    {"MACINTOSH", "mac x-mac-roman"},
    {"MAC-CYRILLIC", "x-mac-cyrillic x-mac-ukrainian"},
};

// What may stand in a name handed to the converter: ICU reads options behind a ',' in a name
// (",swaplfnl", ",version=1"), so a page must not be able to ask for one.
bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == ':';
}

std::optional<std::string_view> familyName(std::string_view label) {
    for (const Family &family : kFamilies) {
        if (anyName(family.labels, [&](std::string_view name) { return name == label; }))
            return family.converterName;
    }
    return std::nullopt;
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(QByteArrayView bytes, qsizetype at, QByteArrayView prefix) {
    if (bytes.size() - at < prefix.size()) return false;
    for (qsizetype i = 0; i < prefix.size(); ++i)
        if (lower(bytes[at + i]) != prefix[i]) return false;
    return true;
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// Reads a page's first bytes the way the HTML standard's prescan does. Running out of bytes
// anywhere ends the scan without an answer: a tag cut off by the end of the scanned part says
// nothing.
class Prescan {
public:
    explicit Prescan(QByteArrayView bytes) : bytes_(bytes) {}

    std::optional<FileEncoding> run() {
        while (pos_ < bytes_.size()) {
            if (startsWithNoCase(bytes_, pos_, "<!--")) {
                // The comment ends at the first "-->", whose dashes may be those of "<!--".
                const qsizetype end = bytes_.indexOf(QByteArrayView("-->"), pos_ + 2);
                if (end < 0) return std::nullopt;
                pos_ = end + 3;
            } else if (startsWithNoCase(bytes_, pos_, "<meta") && pos_ + 5 < bytes_.size() &&
                       (isSpace(bytes_[pos_ + 5]) || bytes_[pos_ + 5] == '/')) {
                pos_ += 6;
                std::optional<FileEncoding> found;
                const Meta meta = readMeta(found);
                if (meta == Meta::OutOfBytes) return std::nullopt;
                if (meta == Meta::Declares) return found;
            } else if (bytes_[pos_] == '<' && pos_ + 1 < bytes_.size() &&
                       (isAsciiLetter(bytes_[pos_ + 1]) ||
                        (bytes_[pos_ + 1] == '/' && pos_ + 2 < bytes_.size() &&
                         isAsciiLetter(bytes_[pos_ + 2])))) {
                while (pos_ < bytes_.size() && !isSpace(bytes_[pos_]) && bytes_[pos_] != '>')
                    ++pos_;
                bool ended = false;
                while (readAttribute(ended)) {
                }
                if (ended) return std::nullopt;
                ++pos_;
            } else if (bytes_[pos_] == '<' && pos_ + 1 < bytes_.size() &&
                       (bytes_[pos_ + 1] == '!' || bytes_[pos_ + 1] == '/' ||
                        bytes_[pos_ + 1] == '?')) {
                const qsizetype end = bytes_.indexOf('>', pos_ + 1);
                if (end < 0) return std::nullopt;
                pos_ = end + 1;
            } else {
                ++pos_;
            }
        }
        return std::nullopt;
    }

private:
    enum class Meta { OutOfBytes, DeclaresNothing, Declares };

    // Reads the attributes of a <meta> up to its end; found gets the encoding it declares.
    Meta readMeta(std::optional<FileEncoding> &found) {
        QList<QByteArray> names;
        bool gotPragma = false;
        enum class Need { Unknown, Pragma, NoPragma } need = Need::Unknown;
        // Set by the first charset attribute or charset in a content, even to a label that names
        // nothing: then a later one in the same tag does not count.
        bool charsetSeen = false;
        std::optional<FileEncoding> charset;
        bool ended = false;
        while (auto attribute = readAttribute(ended)) {
            if (names.contains(attribute->name)) continue;
            names.append(attribute->name);
            if (attribute->name == "http-equiv") {
                if (attribute->value == "content-type") gotPragma = true;
            } else if (attribute->name == "content") {
                // A content whose label names nothing is as good as none.
                const auto label = charsetInContent(attribute->value);
                const auto encoding = label ? encodingForLabel(*label) : std::nullopt;
                if (encoding && !charsetSeen) {
                    charsetSeen = true;
                    charset = encoding;
                    need = Need::Pragma;
                }
            } else if (attribute->name == "charset") {
                charsetSeen = true;
                charset = encodingForLabel(attribute->value);
                need = Need::NoPragma;
            }
        }
        if (ended) return Meta::OutOfBytes;
        ++pos_;
        if (need == Need::Unknown || (need == Need::Pragma && !gotPragma) || !charset)
            return Meta::DeclaresNothing;
        found = charset;
        return Meta::Declares;
    }

    // The next attribute of a tag, names and values in lower case, or nullopt at the tag's end.
    // ended tells that the bytes ran out first.
    std::optional<Attribute> readAttribute(bool &ended) {
        const auto at = [&](qsizetype i) { return i < bytes_.size() ? bytes_[i] : '\0'; };
        const auto outOfBytes = [&] {
            ended = true;
            return std::nullopt;
        };
        while (pos_ < bytes_.size() && (isSpace(bytes_[pos_]) || bytes_[pos_] == '/')) ++pos_;
        if (pos_ >= bytes_.size()) return outOfBytes();
        if (bytes_[pos_] == '>') return std::nullopt;

        Attribute attribute;
        for (;; ++pos_) {
            if (pos_ >= bytes_.size()) return outOfBytes();
            const char c = bytes_[pos_];
            if (c == '=' && !attribute.name.isEmpty()) break;
            if (isSpace(c)) {
                while (pos_ < bytes_.size() && isSpace(bytes_[pos_])) ++pos_;
                if (pos_ >= bytes_.size()) return outOfBytes();
                if (bytes_[pos_] != '=') return attribute;
                break;
            }
            if (c == '/' || c == '>') return attribute;
            attribute.name += lower(c);
        }
        ++pos_;  // past '='
        while (pos_ < bytes_.size() && isSpace(bytes_[pos_])) ++pos_;
        if (pos_ >= bytes_.size()) return outOfBytes();
        const char first = bytes_[pos_];
        if (first == '"' || first == '\'') {
            for (++pos_; pos_ < bytes_.size() && bytes_[pos_] != first; ++pos_)
                attribute.value += lower(bytes_[pos_]);
            if (pos_ >= bytes_.size()) return outOfBytes();
            ++pos_;
            return attribute;
        }
        if (first == '>') return attribute;
        for (; pos_ < bytes_.size() && !isSpace(at(pos_)) && at(pos_) != '>'; ++pos_)
            attribute.value += lower(bytes_[pos_]);
        if (pos_ >= bytes_.size()) return outOfBytes();
        return attribute;
    }

    // The label after "charset=" in the content of a <meta http-equiv>, in double, single or no
    // quotes; an unquoted one ends at white space or ';'.
    static std::optional<QByteArray> charsetInContent(const QByteArray &content) {
        qsizetype pos = 0;
        for (;;) {
            const qsizetype found = content.indexOf("charset", pos);
            if (found < 0) return std::nullopt;
            pos = found + 7;
            while (pos < content.size() && isSpace(content[pos])) ++pos;
            if (pos < content.size() && content[pos] == '=') break;
        }
        ++pos;
        while (pos < content.size() && isSpace(content[pos])) ++pos;
        if (pos >= content.size()) return std::nullopt;
        const char first = content[pos];
        if (first == '"' || first == '\'') {
            const qsizetype close = content.indexOf(first, pos + 1);
            if (close < 0) return std::nullopt;
            return content.mid(pos + 1, close - pos - 1);
        }
        qsizetype end = pos;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';') ++end;
        return content.mid(pos, end - pos);
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
};

// The encoding in an XML declaration at the very start: <?xml ... encoding="..." ...?>.
std::optional<FileEncoding> xmlDeclaredEncoding(QByteArrayView bytes) {
    if (!bytes.startsWith(QByteArrayView("<?xml"))) return std::nullopt;
    const qsizetype close = bytes.indexOf('>');
    if (close < 0) return std::nullopt;
    const QByteArrayView declaration = bytes.first(close);
    qsizetype pos = declaration.indexOf(QByteArrayView("encoding"));
    if (pos < 0) return std::nullopt;
    pos += 8;
    const auto skipSpace = [&] {
        while (pos < declaration.size() && static_cast<unsigned char>(declaration[pos]) <= 0x20)
            ++pos;
    };
    skipSpace();
    if (pos >= declaration.size() || declaration[pos] != '=') return std::nullopt;
    ++pos;
    skipSpace();
    if (pos >= declaration.size()) return std::nullopt;
    const char quote = declaration[pos];
    if (quote != '"' && quote != '\'') return std::nullopt;
    const qsizetype end = declaration.indexOf(quote, pos + 1);
    if (end < 0) return std::nullopt;
    const QByteArrayView label = declaration.sliced(pos + 1, end - pos - 1);
    for (const char c : label)
        if (static_cast<unsigned char>(c) <= 0x20) return std::nullopt;
    return encodingForLabel(label);
}

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
bool isMostlyUtf8(QByteArrayView page) {
    constexpr qsizetype kLongestRun = 3;
    qsizetype longCharacters = 0;
    qsizetype runs = 0;
    qsizetype run = 0;  // bytes of the run of invalid bytes going on
    const auto endRun = [&] {
        if (run > 0) ++runs;
        run = 0;
    };
    const char *p = page.data();
    const char *const end = p + page.size();
    while (p < end) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            endRun();
            p = byte_block::skipAscii(p, end);
            continue;
        }
        const int length = utf8SequenceLength(p, end);
        if (length == 0) {
            // A GBK page mostly ends here, at its first Chinese word.
            if (++run > kLongestRun) return false;
            ++p;
            continue;
        }
        endRun();
        if (length >= 3) ++longCharacters;
        p += length;
    }
    endRun();
    return longCharacters > 0 && longCharacters >= 2 * runs;
}

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

// Whether [from, end) is well-formed UTF-8, checked a stretch at a time, each cut where an ASCII
// byte stands, which never lies inside a character: a page in another encoding mostly shows it in
// its first stretch, and the rest of it need not be read. Stops, answering false, once invalid is
// set, and sets it where a stretch is not.
bool isValidUtf8InStretches(const char *from, const char *end, std::atomic<bool> &invalid) {
    constexpr qsizetype kStretch = qsizetype{1} << 20;
    while (from < end) {
        if (invalid.load(std::memory_order_relaxed)) return false;
        const char *const to =
            end - from <= kStretch ? end : std::find_if(from + kStretch, end, isAscii);
        if (!isValidUtf8(QByteArrayView(from, to))) {
            invalid = true;
            return false;
        }
        from = to;
    }
    return true;
}

// Whether a page is well-formed UTF-8; a big one is checked in two halves on two cores, which takes
// about half as long, cut where an ASCII byte stands, each stopping as soon as either finds what
// is not.
bool isValidUtf8Page(QByteArrayView page) {
    const char *const end = page.data() + page.size();
    const char *const cut = std::find_if(page.data() + page.size() / 2, end, isAscii);
    std::atomic<bool> invalid = false;
    bool first = false;
    bool second = false;
    inTwoHalves(
        page.size(), [&] { first = isValidUtf8InStretches(page.data(), cut, invalid); },
        [&] { second = isValidUtf8InStretches(cut, end, invalid); });
    return first && second;
}

// The encoding of a page that declares none: UTF-8 when it is valid UTF-8 or mostly UTF-8, else
// GB18030.
FileEncoding encodingOfContent(QByteArrayView page) {
    return isValidUtf8Page(page) || isMostlyUtf8(page) ? FileEncoding::Utf8 : FileEncoding::Gb18030;
}

}  // namespace

bool isSupportedCharset(std::string_view name) {
    return anyName(supportedCharsets(), [&](std::string_view known) {
        return std::equal(known.begin(), known.end(), name.begin(), name.end(),
                          [](char a, char b) { return a == upper(b); });
    });
}

std::optional<FileEncoding> encodingForLabel(QByteArrayView label) {
    qsizetype first = 0;
    qsizetype last = label.size();
    while (first < last && isSpace(label[first])) ++first;
    while (last > first && isSpace(label[last - 1])) --last;
    if (first == last || last - first > qsizetype{FileEncoding::kMaxNameLength})
        return std::nullopt;

    std::string name;
    for (qsizetype i = first; i < last; ++i) {
        char c = label[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!isNameCharacter(c)) return std::nullopt;
        name += c;
    }
    // Names in capitals, as the converter lists them and as a message shows them.
    std::string converterName(familyName(name).value_or(name));
    for (char &c : converterName) c = upper(c);
    const FileEncoding encoding(converterName);
    if (encoding == FileEncoding::Utf8 || encoding == FileEncoding::Gb18030) return encoding;
    if (!isSupportedCharset(encoding.name())) return std::nullopt;
    return encoding;
}

std::optional<FileEncoding> declaredEncoding(QByteArrayView page) {
    const QByteArrayView start = page.first(std::min(page.size(), kDeclarationScanLength));
    if (auto encoding = Prescan(start).run()) return encoding;
    return xmlDeclaredEncoding(start);
}

PageEncoding choosePageEncoding(QByteArrayView page) {
    if (page.startsWith(QByteArrayView("\xEF\xBB\xBF"))) return readingIn(FileEncoding::Utf8, page);
    if (const auto declared = declaredEncoding(page)) return readingIn(*declared, page);
    const FileEncoding content = encodingOfContent(page);
    return {content, content};
}

PageEncoding readingIn(const FileEncoding &charset, QByteArrayView page) {
    if (charset == FileEncoding::Utf8 || charset == FileEncoding::Gb18030)
        return {charset, charset};
    return {charset, encodingOfContent(page)};
}
