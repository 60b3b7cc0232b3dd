#include "ui/main/text_area.h"

#include "core/line_trim.h"

TextArea::TextArea(QWidget *parent) : TextEditor(parent) {}

void TextArea::setDocument(TextBuffer buffer) {
    // Enter starts a new line the way the document's lines end, and so does every line end of
    // pasted or dropped text: LF in a page whose lines end with lone LFs, as the trim gives its
    // last line; CR LF in any other, and in a new empty document. Only what the user enters is
    // converted; loaded bytes stay.
    document().setLineEnd(endsLinesWithLf(buffer.bytes) ? LineEnd::Lf : LineEnd::CrLf);
    document().setBytes(std::move(buffer.bytes));
    encoding_ = buffer.encoding;
}
