#include "core/encoding.h"

#include <string>

#include "core/byte_block.h"
#include "core/charset_declaration.h"
#include "core/utf8_check.h"

namespace {

// glibc's names of the charsets that pages are kept exactly in (see isSupportedCharset), as the
// probe in tests/file_encoding_test.cpp found them, separated by spaces.
constexpr std::string_view kSupportedCharsets =
    "1046 437 850 851 852 855 857 858 860 861 862 863 865 866 866NAV 869 874 8859_1 8859_2 "
    "8859_3 8859_4 8859_5 8859_6 8859_7 8859_8 8859_9 904 ANSI_X3.4 ANSI_X3.4-1968 "
    "ANSI_X3.4-1986 ARABIC ARMSCII-8 ARMSCII8 ASCII ASMO-708 BALTIC BIG-5 BIG-FIVE BIG5 "
    "BIGFIVE CN-BIG5 CN-GB CP-AR CP-GR CP-HU CP10007 CP1004 CP1008 CP1046 CP1089 CP1124 "
    "CP1125 CP1129 CP1133 CP1162 CP1163 CP1167 CP1250 CP1251 CP1252 CP1253 CP1254 CP1256 "
    "CP1257 CP1282 CP367 CP437 CP4909 CP5347 CP737 CP770 CP771 CP772 CP773 CP774 CP775 CP813 "
    "CP819 CP850 CP851 CP852 CP855 CP857 CP858 CP860 CP861 CP862 CP863 CP865 CP866 CP866NAV "
    "CP868 CP869 CP874 CP891 CP901 CP902 CP903 CP904 CP912 CP915 CP916 CP920 CP921 CP922 "
    "CP932 CP936 CP9448 CP950 CPIBM861 CSASCII CSDECMCS CSEUCKR CSEUCPKDFMTJAPANESE CSGB2312 "
    "CSHPROMAN8 CSIBM1008 CSIBM1124 CSIBM1129 CSIBM1133 CSIBM11621162 CSIBM1163 CSIBM1167 "
    "CSIBM4909 CSIBM5347 CSIBM851 CSIBM855 CSIBM857 CSIBM860 CSIBM863 CSIBM865 CSIBM866 "
    "CSIBM868 CSIBM869 CSIBM891 CSIBM901 CSIBM902 CSIBM903 CSIBM904 CSIBM921 CSIBM922 "
    "CSIBM9448 CSISO10367BOX CSISO111ECMACYRILLIC CSISO143IECP271 CSISO153GOST1976874 "
    "CSISOLATIN1 CSISOLATIN2 CSISOLATIN3 CSISOLATIN4 CSISOLATIN5 CSISOLATIN6 CSISOLATINARABIC "
    "CSISOLATINCYRILLIC CSISOLATINGREEK CSISOLATINHEBREW CSKOI8R CSMACINTOSH CSPC775BALTIC "
    "CSPC850MULTILINGUAL CSPC858MULTILINGUAL CSPC862LATINHEBREW CSPC8CODEPAGE437 CSPCP852 "
    "CSWINDOWS31J CWI CWI-2 CYRILLIC DEC DEC-MCS DECMCS ECMA-114 ECMA-118 ECMA-128 "
    "ECMA-CYRILLIC ECMACYRILLIC ELOT_928 EUC-CN EUC-JP EUC-JP-MS EUC-KR EUCCN EUCJP EUCJP-MS "
    "EUCJP-OPEN EUCJP-WIN EUCKR GB13000 GB2312 GBK GEORGIAN-ACADEMY GEORGIAN-PS GOST_19768 "
    "GOST_19768-74 GOST_1976874 GREEK GREEK8 HEBREW HP-GREEK8 HP-ROMAN8 HP-ROMAN9 HP-THAI8 "
    "HP-TURKISH8 HPGREEK8 HPROMAN8 HPROMAN9 HPTHAI8 HPTURKISH8 IBM-1008 IBM-1046 IBM-1124 "
    "IBM-1129 IBM-1133 IBM-1162 IBM-1163 IBM-1167 IBM-4909 IBM-5347 IBM-901 IBM-902 IBM-921 "
    "IBM-922 IBM-9448 IBM1004 IBM1008 IBM1046 IBM1089 IBM1124 IBM1129 IBM1133 IBM1162 IBM1163 "
    "IBM1167 IBM367 IBM437 IBM4909 IBM5347 IBM775 IBM813 IBM819 IBM848 IBM850 IBM851 IBM852 "
    "IBM855 IBM857 IBM858 IBM860 IBM861 IBM862 IBM863 IBM865 IBM866 IBM866NAV IBM868 IBM869 "
    "IBM874 IBM891 IBM901 IBM902 IBM903 IBM904 IBM912 IBM915 IBM916 IBM920 IBM921 IBM922 "
    "IBM9448 IEC_P27-1 IEC_P271 ISIRI-3342 ISIRI3342 ISO-8859-1 ISO-8859-10 ISO-8859-11 "
    "ISO-8859-13 ISO-8859-14 ISO-8859-15 ISO-8859-16 ISO-8859-2 ISO-8859-3 ISO-8859-4 "
    "ISO-8859-5 ISO-8859-6 ISO-8859-7 ISO-8859-8 ISO-8859-9 ISO-8859-9E ISO-CELTIC ISO-IR-100 "
    "ISO-IR-101 ISO-IR-109 ISO-IR-110 ISO-IR-111 ISO-IR-126 ISO-IR-127 ISO-IR-138 ISO-IR-143 "
    "ISO-IR-144 ISO-IR-148 ISO-IR-153 ISO-IR-155 ISO-IR-157 ISO-IR-166 ISO-IR-179 ISO-IR-197 "
    "ISO-IR-199 ISO-IR-203 ISO-IR-209 ISO-IR-226 ISO-IR-6 ISO646-US ISO8859-1 ISO8859-10 "
    "ISO8859-11 ISO8859-13 ISO8859-14 ISO8859-15 ISO8859-16 ISO8859-2 ISO8859-3 ISO8859-4 "
    "ISO8859-5 ISO8859-6 ISO8859-7 ISO8859-8 ISO8859-9 ISO8859-9E ISO88591 ISO885910 "
    "ISO885911 ISO885913 ISO885914 ISO885915 ISO885916 ISO88592 ISO88593 ISO88594 ISO88595 "
    "ISO88596 ISO88597 ISO88598 ISO88599 ISO88599E ISO_10367-BOX ISO_10367BOX "
    "ISO_646.IRV:1991 ISO_8859-1 ISO_8859-10 ISO_8859-10:1992 ISO_8859-14 ISO_8859-14:1998 "
    "ISO_8859-15 ISO_8859-15:1998 ISO_8859-16 ISO_8859-16:2001 ISO_8859-1:1987 ISO_8859-2 "
    "ISO_8859-2:1987 ISO_8859-3 ISO_8859-3:1988 ISO_8859-4 ISO_8859-4:1988 ISO_8859-5 "
    "ISO_8859-5:1988 ISO_8859-6 ISO_8859-6:1987 ISO_8859-7 ISO_8859-7:1987 ISO_8859-7:2003 "
    "ISO_8859-8 ISO_8859-8:1988 ISO_8859-9 ISO_8859-9:1989 ISO_8859-9E KOI-8 KOI8 KOI8-R "
    "KOI8-RU KOI8-T KOI8-U KOI8R KOI8U L1 L10 L2 L3 L4 L5 L6 L7 L8 LATIN-9 LATIN1 LATIN10 "
    "LATIN2 LATIN3 LATIN4 LATIN5 LATIN6 LATIN7 LATIN8 LATIN9 MAC MAC-CENTRALEUROPE "
    "MAC-CYRILLIC MAC-IS MAC-SAMI MAC-UK MACCYRILLIC MACINTOSH MACIS MACUK MACUKRAINIAN MIK "
    "MS-ANSI MS-ARAB MS-CYRL MS-EE MS-GREEK MS-MAC-CYRILLIC MS-TURK MS932 MS936 MSMACCYRILLIC "
    "OS2LATIN1 OSF00010001 OSF00010002 OSF00010003 OSF00010004 OSF00010005 OSF00010006 "
    "OSF00010007 OSF00010008 OSF00010009 OSF0001000A OSF00010020 OSF00030010 OSF0004000A "
    "OSF10010001 OSF10010004 OSF10010006 OSF100201B5 OSF10020352 OSF10020354 OSF10020357 "
    "OSF10020359 OSF1002035D OSF1002035E OSF1002035F OSF10020364 OSF10020365 OSF1002037B "
    "OSF10020387 OSF10020388 PT154 R8 R9 RK1048 ROMAN8 ROMAN9 RUSCII SJIS-OPEN SJIS-WIN "
    "STRK1048-2002 ST_SEV_358-88 THAI8 TIS-620 TIS620 TIS620-0 TIS620.2529-1 TIS620.2533-0 "
    "TS-5881 TURKISH8 UJIS US US-ASCII WIN-SAMI-2 WINBALTRIM WINDOWS-1250 WINDOWS-1251 "
    "WINDOWS-1252 WINDOWS-1253 WINDOWS-1254 WINDOWS-1256 WINDOWS-1257 WINDOWS-31J WINDOWS-874 "
    "WINDOWS-936 WINSAMI2 WS2";

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
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
        if (anyName(family.labels, [&](std::string_view name) { return name == label; }))
            return family.iconvName;
    }
    return std::nullopt;
}

}  // namespace

