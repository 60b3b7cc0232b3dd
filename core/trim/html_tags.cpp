#include "core/trim/html_tags.h"

#include <array>
#include <string_view>

namespace {

constexpr std::string_view kNames[] = {"",
#define ZEREDIZ_TAG_NAME(id, name) name,
                                       ZEREDIZ_HTML_TAGS(ZEREDIZ_TAG_NAME)
#undef ZEREDIZ_TAG_NAME
};

constexpr std::size_t kLongestName = 14;  // annotation-xml
constexpr std::size_t kSlots = 512;

// A name's place in the table: its length and three of its letters, so that most names of a
// page, which are not in it, find an empty place or another name after one look.
constexpr std::size_t slotOf(const char *lowercase, std::size_t length) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(lowercase[i]); };
    return (length * 131 + at(0) * 31 + at(length - 1) * 7 + at(length / 2)) % kSlots;
}

struct Table {
    std::array<TagId, kSlots> ids{};

    constexpr Table() {
        for (std::size_t i = 1; i < std::size(kNames); ++i) {
            std::size_t slot = slotOf(kNames[i].data(), kNames[i].size());
            while (ids[slot] != TagId::Other) slot = (slot + 1) % kSlots;
            ids[slot] = static_cast<TagId>(i);
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
    char lowercase[kLongestName];
    for (std::size_t i = 0; i < length; ++i) lowercase[i] = folded(name[qsizetype(i)]);
    for (std::size_t slot = slotOf(lowercase, length);; slot = (slot + 1) % kSlots) {
        const TagId id = kTable.ids[slot];
        if (id == TagId::Other) return id;
        const std::string_view known = kNames[static_cast<std::size_t>(id)];
        if (known == std::string_view(lowercase, length)) return id;
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
