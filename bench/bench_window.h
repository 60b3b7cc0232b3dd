#pragma once

#include <QString>

#include "scripted_services.h"
#include "ui/main/form1.h"

class QPushButton;
class TextArea;

// The real main window, shown on the current platform, with its dialogs answered by a script.
// Its commands run exactly as a click by a user runs them.
class BenchWindow {
public:
    BenchWindow();

    // Clicks Open with path chosen in the dialog and waits until the window has handled what the
    // click left behind. Throws if the window reports a problem instead of showing the text.
    void open(const QString &path);
    // Clicks Save with path chosen in the dialog; throws unless the completion message came.
    void save(const QString &path);

    TextArea &text() const { return *text_; }

private:
    void click(QPushButton &button, const QString &path);

    ScriptedFileDialogs dialogs_;
    RecordingMessages messages_;
    Form1 form_;
    TextArea *text_;
    QPushButton *command1_;
    QPushButton *command2_;
};
