// The converter, on ICU's common library: Debian's libicu on Linux, and on Windows the copy that
// the program carries, of the same version (Wine has no GB18030 code page, so Windows' own
// converters are no choice). So both systems read and write a page alike.
//
// A conversion goes through UTF-16 in two steps: the source charset's bytes to UTF-16, where ICU
// tells for each unit the byte its character starts at, then UTF-16 to the target's bytes. That
// is what lets every stop point at the exact byte, and the output end behind whole characters
// only; converter.cpp relies on both.
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "core/encoding/charset_converter.h"

namespace {

using Stop = CharsetConverter::Stop;

// ICU's names of the charsets that pages are kept exactly in, and the other spellings of them that
// it takes for the same (those of glibc among them), separated by spaces.
constexpr std::string_view kSupportedCharsets =
    "1006 1089 1098 1124 1383 437 5601 646 737 775 813 819 850 851 852 855 856 857 860 861 862 863 "
    "865 866 868 869 8859_1 8859_13 8859_15 8859_2 8859_3 8859_4 8859_5 8859_6 8859_7 8859_8 "
    "8859_9 912 913 914 915 916 920 921 922 923 950 964 970 ANSI1251 ANSI_X3.4-1968 ANSI_X3.4-1986 "
    "ARABIC ASCII ASCII7 ASMO-708 BIG-5 BIG5 BIG5-HKSCS BIG5-HKSCS:UNICODE3.0 BIG5HK CCSID00858 "
    "CNS11643 CP-AR CP-GR CP-IS CP00858 CP1006 CP1089 CP1098 CP1124 CP1125 CP1131 CP1250 CP1251 "
    "CP1252 CP1253 CP1254 CP1255 CP1256 CP1257 CP1258 CP1363 CP1383 CP1386 CP367 CP437 CP737 CP775 "
    "CP813 CP819 CP850 CP851 CP852 CP855 CP856 CP857 CP858 CP860 CP861 CP862 CP863 CP864 CP865 "
    "CP866 CP868 CP869 CP874 CP878 CP912 CP913 CP914 CP915 CP916 CP920 CP921 CP922 CP923 CP932 "
    "CP936 CP943C CP949C CP950 CP964 CP970 CSASCII CSBIG5 CSEUCKR CSEUCPKDFMTJAPANESE CSGB2312 "
    "CSHPROMAN8 CSIBM855 CSIBM857 CSIBM860 CSIBM861 CSIBM863 CSIBM864 CSIBM865 CSIBM866 CSIBM868 "
    "CSIBM869 CSISOLATIN0 CSISOLATIN1 CSISOLATIN2 CSISOLATIN3 CSISOLATIN4 CSISOLATIN5 CSISOLATIN6 "
    "CSISOLATIN9 CSISOLATINARABIC CSISOLATINCYRILLIC CSISOLATINGREEK CSISOLATINHEBREW CSKOI8R "
    "CSKSC56011987 CSMACINTOSH CSPC775BALTIC CSPC850MULTILINGUAL CSPC851 CSPC862LATINHEBREW "
    "CSPC8CODEPAGE437 CSPCP852 CSPCP855 CSSHIFTJIS CSWINDOWS31J CYRILLIC DOS-720 DOS-862 ECMA-114 "
    "ECMA-118 ECMA-128 ELOT_928 EUC-CN EUC-JP EUC-JP-2007 EUC-KR EUC-TW EUC-TW-2014 EUCCN EUCJIS "
    "EUCJP EUCKR EUCTH GB2312 GBK GREEK GREEK8 HEBREW HEBREW8 HKBIG5 HKSCS-BIG5 HP-ROMAN8 HP15CN "
    "HPROMAN8 IBM-1006 IBM-1006_P100-1995 IBM-1051 IBM-1051_P100-1995 IBM-1089 IBM-1089_P100-1995 "
    "IBM-1098 IBM-1098_P100-1995 IBM-1124 IBM-1124_P100-1996 IBM-1125 IBM-1125_P100-1997 IBM-1129 "
    "IBM-1129_P100-1997 IBM-1131 IBM-1131_P100-1997 IBM-1133 IBM-1133_P100-1997 IBM-1162 "
    "IBM-1162_P100-1999 IBM-1168 IBM-1168_P100-2002 IBM-1250 IBM-1250_P100-1995 IBM-1251 "
    "IBM-1251_P100-1995 IBM-1252 IBM-1252_P100-2000 IBM-1253 IBM-1253_P100-1995 IBM-1254 "
    "IBM-1254_P100-1995 IBM-1255 IBM-1255_P100-1995 IBM-1256 IBM-1256_P110-1997 IBM-1257 "
    "IBM-1257_P100-1995 IBM-1258 IBM-1258_P100-1997 IBM-1363_P11B-1998 IBM-1363_VSUB_VPUA IBM-1373 "
    "IBM-1373_P100-2002 IBM-1375 IBM-1375_P100-2008 IBM-1383 IBM-1383_P110-1999 IBM-1383_VPUA "
    "IBM-1386 IBM-1386_P100-2001 IBM-1386_VSUB_VPUA IBM-33722_P12A_P12A-2009_U2 IBM-33722_VPUA "
    "IBM-367 IBM-437 IBM-437_P100-1995 IBM-4909 IBM-4909_P100-1999 IBM-5012 IBM-5012_P100-1999 "
    "IBM-5346 IBM-5346_P100-1998 IBM-5347 IBM-5347_P100-1998 IBM-5348 IBM-5348_P100-1997 IBM-5349 "
    "IBM-5349_P100-1998 IBM-5350 IBM-5350_P100-1998 IBM-5351 IBM-5351_P100-1998 IBM-5352 "
    "IBM-5352_P100-1998 IBM-5353 IBM-5353_P100-1998 IBM-5354 IBM-5354_P100-1998 IBM-5471 "
    "IBM-5471_P100-2006 IBM-720 IBM-720_P100-1997 IBM-737 IBM-737_P100-1997 IBM-775 "
    "IBM-775_P100-1996 IBM-813 IBM-813_P100-1995 IBM-819 IBM-850 IBM-850_P100-1995 IBM-851 "
    "IBM-851_P100-1995 IBM-852 IBM-852_P100-1995 IBM-855 IBM-855_P100-1995 IBM-856 "
    "IBM-856_P100-1995 IBM-857 IBM-857_P100-1995 IBM-858 IBM-858_P100-1997 IBM-860 "
    "IBM-860_P100-1995 IBM-861 IBM-861_P100-1995 IBM-862 IBM-862_P100-1995 IBM-863 "
    "IBM-863_P100-1995 IBM-864 IBM-864_X110-1999 IBM-865 IBM-865_P100-1995 IBM-866 "
    "IBM-866_P100-1995 IBM-867 IBM-867_P100-1998 IBM-868 IBM-868_P100-1995 IBM-869 "
    "IBM-869_P100-1995 IBM-874 IBM-874_P100-1995 IBM-878 IBM-878_P100-1996 IBM-9005 "
    "IBM-9005_X110-2007 IBM-901 IBM-901_P100-1999 IBM-902 IBM-902_P100-1999 IBM-9066 IBM-912 "
    "IBM-912_P100-1995 IBM-913 IBM-913_P100-2000 IBM-914 IBM-914_P100-1995 IBM-915 "
    "IBM-915_P100-1995 IBM-916 IBM-916_P100-1995 IBM-920 IBM-920_P100-1995 IBM-921 "
    "IBM-921_P100-1995 IBM-922 IBM-922_P100-1999 IBM-923 IBM-923_P100-1998 IBM-932 "
    "IBM-932_VSUB_VPUA IBM-942 IBM-942_P12A-1999 IBM-942_VSUB_VPUA IBM-943C IBM-943_P15A-2003 "
    "IBM-943_VSUB_VPUA IBM-9447 IBM-9447_P100-2002 IBM-9448 IBM-9448_X100-2005 IBM-9449 "
    "IBM-9449_P100-2002 IBM-949C IBM-949_P11A-1999 IBM-949_VSUB_VPUA IBM-950 IBM-950_P110-1999 "
    "IBM-954 IBM-954_P101-2007 IBM-964 IBM-964_P110-1999 IBM-964_VPUA IBM-970 "
    "IBM-970_P110_P110-2006_U2 IBM-970_VPUA IBM-EUCCN IBM-EUCJP IBM-EUCKR IBM-EUCTW IBM00858 "
    "IBM1006 IBM1089 IBM1098 IBM1124 IBM1129 IBM1133 IBM1162 IBM367 IBM437 IBM4909 IBM5347 IBM737 "
    "IBM775 IBM813 IBM819 IBM850 IBM851 IBM852 IBM855 IBM856 IBM857 IBM858 IBM860 IBM861 IBM862 "
    "IBM863 IBM864 IBM865 IBM866 IBM868 IBM869 IBM874 IBM901 IBM902 IBM912 IBM915 IBM916 IBM920 "
    "IBM921 IBM922 IBM9448 ISO-8859-1 ISO-8859-10 ISO-8859-11 ISO-8859-13 ISO-8859-14 ISO-8859-15 "
    "ISO-8859-2 ISO-8859-3 ISO-8859-4 ISO-8859-5 ISO-8859-6 ISO-8859-6-E ISO-8859-6-I ISO-8859-7 "
    "ISO-8859-8 ISO-8859-8-E ISO-8859-8-I ISO-8859-9 ISO-8859_10-1998 ISO-8859_11-2001 "
    "ISO-8859_14-1998 ISO-CELTIC ISO-IR-100 ISO-IR-101 ISO-IR-109 ISO-IR-110 ISO-IR-126 ISO-IR-127 "
    "ISO-IR-138 ISO-IR-144 ISO-IR-148 ISO-IR-149 ISO-IR-157 ISO-IR-199 ISO-IR-6 ISO646-US "
    "ISO8859-1 ISO8859-10 ISO8859-11 ISO8859-13 ISO8859-14 ISO8859-15 ISO8859-2 ISO8859-3 "
    "ISO8859-4 ISO8859-5 ISO8859-6 ISO8859-7 ISO8859-8 ISO8859-9 ISO88591 ISO885910 ISO885911 "
    "ISO885913 ISO885914 ISO885915 ISO88592 ISO88593 ISO88594 ISO88595 ISO88596 ISO88597 ISO88598 "
    "ISO88599 ISO8859_15_FDIS ISO_646.IRV:1983 ISO_646.IRV:1991 ISO_8859-1 ISO_8859-10 "
    "ISO_8859-10:1992 ISO_8859-14 ISO_8859-14:1998 ISO_8859-15 ISO_8859-1:1987 ISO_8859-2 "
    "ISO_8859-2:1987 ISO_8859-3 ISO_8859-3:1988 ISO_8859-4 ISO_8859-4:1988 ISO_8859-5 "
    "ISO_8859-5:1988 ISO_8859-6 ISO_8859-6:1987 ISO_8859-7 ISO_8859-7:1987 ISO_8859-8 "
    "ISO_8859-8:1988 ISO_8859-9 ISO_8859-9:1989 KOI-8 KOI8 KOI8-R KOI8-U KOI8R KOI8U KOREAN KSC "
    "KSC_5601 KS_C_5601-1987 KS_C_5601-1989 L1 L2 L3 L4 L5 L6 L8 L9 LATIN-9 LATIN0 LATIN1 LATIN2 "
    "LATIN3 LATIN4 LATIN5 LATIN6 LATIN8 LATIN9 MAC MAC-CENTRALEUROPE MAC-CYRILLIC MACCE "
    "MACCENTRALEUROPE MACCY MACCYRILLIC MACGR MACINTOSH MACOS-0_2-10.2 MACOS-29-10.2 MACOS-35-10.2 "
    "MACOS-6_2-10.4 MACOS-7_3-10.2 MACROMAN MACTR MS874 MS932 MS936 MS949 MS950 MS950_HKSCS "
    "MS_KANJI PCK R8 ROMAN8 SHIFT_JIS SHIFT_JIS78 SJIS SJIS78 SUN_EU_GREEK THAI8 TIS-620 TIS620 "
    "TIS620.2533 TURKISH TURKISH8 UJIS US US-ASCII WINDOWS-10000 WINDOWS-10006 WINDOWS-10007 "
    "WINDOWS-10029 WINDOWS-10081 WINDOWS-1250 WINDOWS-1251 WINDOWS-1252 WINDOWS-1253 WINDOWS-1254 "
    "WINDOWS-1255 WINDOWS-1256 WINDOWS-1257 WINDOWS-1258 WINDOWS-20127 WINDOWS-20866 WINDOWS-21866 "
    "WINDOWS-28592 WINDOWS-28593 WINDOWS-28594 WINDOWS-28595 WINDOWS-28596 WINDOWS-28597 "
    "WINDOWS-28598 WINDOWS-28599 WINDOWS-28603 WINDOWS-28605 WINDOWS-31J WINDOWS-437 WINDOWS-51949 "
    "WINDOWS-720 WINDOWS-737 WINDOWS-775 WINDOWS-850 WINDOWS-852 WINDOWS-855 WINDOWS-857 "
    "WINDOWS-858 WINDOWS-861 WINDOWS-862 WINDOWS-866 WINDOWS-869 WINDOWS-874 WINDOWS-874-2000 "
    "WINDOWS-932 WINDOWS-936 WINDOWS-936-2000 WINDOWS-949 WINDOWS-949-2000 WINDOWS-950 "
    "WINDOWS-950-2000 X-BIG5 X-EUC-JP X-IBM1006 X-IBM1098 X-IBM1124 X-IBM1363C X-IBM720 X-IBM737 "
    "X-IBM856 X-IBM867 X-IBM874 X-IBM921 X-IBM922 X-IBM942 X-IBM942C X-IBM949C X-IBM950 X-IBM954 "
    "X-IBM954C X-IBM964 X-IBM970 X-ISO-8859-11 X-ISO-8859-6S X-JISAUTODETECT X-KSC5601 X-MAC-CE "
    "X-MAC-CENTRALEURROMAN X-MAC-CYRILLIC X-MAC-GREEK X-MAC-TURKISH X-MACCENTRALEUROPE "
    "X-MACCYRILLIC X-MACGREEK X-MACROMAN X-MACTURKISH X-MACUKRAINE X-MS-CP932 X-MS932_0213 "
    "X-MS950-HKSCS X-ROMAN8 X-SJIS X-WINDOWS-1256S X-WINDOWS-874 X-WINDOWS-950";

// ICU's own stop callback lets default-ignorable characters (U+200B, U+034F, ...) that the target
// cannot hold vanish; a save must refuse them like any other character.
void stopAtEveryUnconvertible(const void *, UConverterFromUnicodeArgs *, const UChar *, int32_t,
                              UChar32, UConverterCallbackReason, UErrorCode *) {}

UConverter *openConverter(const char *name) {
    UErrorCode error = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name, &error);
    if (U_FAILURE(error)) return nullptr;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    ucnv_setFromUCallBack(converter, stopAtEveryUnconvertible, nullptr, nullptr, nullptr, &error);
    if (U_FAILURE(error)) {
        ucnv_close(converter);
        return nullptr;
    }
    return converter;
}

