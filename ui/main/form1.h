#pragma once

#include <QMainWindow>
#include <QPointer>

#include "ui/main/command_context.h"

class CommonDialog;
class FileDialogService;
class FileDrop;
class Form2;
class MessageService;
class QPushButton;
class QShortcut;
class TextArea;

// The main window: the document, a button for each file command and the About menu. A local
// file dropped anywhere on it is opened; Ctrl+O and Ctrl+S click the buttons. Text typed since
// it was opened or saved is offered to be saved before another page replaces it or the window
// closes.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    Form1(FileDialogService &dialogs, MessageService &messages, QWidget *parent = nullptr);

    // Opens the file at path, an absolute path, as if it had been chosen in the Open dialog.
    void openFile(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createWidgets();
    void createMenu();
    void createShortcuts();
    void setUpWindow();
    void acceptFileDrops();
    void wire();

    CommonDialog *commonDialog1_;
    TextArea *text1_;
    QPushButton *command1_ = nullptr;
    QPushButton *command2_ = nullptr;
    QAction *guanyu_ = nullptr;
    QShortcut *openShortcut_ = nullptr;
    QShortcut *saveShortcut_ = nullptr;
    FileDrop *fileDrop_ = nullptr;
    CommandContext commands_;
    QPointer<Form2> form2_;
};
