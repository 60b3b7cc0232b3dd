#include <QSignalSpy>
#include <QTest>

#include "byte_samples.h"
#include "core/encoding/utf8_check.h"
#include "ui/text/text_document.h"

namespace {

// The line starts and code unit offsets of bytes, counted one byte at a time.
struct Reference {
    QList<qsizetype> lineStarts{0};
    QList<qsizetype> unitsBefore;  // for each position that starts a character, else -1
    QList<qsizetype> characterStarts;

    explicit Reference(QByteArrayView bytes) {
        unitsBefore.fill(-1, bytes.size() + 1);
        qsizetype units = 0;
        for (qsizetype i = 0; i < bytes.size();) {
            unitsBefore[i] = units;
            characterStarts.append(i);
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                lineStarts.append(i + 2);
                units += 2;
                unitsBefore[i + 1] = units - 1;
                i += 2;
                continue;
            }
            if (bytes[i] == '\r' || bytes[i] == '\n') lineStarts.append(i + 1);
            const int length = utf8SequenceLength(bytes.data() + i, bytes.data() + bytes.size());
            units += length == 4 ? 2 : 1;
            i += length == 0 ? 1 : length;
        }
        unitsBefore[bytes.size()] = units;
        characterStarts.append(bytes.size());
    }
};

// Compares every answer of the document with the reference; in a big document, the answers at
// a sample of places, among them those next to each edit.
void verifyIndex(TextDocument &document, QByteArrayView expected,
                 const QList<qsizetype> &near = {}) {
    QCOMPARE(document.size(), expected.size());
    QVERIFY(document.bytes() == expected);
    const Reference reference(expected);
    QCOMPARE(document.lineCount(), reference.lineStarts.size());
    QCOMPARE(document.unitCount(), reference.unitsBefore.last());
    const qsizetype stride = expected.size() > 20000 ? 97 : 1;
    for (qsizetype line = 0; line < reference.lineStarts.size(); line += stride) {
        QCOMPARE(document.lineStart(line), reference.lineStarts[line]);
    }
    QList<qsizetype> positions;
    for (qsizetype i = 0; i <= expected.size(); i += stride) positions.append(i);
    for (qsizetype p : near) {
        for (qsizetype i = std::max(p - 8, qsizetype{0}); i <= std::min(p + 8, expected.size());
             ++i)
            positions.append(i);
    }
    for (qsizetype position : positions) {
        const auto line =
            std::upper_bound(reference.lineStarts.begin(), reference.lineStarts.end(), position) -
            reference.lineStarts.begin() - 1;
        // Between CR and LF the line is still the one the pair ends.
        QCOMPARE(document.lineOf(position), line);
        if (reference.unitsBefore[position] < 0) continue;
        QCOMPARE(document.unitsBefore(position), reference.unitsBefore[position]);
        const auto start = std::lower_bound(reference.characterStarts.begin(),
                                            reference.characterStarts.end(), position);
        if (start == reference.characterStarts.end() || *start != position) continue;
        const qsizetype index = start - reference.characterStarts.begin();
        if (index + 1 < reference.characterStarts.size())
            QCOMPARE(document.nextCharacter(position), reference.characterStarts[index + 1]);
        if (index > 0)
            QCOMPARE(document.previousCharacter(position), reference.characterStarts[index - 1]);
        if (!(position + 1 < expected.size() && expected[position] == '\r' &&
              expected[position + 1] == '\n'))
            QCOMPARE(document.positionOfUnit(reference.unitsBefore[position]), position);
    }
}

struct Edit {
    qsizetype from;
    qsizetype to;
    QByteArray text;
};

