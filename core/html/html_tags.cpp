#include "core/html/html_tags.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

constexpr std::string_view kNames[] = {"",
#define ZEREDIZ_TAG_NAME(id, name) name,
                                       ZEREDIZ_HTML_TAGS(ZEREDIZ_TAG_NAME)
#undef ZEREDIZ_TAG_NAME
};

constexpr std::size_t kLongestName = 16;

// A name of up to 16 bytes as two words, its bytes in order from the low end, zeros behind it:
// two names are the same exactly where their words are.
struct NameWords {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    constexpr bool operator==(const NameWords &) const = default;
};

constexpr NameWords wordsOf(std::string_view lowercase) {
    NameWords words;
    for (std::size_t i = 0; i < lowercase.size(); ++i) {
        const auto byte = std::uint64_t{static_cast<unsigned char>(lowercase[i])};
        if (i < 8)
            words.low |= byte << (8 * i);
        else
            words.high |= byte << (8 * (i - 8));
    }
    return words;
}

constexpr std::size_t kSlots = 512;

// A name's place in the table, from its words: most names of a page, which are not in it, find
// an empty place after one look.
constexpr std::size_t slotOf(const NameWords &words) {
    const std::uint64_t mixed =
        (words.low ^ (words.high * 0x9E37'79B9'7F4A'7C15)) * 0xFF51'AFD7'ED55'8CCD;
    return static_cast<std::size_t>(mixed >> 55) % kSlots;
}

struct Table {
    std::array<TagId, kSlots> ids{};
    std::array<NameWords, kSlots> names{};

    constexpr Table() {
        for (std::size_t i = 1; i < std::size(kNames); ++i) {
            const NameWords words = wordsOf(kNames[i]);
            std::size_t slot = slotOf(words);
            while (ids[slot] != TagId::Other) slot = (slot + 1) % kSlots;
            ids[slot] = static_cast<TagId>(i);
            names[slot] = words;
        }
    }
};

constexpr Table kTable;

char folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

}  // namespace

TagId tagIdOf(QByteArrayView name) {
    const auto length = static_cast<std::size_t>(name.size());
    if (length == 0 || length > kLongestName) return TagId::Other;
    NameWords words;
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = std::uint64_t{static_cast<unsigned char>(folded(name[qsizetype(i)]))};
        if (byte == 0) return TagId::Other;  // a NUL, which the tokenizer reads as U+FFFD
        if (i < 8)
            words.low |= byte << (8 * i);
        else
            words.high |= byte << (8 * (i - 8));
    }
    for (std::size_t slot = slotOf(words);; slot = (slot + 1) % kSlots) {
        const TagId id = kTable.ids[slot];
        if (id == TagId::Other || kTable.names[slot] == words) return id;
    }
}

bool sameTagName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return folded(x) == folded(y);
           });
}

const Attribute *Tag::attribute(QByteArrayView lowercaseName) const {
    for (const Attribute &known : attributes) {
        if (sameTagName(known.name, lowercaseName)) return &known;
    }
    return nullptr;
}
