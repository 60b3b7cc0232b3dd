#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "byte_samples.h"
#include "core/encoding/charset_converter.h"
#include "core/encoding/converter.h"
#include "core/encoding/encoding.h"
#include "core/trim/line_trim.h"

namespace {

// The bytes a document is stored as, or a note of why it could not be.
QByteArray stored(const TextBuffer &document) {
    const auto bytes = encodeDocument(document.bytes, document.encoding);
    return std::get_if<QByteArray>(&bytes) ? std::get<QByteArray>(bytes)
                                           : QByteArray("(not encoded)");
}

// The document of a page read as encoding says, or as the loader chooses for it: what opening a
// page and saving it at once does, less the trim.
std::optional<TextBuffer> decoded(const QByteArray &file,
                                  std::optional<PageEncoding> encoding = std::nullopt) {
    auto document = decodePage(file, encoding.value_or(choosePageEncoding(file)));
    if (auto *text = std::get_if<TextBuffer>(&document)) return std::move(*text);
    return std::nullopt;
}

// The document of a GB18030 page read a line at a time, each line so short that the converter
// reads every character of it itself.
QByteArray decodedLineByLine(const QByteArray &file) {
    const PageEncoding gb18030{FileEncoding::Gb18030, FileEncoding::Gb18030};
    QByteArray text;
    for (qsizetype start = 0; start < file.size();) {
        const qsizetype lineEnd = file.indexOf('\n', start);
        const qsizetype end = lineEnd < 0 ? file.size() : lineEnd + 1;
        const auto line = decodePage(file.sliced(start, end - start), gb18030);
        text +=
            std::get_if<TextBuffer>(&line) ? std::get<TextBuffer>(line).bytes : "(no converter)";
        start = end;
    }
    return text;
}

// A page that declares its charset with meta, followed by body.
QByteArray metaPage(const char *meta, const QByteArray &body) {
    return QByteArray("<html><head>") + meta + "</head><body>\r\n" + body + "\r\n</body></html>";
}

// A comment of filler that ends at byte length of the page.
QByteArray fillerUpTo(qsizetype length) {
    return "<!--" + QByteArray(length - 7, '-') + "-->";
}

// A sequence no longer than this that still asks for more bytes means the charset is refused.
constexpr std::size_t kLongestCharacter = 4;
// More sequences that ask for more bytes than this would take too long to try: such a charset is
// not one that web pages use.
constexpr std::size_t kMostOpenSequences = 4096;

// What the converter makes of one byte sequence on its own.
enum class Reading { Character, Incomplete, Invalid, Unsound };

// One call of a converter on input from its initial state, with room for any one character.
struct Conversion {
    CharsetConverter::Stop stop = CharsetConverter::Stop::Done;
    std::size_t inputLeft = 0;
    std::string output;
};

Conversion convertOnce(CharsetConverter &converter, const std::string &input) {
    char out[32];
    const char *in = input.data();
    char *to = out;
    converter.reset();
    Conversion result;
    result.stop = converter.convert(in, input.data() + input.size(), to, out + sizeof out);
    result.inputLeft = std::size_t(input.data() + input.size() - in);
    result.output.assign(out, to);
    return result;
}

// The converter, both ways between a charset and UTF-8, as the page converter uses it.
class Probe {
public:
    explicit Probe(const char *name) : decoder_("UTF-8", name), encoder_(name, "UTF-8") {}

    bool isOpen() const { return decoder_.isOpen() && encoder_.isOpen(); }

    // Reads bytes as one character; decoded gets its UTF-8 form.
    Reading read(const std::string &bytes, std::string &decoded) {
        using Stop = CharsetConverter::Stop;
        const Conversion result = convertOnce(decoder_, bytes);
        decoded = result.output;
        const bool consumedNone = result.inputLeft == bytes.size();
        if (result.stop == Stop::Done && result.inputLeft == 0)
            return decoded.empty() ? Reading::Unsound : Reading::Character;
        if (result.stop == Stop::Incomplete && consumedNone) return Reading::Incomplete;
        if (result.stop == Stop::Invalid && consumedNone) return Reading::Invalid;
        return Reading::Unsound;
    }

