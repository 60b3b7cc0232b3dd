#include "ui/main/save_command.h"

#include "core/file_error_text.h"
#include "core/text_writer.h"
#include "ui/main/application_title.h"
#include "ui/main/busy_cursor.h"
#include "ui/main/command_context.h"
#include "ui/main/common_dialog.h"
#include "ui/main/message_service.h"
#include "ui/main/text_area.h"

bool saveCommand(const CommandContext &context) {
    const std::optional<QString> path = context.dialog.showSave(&context.window);
    if (!path) return false;

    WriteResult result;
    {
        BusyCursor busy;
        result = savePage(*path, context.text.bytes(), context.text.encoding());
    }
    if (const auto *error = std::get_if<FileError>(&result)) {
        context.messages.show(&context.window, MessageService::Icon::Warning, applicationTitle(),
                              cannotSaveText(*path) + u'\n' + fileErrorText(*error));
        return false;
    }
    context.text.markSaved();
    context.dialog.setFileName(*path);
    context.messages.show(&context.window, MessageService::Icon::None, applicationTitle(),
                          QStringLiteral("压缩完成：）"));
    // The text is saved; what the file has lost besides is worth a word of its own.
    if (const auto &lost = std::get<Written>(result).lostAttributes; !lost.isEmpty())
        context.messages.show(&context.window, MessageService::Icon::Warning, applicationTitle(),
                              cannotKeepAttributesText(*path) + u'\n' + lostAttributesText(lost));
    return true;
}

bool offerToSave(const CommandContext &context) {
    if (!context.text.isModified()) return true;
    switch (context.messages.askToSave(&context.window, applicationTitle(),
                                       QStringLiteral("文本已修改。要先保存吗？"))) {
        case MessageService::Answer::Save:
            return saveCommand(context);
        case MessageService::Answer::Discard:
            return true;
        case MessageService::Answer::Cancel:
            return false;
    }
    return false;
}
