#include "ui/text/text_input_method.h"

#include <QInputMethodEvent>

#include "ui/text/text_editor.h"

namespace {

// How much of the line input methods are told about on each side of the caret.
constexpr qsizetype kSurroundingUnits = 1024;
// The most of a selection input methods are given.
constexpr qsizetype kMostSelectionBytes = qsizetype{1} << 16;

}  // namespace

TextInputMethod::TextInputMethod(const TextEditor &editor, TextCursor &cursor)
    : editor_(editor), cursor_(cursor) {}

void TextInputMethod::take(const QInputMethodEvent &event) {
    const TextDocument &document = editor_.document();
    const QString commit = event.commitString();
    if (!commit.isEmpty() || event.replacementLength() > 0) {
        if (event.replacementLength() > 0 || event.replacementStart() != 0) {
            const qsizetype caretUnits = document.unitsBefore(cursor_.position());
            cursor_.select(document.positionOfUnit(caretUnits + event.replacementStart()),
                           document.positionOfUnit(caretUnits + event.replacementStart() +
                                                   event.replacementLength()));
        }
        // What an input method commits is one step of its own, as any insertion but typing is.
        cursor_.insert(commit.toUtf8());
    } else if (!event.preeditString().isEmpty() && cursor_.hasSelection()) {
        cursor_.removeSelection();
    }
    preedit_.text = event.preeditString();
    preedit_.position = cursor_.position();
    preedit_.cursor = int(preedit_.text.size());
    preedit_.formats.clear();
    // Composed text is underlined whatever else the input method asks for it.
    if (!preedit_.text.isEmpty()) {
        QTextCharFormat underlined;
        underlined.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        preedit_.formats.append({0, int(preedit_.text.size()), underlined});
    }
    for (const QInputMethodEvent::Attribute &attribute : event.attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preedit_.cursor = attribute.start;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            if (format.isValid())
                preedit_.formats.append({attribute.start, attribute.length, format});
        }
    }
}

std::pair<qsizetype, qsizetype> TextInputMethod::surrounding() const {
    const TextDocument &document = editor_.document();
    const qsizetype line = document.lineOf(cursor_.position());
    const qsizetype caretUnits = document.unitsBefore(cursor_.position());
    const qsizetype from = document.positionOfUnit(
        std::max(document.unitsBefore(document.lineStart(line)), caretUnits - kSurroundingUnits));
    const qsizetype to = document.positionOfUnit(
        std::min(document.unitsBefore(document.lineTextEnd(line)), caretUnits + kSurroundingUnits));
    return {from, to};
}

std::optional<QVariant> TextInputMethod::query(Qt::InputMethodQuery query) const {
    const TextDocument &document = editor_.document();
    const QPoint offset = editor_.viewport()->pos();
    const qsizetype caret = cursor_.position();
    switch (query) {
        case Qt::ImEnabled:
            return !editor_.isReadOnly();
        case Qt::ImReadOnly:
            return editor_.isReadOnly();
        case Qt::ImHints:
            return int(Qt::ImhMultiLine);
        case Qt::ImFont:
            return editor_.font();
        case Qt::ImCursorRectangle:
            return editor_.caretRect(caret).translated(offset);
        case Qt::ImAnchorRectangle:
            return editor_.caretRect(cursor_.anchor()).translated(offset);
        case Qt::ImInputItemClipRectangle:
            return editor_.viewport()->geometry();
        case Qt::ImAbsolutePosition:
            return qlonglong(document.unitsBefore(caret));
        case Qt::ImMaximumTextLength:
            return QVariant();
        case Qt::ImSurroundingText: {
            const auto [from, to] = surrounding();
            return document.text(from, to);
        }
        case Qt::ImCursorPosition: {
            const auto [from, to] = surrounding();
            return qlonglong(document.unitsBefore(caret) - document.unitsBefore(from));
        }
        case Qt::ImAnchorPosition: {
            const auto [from, to] = surrounding();
            const qsizetype anchor = std::clamp(cursor_.anchor(), from, to);
            return qlonglong(document.unitsBefore(anchor) - document.unitsBefore(from));
        }
        case Qt::ImCurrentSelection:
            return document.text(
                cursor_.selectionStart(),
                std::min(cursor_.selectionEnd(), cursor_.selectionStart() + kMostSelectionBytes));
        case Qt::ImTextBeforeCursor: {
            const auto [from, to] = surrounding();
            return document.text(from, caret);
        }
        case Qt::ImTextAfterCursor: {
            const auto [from, to] = surrounding();
            return document.text(caret, to);
        }
        default:
            return std::nullopt;
    }
}