    // Whether the encoder gives out something for the character at once. What it gives out need
    // not be the same bytes: the converter checks that where it matters.
    bool writesAtOnce(const std::string &decoded) {
        const Conversion result = convertOnce(encoder_, decoded);
        // A character the encoder cannot hold is fine: it is never read as that character.
        if (result.stop != CharsetConverter::Stop::Done)
            return result.stop == CharsetConverter::Stop::Invalid;
        return !result.output.empty();
    }

private:
    CharsetConverter decoder_;
    CharsetConverter encoder_;
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

// Whether pages in the charset come back byte for byte (see isSupportedCharset), found by trying
// the converter with every byte sequence up to four bytes long that can start a character.
bool probeCharset(const char *name) {
    Probe probe(name);
    return probe.isOpen() && keepsAscii(probe) && hasSoundLongerCharacters(probe);
}

}  // namespace

// The encoding a page is read in, and its bytes kept in every one. Big documents are converted in
// parts; the seams between them are checked too.
class FileEncodingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosesEncoding_data();
    void choosesEncoding();
    void readsLabels_data();
    void readsLabels();
    void supportsExactlyTheCharsetsThatComeBack_data();
    void supportsExactlyTheCharsetsThatComeBack();
    void keepsEveryByteInEachCharset_data();
    void keepsEveryByteInEachCharset();
    void roundTripsAcrossPieces_data();
    void roundTripsAcrossPieces();
    void decodesCharactersCutBetweenCalls_data();
    void decodesCharactersCutBetweenCalls();
    void stopsAtTheExactByte_data();
    void stopsAtTheExactByte();
    void refusesCharactersTheEncodingCannotHold_data();
    void refusesCharactersTheEncodingCannotHold();
    void everyGb18030SequenceComesBack_data();
    void everyGb18030SequenceComesBack();
};

