#pragma once

#include <Qsci/qsciscintillabase.h>
#include <QAccessible>

#include "core/text_buffer.h"

// The document area of the main window: plain, editable text without margins, wrapping or
// styling. It holds the document as exact bytes (UTF-8, with bytes that are not valid UTF-8 kept
// and drawn as marked blobs) together with the encoding it is saved in.
//
// QScintilla's accessibility layer turns the byte position of every change and caret move into a
// character offset by counting from the start of the document, which makes each key and each
// repaint cost time in proportion to the caret's position (about 0.3 s at the end of 100 MiB).
// So the area reports to assistive technology only while one is active: until then it sends no
// change notifications (SCN_MODIFIED, SCEN_CHANGE) and stands in the accessibility tree as a
// plain widget; once a client is active, QScintilla's own interface and events take over.
class TextArea : public QsciScintillaBase, private QAccessible::ActivationObserver {
    Q_OBJECT

public:
    explicit TextArea(QWidget *parent = nullptr);
    ~TextArea() override;

    // Replaces the document: the undo history starts empty and the caret is at the start.
    void setDocument(TextBuffer buffer);

    // The document's bytes, valid until the next change of the document.
    QByteArrayView bytes() const;
    const FileEncoding &encoding() const { return encoding_; }

    // Whether the text differs from what was last set or saved; undoing back to it counts as
    // no change.
    bool isModified() const;
    void markSaved();

protected:
    // Tab and Shift+Tab move the focus, as in any other text box of a form.
    bool focusNextPrevChild(bool next) override;
    // A key event may carry several characters (from some input methods, virtual keyboards and
    // key-synthesis tools); they are typed one at a time, as one step to undo.
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void applyDocumentSettings();
    void applyViewSettings();

    void followAssistiveTechnology();
    void reportToAssistiveTechnology(bool active);
    void accessibilityActiveChanged(bool active) override;
    static QAccessibleInterface *accessibleFor(const QString &className, QObject *object);

    FileEncoding encoding_;
    bool assistiveTechnologyActive_ = false;
};
