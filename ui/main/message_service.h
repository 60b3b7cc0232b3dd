#pragma once

#include <QString>

class QWidget;

// The platform's message boxes, centred on the window they belong to. Each returns once it is
// dismissed.
class MessageService {
public:
    enum class Icon { None, Warning };
    enum class Answer { Save, Discard, Cancel };

    virtual ~MessageService() = default;
    // A box with a single OK button.
    virtual void show(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
    // A warning that asks whether to save first, with the buttons 保存, 不保存 and 取消. Esc and
    // the close box answer 取消.
    virtual Answer askToSave(QWidget *parent, const QString &title, const QString &text) = 0;
};
