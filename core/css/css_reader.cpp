#include "core/css/css_reader.h"

#include <QString>
#include <deque>
#include <mutex>

#include "core/css/css_rules.h"
#include "core/css/css_tokens.h"
#include "core/html/character_references.h"

namespace {

using css::Token;
using css::Type;

// CSS text in UTF-8, from a sheet in its encoding: a UTF-16 sheet, which a byte-order mark
// announces, is converted here, any other through the system's converter.
QByteArray cssText(QByteArrayView sheet, const FileEncoding &encoding) {
    const auto startsWith = [&](const char *mark) {
        return sheet.startsWith(QByteArrayView(mark, 2));
    };
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        const bool littleEndian = startsWith("\xFF\xFE");
        QString text;
        for (qsizetype i = 2; i + 1 < sheet.size(); i += 2) {
            const auto low = static_cast<unsigned char>(sheet[i + (littleEndian ? 0 : 1)]);
            const auto high = static_cast<unsigned char>(sheet[i + (littleEndian ? 1 : 0)]);
            text += QChar(char16_t(high << 8 | low));
        }
        return text.toUtf8();
    }
    if (sheet.startsWith("\xEF\xBB\xBF")) return sheet.sliced(3).toByteArray();
    return utf8Text(sheet, encoding);
}

QStringList importsOf(const std::vector<Token> &tokens) {
    QStringList urls;
    const qsizetype end = qsizetype(tokens.size());
    for (qsizetype i = 0; i < end;) {
        const Token &token = tokens[i];
        if (opens(token.type)) {
            i = afterBlock(tokens, i, end);
            continue;
        }
        if (token.type == Type::AtKeyword && token.value == "import") {
            for (qsizetype j = i + 1;
                 j < end && tokens[j].type != Type::Semicolon && tokens[j].type != Type::OpenCurly;
                 ++j) {
                const Token &part = tokens[j];
                if (part.type == Type::String || part.type == Type::Url) {
                    urls.append(QString::fromUtf8(part.value));
                    break;
                }
                if (part.type == Type::Function && part.value == "url") {
                    if (j + 1 < end && tokens[j + 1].type == Type::Whitespace) ++j;
                    if (j + 1 < end && tokens[j + 1].type == Type::String)
                        urls.append(QString::fromUtf8(tokens[j + 1].value));
                    break;
                }
                if (part.type != Type::Whitespace) break;
            }
        }
        ++i;
    }
    return urls;
}

// The sheets read last, each read once however many pages of a site link it: the pages of a
// folder mostly link the same few sheets. Kept by their bytes and encoding, which alone decide
// what a sheet says; shared by the threads of zerediz-compress.
class SheetReadings {
public:
    std::shared_ptr<const SheetReading> of(const QByteArray &sheet, const FileEncoding &encoding) {
        {
            const std::lock_guard lock(mutex_);
            for (const Entry &entry : entries_) {
                if (entry.encoding == encoding && entry.bytes == sheet) return entry.reading;
            }
        }
        auto reading = std::make_shared<SheetReading>();
        const std::vector<Token> tokens = css::tokensOf(cssText(sheet, encoding));
        reading->imports = importsOf(tokens);
        for (const Keeping keeping : {Keeping::Spaces, Keeping::LineEnds}) {
            SheetReading::Rules &rules =
                keeping == Keeping::Spaces ? reading->keepingSpaces : reading->keepingLineEnds;
            css::readKeepingRules(tokens, keeping, rules.compounds, rules.wholePage);
        }
        const std::lock_guard lock(mutex_);
        entries_.push_front({sheet, encoding, reading});
        if (entries_.size() > kKept) entries_.pop_back();
        return reading;
    }

private:
    static constexpr std::size_t kKept = 32;
    struct Entry {
        QByteArray bytes;
        FileEncoding encoding;
        std::shared_ptr<const SheetReading> reading;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;  // guarded by mutex_, the newest first
};

}  // namespace

FileEncoding styleSheetEncoding(QByteArrayView sheet, const FileEncoding &environment) {
    if (sheet.startsWith("\xEF\xBB\xBF")) return FileEncoding::Utf8;
    if (sheet.startsWith("\xFF\xFE") || sheet.startsWith("\xFE\xFF")) return FileEncoding::Utf8;
    // Exactly @charset "name"; at the very start, as the standard asks.
    constexpr QByteArrayView kStart("@charset \"");
    if (sheet.startsWith(kStart)) {
        const qsizetype close = sheet.indexOf("\";", kStart.size());
        if (close > 0 && close - kStart.size() <= 40) {
            if (auto named = encodingForLabel(sheet.sliced(kStart.size(), close - kStart.size())))
                return *named;
        }
    }
    return environment;
}

std::shared_ptr<const SheetReading> sheetReading(const QByteArray &sheet,
                                                 const FileEncoding &encoding) {
    static SheetReadings readings;
    return readings.of(sheet, encoding);
}

QStringList styleSheetImports(const QByteArray &sheet, const FileEncoding &encoding) {
    return sheetReading(sheet, encoding)->imports;
}
