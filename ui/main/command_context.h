#pragma once

class CommonDialog;
class MessageService;
class QWidget;
class TextArea;

// What the file commands of the main window work with.
struct CommandContext {
    QWidget &window;
    CommonDialog &dialog;
    TextArea &text;
    MessageService &messages;
};