// Each row is a page, the encoding it is read in and, where given, the document it makes. Every
// page must also come back exactly when saved at once.
void FileEncodingTest::choosesEncoding_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("text");

    const QByteArray utf8("<p>\xe4\xb8\xad\xe6\x96\x87</p>");  // 中文
    const QByteArray gbk("<p>\xd6\xd0\xce\xc4</p>");           // 中文
    const QByteArray big5("<p>\xa4\xa4\xa4\xe5</p>");          // 中文
    const auto row = [](const char *name, const QByteArray &file, const char *encoding,
                        const QByteArray &text = {}) {
        QTest::newRow(name) << file << QByteArray(encoding) << text;
    };

    row("UTF-8 byte-order mark", "\xef\xbb\xbf" + utf8, "UTF-8", "\xef\xbb\xbf" + utf8);
    row("byte-order mark beats a declaration", "\xef\xbb\xbf" + metaPage("<meta charset=gbk>", gbk),
        "UTF-8");
    row("meta charset, double quotes", metaPage("<meta charset=\"big5\">", big5), "BIG5",
        metaPage("<meta charset=\"big5\">", utf8));
    row("meta charset, single quotes", metaPage("<meta charset='shift_jis'>", "\x93\xfa\x96\x7b"),
        "CP932", metaPage("<meta charset='shift_jis'>", "日本"));
    row("meta charset, no quotes", metaPage("<meta charset=windows-1252>", "caf\xe9 \x80"),
        "WINDOWS-1252", metaPage("<meta charset=windows-1252>", "café €"));
    row("http-equiv, double quotes",
        metaPage("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">", gbk),
        "GB18030");
    row("http-equiv, single quotes",
        metaPage("<meta http-equiv='content-type' content='text/html; charset=euc-kr'>",
                 "\xc7\xd1\xb1\xb9"),
        "EUC-KR",
        metaPage("<meta http-equiv='content-type' content='text/html; charset=euc-kr'>", "한국"));
    row("http-equiv, no quotes",
        metaPage("<meta http-equiv=Content-Type content=text/html;charset=koi8-r>", "\xed\xc9\xd2"),
        "KOI8-R",
        metaPage("<meta http-equiv=Content-Type content=text/html;charset=koi8-r>", "Мир"));
    row("http-equiv, label quoted inside content",
        metaPage("<meta content=\"text/html; charset='iso-8859-2'\" http-equiv=content-type>",
                 "\xb1"),
        "ISO-8859-2");
    row("content without http-equiv declares nothing",
        metaPage("<meta content=\"text/html; charset=big5\">", gbk), "GB18030");
    row("XML declaration, double quotes", "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n" + gbk,
        "GB18030", "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n" + utf8);
    row("XML declaration, single quotes",
        "<?xml version='1.0' encoding='euc-jp'?>\r\n\xc6\xfc\xcb\xdc", "EUC-JP",
        "<?xml version='1.0' encoding='euc-jp'?>\r\n日本");
    row("XML declaration without quotes is ignored, as in browsers",
        "<?xml version=1.0 encoding=big5?>\r\n" + utf8, "UTF-8");
    row("labels compared without case", metaPage("<META CHARSET=\"Big5\">", big5), "BIG5");
    row("a slash for the space after meta", metaPage("<meta/charset=big5>", big5), "BIG5");
    row("a second charset attribute in the tag is ignored",
        metaPage("<meta charset=big5 charset=koi8-r>", big5), "BIG5");
    const QByteArray lastMeta("<meta charset=big5>");
    row("declaration ending at byte 1024",
        fillerUpTo(kDeclarationScanLength - lastMeta.size()) + lastMeta + big5, "BIG5");
    // Written out, not from kDeclarationScanLength, so that a shorter scan cannot pass for one
    // of 1024 bytes.
    row("declaration between byte 512 and byte 1024", fillerUpTo(700) + lastMeta + big5, "BIG5");
    row("declaration past the first 1024 bytes is ignored",
        fillerUpTo(kDeclarationScanLength - lastMeta.size() + 1) + lastMeta + big5, "GB18030");
    row("declaration in a comment is ignored",
        metaPage("<!-- a > b: <meta charset=\"big5\"> -->", utf8), "UTF-8");
    row("unknown label is ignored", metaPage("<meta charset=\"klingon\">", big5), "GB18030");
    row("unknown label, then a known one",
        metaPage("<meta charset=\"klingon\"><meta charset=\"big5\">", big5), "BIG5");
    row("stateful label is ignored", metaPage("<meta charset=\"iso-2022-jp\">", utf8), "UTF-8");
    row("declared UTF-16 is read as UTF-8", metaPage("<meta charset=\"utf-16\">", utf8), "UTF-8");
    row("no declaration, valid UTF-8", utf8, "UTF-8", utf8);
    row("UTF-8 page with a stray 0xFF", utf8 + "\xff" + utf8, "UTF-8", utf8 + "\xff" + utf8);
    row("UTF-8 page with a Latin-1 copyright sign", utf8 + "\xa9 2010 caf\xe9" + utf8, "UTF-8");
    row("UTF-8 page with a character cut off at the end", utf8 + "\xe4\xb8", "UTF-8");
    row("a stray byte beside one Chinese character is too much", "<p>\xe4\xb8\xad\xff", "GB18030");
    row("UTF-8 page with a run of four stray bytes", utf8 + utf8 + "\x80\x81\x82\x83", "GB18030");
    row("GBK page", gbk, "GB18030", utf8);
    // 茅台 is C3 A9 CC A8 in GBK, two valid two-byte UTF-8 sequences; 涓啊 begins with E4 B8 B0,
    // a valid three-byte one, and leaves a single A1.
    row("GBK page holding a few valid UTF-8 sequences",
        "<p>\xc3\xa9\xcc\xa8</p><p>\xe4\xb8\xb0\xa1</p><p>\xc3\xa9\xcc\xa8</p>", "GB18030",
        "<p>茅台</p><p>涓啊</p><p>茅台</p>");
    row("declaration contradicting the bytes wins", metaPage("<meta charset=\"gb2312\">", utf8),
        "GB18030");
    // They read as the C1 controls of the same numbers, as browsers read them.
    row("windows-1252's five undefined bytes",
        metaPage("<meta charset=windows-1252>", "\x81\x8d\x8f\x90\x9d"), "WINDOWS-1252",
        metaPage("<meta charset=windows-1252>", "\u0081\u008d\u008f\u0090\u009d"));
    // ED 40 stands for the same character as FA 5C, which is what it is written back as.
    row("Shift_JIS code that does not come back is kept raw",
        metaPage("<meta charset=shift_jis>", "\xed\x40\xfa\x5c"), "CP932",
        metaPage("<meta charset=shift_jis>", "\xed\x40纊"));
    // ICU's Shift_JIS reads these bytes as other controls, as IBM's PC systems did.
    row("Shift_JIS page with 0x1A, 0x1C and 0x7F",
        metaPage("<meta charset=shift_jis>", "\x93\xfa\x7f\x96\x7b\x1a\x1c\x93\xfa\x7f"), "CP932",
        metaPage("<meta charset=shift_jis>", "日\x7f本\x1a\x1c日\x7f"));
    row("Shift_JIS lead byte before 0x7F is kept raw",
        metaPage("<meta charset=shift_jis>", "\x93\x7f\x93\xfa"), "CP932",
        metaPage("<meta charset=shift_jis>", "\x93\x7f日"));
    // A6 D9 is a private-use character, as in GB18030-2005 (GB18030-2022 gives it U+FE10);
    // U+FE10 has a four-byte code of its own.
    row("GB18030 two-byte code of a private-use character", "<p>\xa6\xd9\x84\x31\x82\x36</p>",
        "GB18030", "<p>\ue78d\ufe10</p>");
    // 95 32 90 31 is U+20087; FE 51 is the private-use character that stood for it before.
    row("GB18030 four-byte code with a two-byte twin", "<p>\x95\x32\x90\x31\xfe\x51</p>", "GB18030",
        "<p>\U00020087\ue816</p>");
    // 82 35 90 37 is U+9FB4 and FE 59 the private-use U+E81E; GB18030-2022 swaps the two.
    row("GB18030 four-byte code that 2022 gives a two-byte code", "<p>\x82\x35\x90\x37\xfe\x59</p>",
        "GB18030", "<p>\u9fb4\ue81e</p>");
    // Points and accents are read as the combining characters they are, a byte at a time.
    row("windows-1255 page with a point",
        metaPage("<meta charset=windows-1255>", "\xe1\xcc\xf9\xec"), "WINDOWS-1255",
        metaPage("<meta charset=windows-1255>", "\u05d1\u05bc\u05e9\u05dc"));
    row("windows-1258 page with an accent", metaPage("<meta charset=windows-1258>", "Vi\xea\xf2t"),
        "WINDOWS-1258", metaPage("<meta charset=windows-1258>", "Vi\u00ea\u0323t"));
    row("UHC page, a syllable EUC-KR lacks", metaPage("<meta charset=ms949>", "\x81\x41\xc7\xd1"),
        "MS949", metaPage("<meta charset=ms949>", "갂한"));
    // Bytes windows-874 and Big5 leave undefined read as the private-use characters of ICU's
    // tables.
    row("windows-874's undefined bytes", metaPage("<meta charset=windows-874>", "\xdb\xfc"),
        "WINDOWS-874", metaPage("<meta charset=windows-874>", "\uf8c1\uf8c5"));
    row("Big5's 0xFF", metaPage("<meta charset=big5>", "\xa4\xa4\xff"), "BIG5",
        metaPage("<meta charset=big5>", "中\uf8f8"));
    // No table for it: its bytes are kept, and read as those of a page that declares nothing.
    row("ISO-8859-16 page is read as if it declared nothing",
        metaPage("<meta charset=iso-8859-16>", "Bucure\xba"), "GB18030",
        metaPage("<meta charset=iso-8859-16>", "Bucure\xba"));
    // Big5 rejects C2 81 and then 81, and together they are U+0081 in UTF-8: kept raw, they would
    // be written back as Big5's 0x81 (if it had one) or not at all.
    row("Big5 page whose raw bytes would make UTF-8 is read by its bytes",
        metaPage("<meta charset=big5>", "\xc2\x81"), "UTF-8");
}

