#include "ui/text/text_accessible.h"

#include "ui/text/text_boundaries.h"
#include "ui/text/text_editor.h"

namespace {

// The text given as the value of the whole area; longer documents are read through the text
// interface, piece by piece.
constexpr qsizetype kMostValueBytes = qsizetype{1} << 16;

QAccessibleInterface *accessibleFor(const QString &className, QObject *object) {
    if (className == QLatin1String(TextEditor::staticMetaObject.className()) &&
        object->isWidgetType())
        return new TextEditorAccessible(static_cast<TextEditor *>(object));
    return nullptr;
}

}  // namespace

void installTextAccessibility() {
    static const bool installed = (QAccessible::installFactory(&accessibleFor), true);
    Q_UNUSED(installed);
}

AssistiveTechnology &assistiveTechnology() {
    static AssistiveTechnology technology;
    return technology;
}

void reportCaret(TextEditor &editor) {
    const AssistiveTechnology &technology = assistiveTechnology();
    if (!technology.active()) return;
    const TextDocument &document = editor.document();
    QAccessibleTextCursorEvent cursor(&editor, int(document.unitsBefore(editor.caret())));
    technology.update(&cursor);
    if (editor.hasSelection()) {
        QAccessibleTextSelectionEvent selection(&editor,
                                                int(document.unitsBefore(editor.selectionStart())),
                                                int(document.unitsBefore(editor.selectionEnd())));
        technology.update(&selection);
    }
}

void reportChange(TextEditor &editor, const TextChange &change) {
    const AssistiveTechnology &technology = assistiveTechnology();
    if (!technology.active()) return;
    const TextDocument &document = editor.document();
    const int at = int(document.unitsBefore(change.position));
    const QString inserted = document.text(change.position, change.position + change.inserted);
    const QString removed = TextDocument::readable(change.removed);
    if (removed.isEmpty()) {
        QAccessibleTextInsertEvent insert(&editor, at, inserted);
        technology.update(&insert);
    } else if (inserted.isEmpty()) {
        QAccessibleTextRemoveEvent remove(&editor, at, removed);
        technology.update(&remove);
    } else {
        QAccessibleTextUpdateEvent update(&editor, at, removed, inserted);
        technology.update(&update);
    }
}

TextEditorAccessible::TextEditorAccessible(TextEditor *editor)
    : QAccessibleWidget(editor, QAccessible::EditableText) {}

TextEditor *TextEditorAccessible::editor() const {
    return static_cast<TextEditor *>(widget());
}

void *TextEditorAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextEditorAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !editor()->isReadOnly();
    state.readOnly = editor()->isReadOnly();
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString TextEditorAccessible::text(QAccessible::Text kind) const {
    if (kind != QAccessible::Value) return QAccessibleWidget::text(kind);
    const TextDocument &document = editor()->document();
    return document.text(0, std::min(document.size(), kMostValueBytes));
}

qsizetype TextEditorAccessible::positionOf(int offset) const {
    return editor()->document().positionOfUnit(offset);
}

int TextEditorAccessible::offsetOf(qsizetype position) const {
    return int(editor()->document().unitsBefore(position));
}

void TextEditorAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !editor()->hasSelection()) return;
    *startOffset = offsetOf(editor()->selectionStart());
    *endOffset = offsetOf(editor()->selectionEnd());
}

int TextEditorAccessible::selectionCount() const {
    return editor()->hasSelection() ? 1 : 0;
}

void TextEditorAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void TextEditorAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) editor()->setCaret(editor()->caret());
}

void TextEditorAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0) return;
    editor()->select(positionOf(startOffset), positionOf(endOffset));
}

int TextEditorAccessible::cursorPosition() const {
    return offsetOf(editor()->caret());
}

void TextEditorAccessible::setCursorPosition(int position) {
    editor()->setCaret(positionOf(position));
}

QString TextEditorAccessible::text(int startOffset, int endOffset) const {
    if (endOffset < 0) endOffset = characterCount();
    return editor()->document().text(positionOf(startOffset), positionOf(endOffset));
}

std::pair<int, int> TextEditorAccessible::itemAt(int offset,
                                                 QAccessible::TextBoundaryType type) const {
    const TextDocument &document = editor()->document();
    const qsizetype position = positionOf(offset);
    switch (type) {
        case QAccessible::CharBoundary:
            return {offsetOf(position), offsetOf(document.nextCharacter(position))};
        case QAccessible::WordBoundary: {
            const auto [from, to] = wordAt(document, position);
            return {offsetOf(from), offsetOf(to)};
        }
        case QAccessible::SentenceBoundary:
        case QAccessible::ParagraphBoundary:
        case QAccessible::LineBoundary: {
            const qsizetype line = document.lineOf(position);
            return {offsetOf(document.lineStart(line)), offsetOf(document.lineStart(line + 1))};
        }
        case QAccessible::NoBoundary:
            break;
    }
    return {0, characterCount()};
}

QString TextEditorAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType type,
                                           int *startOffset, int *endOffset) const {
    const int count = characterCount();
    if (offset < 0 || offset > count) {
        *startOffset = *endOffset = -1;
        return {};
    }
    std::tie(*startOffset, *endOffset) = itemAt(offset, type);
    return text(*startOffset, *endOffset);
}

QString TextEditorAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType type,
                                               int *startOffset, int *endOffset) const {
    const auto [start, end] = itemAt(offset, type);
    if (start <= 0 || type == QAccessible::NoBoundary) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(start - 1, type, startOffset, endOffset);
}

QString TextEditorAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType type,
                                              int *startOffset, int *endOffset) const {
    const auto [start, end] = itemAt(offset, type);
    if (end >= characterCount() || type == QAccessible::NoBoundary) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(end, type, startOffset, endOffset);
}

int TextEditorAccessible::characterCount() const {
    return int(editor()->document().unitCount());
}

QRect TextEditorAccessible::characterRect(int offset) const {
    TextEditor *area = editor();
    const qsizetype position = positionOf(offset);
    QRect caret = area->caretRect(position);
    const qsizetype next = area->document().nextCharacter(position);
    const QRect after = area->caretRect(next);
    if (after.top() == caret.top() && after.left() > caret.left()) caret.setRight(after.left() - 1);
    return QRect(area->viewport()->mapToGlobal(caret.topLeft()), caret.size());
}

int TextEditorAccessible::offsetAtPoint(const QPoint &point) const {
    TextEditor *area = editor();
    const QPoint local = area->viewport()->mapFromGlobal(point);
    if (!area->viewport()->rect().contains(local)) return -1;
    return offsetOf(area->positionAt(local));
}

void TextEditorAccessible::scrollToSubstring(int startIndex, int endIndex) {
    editor()->ensureVisible(positionOf(endIndex));
    editor()->ensureVisible(positionOf(startIndex));
}

QString TextEditorAccessible::attributes(int offset, int *startOffset, int *endOffset) const {
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void TextEditorAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, {});
}

void TextEditorAccessible::insertText(int offset, const QString &text) {
    replaceText(offset, offset, text);
}

void TextEditorAccessible::replaceText(int startOffset, int endOffset, const QString &text) {
    if (editor()->isReadOnly()) return;
    editor()->select(positionOf(startOffset), positionOf(endOffset));
    if (text.isEmpty())
        editor()->deleteSelection();
    else
        editor()->insertText(text.toUtf8());
}
