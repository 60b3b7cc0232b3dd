#pragma once

#include <QAccessibleWidget>

class TextEditor;
struct TextChange;

// What assistive technology sees of a TextEditor: its text, caret and selection, and edits, all
// at UTF-16 offsets that the document's index answers without counting from the start.
class TextEditorAccessible : public QAccessibleWidget,
                             public QAccessibleTextInterface,
                             public QAccessibleEditableTextInterface {
public:
    explicit TextEditorAccessible(TextEditor *editor);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    TextEditor *editor() const;
    qsizetype positionOf(int offset) const;
    int offsetOf(qsizetype position) const;
    // The piece of text of that kind that holds offset, as offsets.
    std::pair<int, int> itemAt(int offset, QAccessible::TextBoundaryType type) const;
};

// Makes Qt build a TextEditorAccessible for every TextEditor.
void installTextAccessibility();

// The platform's assistive technology as the text area reaches it: whether a client listens,
// and where events go. One seam, so that what the area reports can be watched on a platform
// without any client.
struct AssistiveTechnology {
    bool (*active)() = &QAccessible::isActive;
    void (*update)(QAccessibleEvent *event) = &QAccessible::updateAccessibility;
};
AssistiveTechnology &assistiveTechnology();

// What a listening client is told, at UTF-16 offsets: where the caret and the selection are now,
// and what an edit changed. Without a client, they cost nothing.
void reportCaret(TextEditor &editor);
void reportChange(TextEditor &editor, const TextChange &change);
