#include "ui/main/text_area.h"

TextArea::TextArea(QWidget *parent) : TextEditor(parent) {}

void TextArea::setDocument(TextBuffer buffer) {
    // Enter starts a new line the way the loader ends every line, and so does every line end of
    // pasted or dropped text. Only what the user enters is converted; loaded bytes stay.
    document().setLineEnd(LineEnd::CrLf);
    document().setBytes(std::move(buffer.bytes));
    encoding_ = buffer.encoding;
}
