#include <unistd.h>
#include <QTest>

#include "app/application_setup.h"
#include "file_rights_posix.h"
#include "form1_harness.h"
#include "unprivileged_posix.h"

// The Save command where Linux alone has what a save may lose: an extended attribute. The rest
// of the command is in save_command_test.cpp.
class SaveCommandPosixTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }
    void init();
    void warnsOfLostAttributes();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void SaveCommandPosixTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    setMode(dir_->path(), 0777);
}

// What the saved file could not keep of the one it replaced is named in a warning of its own,
// after the completion message: here the attribute of a file whose owner may write it but not read
// it. What a save keeps in all other cases is tested on the core's savePage.
void SaveCommandPosixTest::warnsOfLostAttributes() {
    if (geteuid() != 0) QSKIP("only root can give the file to another user");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old");
    QVERIFY(::chown(QFile::encodeName(target).constData(), Unprivileged::kNobody, 65534) == 0);
    const QString setUp = QStringLiteral("setfattr -n user.origin -v zerediz");
    QVERIFY2(runOn(setUp, target), qPrintable(setUp));
    setMode(target, 0222);
    FileRights rights = rightsOf(target);
    Form1Harness window;
    window.setText("new");
    {
        Unprivileged owner;
        window.save(target);
    }
    QCOMPARE(readFile(target), QByteArray("new"));
    rights.attributes.remove("user.origin");
    QVERIFY(rightsOf(target) == rights);
    QCOMPARE(window.dialogs.shown.size(), 2);
    QCOMPARE(window.dialogs.shown.first().text, QStringLiteral("压缩完成：）"));
    QCOMPARE(window.dialogs.shown.last().text, QStringLiteral("未能保留扩展属性：") + target +
                                                   u'\n' +
                                                   QStringLiteral("user.origin（没有读取权限）"));
}

QTEST_MAIN(SaveCommandPosixTest)
#include "save_command_posix_test.moc"
