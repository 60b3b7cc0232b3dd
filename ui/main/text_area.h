#pragma once

#include "core/encoding/encoding.h"
#include "ui/text/text_editor.h"

// The document area of the main window: plain, editable text without margins, wrapping or
// styling. It holds the document as exact bytes (UTF-8, with bytes that are not valid UTF-8 kept
// and drawn as marked boxes) together with the encoding it is saved in. Its text is blue and its
// context menu speaks Chinese.
class TextArea : public TextEditor {
    Q_OBJECT

public:
    explicit TextArea(QWidget *parent = nullptr);

    // Replaces the document: the undo history starts empty, at the save point, and the caret is
    // at the start. Line ends the user enters are LF in a document whose lines end with lone
    // LFs, else CR LF.
    void setDocument(TextBuffer buffer);

    // The document's bytes, valid until the next change of the document.
    QByteArrayView bytes() { return document().bytes(); }
    const FileEncoding &encoding() const { return encoding_; }

    // Whether the text differs from what was last set or saved; undoing back to it counts as
    // no change.
    bool isModified() const { return document().isModified(); }
    void markSaved() { document().setSavePoint(); }

private:
    FileEncoding encoding_;
};
