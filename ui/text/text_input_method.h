#pragma once

#include <QVariant>
#include <optional>

#include "ui/text/line_window.h"

class QInputMethodEvent;
class TextCursor;
class TextEditor;

// What a text area does for an input method, as QWidgetTextControl does for QPlainTextEdit: the
// text it composes is kept apart, to be shown at the caret, until it commits text, which replaces
// the selection or the code units it names around the caret as one undo step; and it is told of
// the text around the caret at UTF-16 offsets, which the document's index gives.
class TextInputMethod {
public:
    TextInputMethod(const TextEditor &editor, TextCursor &cursor);

    // The text being composed, none when nothing is.
    const Preedit &preedit() const { return preedit_; }
    void clearPreedit() { preedit_ = {}; }

    // Takes in what the input method sends: a commit into the document, and what it composes now.
    void take(const QInputMethodEvent &event);
    // The answer to a query, or none for what the widget answers itself.
    std::optional<QVariant> query(Qt::InputMethodQuery query) const;

private:
    // The part of the caret's line that the input method is told about.
    std::pair<qsizetype, qsizetype> surrounding() const;

    const TextEditor &editor_;
    TextCursor &cursor_;
    Preedit preedit_;
};
