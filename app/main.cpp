#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/application_setup.h"
#include "ui/main/form1.h"
#include "ui/main/qt_file_dialog_service.h"
#include "ui/main/qt_message_service.h"

namespace {

bool hasDisplay() {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char *argv[]) {
    if (!hasDisplay()) {
        std::fputs(
            "zerediz: no graphical display found; start it on a desktop, or without one "
            "as: xvfb-run make run\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    setUpApplication(app);

    QtFileDialogService dialogs;
    QtMessageService messages;
    Form1 form1(dialogs, messages);
    form1.show();
    return app.exec();
}
