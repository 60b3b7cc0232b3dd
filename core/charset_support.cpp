#include "core/charset_support.h"

#include <iconv.h>
#include <cerrno>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A sequence no longer than this that still asks for more bytes means the charset is refused.
constexpr std::size_t kLongestCharacter = 4;
// More sequences that ask for more bytes than this would take too long to try: such a charset is
// not one that web pages use.
constexpr std::size_t kMostOpenSequences = 4096;

// What the converter makes of one byte sequence on its own.
enum class Reading { Character, Incomplete, Invalid, Unsound };

// One call of a converter on input from its initial state, with room for any one character.
struct Conversion {
    bool ok = false;
    int error = 0;  // errno where the call failed
    std::size_t inputLeft = 0;
    std::string output;
};

Conversion convertOnce(iconv_t cd, const std::string &input) {
    char out[32];
    char *in = const_cast<char *>(input.data());
    size_t inLeft = input.size();
    char *to = out;
    size_t toLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    Conversion result;
    result.ok = iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1);
    result.error = result.ok ? 0 : errno;
    result.inputLeft = inLeft;
    result.output.assign(out, to);
    return result;
}

class Probe {
public:
    explicit Probe(const char *name)
        : decoder_(iconv_open("UTF-8", name)), encoder_(iconv_open(name, "UTF-8")) {}
    ~Probe() {
        if (decoder_ != kNone) iconv_close(decoder_);
        if (encoder_ != kNone) iconv_close(encoder_);
    }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;

    bool isOpen() const { return decoder_ != kNone && encoder_ != kNone; }

    // Reads bytes as one character; decoded gets its UTF-8 form.
    Reading read(const std::string &bytes, std::string &decoded) {
        const Conversion result = convertOnce(decoder_, bytes);
        decoded = result.output;
        const bool consumedNone = result.inputLeft == bytes.size();
        if (result.ok && result.inputLeft == 0)
            return decoded.empty() ? Reading::Unsound : Reading::Character;
        if (!result.ok && consumedNone && result.error == EINVAL) return Reading::Incomplete;
        if (!result.ok && consumedNone && result.error == EILSEQ) return Reading::Invalid;
        return Reading::Unsound;
    }

    // Whether the encoder gives out something for the character at once. What it gives out need
    // not be the same bytes: the converter checks that where it matters.
    bool writesAtOnce(const std::string &decoded) {
        const Conversion result = convertOnce(encoder_, decoded);
        // A character the encoder cannot hold is fine: it is never read as that character.
        if (!result.ok) return result.error == EILSEQ;
        return !result.output.empty();
    }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    iconv_t decoder_;
    iconv_t encoder_;
};

bool keepsAscii(Probe &probe) {
    std::string decoded;
    for (int byte = 0; byte < 0x80; ++byte) {
        const std::string ascii(1, static_cast<char>(byte));
        if (probe.read(ascii, decoded) != Reading::Character || decoded != ascii) return false;
        if (!probe.writesAtOnce(decoded)) return false;
    }
    return true;
}

// The bytes that markup and line ends are found by, on bytes: those below 0x30 (CR, LF, space,
// the quotes, / and -) and : ; < = >.
bool isMarkupByte(int byte) {
    return byte < 0x30 || (byte >= ':' && byte <= '>');
}

bool hasSoundLongerCharacters(Probe &probe) {
    std::string decoded;
    std::vector<std::string> open;  // sequences that ask for more bytes
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string lead(1, static_cast<char>(byte));
        switch (probe.read(lead, decoded)) {
            case Reading::Character:
                if (!probe.writesAtOnce(decoded)) return false;
                break;
            case Reading::Incomplete:
                open.push_back(lead);
                break;
            case Reading::Invalid:
                break;
            case Reading::Unsound:
                return false;
        }
    }
    for (std::size_t length = 2; !open.empty(); ++length) {
        if (length > kLongestCharacter) return false;
        std::vector<std::string> longer;
        for (const std::string &start : open) {
            for (int byte = 0; byte <= 0xFF; ++byte) {
                const std::string bytes = start + static_cast<char>(byte);
                const Reading reading = probe.read(bytes, decoded);
                if (reading == Reading::Unsound) return false;
                const bool inside = reading == Reading::Character || reading == Reading::Incomplete;
                if (inside && isMarkupByte(byte)) return false;
                if (reading == Reading::Character && !probe.writesAtOnce(decoded)) return false;
                if (reading == Reading::Incomplete) longer.push_back(bytes);
            }
            if (longer.size() > kMostOpenSequences) return false;
        }
        open = std::move(longer);
    }
    return true;
}

bool tryCharset(const char *name) {
    Probe probe(name);
    return probe.isOpen() && keepsAscii(probe) && hasSoundLongerCharacters(probe);
}

}  // namespace

bool isSupportedCharset(const char *iconvName) {
    static std::mutex mutex;
    static std::map<std::string, bool> answers;
    const std::lock_guard lock(mutex);
    const auto [it, isNew] = answers.try_emplace(iconvName, false);
    if (isNew) it->second = tryCharset(iconvName);
    return it->second;
}
