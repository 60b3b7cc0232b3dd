#include "core/charset_label.h"

#include <string>
#include <string_view>

#include "core/charset_support.h"

namespace {

// The labels whose meaning on the web differs from the charset of that name, or which the system's
// converter does not know, with the converter's name for what browsers read them as.
struct Family {
    std::string_view iconvName;
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
    // Browsers read these as Windows' code page 949, whose glibc converter swallows the bytes it
    // rejects; EUC-KR is the part of it that pages are written in.
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

bool isAsciiSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

// What may stand in a name handed to the converter: glibc reads more than a name in "//" and
// ",", so a page must not be able to ask for transliteration or for dropping bytes.
bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
           c == ':';
}

std::optional<std::string_view> familyName(std::string_view label) {
    for (const Family &family : kFamilies) {
        for (std::string_view rest = family.labels; !rest.empty();) {
            const std::size_t space = rest.find(' ');
            if (rest.substr(0, space) == label) return family.iconvName;
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileEncoding> encodingForLabel(QByteArrayView label) {
    qsizetype first = 0;
    qsizetype last = label.size();
    while (first < last && isAsciiSpace(label[first])) ++first;
    while (last > first && isAsciiSpace(label[last - 1])) --last;
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
    std::string iconvName(familyName(name).value_or(name));
    for (char &c : iconvName)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const FileEncoding encoding(iconvName);
    if (encoding == FileEncoding::Utf8 || encoding == FileEncoding::Gb18030) return encoding;
    if (!isSupportedCharset(encoding.name())) return std::nullopt;
    return encoding;
}