// ICU's IBM PC code pages, among them its Shift_JIS (cp932) and IBM's Big5 (cp950), read 0x1A as
// U+001C, 0x1C as U+007F and 0x7F as U+001A, as IBM's PC systems did; Windows and pages take these
// bytes for themselves. No character of more than one byte contains them in those charsets, so the
// conversion copies them itself and gives ICU only what lies between them.
constexpr char kSwappedControls[] = {'\x1A', '\x1C', '\x7F'};

bool isSwappedControl(char c) {
    return std::find(std::begin(kSwappedControls), std::end(kSwappedControls), c) !=
           std::end(kSwappedControls);
}

bool swapsControls(UConverter *converter) {
    constexpr UChar kSwapped[] = {0x1C, 0x7F, 0x1A};
    for (std::size_t i = 0; i < std::size(kSwappedControls); ++i) {
        UChar read[2];
        UErrorCode error = U_ZERO_ERROR;
        const int32_t length = ucnv_toUChars(converter, read, 2, &kSwappedControls[i], 1, &error);
        if (U_FAILURE(error) || length != 1 || read[0] != kSwapped[i]) return false;
    }
    return true;
}

// More than ICU keeps of a sequence it stopped at.
constexpr int8_t kMostInvalidUnits = 32;

// Where a step of the conversion stopped, and why: Done where it took all it was given.
struct StepEnd {
    Stop stop = Stop::Done;
    int32_t at = 0;  // in the step's input: bytes for the first step, UTF-16 units for the second
};

