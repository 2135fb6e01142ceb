// The profile manager on the offscreen platform, opened from a main window with scripted prompts;
// Connect runs against the local FTP server.
#include "../app/MainWindowFixture.h"
#include "ProfileFile.h"
#include "ProfileTestFiles.h"
#include "formprofiles.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

namespace {

// A main window whose profiles folder holds home.dat, work/office.dat and work/old/gone.dat.
struct ManagerFixture : MainWindowFixture
{
    QString root() const { return state.folders.profiles; }

    ManagerFixture()
    {
        QDir().mkpath(root() + "work/old");
        const Profile home{.server = "home.example", .port = "2121", .username = "me", .password = "pw-me",
                           .comments = "line 1\r\nline 2", .active = false};
        writeBytes(root() + "home.dat", ProfileFile::serialize(home));
        writeBytes(root() + "work/office.dat",
                   ProfileFile::serialize({.server = "office.example", .username = "boss", .password = "pw-boss"}));
        writeBytes(root() + "work/old/gone.dat", ProfileFile::serialize({.server = "gone.example"}));
    }

    formprofiles *open()
    {
        window->action("menu_connect")->trigger();
        return window->findChild<formprofiles *>();
    }

    static void click(formprofiles *m, const QString &key)
    {
        QStandardItem *item = m->node(key);
        QVERIFY2(item, qPrintable(key));
        m->TreeView1->selectionModel()->setCurrentIndex(item->index(), QItemSelectionModel::ClearAndSelect);
        m->TreeView1_NodeClick(item->index());
    }

    QStringList onDisk() const
    {
        QStringList names;
        QDirIterator it(root(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            names << it.next().mid(root().size());
        names.sort();
        return names;
    }

    QString lastMessage() const { return prompter->messageTexts().last(); }
};

} // namespace

class TestFormProfiles : public QObject
{
    Q_OBJECT

private slots:
    void opensOnceAndClicksFillOrClearTheFields()
    {
        ManagerFixture f;
        formprofiles *m = f.open();
        QCOMPARE(m->windowTitle(), QString("Vestrigal - FTP Profiles"));
        QVERIFY(m->TreeView1->isExpanded(m->node(f.root() + "work/old/")->index()));
        QVERIFY(!m->txtServer->isEnabled() && !m->btnConnect->isEnabled() && !m->optActive->isEnabled());
        QCOMPARE(m->currentFolder(), f.root());
        f.window->Toolbar1_ButtonClick(1); // the toolbar's button shows the same window
        QCOMPARE(f.window->findChildren<formprofiles *>().size(), 1);

        ManagerFixture::click(m, f.root() + "home.dat");
        QVERIFY(m->txtServer->isEnabled() && m->btnSave->isEnabled() && m->optPassive->isEnabled());
        QCOMPARE(m->txtServer->text() + ' ' + m->txtPort->text() + ' ' + m->txtPassword->text(),
                 QString("home.example 2121 pw-me"));
        QCOMPARE(m->txtComments->toPlainText(), QString("line 1\nline 2"));
        QVERIFY(m->optPassive->isChecked());

        ManagerFixture::click(m, f.root() + "work/");
        QCOMPARE(m->currentFolder(), f.root() + "work/");
        QVERIFY(!m->txtServer->isEnabled() && !m->btnConnect->isEnabled() && !m->optPassive->isEnabled());
        QVERIFY(m->txtServer->text().isEmpty() && m->txtPort->text().isEmpty() &&
                m->txtComments->toPlainText().isEmpty());
        QVERIFY(m->action("menu_add")->isEnabled());
    }

    void addAndCreateFolderUseTheLastClickedFolder()
    {
        ManagerFixture f;
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/old/");
        ManagerFixture::click(m, f.root() + "home.dat");
        f.prompter->inputs << "ftp.new.example" << "ftp.new.example" << "a/b" << "sub" << "sub";
        m->action("menu_add")->trigger();
        QVERIFY(m->node(f.root() + "work/old/ftp.new.example.dat"));
        QCOMPARE(m->currentFolder(), f.root() + "work/old/"); // survives the rebuild

        m->action("menu_add")->trigger();
        QCOMPARE(f.lastMessage(), QString("This profile already exists, please choose another name."));
        m->action("menu_add")->trigger();
        QCOMPARE(f.lastMessage(), QString("The name cannot hold the character \"/\"."));
        m->action("menu_cfolder")->trigger();
        QVERIFY(QFileInfo(f.root() + "work/old/sub").isDir());
        m->action("menu_cfolder")->trigger();
        QCOMPARE(f.lastMessage(), QString("Could not create directory."));
    }

