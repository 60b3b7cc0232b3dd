#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QShortcut;

// The credits window. It stands in for the main window while it is open; going back, by its
// button, Esc or its frame, is announced with backRequested() and closes and deletes the window.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

signals:
    // Emitted while the window is closing, before it is hidden, so that the window to go back to
    // is shown first.
    void backRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createWidgets();
    void setUpWindow();
    void wire();

    QLabel *label1_ = nullptr;
    QLabel *label2_ = nullptr;
    QLabel *label3_ = nullptr;
    QLabel *label4_ = nullptr;
    QPushButton *command1_ = nullptr;
    QShortcut *escape_ = nullptr;
};
