#pragma once

#include "ui/main/file_dialog_service.h"

class QtFileDialogService final : public FileDialogService {
public:
    std::optional<QString> openFileName(QWidget *parent, const QString &startPath) override;
    std::optional<QString> saveFileName(QWidget *parent, const QString &startPath) override;
};
