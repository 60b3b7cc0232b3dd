#include "ui/text/text_context_menu.h"

#include <QAction>
#include <QMenu>

#include "ui/text/text_clipboard.h"
#include "ui/text/text_editor.h"
#include "ui/text/text_keys.h"

TextContextMenu::TextContextMenu(TextEditor &editor) : editor_(editor) {
    const auto create = [this](TextMenuCommand command, const QString &text, auto slot) {
        auto *action = new QAction(text, &editor_);
        action->setShortcutVisibleInContextMenu(true);
        QObject::connect(action, &QAction::triggered, &editor_, slot);
        actions_[std::size_t(command)] = action;
    };
    create(TextMenuCommand::Undo, TextEditor::tr("Undo"), &TextEditor::undo);
    create(TextMenuCommand::Redo, TextEditor::tr("Redo"), &TextEditor::redo);
    create(TextMenuCommand::Cut, TextEditor::tr("Cut"), &TextEditor::cut);
    create(TextMenuCommand::Copy, TextEditor::tr("Copy"), &TextEditor::copy);
    create(TextMenuCommand::Paste, TextEditor::tr("Paste"), &TextEditor::paste);
    create(TextMenuCommand::Delete, TextEditor::tr("Delete"), &TextEditor::deleteSelection);
    create(TextMenuCommand::SelectAll, TextEditor::tr("Select All"), &TextEditor::selectAll);
}

QMenu *TextContextMenu::create() const {
    const bool editable = !editor_.isReadOnly();
    const bool selection = editor_.hasSelection();
    const TextDocument &document = editor_.document();
    const auto prepare = [this](TextMenuCommand command, TextAction keys, bool enabled) {
        QAction *item = action(command);
        item->setShortcuts(keysFor(keys));
        item->setEnabled(enabled);
    };
    prepare(TextMenuCommand::Undo, TextAction::Undo, editable && document.canUndo());
    prepare(TextMenuCommand::Redo, TextAction::Redo, editable && document.canRedo());
    prepare(TextMenuCommand::Cut, TextAction::Cut, editable && selection);
    prepare(TextMenuCommand::Copy, TextAction::Copy, selection);
    prepare(TextMenuCommand::Paste, TextAction::Paste, editable && clipboardBytes().has_value());
    prepare(TextMenuCommand::Delete, TextAction::DeleteNextCharacter, editable && selection);
    prepare(TextMenuCommand::SelectAll, TextAction::SelectAll, document.size() > 0);
    auto *menu = new QMenu(&editor_);
    menu->addActions({action(TextMenuCommand::Undo), action(TextMenuCommand::Redo)});
    menu->addSeparator();
    menu->addActions({action(TextMenuCommand::Cut), action(TextMenuCommand::Copy),
                      action(TextMenuCommand::Paste), action(TextMenuCommand::Delete)});
    menu->addSeparator();
    menu->addAction(action(TextMenuCommand::SelectAll));
    return menu;
}
