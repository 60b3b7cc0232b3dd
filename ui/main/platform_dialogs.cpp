#include "ui/main/platform_dialogs.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/main/site_job.h"
#include "ui/window_placement.h"

namespace {

// The file list of the file dialogs, with its sizes and dates in the application's language.
// Qt's file model writes them in the language of the system's locale, whatever language the
// application has chosen, so on most machines they would come out in English.
class LocalizedFileListModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override {
        // The columns of QFileSystemModel.
        enum Column { kName, kSize, kType, kDateModified };
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        switch (index.column()) {
            case kSize:
                if (files->isDir(source)) return QString();
                return QLocale().formattedDataSize(files->size(source));
            case kDateModified:
                return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
            default:
                return QIdentityProxyModel::data(index, role);
        }
    }
};

// Room for a file's size, type and date in Chinese beside a long name; Qt's own widths cut them.
void widenColumns(QFileDialog &dialog) {
    const int line = dialog.fontMetrics().height();
    dialog.resize(dialog.sizeHint().expandedTo(QSize(50 * line, 28 * line)));
    if (auto *list = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = list->header();
        header->resizeSection(0, 18 * line);
        header->resizeSection(1, 6 * line);
        header->resizeSection(2, 8 * line);
        header->resizeSection(3, 9 * line);
    }
}

std::optional<QString> runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode,
                                     const QString &startPath) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // Any name is taken as typed: no must-exist check, no default extension, no overwrite
    // question. Qt's own dialog rather than the desktop's, so that it speaks the application's
    // language and not the desktop's.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setProxyModel(new LocalizedFileListModel(&dialog));
    widenColumns(dialog);
    if (parent) centreOn(dialog, *parent->window());
    if (!startPath.isEmpty()) dialog.selectFile(startPath);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

// A box is as wide as its text needs, and a short text leaves a window manager too little room
// for the title. Window managers draw titles in bold, and beside them an icon and up to three
// buttons with gaps around each; openbox shows a (dead) maximise button beside the minimise
// button of every window that has one, and cut "Zerediz" short in a box a line height narrower.
void makeRoomForTitle(QWidget &box, const QString &title) {
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid) return;
    QFont bold = box.font();
    bold.setBold(true);
    const int width =
        QFontMetrics(bold).horizontalAdvance(title) + 7 * QFontMetrics(box.font()).height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

// A message box takes its size only as it is shown, after Qt has placed it; Qt's own place is a
// title bar's height too high under some window managers, and in a corner of the screen while
// the window it belongs to has not been placed yet.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override {
        QMessageBox::showEvent(event);
        if (QWidget *owner = parentWidget()) centreOn(*this, *owner->window());
    }
};

// The question before a site job: its text, a check box for each choice and the three buttons,
// laid out as a message box lays out its own, which holds one check box only. Esc and the close
// box stand for 取消. 深度压缩 starts unticked each time it is asked, since it is never the
// default.
class SiteQuestion : public QDialog {
public:
    SiteQuestion(QWidget *parent, const QString &title, const QString &text, bool offerVerify)
        : QDialog(parent) {
        setWindowTitle(title);
        auto *grid = new QGridLayout(this);
        auto *icon = new QLabel(this);
        const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(
            style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(iconSize));
        auto *label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
        grid->addWidget(label, 0, 1);
        if (offerVerify) {
            verify_ = new QCheckBox(QStringLiteral("在浏览器中核对每个网页"), this);
            verify_->setChecked(true);
            grid->addWidget(verify_, 1, 1);
        }
        deep_ = new QCheckBox(QStringLiteral("深度压缩（也去掉行首行尾的制表符和空行）"), this);
        grid->addWidget(deep_, 2, 1);
        auto *buttons = new QDialogButtonBox(this);
        newFolder_ =
            buttons->addButton(QStringLiteral("压缩到新文件夹"), QDialogButtonBox::AcceptRole);
        inPlace_ = buttons->addButton(QStringLiteral("原地压缩"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        newFolder_->setDefault(true);
        grid->addWidget(buttons, 3, 0, 1, 2);
        connect(buttons, &QDialogButtonBox::clicked, this, [this](QAbstractButton *button) {
            clicked_ = button;
            button == newFolder_ || button == inPlace_ ? accept() : reject();
        });
        makeRoomForTitle(*this, title);
    }

    PlatformDialogs::SiteChoice choice() const {
        PlatformDialogs::SiteChoice choice;
        if (clicked_ == newFolder_) choice.place = PlatformDialogs::SitePlace::NewFolder;
        if (clicked_ == inPlace_) choice.place = PlatformDialogs::SitePlace::InPlace;
        choice.verify = verify_ && verify_->isChecked();
        choice.deep = deep_->isChecked();
        return choice;
    }

protected:
    void showEvent(QShowEvent *event) override {
        QDialog::showEvent(event);
        if (QWidget *owner = parentWidget()) centreOn(*this, *owner->window());
    }

private:
    QCheckBox *verify_ = nullptr;
    QCheckBox *deep_;
    QPushButton *newFolder_;
    QPushButton *inPlace_;
    QAbstractButton *clicked_ = nullptr;
};

// How far a site job is: the count, a bar, how fast and how long the rest takes once the job can
// tell, the page under way, and 取消. Esc and the close box stand for 取消; the dialog goes only
// once the job is finished.
class SiteProgressDialog : public QDialog {
public:
    SiteProgressDialog(QWidget *parent, const QString &title, SiteJob &job)
        : QDialog(parent), job_(job) {
        setWindowTitle(title);
        setWindowModality(Qt::WindowModal);
        auto *layout = new QVBoxLayout(this);
        count_ = new QLabel(QStringLiteral("正在准备……"), this);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 0);
        pace_ = new QLabel(this);
        // A line of its own from the start, so that the dialog keeps its size once it shows.
        pace_->setMinimumHeight(fontMetrics().height());
        page_ = new QLabel(this);
        page_->setTextFormat(Qt::PlainText);
        page_->setMinimumWidth(30 * fontMetrics().height());
        auto *buttons = new QDialogButtonBox(this);
        cancel_ = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
        for (QWidget *part : {static_cast<QWidget *>(count_), static_cast<QWidget *>(bar_),
                              static_cast<QWidget *>(pace_), static_cast<QWidget *>(page_),
                              static_cast<QWidget *>(buttons)})
            layout->addWidget(part);
        connect(cancel_, &QPushButton::clicked, this, &SiteProgressDialog::reject);
        connect(&job, &SiteJob::progressed, this, &SiteProgressDialog::showProgress);
        connect(&job, &SiteJob::finished, this, &QDialog::accept);
    }

    void reject() override {
        job_.cancel();
        cancel_->setEnabled(false);
        count_->setText(QStringLiteral("正在停止：正在写入的网页写完就停。"));
    }

    int exec() override {
        if (job_.isFinished()) return Accepted;
        return QDialog::exec();
    }

protected:
    void showEvent(QShowEvent *event) override {
        QDialog::showEvent(event);
        if (QWidget *owner = parentWidget()) centreOn(*this, *owner->window());
    }

private:
    void showProgress(qsizetype done, qsizetype total, const QString &page, const QString &pace) {
        if (!cancel_->isEnabled()) return;
        pace_->setText(!pace.isEmpty() || total == 0 || done >= total
                           ? pace
                           : QStringLiteral("正在估计剩余时间……"));
        if (total == 0) {
            count_->setText(QStringLiteral("正在复制其他文件……"));
            page_->setText(page);
            return;
        }
        count_->setText(QStringLiteral("已完成 %1 / %2 个网页").arg(done).arg(total));
        bar_->setRange(0, int(qMin<qsizetype>(total, INT_MAX)));
        bar_->setValue(int(qMin<qsizetype>(done, INT_MAX)));
        page_->setText(QStringLiteral("正在压缩：") + page);
    }

    SiteJob &job_;
    QLabel *count_;
    QProgressBar *bar_;
    QLabel *pace_;
    QLabel *page_;
    QPushButton *cancel_;
};

}  // namespace

