#include "ui/main/text_area.h"

#include <QAction>

#include "core/trim/line_trim.h"

TextArea::TextArea(QWidget *parent) : TextEditor(parent) {
    // The text is blue, as it always was, and a byte that is no character a red box.
    setTextColour(QColor(0x00, 0x00, 0xFF));
    setInvalidByteColour(QColor(0xC0, 0x00, 0x00));
    const std::pair<MenuCommand, QString> names[] = {
        {MenuCommand::Undo, QStringLiteral("撤销")},
        {MenuCommand::Redo, QStringLiteral("重做")},
        {MenuCommand::Cut, QStringLiteral("剪切")},
        {MenuCommand::Copy, QStringLiteral("复制")},
        {MenuCommand::Paste, QStringLiteral("粘贴")},
        {MenuCommand::Delete, QStringLiteral("删除")},
        {MenuCommand::SelectAll, QStringLiteral("全选")},
    };
    for (const auto &[command, name] : names) menuAction(command)->setText(name);
}

void TextArea::setDocument(TextBuffer buffer) {
    // Enter starts a new line the way the document's lines end, and so does every line end of
    // pasted or dropped text: LF in a page whose lines end with lone LFs, as the trim gives its
    // last line; CR LF in any other, and in a new empty document. Only what the user enters is
    // converted; loaded bytes stay.
    document().setLineEnd(endsLinesWithLf(buffer.bytes) ? LineEnd::Lf : LineEnd::CrLf);
    document().setBytes(std::move(buffer.bytes));
    encoding_ = buffer.encoding;
}
