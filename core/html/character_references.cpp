#include "core/html/character_references.h"

#include <algorithm>
#include <string_view>

#include "core/encoding/converter.h"

namespace {

struct NamedReference {
    std::string_view name;
    std::string_view text;
    bool legacy = false;  // also read without its semicolon
};

// The references a style's words or an attribute's value are written with, in practice: those of
// the ASCII characters, and the no-break space.
constexpr NamedReference kNamedReferences[] = {
    {"AMP", "&", true},
    {"GT", ">", true},
    {"LT", "<", true},
    {"QUOT", "\"", true},
    {"amp", "&", true},
    {"gt", ">", true},
    {"lt", "<", true},
    {"quot", "\"", true},
    {"nbsp", "\xC2\xA0", true},
    {"DiacriticalGrave", "`"},
    {"Hat", "^"},
    {"NewLine", "\n"},
    {"Tab", "\t"},
    {"UnderBar", "_"},
    {"VerticalLine", "|"},
    {"apos", "'"},
    {"ast", "*"},
    {"bsol", "\\"},
    {"colon", ":"},
    {"comma", ","},
    {"commat", "@"},
    {"dollar", "$"},
    {"equals", "="},
    {"excl", "!"},
    {"fjlig", "fj"},
    {"grave", "`"},
    {"lbrace", "{"},
    {"lbrack", "["},
    {"lcub", "{"},
    {"lowbar", "_"},
    {"lpar", "("},
    {"lsqb", "["},
    {"midast", "*"},
    {"num", "#"},
    {"percnt", "%"},
    {"period", "."},
    {"plus", "+"},
    {"quest", "?"},
    {"rbrace", "}"},
    {"rbrack", "]"},
    {"rcub", "}"},
    {"rpar", ")"},
    {"rsqb", "]"},
    {"semi", ";"},
    {"sol", "/"},
    {"verbar", "|"},
    {"vert", "|"},
};

bool isAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void appendUtf8(QByteArray &out, char32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Reads the reference behind the & at value[at]; answers how many bytes it took, or 0 where the
// & stands for itself.
qsizetype readReference(QByteArrayView value, qsizetype at, QByteArray &out) {
    qsizetype i = at + 1;
    if (i < value.size() && value[i] == '#') {
        ++i;
        const bool hex = i < value.size() && (value[i] == 'x' || value[i] == 'X');
        if (hex) ++i;
        const qsizetype digits = i;
        char32_t code = 0;
        for (; i < value.size(); ++i) {
            const char c = value[i];
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0) break;
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(digit), 0x110000);
        }
        if (i == digits) return 0;
        if (i < value.size() && value[i] == ';') ++i;
        appendUtf8(out, code);
        return i - at;
    }
    const NamedReference *best = nullptr;
    for (const NamedReference &reference : kNamedReferences) {
        const auto length = qsizetype(reference.name.size());
        if (value.size() - i < length ||
            value.sliced(i, length) != QByteArrayView(reference.name.data(), length))
            continue;
        const bool semicolon = i + length < value.size() && value[i + length] == ';';
        if (!semicolon) {
            // In an attribute, a legacy name glued to = or a letter or digit is no reference.
            if (!reference.legacy) continue;
            if (i + length < value.size() &&
                (value[i + length] == '=' || isAlphanumeric(value[i + length])))
                continue;
        }
        if (!best || reference.name.size() > best->name.size()) best = &reference;
    }
    if (!best) return 0;
    const auto length = qsizetype(best->name.size());
    out += QByteArrayView(best->text.data(), qsizetype(best->text.size()));
    const bool semicolon = i + length < value.size() && value[i + length] == ';';
    return 1 + length + (semicolon ? 1 : 0);
}

}  // namespace

QByteArray withCharacterReferencesRead(QByteArrayView value) {
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        if (value[i] == '&') {
            if (const qsizetype taken = readReference(value, i, out)) {
                i += taken;
                continue;
            }
        }
        out += value[i++];
    }
    return out;
}

QByteArray utf8Text(QByteArrayView bytes, const FileEncoding &encoding) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || encoding == FileEncoding::Utf8) return bytes.toByteArray();
    auto decoded = decodePage(bytes.toByteArray(), {encoding, encoding});
    if (auto *text = std::get_if<TextBuffer>(&decoded)) return std::move(text->bytes);
    return bytes.toByteArray();
}

QByteArray attributeValueText(QByteArrayView value, const FileEncoding &encoding) {
    const QByteArray text = utf8Text(value, encoding);
    return text.contains('&') ? withCharacterReferencesRead(text) : text;
}

QString urlText(QByteArrayView value, const FileEncoding &encoding) {
    QByteArray text = attributeValueText(value, encoding);
    text.removeIf([](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    while (!text.isEmpty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove(0, 1);
    while (!text.isEmpty() && static_cast<unsigned char>(text.back()) <= 0x20) text.chop(1);
    return QString::fromUtf8(text);
}