bool isSupportedCharset(std::string_view iconvName) {
    return anyName(kSupportedCharsets, [&](std::string_view name) {
        return std::equal(name.begin(), name.end(), iconvName.begin(), iconvName.end(),
                          [](char a, char b) { return a == upper(b); });
    });
}

std::vector<std::string_view> supportedCharsets() {
    std::vector<std::string_view> names;
    anyName(kSupportedCharsets, [&](std::string_view name) {
        names.push_back(name);
        return false;
    });
    return names;
}

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
    for (char &c : iconvName) c = upper(c);
    const FileEncoding encoding(iconvName);
    if (encoding == FileEncoding::Utf8 || encoding == FileEncoding::Gb18030) return encoding;
    if (!isSupportedCharset(encoding.name())) return std::nullopt;
    return encoding;
}

FileEncoding chooseFileEncoding(QByteArrayView page) {
    if (const auto stated = statedEncoding(page)) return *stated;
    return encodingOfContent(page, isValidUtf8(page));
}

std::optional<FileEncoding> statedEncoding(QByteArrayView page) {
    if (page.startsWith(QByteArrayView("\xEF\xBB\xBF"))) return FileEncoding::Utf8;
    return declaredEncoding(page);
}

FileEncoding encodingOfContent(QByteArrayView page, bool validUtf8) {
    return validUtf8 || isMostlyUtf8(page) ? FileEncoding::Utf8 : FileEncoding::Gb18030;
}

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