// The converters of a conversion's two ends, or none where either is unknown or neither is
// UTF-8.
std::pair<UConverter *, UConverter *> openPair(const char *to, const char *from) {
    UConverter *source = openConverter(from);
    UConverter *target = openConverter(to);
    const auto isUtf8 = [](UConverter *converter) { return ucnv_getType(converter) == UCNV_UTF8; };
    if (source && target && (isUtf8(source) || isUtf8(target))) return {source, target};
    if (source) ucnv_close(source);
    if (target) ucnv_close(target);
    return {nullptr, nullptr};
}

}  // namespace

// One direction between UTF-8 and a charset (or UTF-8 again), which is all the program converts.
// So every stop of the second step is at a character's first unit: from UTF-8, a character is one
// code point, and UTF-8 takes every code point.
class CharsetConverter::Conversion {
public:
    Conversion(UConverter *source, UConverter *target)
        : source_(source),
          target_(target),
          copiesControls_(swapsControls(source) || swapsControls(target)),
          targetIsUtf8_(ucnv_getType(target) == UCNV_UTF8),
          maxCharSize_(ucnv_getMaxCharSize(target)) {}
    ~Conversion() {
        ucnv_close(source_);
        ucnv_close(target_);
    }
    Conversion(const Conversion &) = delete;
    Conversion &operator=(const Conversion &) = delete;

