#pragma once

#include <Qsci/qsciscintillabase.h>

#include "core/text_buffer.h"

// The document area of the main window: plain, editable text without margins, wrapping or
// styling. It holds the document as exact bytes (UTF-8, with bytes that are not valid UTF-8 kept
// and drawn as marked blobs) together with the encoding it is saved in.
class TextArea : public QsciScintillaBase {
    Q_OBJECT

public:
    explicit TextArea(QWidget *parent = nullptr);

    // Replaces the document: the undo history starts empty and the caret is at the start.
    void setDocument(TextBuffer buffer);

    // The document's bytes, valid until the next change of the document.
    QByteArrayView bytes() const;
    const FileEncoding &encoding() const { return encoding_; }

protected:
    // Tab and Shift+Tab move the focus, as in any other text box of a form.
    bool focusNextPrevChild(bool next) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void applyDocumentSettings();
    void applyViewSettings();

    FileEncoding encoding_;
};