// A small language for undo scripts: each step is one of these.
struct Step {
    enum Kind { Type, Backspace, Replace, Undo, Redo, Call } kind;
    qsizetype from = 0;
    qsizetype to = 0;
    QByteArray text;
    void (TextDocument::*call)() = nullptr;  // what a Call step asks of the history
};
Step type(qsizetype at, QByteArray text) {
    return {Step::Type, at, at, std::move(text)};
}
Step backspace(qsizetype at) {
    return {Step::Backspace, at - 1, at, {}};
}
Step replace(qsizetype from, qsizetype to, QByteArray text) {
    return {Step::Replace, from, to, std::move(text)};
}
const Step kUndo{Step::Undo, 0, 0, {}};
const Step kRedo{Step::Redo, 0, 0, {}};
const Step kClose{Step::Call, 0, 0, {}, &TextDocument::closeUndoStep};
const Step kSave{Step::Call, 0, 0, {}, &TextDocument::setSavePoint};
const Step kBeginJoined{Step::Call, 0, 0, {}, &TextDocument::beginJoinedStep};
const Step kEndJoined{Step::Call, 0, 0, {}, &TextDocument::endJoinedStep};

}  // namespace

Q_DECLARE_METATYPE(QList<Edit>)
Q_DECLARE_METATYPE(QList<Step>)

class TextDocumentTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsBytes_data();
    void keepsBytes();
    void edits_data();
    void edits();
    void undoes_data();
    void undoes();
};

void TextDocumentTest::keepsBytes_data() {
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("NUL and 0x1A") << QByteArray("a\0b\x1a", 4);
    QTest::newRow("lone CR, lone LF, CR LF, LF CR") << QByteArray("a\rb\nc\r\nd\n\re\r\r\n\n");
    QTest::newRow("ends with CR") << QByteArray("x\r");
    QTest::newRow("invalid UTF-8") << QByteArray("\x80\xff\xe4\xb8 \xc0\xaf \xed\xa0\x80 \xf4\x90");
    QTest::newRow("Chinese and a four-byte character")
        << QByteArray("\xe4\xb8\xad\xe6\x96\x87\xf0\x9f\x98\x80\xe3\x80\x80");
    QRandomGenerator random(22);
    QByteArray mixed;
    while (mixed.size() < 300000) mixed += randomPageBytes(random, random.bounded(2));
    QTest::newRow("big mixed page") << mixed;
    QTest::newRow("one long line of Chinese") << QByteArray("\xe4\xb8\xad").repeated(100000);
    QTest::newRow("four-byte characters and lone CRs, all valid") << QByteArray(
                                                                         "\xf0\x9f\x98\x80"
                                                                         "a\r\xe4\xb8\xad")
                                                                         .repeated(3000);
    QTest::newRow("CR LF pairs across every block edge") << QByteArray("\r\n").repeated(40000);
    QTest::newRow("continuation bytes without a lead") << QByteArray(20000, '\x80');
    // From a size on, the two halves are summed apart, cut near the middle where a block may
    // start: here the middle falls inside a character, or between a CR and its LF.
    QTest::newRow("big page, summed in halves") << mixed.repeated(4);
    QTest::newRow("long line of Chinese, summed in halves")
        << QByteArray("\xe4\xb8\xad").repeated(400001);
    QTest::newRow("CR LF pairs, summed in halves") << "x" + QByteArray("\r\n").repeated(600000);
}

void TextDocumentTest::keepsBytes() {
    QFETCH(QByteArray, bytes);
    TextDocument document;
    document.setBytes(bytes);
    verifyIndex(document, bytes);
    QVERIFY(!document.canUndo());
    QVERIFY(!document.isModified());
}