    void reset() {
        ucnv_reset(source_);
        ucnv_reset(target_);
    }

    Stop convert(const char *&in, const char *inEnd, char *&out, char *outEnd) {
        if (!copiesControls_) return convertStretch(in, inEnd, out, outEnd, true);
        for (;;) {
            const char *const stretchEnd = std::find_if(in, inEnd, isSwappedControl);
            const Stop stop = convertStretch(in, stretchEnd, out, outEnd, stretchEnd == inEnd);
            if (stop != Stop::Done || in == inEnd) return stop;
            if (out == outEnd) return Stop::OutputFull;
            *out++ = *in++;
        }
    }

private:
    // ICU is given the input in pieces of at most this size, so that what it makes of one fits in
    // buffers of a fixed size.
    static constexpr int32_t kPiece = 4096;

    // Converts [in, end). Where endsInput is false, end is a byte that no character contains, so
    // that a character cut off there is no character.
    Stop convertStretch(const char *&in, const char *end, char *&out, char *outEnd,
                        bool endsInput) {
        while (in < end) {
            const char *const pieceEnd = in + std::min<std::ptrdiff_t>(end - in, kPiece);
            const StepEnd read = toUtf16(in, pieceEnd);
            const StepEnd written = fromUtf16(out, outEnd);
            if (written.stop == Stop::Failed) return Stop::Failed;
            if (written.stop != Stop::Done) {
                in += offsets_[written.at];
                return written.stop;
            }
            in += read.at;
            if (read.stop == Stop::Incomplete && pieceEnd < end) continue;  // whole in the next
            if (read.stop == Stop::Incomplete && !endsInput) return Stop::Invalid;
            if (read.stop != Stop::Done) return read.stop;
        }
        return Stop::Done;
    }

