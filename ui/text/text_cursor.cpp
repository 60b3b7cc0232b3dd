#include "ui/text/text_cursor.h"

#include "ui/text/line_geometry.h"
#include "ui/text/text_boundaries.h"
#include "ui/text/text_keys.h"

namespace {

QByteArray withLineEnds(QByteArrayView text, LineEnd lineEnd) {
    const QByteArrayView end = lineEndBytes(lineEnd);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.append(end);
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

}  // namespace

TextCursor::TextCursor(TextDocument &document, const LinePlacement &placement)
    : document_(document), placement_(placement) {
    changed_ = QObject::connect(&document, &TextDocument::changed,
                                [this](const TextChange &change) { follow(change); });
    reset_ = QObject::connect(&document, &TextDocument::reset, [this] { restart(); });
}

TextCursor::~TextCursor() {
    QObject::disconnect(changed_);
    QObject::disconnect(reset_);
}

void TextCursor::follow(const TextChange &change) {
    position_ = change.shifted(position_);
    anchor_ = change.shifted(anchor_);
    unitStart_ = change.shifted(unitStart_);
    unitEnd_ = change.shifted(unitEnd_);
    column_.reset();
}

void TextCursor::restart() {
    position_ = anchor_ = unitStart_ = unitEnd_ = 0;
    unit_ = TextUnit::Character;
    column_.reset();
}

QByteArray TextCursor::selectedBytes() const {
    return document_.slice(selectionStart(), selectionEnd());
}

void TextCursor::moveTo(qsizetype position, bool extend) {
    position_ = std::clamp(position, qsizetype{0}, document_.size());
    if (!extend) anchor_ = position_;
    document_.closeUndoStep();
}

void TextCursor::placeAfterEdit(qsizetype position) {
    position_ = anchor_ = position;
    column_.reset();
    unit_ = TextUnit::Character;
}

void TextCursor::setPosition(qsizetype position, bool extend) {
    moveTo(position, extend);
    column_.reset();
    unit_ = TextUnit::Character;
}

void TextCursor::select(qsizetype anchor, qsizetype position) {
    anchor_ = std::clamp(anchor, qsizetype{0}, document_.size());
    setPosition(position, true);
}

void TextCursor::selectAll() {
    select(0, document_.size());
}

void TextCursor::moveLines(qsizetype lines, bool extend) {
    if (!column_) column_ = placement_.xOf(position_);
    const qsizetype line = document_.lineOf(position_) + lines;
    if (line < 0)
        moveTo(0, extend);
    else if (line >= document_.lineCount())
        moveTo(document_.size(), extend);
    else
        moveTo(placement_.positionAtX(line, *column_), extend);
}

std::pair<qsizetype, qsizetype> TextCursor::unitAt(qsizetype position, TextUnit unit) const {
    switch (unit) {
        case TextUnit::Character:
            break;
        case TextUnit::Word:
            return wordAt(document_, position);
        case TextUnit::Line: {
            const qsizetype line = document_.lineOf(position);
            return {document_.lineStart(line), document_.lineStart(line + 1)};
        }
    }
    return {position, position};
}

void TextCursor::selectUnit(qsizetype position, TextUnit unit) {
    std::tie(unitStart_, unitEnd_) =
        unitAt(std::clamp(position, qsizetype{0}, document_.size()), unit);
    anchor_ = unitStart_;
    moveTo(unitEnd_, true);
    column_.reset();
    unit_ = unit;
}

void TextCursor::extendTo(qsizetype position) {
    column_.reset();
    if (unit_ == TextUnit::Character) {
        moveTo(position, true);
        return;
    }
    const auto [from, to] = unitAt(std::clamp(position, qsizetype{0}, document_.size()), unit_);
    // Before the unit clicked, the selection runs back from its end; otherwise on from its start.
    if (from < unitStart_) {
        anchor_ = unitEnd_;
        moveTo(from, true);
    } else {
        anchor_ = unitStart_;
        moveTo(std::max(to, unitEnd_), true);
    }
}

void TextCursor::insert(QByteArrayView text, EditKind kind) {
    const QByteArray converted = withLineEnds(text, document_.lineEnd());
    const qsizetype from = selectionStart();
    if (kind != EditKind::Typing || hasSelection()) document_.closeUndoStep();
    document_.replace(from, selectionEnd(), converted, kind);
    // The caret moves without closing the typing step.
    placeAfterEdit(from + converted.size());
}

void TextCursor::type(const QString &text) {
    const bool several = text.toUcs4().size() > 1;
    if (several) document_.closeUndoStep();
    insert(text.toUtf8(), EditKind::Typing);
    if (several) document_.closeUndoStep();
}

QByteArray TextCursor::deleteTo(qsizetype position, EditKind kind) {
    const qsizetype from = std::min(position, anchor_);
    const qsizetype to = std::max(position, anchor_);
    if (from == to) return {};
    if (hasSelection()) {
        kind = EditKind::Other;
        document_.closeUndoStep();
    }
    QByteArray removed = document_.replace(from, to, {}, kind);
    placeAfterEdit(from);
    return removed;
}

QByteArray TextCursor::removeSelection() {
    return hasSelection() ? deleteTo(position_, EditKind::Other) : QByteArray();
}

bool TextCursor::moveSelection(qsizetype position) {
    const qsizetype from = selectionStart();
    if (position >= from && position <= selectionEnd()) return false;
    document_.beginJoinedStep();
    const QByteArray moved = removeSelection();
    if (position > from) position -= moved.size();
    setPosition(position);
    insert(moved);
    document_.endJoinedStep();
    select(position, position_);
    return true;
}

bool TextCursor::undo() {
    if (!document_.canUndo()) return false;
    placeAfterEdit(document_.undo());
    return true;
}

bool TextCursor::redo() {
    if (!document_.canRedo()) return false;
    placeAfterEdit(document_.redo());
    return true;
}

bool TextCursor::perform(const KeyCommand &command) {
    const bool extend = command.extend;
    const qsizetype line = document_.lineOf(position_);
    switch (command.action) {
        case TextAction::NextCharacter:
            // Without Shift, an arrow first collapses the selection to its edge.
            setPosition(
                !extend && hasSelection() ? selectionEnd() : nextGrapheme(document_, position_),
                extend);
            break;
        case TextAction::PreviousCharacter:
            setPosition(!extend && hasSelection() ? selectionStart()
                                                  : previousGrapheme(document_, position_),
                        extend);
            break;
        case TextAction::NextWord:
            setPosition(nextWordStop(document_, position_), extend);
            break;
        case TextAction::PreviousWord:
            setPosition(previousWordStop(document_, position_), extend);
            break;
        case TextAction::NextLine:
            moveLines(1, extend);
            break;
        case TextAction::PreviousLine:
            moveLines(-1, extend);
            break;
        case TextAction::LineStart:
            setPosition(document_.lineStart(line), extend);
            break;
        case TextAction::LineEnd:
            setPosition(document_.lineTextEnd(line), extend);
            break;
        case TextAction::DocumentStart:
            setPosition(0, extend);
            break;
        case TextAction::DocumentEnd:
            setPosition(document_.size(), extend);
            break;
        case TextAction::SelectAll:
            selectAll();
            break;
        case TextAction::Type:
            type(command.text);
            break;
        case TextAction::NewLine:
            insert(lineEndBytes(document_.lineEnd()), EditKind::Typing);
            break;
        case TextAction::Tab:
            insert("\t", EditKind::Typing);
            break;
        case TextAction::DeletePreviousCharacter:
            // Backspace takes back one character, not a whole cluster: an accent typed last goes
            // alone.
            deleteTo(hasSelection() ? position_ : document_.previousCharacter(position_),
                     EditKind::DeleteBackward);
            break;
        case TextAction::DeleteNextCharacter:
            deleteTo(hasSelection() ? position_ : nextGrapheme(document_, position_),
                     EditKind::DeleteForward);
            break;
        case TextAction::DeletePreviousWord:
            deleteTo(hasSelection() ? position_ : previousWordStop(document_, position_),
                     EditKind::Other);
            break;
        case TextAction::DeleteNextWord:
            deleteTo(hasSelection() ? position_ : nextWordStop(document_, position_),
                     EditKind::Other);
            break;
        case TextAction::Undo:
            undo();
            break;
        case TextAction::Redo:
            redo();
            break;
        case TextAction::NextPage:
        case TextAction::PreviousPage:
        case TextAction::Copy:
        case TextAction::Cut:
        case TextAction::Paste:
        case TextAction::ContextMenu:
            return false;
    }
    return true;
}
