#include <QApplication>
#include <memory>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "core/terminal/terminal.h"
#include "ui/main/form1.h"
#include "ui/main/platform_dialogs.h"

namespace {

// Without a display there is no window to show, but --help and --version are still answered.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char *argv[]) {
    if (hasDisplay()) return std::make_unique<QApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char *argv[]) {
    const std::unique_ptr<QCoreApplication> app = createApplication(argc, argv);
    setUpApplication(*app);

    const auto parsed = parseStartRequest(QCoreApplication::arguments());
    if (const auto *answer = std::get_if<CommandLineAnswer>(&parsed)) return printAnswer(*answer);
    if (!qobject_cast<QApplication *>(app.get())) {
        printText(Stream::Error,
                  QStringLiteral("zerediz：找不到图形显示；Zerediz 要在图形桌面上运行。\n"));
        return exit_status::kFailed;
    }

    QtPlatformDialogs dialogs;
    Form1 form1(dialogs);
    startMainWindow(form1, std::get<StartRequest>(parsed));
    return QCoreApplication::exec();
}
