#include "ui/main/open_command.h"

#include "core/line_trim_loader.h"
#include "ui/main/application_title.h"
#include "ui/main/busy_cursor.h"
#include "ui/main/command_context.h"
#include "ui/main/common_dialog.h"
#include "ui/main/file_error_text.h"
#include "ui/main/message_service.h"
#include "ui/main/text_area.h"

void openCommand(const CommandContext &context) {
    const std::optional<QString> path = context.dialog.showOpen(&context.window);
    if (path) openFile(context, *path);
}

void openFile(const CommandContext &context, const QString &path) {
    FileError error;
    {
        BusyCursor busy;
        auto loaded = LineTrimLoader::load(path);
        if (auto *buffer = std::get_if<TextBuffer>(&loaded)) {
            context.text.setDocument(std::move(*buffer));
            context.dialog.setFileName(path);
            return;
        }
        error = std::get<FileError>(loaded);
    }
    context.messages.show(&context.window, MessageService::Icon::Warning, applicationTitle(),
                          QStringLiteral("无法打开文件：") + path + u'\n' + fileErrorText(error));
}
