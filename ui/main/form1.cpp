#include "ui/main/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <thread>

#include "core/browser/browser_location.h"
#include "core/files/file_error_text.h"
#include "core/pages/open_page.h"
#include "core/pages/save_page.h"
#include "core/site/site_copy.h"
#include "ui/about/form2.h"
#include "ui/main/common_dialog.h"
#include "ui/main/platform_dialogs.h"
#include "ui/main/site_job.h"
#include "ui/main/text_area.h"
#include "ui/twips.h"
#include "ui/window_placement.h"

namespace geometry {
constexpr QSize kClient = twipsSize(4605, 3195);
constexpr QRect kText1 = twipsRect(120, 120, 4335, 1695);
constexpr QRect kCommand1 = twipsRect(360, 2280, 1335, 495);
constexpr QRect kCommand2 = twipsRect(2760, 2280, 1335, 495);
}  // namespace geometry

namespace {

const QColor kBackground(0, 0, 128);

// Shows the wait cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Draws the whole window at once. A widget's repaint() redraws only what it paints itself, not
// the opaque children over it, and the area a closed dialog uncovers can lie over any of them.
void drawNow(QWidget &window) {
    window.repaint();
    for (QWidget *part : window.findChildren<QWidget *>()) part->repaint();
}

// What a drag of data would drop: one local file to open, or a folder or several files for a
// site job. Links that are not all local files, or a folder among other things, are refused; a
// file URL naming another host is not on this machine.
struct Dropped {
    QStringList paths;
    bool folder = false;
};

std::optional<Dropped> droppedFiles(const QMimeData &data) {
    Dropped dropped;
    for (const QUrl &url : data.urls()) {
        const bool local = url.isLocalFile() &&
                           (url.host().isEmpty() || url.host() == QStringLiteral("localhost"));
        const QString path = local ? url.toLocalFile() : QString();
        if (path.isEmpty()) return std::nullopt;
        dropped.folder = dropped.folder || QFileInfo(path).isDir();
        dropped.paths.append(path);
    }
    if (dropped.paths.isEmpty() || (dropped.folder && dropped.paths.size() > 1))
        return std::nullopt;
    return dropped;
}

// The name the question gives a folder: its own, or the whole path for a drive's root.
QString folderName(const QString &folder) {
    const QString name = QFileInfo(folder).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder) : name;
}

}  // namespace

Form1::Form1(PlatformDialogs &dialogs, QWidget *parent)
    : QMainWindow(parent),
      dialogs_(dialogs),
      commonDialog1_(new CommonDialog(dialogs, this)),
      text1_(new TextArea) {
    createWidgets();
    createMenu();
    createShortcuts();
    setUpWindow();
    acceptFileDrops();
    wire();
}

void Form1::openFile(const QString &path) {
    if (maybeSave()) loadFile(path);
}