    // The first step: [in, end) into the pivot, as far as whole characters go; offsets_ gets where
    // each unit's character starts.
    StepEnd toUtf16(const char *in, const char *end) {
        const char *next = in;
        // Two units a byte hold what a piece reads as: none of the charsets reads more than one.
        // The pivot grows to what the pieces need: a converter is made for every page, and many
        // pages, and lines of them, are short.
        const auto room = static_cast<std::size_t>(2 * (end - in));
        if (pivot_.size() < room) {
            pivot_.resize(room);
            offsets_.resize(room);
        }
        UChar *to = pivot_.data();
        UErrorCode error = U_ZERO_ERROR;
        ucnv_toUnicode(source_, &to, pivot_.data() + pivot_.size(), &next, end, offsets_.data(),
                       false, &error);
        pivotLength_ = static_cast<int32_t>(to - pivot_.data());
        StepEnd result{Stop::Done, static_cast<int32_t>(next - in)};
        if (error == U_ILLEGAL_CHAR_FOUND || error == U_INVALID_CHAR_FOUND) {
            // ICU has taken the bytes that are no character; the stop is at the first of them.
            char invalid[kMostInvalidUnits];
            int8_t length = kMostInvalidUnits;
            UErrorCode ignored = U_ZERO_ERROR;
            ucnv_getInvalidChars(source_, invalid, &length, &ignored);
            result = {Stop::Invalid, result.at - length};
        } else if (U_FAILURE(error)) {
            // A full pivot among them: no charset pages are kept in reads a byte as more than
            // one unit.
            result.stop = Stop::Failed;
        } else {
            // ICU keeps the first bytes of a character cut off by the end; iconv leaves them.
            UErrorCode ignored = U_ZERO_ERROR;
            const int32_t pending = ucnv_toUCountPending(source_, &ignored);
            if (pending > 0) result = {Stop::Incomplete, result.at - pending};
        }
        if (result.stop != Stop::Done) ucnv_resetToUnicode(source_);
        return result;
    }

