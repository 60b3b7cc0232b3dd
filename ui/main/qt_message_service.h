#pragma once

#include "ui/main/message_service.h"

class QtMessageService final : public MessageService {
public:
    void show(QWidget *parent, Icon icon, const QString &title, const QString &text) override;
    Answer askToSave(QWidget *parent, const QString &title, const QString &text) override;
};
