#include "core/browser/running_browser.h"

#include <QDir>
#include <QThread>

#include "core/browser/render_tab.h"

namespace {

// What a browser closing by itself is given before it is ended, and how long its folder is tried
// to be removed for: on Windows a helper process may hold a file of it a moment longer.
constexpr int kClosingMilliseconds = 5000;
constexpr int kRemovalTries = 20;
// The run's folder, below the temporary one: the browser's profile and its temporary files in it.
const QString kFolder = QStringLiteral("/zerediz-XXXXXX");
const QString kProfile = QStringLiteral("profile");
const QString kTemporary = QStringLiteral("tmp");

QStringList browserArguments(const QString &profile) {
    return {
        QStringLiteral("--headless"),
        QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--user-data-dir=") + QDir::toNativeSeparators(profile),
        QStringLiteral("--window-size=%1,%2")
            .arg(RenderTab::kWindow.width())
            .arg(RenderTab::kWindow.height()),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--mute-audio"),
        QStringLiteral("about:blank"),
    };
}

}  // namespace

std::variant<std::unique_ptr<RunningBrowser>, BrowserError> RunningBrowser::start(
    const QString &program, int seconds, const std::function<bool()> &interrupted) {
    std::unique_ptr<RunningBrowser> browser(new RunningBrowser);
    BrowserError error;
    error.program = program;
    const QString root = BrowserProcess::temporaryRoot(kFolder.size() + 1 + kTemporary.size());
    const QTemporaryDir &folder = browser->folder_.emplace(root + kFolder);
    const QString profile = folder.filePath(kProfile);
    const QString temporary = folder.filePath(kTemporary);
    if (!folder.isValid() || !QDir().mkpath(profile) || !QDir().mkpath(temporary)) {
        error.kind = BrowserError::Kind::NotStarted;
        error.systemMessage = QStringLiteral("无法创建临时文件夹");
        return error;
    }
    const QString nativeTemporary = QDir::toNativeSeparators(temporary);
    auto started = BrowserProcess::start(
        program, browserArguments(profile),
        {QStringLiteral("TMPDIR=") + nativeTemporary, QStringLiteral("TMP=") + nativeTemporary,
         QStringLiteral("TEMP=") + nativeTemporary});
    if (auto *failure = std::get_if<BrowserError>(&started)) return *failure;
    browser->process_ = std::move(std::get<std::unique_ptr<BrowserProcess>>(started));
    browser->interrupted_ = interrupted;
    RunningBrowser *self = browser.get();
    browser->connection_ = std::make_unique<DevToolsConnection>(*browser->process_, [self] {
        return !self->closing_ && self->interrupted_ && self->interrupted_();
    });

    DevToolsConnection::Inbox inbox(*browser->connection_);
    const auto answer = browser->connection_->call(
        inbox, QStringLiteral("Browser.getVersion"), {}, {},
        std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
    if (const auto *silence = std::get_if<DevToolsConnection::Silence>(&answer)) {
        switch (*silence) {
            case DevToolsConnection::Silence::Gone:
                error.kind = BrowserError::Kind::Quit;
                browser->process_->waitForEnd(kClosingMilliseconds);
                error.exitStatus = browser->process_->howItEnded();
                break;
            case DevToolsConnection::Silence::TimeUp:
                error.kind = BrowserError::Kind::NoAnswer;
                error.seconds = seconds;
                break;
            case DevToolsConnection::Silence::Interrupted:
                error.kind = BrowserError::Kind::Interrupted;
                break;
        }
        return error;
    }
    return browser;
}

RunningBrowser::~RunningBrowser() {
    closing_ = true;
    if (connection_ && !connection_->gone()) {
        DevToolsConnection::Inbox inbox(*connection_);
        connection_->call(
            inbox, QStringLiteral("Browser.close"), {}, {},
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kClosingMilliseconds));
    }
    if (process_) {
        process_->waitForEnd(kClosingMilliseconds);
        process_->kill();
    }
    connection_.reset();
    process_.reset();
    for (int tries = 1;
         folder_ && folder_->isValid() && !folder_->remove() && tries < kRemovalTries; ++tries)
        QThread::msleep(100);
}