void FileEncodingTest::choosesEncoding() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, text);
    const auto document = decoded(file);
    QVERIFY(document);
    QCOMPARE(QByteArray(document->encoding.name()), encoding);
    if (!text.isNull()) QCOMPARE(document->bytes, text);
    QCOMPARE(stored(*document), file);
}

void FileEncodingTest::readsLabels_data() {
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QByteArray>("encoding");  // empty for none

    const auto row = [](const char *label, const char *encoding) {
        QTest::newRow(label) << QByteArray(label) << QByteArray(encoding);
    };
    for (const char *gb : {"gb2312", "gbk", "x-gbk", "gb18030", "cp936", "euc-cn", "GB2312"})
        row(gb, "GB18030");
    QTest::newRow("white space around") << QByteArray(" \tgbk\r\n") << QByteArray("GB18030");
    row("utf8", "UTF-8");
    row("UTF-8", "UTF-8");
    row("utf-16le", "UTF-8");
    row("x-user-defined", "WINDOWS-1252");
    row("latin1", "WINDOWS-1252");
    row("sjis", "CP932");
    // Every family of labels leads to a charset of the table.
    row("euc-jp", "EUC-JP");
    row("iso-8859-9", "WINDOWS-1254");
    row("tis-620", "WINDOWS-874");
    row("iso-8859-6-i", "ISO-8859-6");
    row("iso-8859-8-i", "ISO-8859-8");
    row("koi8-ru", "KOI8-U");
    row("mac", "MACINTOSH");
    row("x-mac-cyrillic", "MAC-CYRILLIC");
    row("big5-hkscs", "BIG5");
    // ICU's cp949 is IBM's code page, with ₩ for 0x5C; ms949 is Windows' (UHC).
    row("cp949", "");
    row("ms949", "MS949");
    row("euc-kr", "EUC-KR");
    row("cp850", "CP850");            // not a browser's label, but the converter knows it
    row("iso_8859-2", "ISO_8859-2");  // another spelling of ISO-8859-2, which ICU reads as such
    row("klingon", "");
    row("iso-2022-jp", "");
    row("utf-7", "");
    // Their letters and accents are read and written a byte at a time, not composed.
    row("windows-1258", "WINDOWS-1258");
    row("windows-1255", "WINDOWS-1255");
    row("big5hkscs", "");    // ICU calls it big5-hkscs
    row("iso-8859-16", "");  // ICU has no table for it
    row("johab", "");        // 0x5C is not the backslash
    row("ibm037", "");       // EBCDIC
    row("windows-1252//TRANSLIT", "");
    row("", "");
}

void FileEncodingTest::readsLabels() {
    QFETCH(QByteArray, label);
    QFETCH(QByteArray, encoding);
    const auto found = encodingForLabel(label);
    QCOMPARE(found ? QByteArray(found->name()) : QByteArray(), encoding);
}

