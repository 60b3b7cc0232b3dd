#include "ui/main/form1.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>

#include "ui/main/about_command.h"
#include "ui/main/application_title.h"
#include "ui/main/common_dialog.h"
#include "ui/main/file_drop.h"
#include "ui/main/open_command.h"
#include "ui/main/save_command.h"
#include "ui/main/text_area.h"
#include "ui/twips.h"

namespace geometry {
constexpr QSize kClient = twipsSize(4605, 3195);
constexpr QRect kText1 = twipsRect(120, 120, 4335, 1695);
constexpr QRect kCommand1 = twipsRect(360, 2280, 1335, 495);
constexpr QRect kCommand2 = twipsRect(2760, 2280, 1335, 495);
}  // namespace geometry

namespace {
const QColor kBackground(0, 0, 128);
}

Form1::Form1(FileDialogService &dialogs, MessageService &messages, QWidget *parent)
    : QMainWindow(parent),
      commonDialog1_(new CommonDialog(dialogs, this)),
      text1_(new TextArea),
      commands_{*this, *commonDialog1_, *text1_, messages} {
    createWidgets();
    createMenu();
    createShortcuts();
    setUpWindow();
    acceptFileDrops();
    wire();
}

void Form1::openFile(const QString &path) {
    if (offerToSave(commands_)) ::openFile(commands_, path);
}

void Form1::closeEvent(QCloseEvent *event) {
    if (offerToSave(commands_))
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
    setWindowTitle(applicationTitle());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The client area keeps its size; the window is that plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// Everywhere on the window: a drop on a button, the menu bar or the background reaches the
// window, and one on the text area its viewport, which would otherwise take it.
void Form1::acceptFileDrops() {
    fileDrop_ = new FileDrop(this);
    fileDrop_->watch(this);
    fileDrop_->watch(text1_->viewport());
}

void Form1::wire() {
    connect(command1_, &QPushButton::clicked, this, [this] { openCommand(commands_); });
    connect(command2_, &QPushButton::clicked, this, [this] { saveCommand(commands_); });
    connect(guanyu_, &QAction::triggered, this, [this] { aboutCommand(*this, form2_); });
    connect(openShortcut_, &QShortcut::activated, command1_, &QPushButton::click);
    connect(saveShortcut_, &QShortcut::activated, command2_, &QPushButton::click);
    connect(fileDrop_, &FileDrop::fileDropped, this, &Form1::openFile);
}