void TextDocumentTest::edits_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<QList<Edit>>("edits");

    QTest::newRow("type into empty") << QByteArray() << QList<Edit>{{0, 0, "ab"}, {1, 1, "\r\n"}};
    QTest::newRow("LF behind a CR joins it")
        << QByteArray("a\rb") << QList<Edit>{{2, 2, "\n"}, {2, 3, ""}, {1, 1, "\n"}};
    QTest::newRow("delete between CR and LF splits a line end into two")
        << QByteArray("a\r\nb") << QList<Edit>{{2, 2, "x"}};
    QTest::newRow("character completed and cut by edits")
        << QByteArray("\xe4\xb8 \xad") << QList<Edit>{{2, 3, ""}, {1, 2, ""}, {0, 0, "\xe4"}};
    QTest::newRow("NUL and invalid bytes typed")
        << QByteArray("x") << QList<Edit>{{1, 1, QByteArray("\0\xff\x1a", 3)}, {0, 1, "\x80"}};
    QTest::newRow("delete everything") << QByteArray("a\r\nb\n") << QList<Edit>{{0, 5, ""}};
    QRandomGenerator random(7);
    QByteArray page;
    while (page.size() < 200000) page += randomPageBytes(random, false);
    QList<Edit> scattered;
    for (int i = 0; i < 300; ++i) {
        const qsizetype from = random.bounded(page.size() - 100);
        scattered.append({from, from + random.bounded(3), randomPageBytes(random, i % 2)});
    }
    QTest::newRow("big page, edits anywhere") << page << scattered;
    // Blocks of a run of one byte are cut every 4096 bytes; the edits go from the end, so
    // that each lands on an edge that is still where it was.
    QByteArray edges(8 * 4096, 'x');
    QList<Edit> atBlockEdges;
    for (qsizetype at = 7 * 4096; at > 0; at -= 4096) {
        edges[at - 1] = at > 4 * 4096 ? '\r' : '\xe4';
        atBlockEdges.append({at, at, at > 4 * 4096 ? "\n" : "\xb8\xad"});
    }
    QTest::newRow("line ends and characters joined across block edges") << edges << atBlockEdges;
    QList<Edit> typing;
    const QByteArray line = QByteArray("\xe6\x96\x87").repeated(200000);
    for (int i = 0; i < 50; ++i) typing.append({line.size() + i, line.size() + i, "a"});
    typing.append({line.size() / 2, line.size() / 2 + 9, ""});
    QTest::newRow("typing at the end of a long line") << line << typing;
    QTest::newRow("paste of a big text, then removal")
        << QByteArray("ab") << QList<Edit>{{1, 1, page}, {1, 1 + page.size(), ""}};
}

void TextDocumentTest::edits() {
    QFETCH(QByteArray, initial);
    QFETCH(QList<Edit>, edits);
    TextDocument document;
    document.setBytes(initial);
    QSignalSpy changes(&document, &TextDocument::changed);
    QByteArray expected = initial;
    QList<qsizetype> near;
    qsizetype changing = 0;
    for (const Edit &edit : edits) {
        changing += edit.from != edit.to || !edit.text.isEmpty();
        document.replace(edit.from, edit.to, edit.text);
        expected.replace(edit.from, edit.to - edit.from, edit.text);
        near.append(edit.from);
        near.append(edit.from + edit.text.size());
        if (edits.size() < 10) verifyIndex(document, expected, near);
    }
    verifyIndex(document, expected, near);
    QCOMPARE(changes.size(), changing);
    // Undone to the start, the document is the loaded one again, in every index too.
    while (document.canUndo()) document.undo();
    verifyIndex(document, initial, near);
    QVERIFY(!document.isModified());
}

