#include "core/charset_declaration.h"

#include <QByteArray>
#include <QList>

#include "core/encoding.h"

namespace {

bool isSpace(char c) {
    return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
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

}  // namespace

std::optional<FileEncoding> declaredEncoding(QByteArrayView page) {
    const QByteArrayView start = page.first(std::min(page.size(), kDeclarationScanLength));
    if (auto encoding = Prescan(start).run()) return encoding;
    return xmlDeclaredEncoding(start);
}
