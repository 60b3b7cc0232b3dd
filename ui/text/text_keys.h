#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <optional>

class QKeyEvent;

// What the keys of a text area ask for.
enum class TextAction {
    // Moves of the caret; with Shift, each extends the selection.
    NextCharacter,
    PreviousCharacter,
    NextWord,
    PreviousWord,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
    LineStart,
    LineEnd,
    DocumentStart,
    DocumentEnd,
    SelectAll,
    Copy,
    ContextMenu,
    // Edits, from here on.
    Type,
    NewLine,
    Tab,
    DeletePreviousCharacter,
    DeleteNextCharacter,
    DeletePreviousWord,
    DeleteNextWord,
    Undo,
    Redo,
    Cut,
    Paste,
};

inline bool changesText(TextAction action) {
    return action >= TextAction::Type;
}

// A key event read: what it asks for, whether it extends the selection, and the text it types.
struct KeyCommand {
    TextAction action = TextAction::Type;
    bool extend = false;
    QString text;
};

// The platform's keys, and beside them the ones people bring from other systems: Ctrl+Y and
// Ctrl+Shift+Z redo, Ctrl+Tab types a tab (Tab moves the focus), Shift+F10 opens the context menu.
// A key that carries text and no Ctrl types it.
std::optional<KeyCommand> keyCommand(const QKeyEvent &key);
// The keys that ask for an action without Shift; the first is the one to show beside it.
QList<QKeySequence> keysFor(TextAction action);

// The platform's standard keys as the text area reads them. One seam, so that the keys can be tried
// under another platform's bindings than the one the tests run on.
struct PlatformKeys {
    QList<QKeySequence> (*bindings)(QKeySequence::StandardKey) = &QKeySequence::keyBindings;
};
PlatformKeys &platformKeys();