std::optional<QString> QtPlatformDialogs::openFileName(QWidget *parent, const QString &startPath) {
    return runFileDialog(parent, QFileDialog::AcceptOpen, startPath);
}

std::optional<QString> QtPlatformDialogs::saveFileName(QWidget *parent, const QString &startPath) {
    return runFileDialog(parent, QFileDialog::AcceptSave, startPath);
}

void QtPlatformDialogs::showMessage(QWidget *parent, Icon icon, const QString &title,
                                    const QString &text) {
    CentredMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                          text, QMessageBox::Ok, parent);
    makeRoomForTitle(box, title);
    box.exec();
}

PlatformDialogs::Answer QtPlatformDialogs::askToSave(QWidget *parent, const QString &title,
                                                     const QString &text) {
    CentredMessageBox box(QMessageBox::Warning, title, text,
                          QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    // Qt's own translation calls the second one "丢弃", and only where its catalogue is installed.
    box.button(QMessageBox::Save)->setText(QStringLiteral("保存"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    makeRoomForTitle(box, title);
    switch (box.exec()) {
        case QMessageBox::Save:
            return Answer::Save;
        case QMessageBox::Discard:
            return Answer::Discard;
        default:
            return Answer::Cancel;
    }
}

bool QtPlatformDialogs::askToReplace(QWidget *parent, const QString &title, const QString &text) {
    CentredMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                          parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    makeRoomForTitle(box, title);
    return box.exec() == QMessageBox::Yes;
}

PlatformDialogs::SiteChoice QtPlatformDialogs::askSiteJob(QWidget *parent, const QString &title,
                                                          const QString &text, bool offerVerify) {
    SiteQuestion question(parent, title, text, offerVerify);
    question.exec();
    return question.choice();
}

void QtPlatformDialogs::showProgress(QWidget *parent, const QString &title, SiteJob &job) {
    SiteProgressDialog dialog(parent, title, job);
    dialog.exec();
}

bool QtPlatformDialogs::showSummary(QWidget *parent, const QString &title, const QString &text,
                                    const QString &details) {
    CentredMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    QPushButton *show = box.addButton(QStringLiteral("打开文件夹"), QMessageBox::ActionRole);
    if (!details.isEmpty()) box.setDetailedText(details);
    box.setDefaultButton(QMessageBox::Ok);
    makeRoomForTitle(box, title);
    box.exec();
    return box.clickedButton() == show;
}

void QtPlatformDialogs::showFolder(const QString &folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtPlatformDialogs::askToStop(QWidget *parent, const QString &title, const QString &text) {
    CentredMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    QPushButton *stop = box.addButton(QStringLiteral("停止"), QMessageBox::DestructiveRole);
    QPushButton *goOn = box.addButton(QStringLiteral("继续"), QMessageBox::RejectRole);
    box.setDefaultButton(goOn);
    box.setEscapeButton(goOn);
    makeRoomForTitle(box, title);
    box.exec();
    return box.clickedButton() == stop;
}
