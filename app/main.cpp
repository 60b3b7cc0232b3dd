#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "ui/main/form1.h"
#include "ui/main/platform_dialogs.h"

namespace {

bool hasDisplay() {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// Without a display there is no window to show, but --help and --version are still answered.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[]) {
    if (hasDisplay()) return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char *argv[]) {
    const std::unique_ptr<QCoreApplication> app = createApplication(argc, argv);
    setUpApplication(*app);

    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    switch (commandLine.action) {
        case CommandLine::Action::Answer:
            std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
            return 0;
        case CommandLine::Action::Refuse:
            std::fputs(commandLine.text.toLocal8Bit().constData(), stderr);
            return CommandLine::kUsageError;
        case CommandLine::Action::Start:
            break;
    }
    if (!qobject_cast<QApplication *>(app.get())) {
        std::fputs("zerediz：找不到图形显示；Zerediz 要在图形桌面上运行。\n", stderr);
        return 1;
    }

    QtPlatformDialogs dialogs;
    Form1 form1(dialogs);
    startMainWindow(form1, commandLine);
    return QCoreApplication::exec();
}