// The charsets pages are read in are a fixed list: every one of them must pass the probe on ICU's
// converter, and charsets missing from it are refused.
void FileEncodingTest::supportsExactlyTheCharsetsThatComeBack_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("supported");
    const std::string_view table = supportedCharsets();
    for (const QByteArray &name : QByteArray(table.data(), qsizetype(table.size())).split(' '))
        QTest::newRow(name.constData()) << name << true;
    // Charsets missing from the table, which the probe must refuse as well.
    const char *const refused[] = {
        "UTF-16", "UTF-7", "IBM037", "ISO-2022-JP", "TCVN", "EUC-JISX0213", "UHC",
        "NO-SUCH-CHARSET",
        // ICU has no tables for these.
        "ISO-8859-16", "KOI8-T",
        // ICU's IBM code pages that read 0x5C as ₩ and ¥.
        "CP949", "IBM-943_P130-1999",
        // It holds a letter back to compose it with an accent that may follow.
        "IBM-1390"};
    for (const char *name : refused)
        QTest::newRow((std::string(name) + ", refused").c_str()) << QByteArray(name) << false;
}

void FileEncodingTest::supportsExactlyTheCharsetsThatComeBack() {
    QFETCH(QByteArray, name);
    QFETCH(bool, supported);
    QCOMPARE(probeCharset(name.constData()), supported);
    QCOMPARE(isSupportedCharset(name.toStdString()), supported);
    QCOMPARE(isSupportedCharset(name.toLower().toStdString()), supported);
}

// Pages of random pieces, the characters of each charset among them, and bytes of every value.
void FileEncodingTest::keepsEveryByteInEachCharset_data() {
    QTest::addColumn<QByteArray>("declaration");
    QTest::addColumn<QByteArrayList>("characters");
    QTest::addColumn<int>("leastKept");  // pages, of 300, read in the declared charset at least

    QTest::newRow("UTF-8") << QByteArray("<meta charset=utf-8>")
                           << QByteArrayList{"\xe4\xb8\xad", "\xc3\xa9", "\xf0\x9f\x98\x80"} << 300;
    QTest::newRow("GB18030") << QByteArray("<meta charset=gbk>")
                             << QByteArrayList{"\xd6\xd0", "\x81\x30\x81\x30", "\xfe\x51"} << 300;
    QTest::newRow("Big5") << QByteArray("<meta charset=big5>")
                          << QByteArrayList{"\xa4\xa4", "\xa4\xe5", "\xf9\xd5"} << 200;
    QTest::newRow("Shift_JIS") << QByteArray("<meta charset=shift_jis>")
                               << QByteArrayList{"\x93\xfa", "\xed\x40", "\xfa\x5c", "\xb1"} << 200;
    QTest::newRow("EUC-JP") << QByteArray("<meta charset=euc-jp>")
                            << QByteArrayList{"\xc6\xfc", "\x8f\xb0\xa1", "\x8e\xb1"} << 200;
    QTest::newRow("EUC-KR") << QByteArray("<meta charset=euc-kr>")
                            << QByteArrayList{"\xc7\xd1", "\xb1\xb9"} << 200;
    QTest::newRow("windows-1252") << QByteArray("<meta charset=windows-1252>")
                                  << QByteArrayList{"\xe9", "\x80", "\x93\x94"} << 300;
    QTest::newRow("KOI8-R") << QByteArray("<meta charset=koi8-r>") << QByteArrayList{"\xed\xc9\xd2"}
                            << 300;
    QTest::newRow("no declaration")
        << QByteArray() << QByteArrayList{"\xe4\xb8\xad", "\xd6\xd0"} << 0;
}

void FileEncodingTest::keepsEveryByteInEachCharset() {
    QFETCH(QByteArray, declaration);
    QFETCH(QByteArrayList, characters);
    QFETCH(int, leastKept);
    const auto declared = declaredEncoding(declaration);
    QRandomGenerator random(qHash(declaration));
    int kept = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray page = declaration;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i) {
            switch (random.bounded(6)) {
                case 0:
                    page += char(0x80 + random.bounded(0x80));
                    break;
                case 1:
                    page += char(random.bounded(0x100));
                    break;
                case 2:
                    page += QByteArrayList{"\r\n", "\r", "\n", "  ", "<p>", "x"}[random.bounded(6)];
                    break;
                default:
                    page += characters[random.bounded(characters.size())];
            }
        }
        const QByteArray trimmed = trimLines(page);
        const auto document = decoded(trimmed, choosePageEncoding(page));
        QVERIFY(document);
        QVERIFY2(stored(*document) == trimmed, page.toHex(' ').constData());
        if (declared && document->encoding == *declared) ++kept;
    }
    QVERIFY2(kept >= leastKept, QByteArray::number(kept).constData());
}

