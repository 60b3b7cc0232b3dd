#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/encoding/converter.h"
#include "core/trim/line_trim.h"
#include "fuzz_rule.h"

namespace {

// Charsets that pages declare: a label of each family that browsers read in their own way, and
// single-byte charsets that pages name as the converter does.
constexpr std::string_view kCharsetLabels[] = {
    "utf-8",        "gb18030",        "big5",       "shift_jis",    "euc-jp",       "euc-kr",
    "windows-1252", "iso-8859-9",     "tis-620",    "iso-8859-6-i", "iso-8859-8-i", "koi8-ru",
    "mac",          "x-mac-cyrillic", "iso-8859-2", "iso-8859-5",   "iso-8859-7",   "windows-1250",
    "windows-1251", "windows-1256",   "koi8-r",
};

// A page as the loader has it: the file's bytes, its trimmed text, and one more charset to read
// it in.
struct Page {
    QByteArrayView file;
    QByteArray trimmed;
    std::optional<FileEncoding> charset;
};

// The ways the trimmed bytes of a page become the document in the text area: how each reads it,
// or nullopt where it does not apply. Whichever way a page is read, saving it right away must
// write exactly its trimmed bytes; a new way of reading pages is checked by adding it here.
struct ReadingRule {
    const char *name;
    std::optional<PageEncoding> (*encoding)(const Page &);
};

const ReadingRule kReadingRules[] = {
    // The loader chooses from the file as it is, and decodes the trimmed text.
    {"read as the loader reads it",
     [](const Page &page) -> std::optional<PageEncoding> { return choosePageEncoding(page.file); }},
    {"read as UTF-8",
     [](const Page &page) -> std::optional<PageEncoding> {
         return readingIn(FileEncoding::Utf8, page.file);
     }},
    {"read as GB18030",
     [](const Page &page) -> std::optional<PageEncoding> {
         return readingIn(FileEncoding::Gb18030, page.file);
     }},
    {"read in another charset that pages declare",
     [](const Page &page) -> std::optional<PageEncoding> {
         if (!page.charset) return std::nullopt;
         return readingIn(*page.charset, page.file);
     }},
};

// The bytes the writer stores for a document, or nullopt where it would report a failure.
std::optional<QByteArray> written(const TextBuffer &document) {
    const auto bytes = encodeDocument(document.bytes, document.encoding);
    if (!std::holds_alternative<QByteArray>(bytes)) return std::nullopt;
    return std::get<QByteArray>(bytes);
}

}  // namespace

// Opening any page and saving it at once, in memory: the loader's steps, then the writer's. The
// page ends where its memory ends, so a read past it stops the run. Its length picks the charset
// of the last rule, so that every charset meets every kind of page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Page page;
    page.file = QByteArrayView(data, static_cast<qsizetype>(size));
    page.trimmed = trimLines(page.file);
    const std::string_view label = kCharsetLabels[size % std::size(kCharsetLabels)];
    page.charset = encodingForLabel(QByteArrayView(label.data(), qsizetype(label.size())));
    // What the trim keeps is the trim fuzzer's to check; here every way of reading the page
    // must give its trimmed bytes back.
    const QByteArray &expected = page.trimmed;

    for (const ReadingRule &rule : kReadingRules) {
        const auto encoding = rule.encoding(page);
        if (!encoding) continue;
        const auto document = decodePage(page.trimmed, *encoding);
        require(std::holds_alternative<TextBuffer>(document), page.file, rule.name, "no document");
        const auto bytes = written(std::get<TextBuffer>(document));
        require(bytes.has_value(), page.file, rule.name, "the document could not be saved");
        require(*bytes == expected, page.file, rule.name,
                "saved bytes differ from the trimmed page");
    }

    // A big GB18030 page is read through a table of its two-byte characters; each copy of a line
    // in a page of many must read as the line on its own does, through the converter.
    const PageEncoding gb18030 = readingIn(FileEncoding::Gb18030, page.file);
    const QByteArray line = page.file.toByteArray() + '\n';
    const auto alone = decodePage(line, gb18030);
    constexpr qsizetype kBigPage = qsizetype{64} << 10;
    const auto many = decodePage(line.repeated(kBigPage / line.size() + 1), gb18030);
    require(std::holds_alternative<TextBuffer>(alone) && std::holds_alternative<TextBuffer>(many),
            page.file, "read as a big GB18030 page", "no document");
    require(std::get<TextBuffer>(many).bytes ==
                std::get<TextBuffer>(alone).bytes.repeated(kBigPage / line.size() + 1),
            page.file, "read as a big GB18030 page", "differs from the converter's reading");
    return 0;
}
