#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "byte_references.h"
#include "core/file_encoding.h"
#include "core/line_trim.h"
#include "core/utf8_check.h"
#include "fuzz_rule.h"

namespace {

// The ways the trimmed bytes of a page become the document in the text area. Whichever way a page
// is read, saving it right away must write exactly its trimmed bytes; a new way of reading pages
// is checked by adding it here.
struct ReadingRule {
    const char *name;
    std::function<std::optional<TextBuffer>(const QByteArray &trimmed, bool fileIsUtf8)> read;
};

const ReadingRule kReadingRules[] = {
    {"read as the loader reads it",
     [](const QByteArray &trimmed, bool fileIsUtf8) {
         return decodeFileBytes(trimmed, fileIsUtf8);
     }},
    {"read as GB18030",
     [](const QByteArray &trimmed, bool) { return decodeFileBytes(trimmed, false); }},
};

// The bytes the writer stores for a document, or nullopt where it would report a failure.
std::optional<QByteArray> written(const TextBuffer &document) {
    QByteArray bytes;
    const bool whole = encodeDocument(document.bytes, document.encoding, [&](QByteArrayView piece) {
        bytes.append(piece);
        return true;
    });
    if (!whole) return std::nullopt;
    return bytes;
}

}  // namespace

// Opening any page and saving it at once, in memory: the loader's steps, then the writer's.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArrayView file(data, static_cast<qsizetype>(size));
    const QByteArray expected = referenceTrim(file.toByteArray());

    // The loader checks the file for UTF-8 while it trims, and takes that answer for the trimmed
    // bytes.
    const bool fileIsUtf8 = isValidUtf8(file);
    const QByteArray trimmed = trimLines(file);
    require(isValidUtf8(trimmed) == fileIsUtf8, file, "trimLines",
            "trimming changed whether the page is UTF-8");

    for (const ReadingRule &rule : kReadingRules) {
        const auto document = rule.read(trimmed, fileIsUtf8);
        require(document.has_value(), file, rule.name, "no document");
        const auto bytes = written(*document);
        require(bytes.has_value(), file, rule.name, "the conversion for saving stopped");
        require(*bytes == expected, file, rule.name, "saved bytes differ from the trimmed page");
    }
    return 0;
}
