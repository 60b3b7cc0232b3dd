#pragma once

// Which characters a few rare codes stand for, and which charsets pages are kept in, is the
// system's converter's to say: glibc's iconv on Linux, ICU on Windows (and on Linux built with
// ZEREDIZ_ICU_CONVERTER). A row that depends on it gives what each says, and the test takes the
// one of the converter it runs with. Every page comes back byte for byte with both.
#ifdef ZEREDIZ_CONVERTS_WITH_ICU
inline constexpr bool kConvertsWithIcu = true;
#else
inline constexpr bool kConvertsWithIcu = false;
#endif

template <typename T>
T byConverter(T iconv, T icu) {
    return kConvertsWithIcu ? icu : iconv;
}
