#include "core/encoding_choice.h"

#include "core/byte_block.h"
#include "core/charset_declaration.h"
#include "core/utf8_check.h"

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
