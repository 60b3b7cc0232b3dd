#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "app/application_setup.h"
#include "form1_harness.h"
#include "ui/main/platform_dialogs.h"

namespace {

// Runs check on the dialog that the next call opens, once it is shown, and closes the dialog
// unless check did.
template <typename Dialog>
void whenShown(std::function<bool(Dialog &)> check) {
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog || !check(*dialog)) return;  // not there, or not ready yet: ask again
        timer->deleteLater();
        if (dialog->isVisible()) dialog->reject();  // unless check answered it
    });
    timer->start(20);
}

// Words in Latin letters, but for the unit names of sizes and the names of file formats.
QStringList englishWords(const QStringList &texts) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    static const QStringList allowed{QStringLiteral("KiB"), QStringLiteral("MiB"),
                                     QStringLiteral("HTML")};
    QStringList found;
    for (const QString &text : texts)
        for (const auto &match : word.globalMatch(text))
            if (!allowed.contains(match.captured())) found.append(text);
    return found;
}

// What the file dialog shows in words: labels, buttons, the type filter, the column titles and
// each file's size, type and date. Empty until the folder's files are listed with their dates.
QStringList shownTexts(QFileDialog &dialog) {
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    const QAbstractItemModel *model = view->model();
    const QModelIndex folder = view->rootIndex();
    if (model->rowCount(folder) < 2 || model->index(0, 3, folder).data().toString().isEmpty())
        return {};
    QStringList texts;
    for (auto *label : dialog.findChildren<QLabel *>())
        if (label->isVisible()) texts.append(label->text());
    for (auto *button : dialog.findChildren<QPushButton *>())
        if (button->isVisible()) texts.append(button->text());
    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; i < types->count(); ++i) texts.append(types->itemText(i));
    for (int column = 0; column < model->columnCount(folder); ++column) {
        texts.append(model->headerData(column, Qt::Horizontal).toString());
        for (int row = 0; row < model->rowCount(folder); ++row)
            if (column > 0) texts.append(model->index(row, column, folder).data().toString());
    }
    return texts;
}

}  // namespace

// The real dialogs, whatever the system's locale is (the suite runs under LANG=C.UTF-8 and
// under LANG=zh_CN.UTF-8).
class PlatformDialogsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }
    void fileDialogSpeaksChinese_data();
    void fileDialogSpeaksChinese();
    void fileDialogStartsWithName_data();
    void fileDialogStartsWithName();
    void messageBoxes_data();
    void messageBoxes();
    void siteQuestion_data();
    void siteQuestion();
};

void PlatformDialogsTest::fileDialogSpeaksChinese_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("Open") << false;
    QTest::newRow("Save") << true;
}

void PlatformDialogsTest::fileDialogSpeaksChinese() {
    QFETCH(bool, save);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("子文件夹"));
    const QString page = writeFile(dir, QStringLiteral("网页.htm"), QByteArray(5000, 'x'));

    QStringList texts;
    whenShown<QFileDialog>([&](QFileDialog &dialog) {
        texts = shownTexts(dialog);
        return !texts.isEmpty();
    });
    QtPlatformDialogs dialogs;
    QCOMPARE(save ? dialogs.saveFileName(nullptr, page) : dialogs.openFileName(nullptr, page),
             std::nullopt);
    QVERIFY(texts.contains(QStringLiteral("文件夹")));
    QCOMPARE(englishWords(texts), QStringList());
}

void PlatformDialogsTest::fileDialogStartsWithName_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("name");
    QTest::newRow("Open, a page") << false << QStringLiteral("网页.htm");
    QTest::newRow("Save, the same page") << true << QStringLiteral("网页.htm");
    QTest::newRow("Save, a name not yet taken") << true << QStringLiteral("新.htm");
}

void PlatformDialogsTest::fileDialogStartsWithName() {
    QFETCH(bool, save);
    QFETCH(QString, name);
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("网页.htm"), "page");
    const QString start = dir.filePath(name);
    QStringList selected;
    QWidget *parent = nullptr;
    whenShown<QFileDialog>([&](QFileDialog &dialog) {
        selected = dialog.selectedFiles();
        parent = dialog.parentWidget();
        return true;
    });
    Form1Harness window;
    QtPlatformDialogs dialogs;
    QCOMPARE(save ? dialogs.saveFileName(&window.form, start)
                  : dialogs.openFileName(&window.form, start),
             std::nullopt);
    QCOMPARE(selected, QStringList{start});
    QCOMPARE(parent, &window.form);
}