void FileEncodingTest::roundTripsAcrossPieces_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("repeat");

    // 中文 in GB18030 with a stray byte: the raw byte lands at every offset of the stretches the
    // conversion takes.
    const QByteArray mixed("\xd6\xd0\xce\xc4\x80");
    QTest::newRow("one stray byte") << QByteArray("\x80") << 1;
    QTest::newRow("just under a piece") << mixed << (1 << 20) / 5 - 1;
    QTest::newRow("several pieces") << mixed << 3 * (1 << 20) / 5 + 3;
    QTest::newRow("four-byte characters over several pieces")
        << QByteArray("\x81\x30\x81\x30\xff") << (1 << 20) / 2;
    QTest::newRow("cut-off character at the very end") << QByteArray("a\xd6") << 600000;
    // Each of these four-byte codes stands for a character of CJK Extension B for which the
    // two-byte code behind it kept a private-use place.
    const QByteArray twins(
        "\x95\x32\x90\x31\xfe\x51\x95\x32\x90\x33\xfe\x52\x95\x32\x97\x30\xfe\x53\r\n"
        "\x95\x36\xb9\x37\xfe\x6c\x96\x30\xba\x35\xfe\x76\x96\x35\xb6\x30\xfe\x91\r\n");
    QTest::newRow("four-byte codes with a two-byte twin") << twins << 1;
    QTest::newRow("two-byte codes of private-use characters only") << QByteArray("\xfe\x51") << 18;
    // Big pages, a line end only here and there.
    QTest::newRow("8 MiB, CRs all through") << mixed + twins << (8 << 20) / 43 + 1;
    QTest::newRow("8 MiB, the only CR in the first half")
        << mixed.repeated((4 << 20) / 5) + "\r" + mixed.repeated((5 << 20) / 5) << 1;
}

void FileEncodingTest::roundTripsAcrossPieces() {
    QFETCH(QByteArray, unit);
    QFETCH(int, repeat);
    const QByteArray file = unit.repeated(repeat);
    const auto document = decoded(file);
    QVERIFY(document);
    QCOMPARE(document->encoding, FileEncoding::Gb18030);

    QVERIFY(stored(*document) == file);
}

// A long stretch without a line end reaches the converter in parts of 4 KiB, which cut
// characters; a character cut there is still decoded, and only one cut off by the end of the page
// stays raw.
void FileEncodingTest::decodesCharactersCutBetweenCalls_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("text");

    // Units of odd length, so that the parts end at every place in a character.
    QTest::newRow("two-byte characters")
        << QByteArray(
               "\xd6\xd0\xce\xc4"
               "a")
               .repeated(50000)
        << QByteArray("GB18030") << QByteArray("中文a").repeated(50000);
    QTest::newRow("four-byte characters") << QByteArray(
                                                 "\x81\x30\x81\x30\x90\x30\x81\x30"
                                                 "a")
                                                 .repeated(30000)
                                          << QByteArray("GB18030")
                                          << QByteArray(
                                                 "\xc2\x80\xf0\x90\x80\x80"
                                                 "a")
                                                 .repeated(30000);
    QTest::newRow("character cut off at the end of the page")
        << QByteArray(
               "\xd6\xd0"
               "a")
                   .repeated(50000) +
               "\xd6"
        << QByteArray("GB18030") << QByteArray("中a").repeated(50000) + "\xd6";
    const QByteArray big5("a\xa4\xa4\xa4\xe5");
    QTest::newRow("Big5") << metaPage("<meta charset=big5>", big5.repeated(20000))
                          << QByteArray("BIG5")
                          << metaPage("<meta charset=big5>", QByteArray("a中文").repeated(20000));
    const QByteArray shiftJis("a\x93\xfa\x96\x7b");
    QTest::newRow("Shift_JIS") << metaPage("<meta charset=shift_jis>", shiftJis.repeated(20000))
                               << QByteArray("CP932")
                               << metaPage("<meta charset=shift_jis>",
                                           QByteArray("a日本").repeated(20000));
}

void FileEncodingTest::decodesCharactersCutBetweenCalls() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, text);
    const auto document = decoded(file);
    QVERIFY(document);
    QCOMPARE(QByteArray(document->encoding.name()), encoding);
    QVERIFY(document->bytes == text);
    QVERIFY(stored(*document) == file);
}

