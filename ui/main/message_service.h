#pragma once

#include <QString>

class QWidget;

// The platform's message box with a single OK button; it returns once the box is dismissed.
class MessageService {
public:
    enum class Icon { None, Warning };

    virtual ~MessageService() = default;
    virtual void show(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
};
