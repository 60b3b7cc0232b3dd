#pragma once

#include <array>

class QAction;
class QMenu;
class TextEditor;

// The commands of a text area's context menu.
enum class TextMenuCommand { Undo, Redo, Cut, Copy, Paste, Delete, SelectAll };

// The context menu of a text area, as QWidgetTextControl makes QPlainTextEdit's: an action for
// each command, which the area's owner may name, and a menu of them made as it opens, each item
// enabled where it can do something and showing the key that does the same, as the platform binds
// it then.
class TextContextMenu {
public:
    explicit TextContextMenu(TextEditor &editor);

    QAction *action(TextMenuCommand command) const { return actions_[std::size_t(command)]; }
    // A menu of the actions as they stand now, which the caller owns.
    QMenu *create() const;

private:
    TextEditor &editor_;
    std::array<QAction *, 7> actions_{};
};