void PlatformDialogsTest::messageBoxes_data() {
    QTest::addColumn<QString>("box");      // the completion message, or the question it names
    QTest::addColumn<QString>("press");    // a button's caption, Esc or the close box
    QTest::addColumn<QVariant>("answer");  // to the question

    using Answer = PlatformDialogs::Answer;
    const auto answer = [](auto value) { return QVariant::fromValue(value); };
    QTest::newRow("压缩完成：）") << QStringLiteral("message") << QStringLiteral("Esc")
                                  << QVariant();
    QTest::newRow("save first, 保存")
        << QStringLiteral("save first") << QStringLiteral("保存") << answer(Answer::Save);
    QTest::newRow("save first, 不保存")
        << QStringLiteral("save first") << QStringLiteral("不保存") << answer(Answer::Discard);
    QTest::newRow("save first, 取消")
        << QStringLiteral("save first") << QStringLiteral("取消") << answer(Answer::Cancel);
    QTest::newRow("save first, Esc")
        << QStringLiteral("save first") << QStringLiteral("Esc") << answer(Answer::Cancel);
    QTest::newRow("save first, close box")
        << QStringLiteral("save first") << QStringLiteral("close box") << answer(Answer::Cancel);
    QTest::newRow("replace, 是") << QStringLiteral("replace") << QStringLiteral("是")
                                 << answer(true);
    QTest::newRow("replace, 否") << QStringLiteral("replace") << QStringLiteral("否")
                                 << answer(false);
    QTest::newRow("replace, Esc") << QStringLiteral("replace") << QStringLiteral("Esc")
                                  << answer(false);
    QTest::newRow("replace, close box")
        << QStringLiteral("replace") << QStringLiteral("close box") << answer(false);
}

// Each box shows its whole title, stands centred on the window it belongs to, and answers with
// the button pressed.
void PlatformDialogsTest::messageBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, press);
    QFETCH(QVariant, answer);
    const QString title = QStringLiteral("Zerediz");
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    // Away from the middle of the screen, where boxes go that name no place.
    window.form.move(30, 40);
    int width = 0;
    int needed = 0;
    QRect frame;
    QStringList buttons;
    QString defaultButton;
    whenShown<QMessageBox>([&](QMessageBox &box) {
        // A window manager's title bar holds the title in bold, and beside it an icon and up to
        // three buttons with the gaps around them: seven and a half line heights under openbox.
        QFont bold = QApplication::font();
        bold.setBold(true);
        needed = QFontMetrics(bold).horizontalAdvance(title) +
                 15 * QFontMetrics(QApplication::font()).height() / 2;
        width = box.width();
        frame = box.frameGeometry();
        for (QAbstractButton *button : box.buttons()) buttons.append(button->text());
        buttons.sort();
        if (box.defaultButton()) defaultButton = box.defaultButton()->text();
        if (press == u"Esc")
            QTest::keyClick(&box, Qt::Key_Escape);
        else if (press == u"close box")
            box.windowHandle()->close();
        for (QAbstractButton *button : box.buttons())
            if (button->text() == press) button->click();
        return true;
    });
    QtPlatformDialogs dialogs;
    if (box == u"save first") {
        QCOMPARE(dialogs.askToSave(&window.form, title, QStringLiteral("文本已修改。要先保存吗？")),
                 answer.value<PlatformDialogs::Answer>());
        QCOMPARE(buttons, (QStringList{QStringLiteral("不保存"), QStringLiteral("保存"),
                                       QStringLiteral("取消")}));
        QCOMPARE(defaultButton, QStringLiteral("保存"));
    } else if (box == u"replace") {
        QCOMPARE(dialogs.askToReplace(&window.form, title,
                                      QStringLiteral("“a.htm”已存在。要替换它吗？")),
                 answer.toBool());
        QCOMPARE(buttons, (QStringList{QStringLiteral("否"), QStringLiteral("是")}));
        QCOMPARE(defaultButton, QStringLiteral("否"));
    } else {
        dialogs.showMessage(&window.form, PlatformDialogs::Icon::None, title,
                            QStringLiteral("压缩完成：）"));
    }
    QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    QCOMPARE(frame.center(), window.form.frameGeometry().center());
}

