#include "ui/main/open_command.h"

#include "core/file_error_text.h"
#include "core/line_trim_loader.h"
#include "ui/main/application_title.h"
#include "ui/main/busy_cursor.h"
#include "ui/main/command_context.h"
#include "ui/main/common_dialog.h"
#include "ui/main/message_service.h"
#include "ui/main/save_command.h"
#include "ui/main/text_area.h"

namespace {

// Draws the whole window at once. A widget's repaint() redraws only what it paints itself, not
// the opaque children over it, and the area a closed dialog uncovers can lie over any of them.
void drawNow(QWidget &window) {
    window.repaint();
    for (QWidget *part : window.findChildren<QWidget *>()) part->repaint();
}

}  // namespace

void openCommand(const CommandContext &context) {
    // Before the dialog, so that a page chosen is never left unopened.
    if (!offerToSave(context)) return;
    const std::optional<QString> path = context.dialog.showOpen(&context.window);
    if (path) openFile(context, *path);
}

void openFile(const CommandContext &context, const QString &path) {
    FileError error;
    {
        BusyCursor busy;
        // The load keeps the event loop waiting; the window is drawn first, so that nothing of
        // a dialog just closed stays on it meanwhile.
        drawNow(context.window);
        auto loaded = openPage(path);
        if (auto *buffer = std::get_if<TextBuffer>(&loaded)) {
            context.text.setDocument(std::move(*buffer));
            context.dialog.setFileName(path);
            // Laying out the new text is part of the wait: a page of one long line takes longer
            // to lay out than to load.
            context.text.repaint();
            return;
        }
        error = std::get<FileError>(loaded);
    }
    context.messages.show(&context.window, MessageService::Icon::Warning, applicationTitle(),
                          cannotOpenText(path) + u'\n' + fileErrorText(error));
}