    // The second step: the pivot into [out, outEnd), as far as whole characters fit.
    StepEnd fromUtf16(char *&out, char *outEnd) {
        const std::ptrdiff_t room = outEnd - out;
        if (targetIsUtf8_ && room >= 3 * std::ptrdiff_t{pivotLength_}) return toUtf8(out);
        const int32_t most = UCNV_GET_MAX_BYTES_FOR_STRING(pivotLength_, maxCharSize_);
        if (room >= most) return encode(out, outEnd, nullptr);
        // Into a buffer of the room it may take, to give out only whole characters.
        scratch_.resize(static_cast<std::size_t>(most));
        scratchOffsets_.resize(static_cast<std::size_t>(most));
        char *made = scratch_.data();
        StepEnd result = encode(made, made + most, scratchOffsets_.data());
        auto length = static_cast<int32_t>(made - scratch_.data());
        if (length > room) {
            length = static_cast<int32_t>(room);
            while (length > 0 && sameCharacter(length - 1, length)) --length;
            result = {Stop::OutputFull, scratchOffsets_[length]};
        }
        out = std::copy_n(scratch_.data(), length, out);
        return result;
    }

    // ICU's function for UTF-8 is faster than its converter.
    StepEnd toUtf8(char *&out) {
        int32_t length = 0;
        UErrorCode error = U_ZERO_ERROR;
        u_strToUTF8(out, 3 * pivotLength_, &length, pivot_.data(), pivotLength_, &error);
        if (U_FAILURE(error)) return {Stop::Failed, 0};
        out += length;
        return {Stop::Done, pivotLength_};
    }

    // The pivot through the target converter into [out, outEnd), which must have room for all of
    // it; offsets, where given, gets the pivot's unit of each byte.
    StepEnd encode(char *&out, char *outEnd, int32_t *offsets) {
        const UChar *next = pivot_.data();
        UErrorCode error = U_ZERO_ERROR;
        ucnv_fromUnicode(target_, &out, outEnd, &next, next + pivotLength_, offsets, false, &error);
        StepEnd result{Stop::Done, static_cast<int32_t>(next - pivot_.data())};
        if (error == U_INVALID_CHAR_FOUND || error == U_ILLEGAL_CHAR_FOUND) {
            UChar invalid[kMostInvalidUnits];
            int8_t length = kMostInvalidUnits;
            UErrorCode ignored = U_ZERO_ERROR;
            ucnv_getInvalidUChars(target_, invalid, &length, &ignored);
            result = {Stop::Invalid, result.at - length};
        } else if (U_FAILURE(error)) {
            result.stop = Stop::Failed;
        } else {
            // A character held back to be joined with one that may follow is not written at once,
            // like one cut off by the end.
            UErrorCode ignored = U_ZERO_ERROR;
            const int32_t pending = ucnv_fromUCountPending(target_, &ignored);
            if (pending > 0) result = {Stop::Incomplete, result.at - pending};
        }
        if (result.stop != Stop::Done) ucnv_resetFromUnicode(target_);
        return result;
    }

    // Whether two bytes of the scratch buffer come from the same input character.
    bool sameCharacter(int32_t byte, int32_t other) const {
        return offsets_[scratchOffsets_[byte]] == offsets_[scratchOffsets_[other]];
    }

    UConverter *source_;
    UConverter *target_;
    bool copiesControls_;
    bool targetIsUtf8_;
    int8_t maxCharSize_;
    // What a piece reads as, and the byte each unit's character starts at.
    std::vector<UChar> pivot_;
    std::vector<int32_t> offsets_;
    int32_t pivotLength_ = 0;
    // Where the output may lack room: the target's bytes, and the pivot's unit of each.
    std::vector<char> scratch_;
    std::vector<int32_t> scratchOffsets_;
};

CharsetConverter::CharsetConverter(const char *to, const char *from) {
    const auto [source, target] = openPair(to, from);
    if (source) conversion_ = std::make_unique<Conversion>(source, target);
}

CharsetConverter::~CharsetConverter() = default;

bool CharsetConverter::isOpen() const {
    return conversion_ != nullptr;
}

void CharsetConverter::reset() {
    if (conversion_) conversion_->reset();
}

CharsetConverter::Stop CharsetConverter::convert(const char *&in, const char *inEnd, char *&out,
                                                 char *outEnd) {
    return conversion_ ? conversion_->convert(in, inEnd, out, outEnd) : Stop::Failed;
}

std::string_view supportedCharsets() {
    return kSupportedCharsets;
}