void PlatformDialogsTest::siteQuestion_data() {
    using Place = PlatformDialogs::SitePlace;
    QTest::addColumn<bool>("browser");   // one was found: the question offers to check pages
    QTest::addColumn<bool>("tickDeep");  // 深度压缩 is ticked
    QTest::addColumn<QString>("press");  // a button's caption, Enter, Esc or the close box
    QTest::addColumn<PlatformDialogs::SitePlace>("place");  // the answer
    QTest::addColumn<bool>("verify");                       // to check each page in the browser
    QTest::addColumn<bool>("deep");                         // to trim deeply

    QTest::newRow("压缩到新文件夹, the browser's box as it is")
        << true << false << QStringLiteral("压缩到新文件夹") << Place::NewFolder << true << false;
    QTest::newRow("Enter answers 压缩到新文件夹")
        << true << false << QStringLiteral("Enter") << Place::NewFolder << true << false;
    QTest::newRow("原地压缩, 深度压缩 ticked")
        << true << true << QStringLiteral("原地压缩") << Place::InPlace << true << true;
    QTest::newRow("no browser: 深度压缩 alone")
        << false << true << QStringLiteral("压缩到新文件夹") << Place::NewFolder << false << true;
    QTest::newRow("取消") << true << true << QStringLiteral("取消") << Place::Cancel << true
                          << true;
    QTest::newRow("Esc") << true << false << QStringLiteral("Esc") << Place::Cancel << true
                         << false;
    QTest::newRow("close box") << false << false << QStringLiteral("close box") << Place::Cancel
                               << false << false;
}

// The question before a site job: its boxes, 深度压缩 unticked each time it is asked, its buttons
// and the answer they give, the whole title, centred on the window.
void PlatformDialogsTest::siteQuestion() {
    QFETCH(bool, browser);
    QFETCH(bool, tickDeep);
    QFETCH(QString, press);
    QFETCH(PlatformDialogs::SitePlace, place);
    QFETCH(bool, verify);
    QFETCH(bool, deep);
    const QString title = QStringLiteral("Zerediz");
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.form.move(30, 40);
    QStringList boxes;
    QList<bool> ticked;
    QStringList buttons;
    int width = 0;
    QRect frame;
    const std::function<bool(QDialog &)> answer = [&](QDialog &dialog) {
        if (!dialog.isVisible()) return false;
        width = dialog.width();
        frame = dialog.frameGeometry();
        for (QCheckBox *box : dialog.findChildren<QCheckBox *>()) {
            boxes.append(box->text());
            ticked.append(box->isChecked());
            if (tickDeep && box->text().startsWith(QStringLiteral("深度压缩"))) box->click();
        }
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            buttons.append(button->text());
        buttons.sort();
        if (press == u"Esc")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (press == u"Enter")
            QTest::keyClick(&dialog, Qt::Key_Return);
        else if (press == u"close box")
            dialog.windowHandle()->close();
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            if (button->text() == press) button->click();
        return true;
    };
    QtPlatformDialogs dialogs;
    QFont bold = QApplication::font();
    bold.setBold(true);
    const int needed = QFontMetrics(bold).horizontalAdvance(title) +
                       15 * QFontMetrics(QApplication::font()).height() / 2;
    const QString deepBox = QStringLiteral("深度压缩（也去掉行首行尾的制表符和空行）");
    // Asked twice, the second time without a tick: it starts as the first did.
    for (const bool second : {false, true}) {
        boxes.clear();
        ticked.clear();
        buttons.clear();
        if (second) tickDeep = false;
        whenShown<QDialog>(answer);
        const PlatformDialogs::SiteChoice choice = dialogs.askSiteJob(
            &window.form, title, QStringLiteral("压缩“site”中的 4 个网页（1.2 KB）？"), browser);
        QCOMPARE(choice.place, place);
        QCOMPARE(choice.verify, verify);
        QCOMPARE(choice.deep, deep && !second);
        const QStringList shownBoxes =
            browser ? QStringList{QStringLiteral("在浏览器中核对每个网页"), deepBox}
                    : QStringList{deepBox};
        QCOMPARE(boxes, shownBoxes);
        QCOMPARE(ticked, browser ? (QList<bool>{true, false}) : (QList<bool>{false}));
        QCOMPARE(buttons, (QStringList{QStringLiteral("压缩到新文件夹"), QStringLiteral("原地压缩"),
                                       QStringLiteral("取消")}));
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
        QCOMPARE(frame.center(), window.form.frameGeometry().center());
    }
}

QTEST_MAIN(PlatformDialogsTest)
#include "platform_dialogs_test.moc"
