#include "bench_window.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <stdexcept>

#include "ui/main/text_area.h"

namespace {

template <typename Child>
Child *requireChild(const QObject &parent, const char *name) {
    auto *child = parent.findChild<Child *>(QString::fromLatin1(name));
    if (!child) throw std::runtime_error(std::string("the main window has no ") + name);
    return child;
}

}  // namespace

BenchWindow::BenchWindow()
    : form_(dialogs_),
      text_(requireChild<TextArea>(form_, "Text1")),
      paints_(*text_->viewport()),
      command1_(requireChild<QPushButton>(form_, "Command1")),
      command2_(requireChild<QPushButton>(form_, "Command2")) {
    form_.show();
    QCoreApplication::processEvents();
}

void BenchWindow::click(QPushButton &button, const QString &path) {
    dialogs_.shown.clear();
    dialogs_.files = {path};
    button.click();
    // Whatever the command posted (repaints, layout of the new text) belongs to its cost.
    QCoreApplication::processEvents();
}

void BenchWindow::open(const QString &path) {
    paints_.expect();
    click(*command1_, path);
    if (!dialogs_.shown.isEmpty())
        throw std::runtime_error("open failed: " + dialogs_.shown.last().text.toStdString());
    paints_.wait();
}

void BenchWindow::press(int key, Qt::KeyboardModifiers modifiers, const QString &text) {
    paints_.expect();
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(text_, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(text_, &release);
    paints_.wait();
}

void BenchWindow::save(const QString &path) {
    click(*command2_, path);
    if (dialogs_.shown.size() != 1 || dialogs_.shown.last().icon != PlatformDialogs::Icon::None)
        throw std::runtime_error("save failed: " + dialogs_.shown.value(0).text.toStdString());
}

void BenchWindow::moveCaretTo(qsizetype position) {
    paints_.expect();
    text_->setCaret(position);
    text_->viewport()->update();
    paints_.wait();
}