void Form1::closeEvent(QCloseEvent *event) {
    // A job under way is stopped first, as 取消 stops it; the window closes once it is done.
    // A site being measured for its question is a moment's work: the window closes after it.
    if (measuring_) {
        event->ignore();
        closeAfterJob_ = true;
        return;
    }
    if (siteJob_) {
        event->ignore();
        if (!closeAfterJob_ &&
            dialogs_.askToStop(this, windowTitle(),
                               QStringLiteral("正在压缩网页。要停止并关闭窗口吗？"))) {
            closeAfterJob_ = true;
            siteJob_->cancel();
        }
        return;
    }
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

void Form1::createWidgets() {
    auto *client = new QWidget(this);
    client->setFixedSize(geometry::kClient);
    client->setAutoFillBackground(true);
    QPalette background = client->palette();
    background.setColor(QPalette::Window, kBackground);
    client->setPalette(background);
    setCentralWidget(client);

    commonDialog1_->setObjectName(QStringLiteral("CommonDialog1"));

    // Created in tab order: the text, then the two buttons.
    text1_->setParent(client);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(geometry::kText1);

    command1_ = new QPushButton(QStringLiteral("打开网页文件"), client);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(geometry::kCommand1);

    command2_ = new QPushButton(QStringLiteral("压缩并保存为"), client);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(geometry::kCommand2);

    // Enter clicks a focused button, as Space does, after the convention of the platform that
    // the window's design comes from.
    command1_->setAutoDefault(true);
    command2_->setAutoDefault(true);

    setTabOrder(text1_, command1_);
    setTabOrder(command1_, command2_);
    text1_->setFocus();
}

void Form1::createMenu() {
    QMenu *menu = menuBar()->addMenu(QStringLiteral("软件说明"));
    menu->setObjectName(QStringLiteral("MENU"));
    guanyu_ = menu->addAction(QStringLiteral("关于"));
    guanyu_->setObjectName(QStringLiteral("guanyu"));
}

// The captions carry no access keys; the usual keys of the two file commands stand in for them.
void Form1::createShortcuts() {
    openShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    saveShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
}

void Form1::setUpWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Zerediz"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The client area keeps its size; the window is that plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// Everywhere on the window: a drop on a button, the menu bar or the background reaches the
// window, and one on the text area its viewport, which would otherwise take it.
void Form1::acceptFileDrops() {
    for (QWidget *target : {static_cast<QWidget *>(this), text1_->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
}

void Form1::wire() {
    connect(command1_, &QPushButton::clicked, this, &Form1::openCommand);
    connect(command2_, &QPushButton::clicked, this, &Form1::saveCommand);
    connect(guanyu_, &QAction::triggered, this, &Form1::aboutCommand);
    connect(openShortcut_, &QShortcut::activated, command1_, &QPushButton::click);
    connect(saveShortcut_, &QShortcut::activated, command2_, &QPushButton::click);
}

void Form1::openCommand() {
    // Before the dialog, so that a page chosen is never left unopened.
    if (!maybeSave()) return;
    if (const std::optional<QString> path = commonDialog1_->showOpen(this)) loadFile(*path);
}

bool Form1::saveCommand() {
    std::optional<QString> path = commonDialog1_->showSave(this);
    // 否 brings the dialog back with the name it gave, so that a slip of the name can be mended.
    while (path && !mayReplace(*path)) path = commonDialog1_->showSave(this, *path);
    return path && saveFile(*path);
}

// The About window stands in for this one, centred on where this one stood; going back shows
// this one again at that place.
void Form1::aboutCommand() {
    if (!form2_) {
        form2_ = new Form2;
        connect(form2_, &Form2::backRequested, this,
                [this, place = geometry().topLeft()] { backFromAbout(place); });
    }
    centreOn(*form2_, *this);
    // The window to be seen comes first, so that there is never a moment with none.
    form2_->show();
    hide();
}

// The About window closes and deletes itself; forgetting it here makes the next aboutCommand()
// create a new one even before the old one is gone.
void Form1::backFromAbout(QPoint place) {
    showAt(*this, place);
    form2_.clear();
}

// Comes before the text is replaced or the window closes. Text changed since it was opened or
// saved is not dropped without a question; the caller may not go on after 取消 or a save that was
// cancelled or failed.
bool Form1::maybeSave() {
    if (!text1_->isModified()) return true;
    switch (dialogs_.askToSave(this, windowTitle(), QStringLiteral("文本已修改。要先保存吗？"))) {
        case PlatformDialogs::Answer::Save:
            return saveCommand();
        case PlatformDialogs::Answer::Discard:
            return true;
        case PlatformDialogs::Answer::Cancel:
            return false;
    }
    return false;
}

// Saving over the page shown, the one last opened or saved, is what the window is for and asks
// nothing; the dialog keeps exactly that page's name. Any other file that exists is replaced only
// once the user says so, however it is named: a link to the page is the page.
bool Form1::mayReplace(const QString &path) {
    const QFileInfo target(path);
    if (!target.exists() || target.isDir()) return true;
    const QString shown = commonDialog1_->fileName();
    if (!shown.isEmpty() && target == QFileInfo(shown)) return true;
    return dialogs_.askToReplace(this, windowTitle(),
                                 QStringLiteral("“%1”已存在。要替换它吗？").arg(target.fileName()));
}

// Every way in (the dialog, the command line, a dropped file) ends here, once typed text has been
// offered to be saved. A file that cannot be read is reported and leaves the text, the dialog's
// last name and the application as they were.
void Form1::loadFile(const QString &path) {
    FileError error;
    {
        BusyCursor busy;
        // The load keeps the event loop waiting; the window is drawn first, so that nothing of
        // a dialog just closed stays on it meanwhile.
        drawNow(*this);
        auto loaded = openPage(path);
        if (auto *buffer = std::get_if<TextBuffer>(&loaded)) {
            text1_->setDocument(std::move(*buffer));
            commonDialog1_->setFileName(path);
            // Laying out the new text is part of the wait: a page of one long line takes longer
            // to lay out than to load.
            text1_->repaint();
            return;
        }
        error = std::get<FileError>(loaded);
    }
    warn(cannotOpenText(path) + u'\n' + fileErrorText(error));
}

// A file that cannot be written is reported and keeps its old content; the text, the dialog's last
// name and the application stay as they were. Once saved, the text counts as unchanged.
bool Form1::saveFile(const QString &path) {
    WriteResult result;
    {
        BusyCursor busy;
        result = savePage(path, text1_->bytes(), text1_->encoding());
    }
    if (const auto *error = std::get_if<FileError>(&result)) {
        warn(cannotSaveText(path) + u'\n' + fileErrorText(*error));
        return false;
    }
    text1_->markSaved();
    commonDialog1_->setFileName(path);
    dialogs_.showMessage(this, PlatformDialogs::Icon::None, windowTitle(),
                         QStringLiteral("压缩完成：）"));
    // The text is saved; what the file has lost besides is worth a word of its own.
    if (const auto &lost = std::get<Written>(result).lostAttributes; !lost.isEmpty())
        warn(cannotKeepAttributesText(path) + u'\n' + lostAttributesText(lost));
    return true;
}

void Form1::warn(const QString &text) {
    dialogs_.showMessage(this, PlatformDialogs::Icon::Warning, windowTitle(), text);
}

// A drag that carries links is taken where they are a local file, a folder or several files;
// anything else is refused while the drag moves, so that the pointer shows it. Drags without links,
// text among them, are left to the widget.
bool Form1::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QMainWindow::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!drop->mimeData()->hasUrls()) return false;

    const std::optional<Dropped> dropped = droppedFiles(*drop->mimeData());
    // Taken only as a copy: a source offered nothing but a move would delete its file afterwards.
    if (!dropped || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    // Opened once the drop is over, so that the program the file came from is not kept waiting
    // while the file loads or an error is shown.
    if (type != QEvent::Drop) return true;
    const QStringList paths = dropped->paths;
    if (dropped->folder)
        QMetaObject::invokeMethod(
            this, [this, paths] { compressFolder(paths.first()); }, Qt::QueuedConnection);
    else if (paths.size() > 1)
        QMetaObject::invokeMethod(
            this, [this, paths] { compressPages(paths); }, Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(
            this, [this, paths] { openFile(paths.first()); }, Qt::QueuedConnection);
    return true;
}

// Walks the folder and reads the sizes on a thread of their own, so that the window keeps
// painting however slow the disk; input waits meanwhile, under the busy cursor.
std::variant<SiteSize, PlanRefusal> Form1::measureSite(const QStringList &paths) {
    BusyCursor busy;
    measuring_ = true;
    std::optional<std::variant<SiteSize, PlanRefusal>> measured;
    QEventLoop loop;
    std::jthread thread([&] {
        measured.emplace(::measureSite(paths));
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread.join();
    measuring_ = false;
    return std::move(*measured);
}

void Form1::compressFolder(const QString &folder) {
    runSiteJob({folder}, folder);
}

void Form1::compressPages(const QStringList &pages) {
    runSiteJob(pages, QFileInfo(pages.first()).absolutePath());
}

// One job at a time, under the handler that started it: the progress dialog is modal and keeps
// every other handler of this window waiting. Text1 and its document are never touched.
void Form1::runSiteJob(const QStringList &paths, const QString &folder) {
    if (siteJob_) return;
    const QString name = folderName(folder);
    const auto measured = measureSite(paths);
    if (closeAfterJob_) {
        closeAfterJob_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (const auto *refusal = std::get_if<PlanRefusal>(&measured)) {
        warn(refusal->reason);
        return;
    }
    const SiteSize &size = std::get<SiteSize>(measured);
    const qint64 pages = size.pages;
    const qint64 bytes = size.bytes;
    std::optional<FileError> unreadable;  // the folder itself
    if (size.unreadable && size.unreadable->folder == folder) unreadable = size.unreadable->why;
    if (pages == 0 && unreadable) {
        warn(cannotOpenText(folder) + u'\n' + fileErrorText(*unreadable));
        return;
    }
    if (pages == 0) {
        dialogs_.showMessage(this, PlatformDialogs::Icon::None, windowTitle(),
                             QStringLiteral("“%1”中没有网页。").arg(name));
        return;
    }
    const auto browser = findBrowser();
    const auto choice = dialogs_.askSiteJob(
        this, windowTitle(),
        QStringLiteral("压缩“%1”中的 %2 个网页（%3）？")
            .arg(name)
            .arg(pages)
            .arg(QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat)),
        std::holds_alternative<QString>(browser));
    if (choice.place == PlatformDialogs::SitePlace::Cancel) return;

    SiteTask task{paths, folder, {}, {}};
    if (choice.deep) task.level = TrimLevel::Deep;
    if (choice.verify && std::holds_alternative<QString>(browser))
        task.browser = std::get<QString>(browser);
    if (choice.place == PlatformDialogs::SitePlace::NewFolder) {
        const Result<QString> made = makeCopyFolder(folder);
        if (const auto *error = std::get_if<FileError>(&made)) {
            warn(cannotSaveText(QStringLiteral("%1-压缩").arg(folder)) + u'\n' +
                 fileErrorText(*error));
            return;
        }
        task.copy = std::get<QString>(made);
    }
    SiteJob job(std::move(task));
    siteJob_ = &job;
    job.start();
    dialogs_.showProgress(this, windowTitle(), job);
    job.wait();
    siteJob_ = nullptr;
    if (closeAfterJob_) {
        closeAfterJob_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    const SiteSummary &summary = job.summary();
    if (dialogs_.showSummary(this, windowTitle(), summaryText(summary),
                             summary.details.join(u'\n')))
        dialogs_.showFolder(job.task().copy.isEmpty() ? folder : job.task().copy);
}