void TextDocumentTest::undoes_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("canUndo");
    QTest::addColumn<bool>("canRedo");
    QTest::addColumn<bool>("modified");

    QTest::newRow("typing is one step")
        << QByteArray("x") << QList<Step>{type(1, "a"), type(2, "b"), kUndo} << QByteArray("x")
        << false << true << false;
    QTest::newRow("typing elsewhere is a second step")
        << QByteArray("x") << QList<Step>{type(1, "a"), type(0, "b"), kUndo} << QByteArray("xa")
        << true << true << true;
    QTest::newRow("a caret move closes the step")
        << QByteArray() << QList<Step>{type(0, "a"), kClose, type(1, "b"), kUndo} << QByteArray("a")
        << true << true << true;
    QTest::newRow("backspaces are one step")
        << QByteArray("abcd") << QList<Step>{backspace(4), backspace(3), backspace(2), kUndo}
        << QByteArray("abcd") << false << true << false;
    QTest::newRow("typing then backspace are two steps")
        << QByteArray() << QList<Step>{type(0, "ab"), backspace(2), kUndo} << QByteArray("ab")
        << true << true << true;
    QTest::newRow("redo puts back what undo took")
        << QByteArray("a\r\n") << QList<Step>{replace(0, 3, QByteArray("\0", 1)), kUndo, kRedo}
        << QByteArray("\0", 1) << true << false << true;
    QTest::newRow("undo back to the save point is unmodified")
        << QByteArray() << QList<Step>{type(0, "a"), kSave, type(1, "b"), kUndo} << QByteArray("a")
        << true << true << false;
    QTest::newRow("typing after the save point is a step of its own")
        << QByteArray() << QList<Step>{type(0, "a"), kSave, type(1, "b"), kUndo, kUndo}
        << QByteArray() << false << true << true;
    QTest::newRow("redo back to the save point is unmodified")
        << QByteArray("q") << QList<Step>{replace(0, 1, "r"), kSave, kUndo, kRedo}
        << QByteArray("r") << true << false << false;
    QTest::newRow("save point lost once what was saved cannot come back")
        << QByteArray("q")
        << QList<Step>{replace(0, 1, "r"), kSave, kUndo, replace(0, 1, "s"), kUndo, kRedo}
        << QByteArray("s") << true << false << true;
    QTest::newRow("a new edit drops redo")
        << QByteArray("a") << QList<Step>{replace(0, 1, "b"), kUndo, replace(0, 0, "c")}
        << QByteArray("ca") << true << false << true;
    // A text moved: taken away, then put in elsewhere.
    const QList<Step> moved{kBeginJoined, replace(0, 1, ""), replace(2, 2, "a"), kEndJoined};
    QTest::newRow("a joined step is undone at once")
        << QByteArray("abc") << moved + QList<Step>{kUndo} << QByteArray("abc") << false << true
        << false;
    QTest::newRow("and redone at once") << QByteArray("abc") << moved + QList<Step>{kUndo, kRedo}
                                        << QByteArray("bca") << true << false << true;
    QTest::newRow("the step before a joined one stays apart")
        << QByteArray("ab") << QList<Step>{type(2, "c")} + moved + QList<Step>{kUndo}
        << QByteArray("abc") << true << true << true;
    QTest::newRow("typing after a joined step is a step of its own")
        << QByteArray("abc") << moved + QList<Step>{type(3, "x"), type(4, "y"), kUndo}
        << QByteArray("bca") << true << true << true;
    QTest::newRow("undo with nothing to undo") << QByteArray("a") << QList<Step>{kUndo, kRedo}
                                               << QByteArray("a") << false << false << false;
}

void TextDocumentTest::undoes() {
    QFETCH(QByteArray, initial);
    QFETCH(QList<Step>, steps);
    QFETCH(QByteArray, expected);
    TextDocument document;
    document.setBytes(initial);
    QSignalSpy modification(&document, &TextDocument::modificationChanged);
    for (const Step &step : steps) {
        switch (step.kind) {
            case Step::Type:
                document.replace(step.from, step.to, step.text, EditKind::Typing);
                break;
            case Step::Backspace:
                document.replace(step.from, step.to, {}, EditKind::DeleteBackward);
                break;
            case Step::Replace:
                document.replace(step.from, step.to, step.text);
                break;
            case Step::Undo:
                document.undo();
                break;
            case Step::Redo:
                document.redo();
                break;
            case Step::Call:
                (document.*step.call)();
                break;
        }
    }
    verifyIndex(document, expected);
    QTEST(document.canUndo(), "canUndo");
    QTEST(document.canRedo(), "canRedo");
    QTEST(document.isModified(), "modified");
    // Each change of the answer was announced, and only those.
    bool last = false;
    for (const QList<QVariant> &signal : modification) {
        QVERIFY(signal.at(0).toBool() != last);
        last = signal.at(0).toBool();
    }
    QCOMPARE(last, document.isModified());
}

QTEST_GUILESS_MAIN(TextDocumentTest)
#include "text_document_test.moc"