// The page converter relies on where the converter stops: at the first byte of what it cannot
// convert, at the first byte of a character cut off by the end of the input, and behind the last
// whole character the output has room for.
void FileEncodingTest::stopsAtTheExactByte_data() {
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("room");       // for the output
    QTest::addColumn<int>("stop");       // a CharsetConverter::Stop
    QTest::addColumn<int>("converted");  // bytes of the input
    QTest::addColumn<QByteArray>("output");

    using Stop = CharsetConverter::Stop;
    const auto row = [](const char *name, const char *to, const char *from, const QByteArray &input,
                        int room, Stop stop, int converted, const QByteArray &output) {
        QTest::newRow(name) << QByteArray(to) << QByteArray(from) << input << room
                            << static_cast<int>(stop) << converted << output;
    };
    const QByteArray big5("\xa4\xa4\xa4\xe5");  // 中文
    row("Big5", "UTF-8", "BIG5", big5, 64, Stop::Done, 4, "中文");
    row("Big5, character cut off at the end", "UTF-8", "BIG5", big5.first(3), 64, Stop::Incomplete,
        2, "中");
    row("Big5, lead byte before a line end", "UTF-8", "BIG5", big5.first(3) + "\n", 64,
        Stop::Invalid, 2, "中");
    row("Big5, room for one character of two", "UTF-8", "BIG5", big5, 3, Stop::OutputFull, 2, "中");
    row("Big5, room short of a character", "UTF-8", "BIG5", big5, 2, Stop::OutputFull, 0, "");
    // Odd, so that the characters straddle any cut the converter makes inside.
    const QByteArray long5 = "a" + big5.first(2).repeated(20000);
    row("Big5, 40 KB at once", "UTF-8", "BIG5", long5, 100000, Stop::Done, 40001,
        "a" + QByteArray("中").repeated(20000));
    row("Big5, 40 KB with a character cut off at the end", "UTF-8", "BIG5", long5 + "\xa4", 100000,
        Stop::Incomplete, 40001, "a" + QByteArray("中").repeated(20000));
    row("Shift_JIS, 0x1A, 0x1C and 0x7F", "UTF-8", "CP932", "\x93\xfa\x1a\x1c\x7f\x96\x7b", 64,
        Stop::Done, 7, "日\x1a\x1c\x7f本");
    row("Shift_JIS, lead byte before 0x7F", "UTF-8", "CP932", "\x93\x7f", 64, Stop::Invalid, 0, "");
    row("Shift_JIS, character cut off behind 0x7F", "UTF-8", "CP932", "\x7f\x93", 64,
        Stop::Incomplete, 1, "\x7f");
    row("Shift_JIS, no room for 0x7F", "UTF-8", "CP932", "\x93\xfa\x7f", 3, Stop::OutputFull, 2,
        "日");
    row("GB18030, four-byte character cut off", "UTF-8", "GB18030", "a\x81\x30\x81", 64,
        Stop::Incomplete, 1, "a");
    row("to Shift_JIS, 0x1A, 0x1C and 0x7F", "CP932", "UTF-8", "日\x1a\x1c\x7f", 64, Stop::Done, 6,
        "\x93\xfa\x1a\x1c\x7f");
    row("to windows-1252, a character it cannot hold", "WINDOWS-1252", "UTF-8", "a中b", 64,
        Stop::Invalid, 1, "a");
    row("to windows-1252, U+200B", "WINDOWS-1252", "UTF-8", "a\u200bb", 64, Stop::Invalid, 1, "a");
    row("to windows-1252, room for one character of two", "WINDOWS-1252", "UTF-8", "éé", 1,
        Stop::OutputFull, 2, "\xe9");
    // The program converts only between UTF-8 and a charset, which is all the converter opens.
    row("Big5 to Shift_JIS", "CP932", "BIG5", "\xa4\xa4", 64, Stop::Failed, 0, "");
    // ICU holds æ back to join it with an accent that may follow; unwritten, it is reported as a
    // character cut off.
    row("to IBM-1390, a letter it may join with what follows", "IBM-1390", "UTF-8", "æ", 64,
        Stop::Incomplete, 0, "");
    row("from UTF-8, a byte that starts no character", "WINDOWS-1252", "UTF-8", "a\xff", 64,
        Stop::Invalid, 1, "a");
    row("from UTF-8, a character cut off at the end", "WINDOWS-1252", "UTF-8", "a\xe4\xb8", 64,
        Stop::Incomplete, 1, "a");
}

void FileEncodingTest::stopsAtTheExactByte() {
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, input);
    QFETCH(int, room);
    QFETCH(int, stop);
    QFETCH(int, converted);
    QFETCH(QByteArray, output);
    CharsetConverter converter(to.constData(), from.constData());
    QByteArray out(room, '\0');
    const char *in = input.constData();
    char *next = out.data();
    const auto result =
        converter.convert(in, input.constData() + input.size(), next, out.data() + out.size());
    QCOMPARE(static_cast<int>(result), stop);
    QCOMPARE(in - input.constData(), converted);
    QCOMPARE(out.first(next - out.data()), output);
}

