#include "cold_open.h"

#include <sys/prctl.h>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <variant>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "scripted_dialogs.h"
#include "ui/main/form1.h"
#include "ui/main/text_area.h"

namespace {

constexpr int kPatienceMs = 60'000;

// On Linux the steady clock is CLOCK_MONOTONIC, one clock for every process of the machine, so a
// moment read in the child can be set against one read in the parent.
long long steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Notes when the text area has drawn a document that holds text, or anything at all when none is
// expected. The moment is taken once the event loop is back, so that the paint and the rest of the
// open (the backing store put on the screen, the cursor restored) count.
class TextPaintWatch : public QObject {
public:
    TextPaintWatch(TextArea &text, bool expectText) : text_(text), expectText_(expectText) {
        text.viewport()->installEventFilter(this);
    }

    long long shownAt() const { return shownAt_; }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint && !seen_ &&
            (!expectText_ || !text_.bytes().isEmpty())) {
            seen_ = true;
            QMetaObject::invokeMethod(
                this, [this] { shownAt_ = steadyNanoseconds(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    TextArea &text_;
    bool expectText_;
    bool seen_ = false;
    long long shownAt_ = 0;
};

bool hugePagesOff() {
    return ::prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) == 1;
}

// The flag belongs to an address space: a new process copies it and exec keeps it. It is set here,
// around the start, and not in the child before its exec: QProcess may run the child in this
// process's address space until the exec, and the flag would stay with this process.
class HugePagesOffForNewProcesses {
public:
    explicit HugePagesOffForNewProcesses(HugePages hugePages) : set_(hugePages == HugePages::Off) {
        if (set_ && ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0)
            throw std::runtime_error("cannot turn huge pages off");
    }
    ~HugePagesOffForNewProcesses() {
        if (set_) ::prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
    }
    HugePagesOffForNewProcesses(const HugePagesOffForNewProcesses &) = delete;
    HugePagesOffForNewProcesses &operator=(const HugePagesOffForNewProcesses &) = delete;

private:
    bool set_;
};

}  // namespace

int runColdOpenChild(QApplication &app, const QString &path) {
    setUpApplication(app);
    QStringList arguments{QCoreApplication::applicationFilePath()};
    if (!path.isEmpty()) arguments.append(path);
    const auto parsed = parseStartRequest(arguments);
    const auto *request = std::get_if<StartRequest>(&parsed);
    if (!request) throw std::runtime_error("the command line was refused");

    // A failed open is recorded, not shown in a box that would wait for a click.
    ScriptedDialogs dialogs;
    Form1 form1(dialogs);
    auto *text = form1.findChild<TextArea *>(QStringLiteral("Text1"));
    if (!text) throw std::runtime_error("the main window has no Text1");
    TextPaintWatch watch(*text, request->file.has_value());
    startMainWindow(form1, *request);

    QElapsedTimer waited;
    waited.start();
    while (watch.shownAt() == 0) {
        if (!dialogs.shown.isEmpty())
            throw std::runtime_error("open failed: " + dialogs.shown.last().text.toStdString());
        if (waited.elapsed() > kPatienceMs) throw std::runtime_error("the window did not paint");
        QEventLoop().processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    std::printf("%lld %d\n", watch.shownAt(), hugePagesOff() ? 1 : 0);
    return 0;
}

double coldOpenSeconds(const QString &path, HugePages hugePages) {
    QProcess child;
    QStringList arguments{QString::fromLatin1(kColdOpenChildFlag)};
    if (!path.isEmpty()) arguments.append(path);
    long long started = 0;
    {
        // As a wrapper that turns them off before it execs the program would start it.
        const HugePagesOffForNewProcesses noHugePages(hugePages);
        started = steadyNanoseconds();
        child.start(QCoreApplication::applicationFilePath(), arguments);
    }
    if (hugePagesOff()) throw std::runtime_error("huge pages stayed off for the bench itself");
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        throw std::runtime_error("the cold open child failed on " + path.toStdString() + ": " +
                                 child.readAllStandardError().toStdString());

    const QList<QByteArray> answer = child.readAllStandardOutput().trimmed().split(' ');
    bool ok = answer.size() == 2;
    const long long shown = ok ? answer[0].toLongLong(&ok) : 0;
    if (!ok || shown <= started) throw std::runtime_error("the cold open child printed no moment");
    if ((answer[1] == "1") != (hugePages == HugePages::Off))
        throw std::runtime_error("the cold open child's huge pages were not as asked");
    return static_cast<double>(shown - started) / 1e9;
}
