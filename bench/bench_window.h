#pragma once

#include <QString>

#include "paint_watch.h"
#include "scripted_dialogs.h"
#include "ui/main/form1.h"

class QPushButton;
class TextArea;

// The real main window, shown on the current platform, with its dialogs answered by a script.
// Its commands run exactly as a click by a user runs them.
class BenchWindow {
public:
    BenchWindow();

    // Clicks Open with path chosen in the dialog and waits until the text area has drawn the new
    // text and the window has handled what the click left behind. Throws if the window reports a
    // problem instead of showing the text.
    void open(const QString &path);
    // Clicks Save with path chosen in the dialog; throws unless the completion message came.
    void save(const QString &path);

    // Sends a key press and its release to the text area, as typing does, and waits until the
    // area has drawn what the key changed. text is what the key types, if anything.
    void press(int key, Qt::KeyboardModifiers modifiers, const QString &text = {});

    // Puts the text area's caret at position and waits until the area has drawn it there.
    void moveCaretTo(qsizetype position);

    TextArea &text() const { return *text_; }

private:
    void click(QPushButton &button, const QString &path);

    ScriptedDialogs dialogs_;
    Form1 form_;
    TextArea *text_;
    PaintWatch paints_;
    QPushButton *command1_;
    QPushButton *command2_;
};