// A character typed into a page that its encoding cannot hold stops the save, named with its line,
// the invisible ones too.
void FileEncodingTest::refusesCharactersTheEncodingCannotHold_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("line");

    const auto row = [](const char *name, const QByteArray &document, const char *encoding,
                        const char *character, int line) {
        QTest::newRow(name) << document << QByteArray(encoding) << QString::fromUtf8(character)
                            << line;
    };
    row("Chinese in a windows-1252 page", "caf\xc3\xa9\r\n中", "WINDOWS-1252", "中", 2);
    // Default-ignorable characters, which some converters leave out instead.
    row("U+200B in a windows-1252 page", "caf\xc3\xa9\r\nzero\u200bwidth", "WINDOWS-1252", "\u200b",
        2);
    row("U+034F in a windows-1252 page", "e\u034f\xcc\x81", "WINDOWS-1252", "\u034f", 1);
    row("U+2060 in a Shift_JIS page", "\xe6\x97\xa5\n\n\u2060", "CP932", "\u2060", 3);
    row("U+FEFF in a Big5 page", "\xe4\xb8\xad\ufeff", "BIG5", "\ufeff", 1);
    // ICU's tables would stand ASCII in for some characters (its fallbacks); a save must not.
    row("fullwidth ！ in a windows-1252 page", "a\r\n\uff01", "WINDOWS-1252", "\uff01", 2);
    row("U+30FB in an EUC-KR page", "\xed\x95\x9c\u30fb", "EUC-KR", "\u30fb", 1);
    // The converter is given a long stretch in parts; the character is named where it stands.
    row("U+200B behind 4 KiB of text", "\xc3\xa9" + QByteArray(5000, 'x') + "\u200b",
        "WINDOWS-1252", "\u200b", 1);
}

void FileEncodingTest::refusesCharactersTheEncodingCannotHold() {
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, encoding);
    QFETCH(QString, character);
    QFETCH(int, line);
    const auto bytes = encodeDocument(document, FileEncoding(encoding.toStdString()));
    const auto *error = std::get_if<FileError>(&bytes);
    QVERIFY(error);
    QCOMPARE(error->kind, FileError::Kind::Unencodable);
    QCOMPARE(error->character, character);
    QCOMPARE(error->line, line);
}

// Exactness of GB18030 pages rests on each sequence that the converter decodes coming back as
// itself, or else being kept raw; this goes through all of them, each on a line of its own. A big
// page's two-byte characters are looked up in a table made from the converter: a page of short
// lines, read line by line, gives what the converter itself reads.
void FileEncodingTest::everyGb18030SequenceComesBack_data() {
    QTest::addColumn<QByteArray>("file");
    QByteArray twoBytes;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) twoBytes += QByteArray(1, char(lead)) + char(trail) + "\n";
    QTest::newRow("two bytes") << twoBytes;
    // Trail bytes that are no trail bytes: the lead is kept raw, and what follows it is read.
    QByteArray strayLeads;
    for (int lead = 0x80; lead <= 0xFF; ++lead)
        for (int trail = 0x3A; trail <= 0xFF; ++trail)
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF || lead == 0x80 || lead == 0xFF)
                strayLeads += QByteArray(1, char(lead)) + char(trail) + "x\n" + char(lead) + "\r";
    QTest::newRow("leads before bytes that are no trail bytes") << strayLeads.repeated(8);

    // The builds that run many times slower (sanitizers, emulation) take every fifth lead of four
    // bytes, the first and the last always among them.
#ifdef ZEREDIZ_SAMPLED_TESTS
    constexpr int kLeadStep = 5;
#else
    constexpr int kLeadStep = 1;
#endif
    const auto fourBytes = [](int firstLead, int lastLead) {
        QByteArray all;
        for (int lead = firstLead; lead <= lastLead;
             lead = lead < lastLead ? std::min(lead + kLeadStep, lastLead) : lastLead + 1)
            for (int second = 0x30; second <= 0x39; ++second)
                for (int third = 0x81; third <= 0xFE; ++third)
                    for (int fourth = 0x30; fourth <= 0x39; ++fourth) {
                        const char bytes[] = {char(lead), char(second), char(third), char(fourth),
                                              '\n'};
                        all.append(bytes, sizeof bytes);
                    }
        return all;
    };
    QTest::newRow("four bytes, BMP") << fourBytes(0x81, 0x84);
    QTest::newRow("four bytes, unassigned below 90") << fourBytes(0x85, 0x8F);
    QTest::newRow("four bytes, beyond the BMP") << fourBytes(0x90, 0xE3);
    QTest::newRow("four bytes, beyond Unicode") << fourBytes(0xE4, 0xFE);
}

void FileEncodingTest::everyGb18030SequenceComesBack() {
    QFETCH(QByteArray, file);
    const auto document = decoded(file);
    QVERIFY(document);
    QCOMPARE(document->encoding, FileEncoding::Gb18030);
    QVERIFY(stored({document->bytes, FileEncoding::Gb18030}) == file);
    QVERIFY(document->bytes == decodedLineByLine(file));
}

QTEST_APPLESS_MAIN(FileEncodingTest)
#include "file_encoding_test.moc"
