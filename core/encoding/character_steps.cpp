#include "core/encoding/character_steps.h"

#include <string_view>

namespace {

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

bool nameHas(std::string_view name, std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        if (name.find(part) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

// The converter's names, as the charsets' tables list them (in capitals): each family under the
// names of its code pages on Linux and Windows.
CharacterSteps::CharacterSteps(const FileEncoding &encoding) {
    const std::string_view name(encoding.name());
    if (nameHas(name, {"GB18030", "GBK", "936", "GB13000", "1386"}))
        family_ = Family::Gb18030;
    else if (nameHas(name, {"BIG5", "BIG-5", "BIGFIVE", "BIG-FIVE", "950", "HKSCS", "1373", "1375",
                            "5471"}))
        family_ = Family::Big5;
    else if (nameHas(name, {"SJIS", "SHIFT", "932", "942", "943", "31J", "KANJI"}))
        family_ = Family::ShiftJis;
    else if (nameHas(name, {"949", "UHC", "1363"}))
        family_ = Family::Uhc;
}

qsizetype CharacterSteps::multiByteLength(const char *p, const char *end) const {
    const auto lead = static_cast<unsigned char>(p[0]);
    if (end - p < 2) return 1;
    const auto second = static_cast<unsigned char>(p[1]);
    switch (family_) {
        case Family::Gb18030:
            if (!inRange(lead, 0x81, 0xFE)) return 1;
            if (inRange(second, 0x30, 0x39)) {
                const bool four = end - p >= 4 &&
                                  inRange(static_cast<unsigned char>(p[2]), 0x81, 0xFE) &&
                                  inRange(static_cast<unsigned char>(p[3]), 0x30, 0x39);
                return four ? 4 : 1;
            }
            return inRange(second, 0x40, 0x7E) || inRange(second, 0x80, 0xFE) ? 2 : 1;
        case Family::Big5:
            return inRange(lead, 0x81, 0xFE) &&
                           (inRange(second, 0x40, 0x7E) || inRange(second, 0xA1, 0xFE))
                       ? 2
                       : 1;
        case Family::ShiftJis:
            return (inRange(lead, 0x81, 0x9F) || inRange(lead, 0xE0, 0xFC)) &&
                           (inRange(second, 0x40, 0x7E) || inRange(second, 0x80, 0xFC))
                       ? 2
                       : 1;
        case Family::Uhc:
            return inRange(lead, 0x81, 0xFE) &&
                           (inRange(second, 0x41, 0x5A) || inRange(second, 0x61, 0x7A) ||
                            inRange(second, 0x81, 0xFE))
                       ? 2
                       : 1;
        case Family::AsciiApart:
            break;
    }
    return 1;
}