    // Delete removes the clicked folder with its contents at once; "delete all" asks and keeps
    // the folders; "clear all" asks and keeps only the profiles folder.
    void deleteRemoveAllAndClearAll()
    {
        ManagerFixture f;
        QVERIFY(QDir().mkpath(f.root() + "other/deep"));
        QVERIFY(writeBytes(f.root() + "other/deep/again.dat", "x"));
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/");
        QTest::keyClick(m->TreeView1, Qt::Key_Delete);
        QCOMPARE(f.onDisk(), QStringList({"home.dat", "other", "other/deep", "other/deep/again.dat"}));
        QVERIFY(!m->node(f.root() + "work/"));
        QCOMPARE(m->currentFolder(), f.root()); // the folder it named is gone
        QVERIFY(f.prompter->shown.isEmpty());   // no confirmation

        f.prompter->answers << Prompter::Answer::Cancel << Prompter::Answer::Ok << Prompter::Answer::Ok;
        m->action("menu_delete")->trigger();
        QCOMPARE(f.onDisk().size(), 4);
        m->action("menu_delete")->trigger();
        QCOMPARE(f.lastMessage(), QString("Are you sure you want to delete all profiles?"));
        QCOMPARE(f.onDisk(), QStringList({"other", "other/deep"}));

        QVERIFY(writeBytes(f.root() + "other/deep/again.dat", "x"));
        m->GetProfiles();
        m->action("menu_clear")->trigger();
        QCOMPARE(f.lastMessage(), "Are you sure you want to clear all? All folders and profiles will be lost.");
        QVERIFY(f.onDisk().isEmpty());
        QVERIFY(QFileInfo(f.root()).isDir());
        QCOMPARE(m->profileTree->item(0)->rowCount(), 0);
    }

    void saveInfoWritesTheShownFields()
    {
        ManagerFixture f;
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/office.dat");
        m->txtServer->setText("edited.example");
        m->txtUsername->setText("");
        m->txtComments->setPlainText("a\nb");
        m->optPassive->setChecked(true);
        m->btnSave->click();
        QCOMPARE(f.lastMessage(), QString(64, '0')); // the user name's digits, emptied
        QCOMPARE(ProfileFile::read(f.root() + "work/office.dat").values,
                 QStringList({"edited.example", "21", "", "pw-boss", "", "a\r\nb", "0", "0", "0"}));

        // A field holding a tag is refused; nothing is written.
        m->txtUsername->setText("x</server>");
        m->action("menu_save")->trigger();
        QVERIFY(f.lastMessage().contains("</server>"));
        QCOMPARE(ProfileFile::read(f.root() + "work/office.dat").values.value(2), QString());
    }

    // After a damaged read the fields mix the damaged file's values with the previous profile's:
    // Save info and Connect refuse them, and a file that is not a profile is never written.
    void damagedReadIsNeitherSavedNorConnected()
    {
        ManagerFixture f;
        const QByteArray bad = "<server>evil.example</server><port>99", notes = "my own notes";
        QVERIFY(writeBytes(f.root() + "bad.dat", bad));
        f.window->txtServer->setText("before");
        f.window->txtPassword->setText("before");
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "home.dat"); // fills every field with home's values
        ManagerFixture::click(m, f.root() + "bad.dat");
        QCOMPARE(f.lastMessage(), QString("Error, information file is damaged. Please re-create the profile."));
        // The fields up to the damage are filled, the others keep what they showed.
        QCOMPARE(m->txtServer->text() + ' ' + m->txtUsername->text(), QString("evil.example me"));
        m->btnSave->click();
        QVERIFY(f.lastMessage().contains("could not be read whole"));
        m->action("menu_connect")->trigger();
        QVERIFY(f.lastMessage().contains("could not be read whole"));
        QVERIFY(m->isVisible());
        QCOMPARE(readBytes(f.root() + "bad.dat"), bad);
        QCOMPARE(f.window->txtServer->text() + f.window->txtPassword->text(), QString("beforebefore"));

        // A profile read whole that is no profile any more by the time of saving is left alone.
        ManagerFixture::click(m, f.root() + "home.dat");
        QVERIFY(writeBytes(f.root() + "home.dat", notes));
        m->btnSave->click();
        QCOMPARE(readBytes(f.root() + "home.dat"), notes);
        QVERIFY(f.lastMessage().contains("not a whole profile"));
    }

    void connectWithPassiveFillsTheMainWindowFirst()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(server.writeFile("pub/inside.txt", "x"));
        ManagerFixture f;
        const QString address = QString("ftp://%1:%2/pub").arg(server.host()).arg(server.port());
        const Profile local{.server = address, .username = server.user(), .password = server.password(),
                            .timeout = "30000", .active = false};
        QVERIFY(writeBytes(f.root() + "local.dat", ProfileFile::serialize(local)));
        f.window->checkType->setChecked(true);
        QPointer<formprofiles> m = f.open();
        ManagerFixture::click(m, f.root() + "local.dat");

        // When the connection starts, the fields are already there.
        QStringList seen;
        QObject::connect(&f.window->sessionLog(), &SessionLog::runsAppended, m, [&] {
            if (seen.isEmpty())
                seen << f.window->txtServer->text() << f.window->txtPort->text() << f.window->txtUsername->text()
                     << f.window->txtTimeout->text() << (f.window->checkType->isChecked() ? "active" : "passive")
                     << (m->isVisible() ? "shown" : "hidden");
        });
        m->btnConnect->click();
        QCOMPARE(seen, QStringList({server.host(), QString::number(server.port()), server.user(), "30000", "passive",
                                    "hidden"}));
        QVERIFY(f.remoteNames().contains("inside.txt"));
        QTRY_VERIFY(m.isNull()); // closed after the connection
    }
};

QTEST_MAIN(TestFormProfiles)
#include "tst_formprofiles.moc"
