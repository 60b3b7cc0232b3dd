#include "ui/text/text_keys.h"

#include <QKeyEvent>
#include <algorithm>

namespace {

struct StandardBinding {
    QKeySequence::StandardKey key;
    TextAction action;
    bool extend;
};

constexpr StandardBinding kStandard[] = {
    {QKeySequence::MoveToNextChar, TextAction::NextCharacter, false},
    {QKeySequence::SelectNextChar, TextAction::NextCharacter, true},
    {QKeySequence::MoveToPreviousChar, TextAction::PreviousCharacter, false},
    {QKeySequence::SelectPreviousChar, TextAction::PreviousCharacter, true},
    {QKeySequence::MoveToNextWord, TextAction::NextWord, false},
    {QKeySequence::SelectNextWord, TextAction::NextWord, true},
    {QKeySequence::MoveToPreviousWord, TextAction::PreviousWord, false},
    {QKeySequence::SelectPreviousWord, TextAction::PreviousWord, true},
    {QKeySequence::MoveToNextLine, TextAction::NextLine, false},
    {QKeySequence::SelectNextLine, TextAction::NextLine, true},
    {QKeySequence::MoveToPreviousLine, TextAction::PreviousLine, false},
    {QKeySequence::SelectPreviousLine, TextAction::PreviousLine, true},
    {QKeySequence::MoveToNextPage, TextAction::NextPage, false},
    {QKeySequence::SelectNextPage, TextAction::NextPage, true},
    {QKeySequence::MoveToPreviousPage, TextAction::PreviousPage, false},
    {QKeySequence::SelectPreviousPage, TextAction::PreviousPage, true},
    {QKeySequence::MoveToStartOfLine, TextAction::LineStart, false},
    {QKeySequence::SelectStartOfLine, TextAction::LineStart, true},
    {QKeySequence::MoveToEndOfLine, TextAction::LineEnd, false},
    {QKeySequence::SelectEndOfLine, TextAction::LineEnd, true},
    {QKeySequence::MoveToStartOfDocument, TextAction::DocumentStart, false},
    {QKeySequence::SelectStartOfDocument, TextAction::DocumentStart, true},
    {QKeySequence::MoveToEndOfDocument, TextAction::DocumentEnd, false},
    {QKeySequence::SelectEndOfDocument, TextAction::DocumentEnd, true},
    {QKeySequence::SelectAll, TextAction::SelectAll, false},
    {QKeySequence::Copy, TextAction::Copy, false},
    {QKeySequence::InsertParagraphSeparator, TextAction::NewLine, false},
    {QKeySequence::InsertLineSeparator, TextAction::NewLine, false},
    {QKeySequence::Delete, TextAction::DeleteNextCharacter, false},
    {QKeySequence::DeleteStartOfWord, TextAction::DeletePreviousWord, false},
    {QKeySequence::DeleteEndOfWord, TextAction::DeleteNextWord, false},
    {QKeySequence::Undo, TextAction::Undo, false},
    {QKeySequence::Redo, TextAction::Redo, false},
    {QKeySequence::Cut, TextAction::Cut, false},
    {QKeySequence::Paste, TextAction::Paste, false},
};

// Keys taken before the platform's: those people bring from other systems (on X11 desktops Redo
// is Ctrl+Shift+Z alone), and Backspace, which the platforms' tables leave to each widget.
const std::pair<QKeyCombination, TextAction> kOwn[] = {
    {Qt::CTRL | Qt::Key_Y, TextAction::Redo},
    {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, TextAction::Redo},
    {Qt::CTRL | Qt::Key_Tab, TextAction::Tab},
    {Qt::SHIFT | Qt::Key_F10, TextAction::ContextMenu},
    {QKeyCombination(Qt::Key_Backspace), TextAction::DeletePreviousCharacter},
    {Qt::SHIFT | Qt::Key_Backspace, TextAction::DeletePreviousCharacter},
};

// Text a key types: none from a key with Ctrl or a control character, as Escape carries.
bool typesText(const QKeyEvent &key) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier) || key.text().isEmpty())
        return false;
    const QString text = key.text();
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}

}  // namespace

PlatformKeys &platformKeys() {
    static PlatformKeys keys;
    return keys;
}

std::optional<KeyCommand> keyCommand(const QKeyEvent &key) {
    const QKeySequence pressed(QKeyCombination(
        key.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier), Qt::Key(key.key())));
    for (const auto &[combination, action] : kOwn) {
        if (pressed == QKeySequence(combination)) return KeyCommand{action, false, {}};
    }
    for (const StandardBinding &binding : kStandard) {
        if (platformKeys().bindings(binding.key).contains(pressed))
            return KeyCommand{binding.action, binding.extend, {}};
    }
    if (typesText(key)) return KeyCommand{TextAction::Type, false, key.text()};
    return std::nullopt;
}

QList<QKeySequence> keysFor(TextAction action) {
    QList<QKeySequence> keys;
    for (const auto &[combination, own] : kOwn) {
        if (own == action) keys.append(QKeySequence(combination));
    }
    for (const StandardBinding &binding : kStandard) {
        if (binding.action != action || binding.extend) continue;
        for (const QKeySequence &sequence : platformKeys().bindings(binding.key)) {
            if (!keys.contains(sequence)) keys.append(sequence);
        }
    }
    return keys;
}
