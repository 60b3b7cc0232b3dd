#pragma once

#include <QMainWindow>
#include <QPointer>

#include "ui/main/command_context.h"

class CommonDialog;
class FileDialogService;
class Form2;
class MessageService;
class QPushButton;
class TextArea;

// The main window: the document, a button for each file command and the About menu.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    Form1(FileDialogService &dialogs, MessageService &messages, QWidget *parent = nullptr);

private:
    void createWidgets();
    void createMenu();
    void setUpWindow();
    void wire();

    CommonDialog *commonDialog1_;
    TextArea *text1_;
    QPushButton *command1_ = nullptr;
    QPushButton *command2_ = nullptr;
    QAction *guanyu_ = nullptr;
    CommandContext commands_;
    QPointer<Form2> form2_;
};
