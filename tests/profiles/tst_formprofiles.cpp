// The profile manager on the offscreen platform, opened from a main window with scripted prompts;
// Connect runs against the local FTP server.
#include "../app/MainWindowFixture.h"
#include "EncodeHex64.h"
#include "ProfileFile.h"
#include "formprofiles.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTreeView>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

int unixMode(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray profileBytes(const QString &server, const QString &port, const QString &user, const QString &active,
                        const QString &comments = {})
{
    Profile p;
    p.server = server;
    p.port = port;
    p.username = user;
    p.password = "pw-" + user;
    p.comments = comments;
    QByteArray bytes = ProfileFile::serialize(p);
    return bytes.replace("<active>1</active>", ("<active>" + active + "</active>").toUtf8());
}

struct ManagerFixture : MainWindowFixture
{
    QString root() const { return state.folders.profiles; }

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
};

} // namespace

class TestFormProfiles : public QObject
{
    Q_OBJECT

    void makeStore(const ManagerFixture &f)
    {
        QVERIFY(QDir().mkpath(f.root() + "work/old"));
        QVERIFY(writeBytes(f.root() + "home.dat", profileBytes("home.example", "2121", "me", "0", "line 1\r\nline 2")));
        QVERIFY(writeBytes(f.root() + "work/office.dat", profileBytes("office.example", "21", "boss", "1")));
        QVERIFY(writeBytes(f.root() + "work/old/gone.dat", profileBytes("gone.example", "21", "x", "1")));
    }

private slots:
    void opensOnceWithAWholeOpenTree()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        QVERIFY(m);
        QCOMPARE(m->windowTitle(), QString("Vestrigal - FTP Profiles"));
        QCOMPARE(m->profileTree->rowCount(), 1);
        QCOMPARE(m->profileTree->item(0)->text(), QString("Profiles"));
        QVERIFY(m->TreeView1->isExpanded(m->node(f.root() + "work/old/")->index()));
        QVERIFY(!m->txtServer->isEnabled() && !m->btnConnect->isEnabled() && !m->optActive->isEnabled());
        QCOMPARE(m->currentFolder(), f.root());
        // The toolbar's button shows the same window.
        f.window->Toolbar1_ButtonClick(1);
        QCOMPARE(f.window->findChildren<formprofiles *>().size(), 1);
        QCOMPARE(m->action("menu_save")->shortcut(), QKeySequence("Ctrl+S"));
    }

    void profileClickFillsAndFolderClickClears()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "home.dat");
        QVERIFY(m->txtServer->isEnabled() && m->btnSave->isEnabled() && m->optPassive->isEnabled());
        QCOMPARE(m->txtServer->text(), QString("home.example"));
        QCOMPARE(m->txtPort->text(), QString("2121"));
        QCOMPARE(m->txtPassword->text(), QString("pw-me"));
        QCOMPARE(m->txtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(m->txtComments->toPlainText(), QString("line 1\nline 2"));
        QVERIFY(m->optPassive->isChecked());
        QCOMPARE(m->currentFolder(), f.root()); // a profile click leaves the folder

        ManagerFixture::click(m, f.root() + "work/");
        QCOMPARE(m->currentFolder(), f.root() + "work/");
        QVERIFY(!m->txtServer->isEnabled() && !m->btnConnect->isEnabled() && !m->optPassive->isEnabled());
        QVERIFY(m->txtServer->text().isEmpty() && m->txtPort->text().isEmpty() &&
                m->txtComments->toPlainText().isEmpty());
        QVERIFY(m->action("menu_add")->isEnabled());

        // A damaged file: the message, and the fields up to the damage.
        QVERIFY(writeBytes(f.root() + "bad.dat", "<server>half</server><port>99"));
        m->GetProfiles();
        m->txtUsername->setText("kept");
        ManagerFixture::click(m, f.root() + "bad.dat");
        QCOMPARE(f.prompter->messageTexts().last(),
                 QString("Error, information file is damaged. Please re-create the profile."));
        QCOMPARE(f.prompter->shown.last().icon, Prompter::Icon::Critical);
        QCOMPARE(m->txtServer->text(), QString("half"));
        QCOMPARE(m->txtUsername->text(), QString("kept"));
    }

    void addAndCreateFolderUseTheLastClickedFolder()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/old/");
        ManagerFixture::click(m, f.root() + "home.dat");
        f.prompter->inputs << "ftp.new.example";
        m->action("menu_add")->trigger();
        QVERIFY(QFile::exists(f.root() + "work/old/ftp.new.example.dat"));
        QVERIFY(m->node(f.root() + "work/old/ftp.new.example.dat"));
        QCOMPARE(m->currentFolder(), f.root() + "work/old/"); // survives the rebuild

        f.prompter->inputs << "ftp.new.example"
                           << "a/b"
                           << "sub"
                           << "sub";
        m->action("menu_add")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(),
                 QString("This profile already exists, please choose another name."));
        m->action("menu_add")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(), QString("The name cannot hold the character \"/\"."));
        m->action("menu_cfolder")->trigger();
        QVERIFY(QFileInfo(f.root() + "work/old/sub").isDir());
        m->action("menu_cfolder")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Could not create directory."));
    }

    void deleteKeyRemovesAFolderWithItsContents()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/");
        QTest::keyClick(m->TreeView1, Qt::Key_Delete);
        QCOMPARE(f.onDisk(), QStringList{"home.dat"});
        QVERIFY(!m->node(f.root() + "work/"));
        QCOMPARE(m->currentFolder(), f.root()); // the folder it named is gone
        QVERIFY(f.prompter->shown.isEmpty());   // no confirmation
        // The root is never deleted.
        ManagerFixture::click(m, f.root());
        m->action("menu_remove")->trigger();
        QCOMPARE(f.onDisk(), QStringList{"home.dat"});
    }

    void removeAllKeepsFoldersAndClearAllKeepsTheRoot()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        f.prompter->answers << Prompter::Answer::Cancel;
        m->action("menu_delete")->trigger();
        QCOMPARE(f.onDisk().size(), 5);
        f.prompter->answers << Prompter::Answer::Ok;
        m->action("menu_delete")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Are you sure you want to delete all profiles?"));
        QCOMPARE(f.onDisk(), QStringList({"work", "work/old"}));

        QVERIFY(writeBytes(f.root() + "work/old/again.dat", "x"));
        m->GetProfiles();
        f.prompter->answers << Prompter::Answer::Ok;
        m->action("menu_clear")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(),
                 QString("Are you sure you want to clear all? All folders and profiles will be lost."));
        QVERIFY(f.onDisk().isEmpty());
        QVERIFY(QFileInfo(f.root()).isDir());
        QCOMPARE(m->profileTree->rowCount(), 1);
        QCOMPARE(m->profileTree->item(0)->rowCount(), 0);
    }

    void saveInfoWritesTheShownFields()
    {
        ManagerFixture f;
        makeStore(f);
        formprofiles *m = f.open();
        ManagerFixture::click(m, f.root() + "work/office.dat");
        m->txtServer->setText("edited.example");
        m->txtUsername->setText("");
        m->txtComments->setPlainText("a\nb");
        m->optPassive->setChecked(true);
        m->btnSave->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString(64, '0')); // the user name's digits, emptied
        QCOMPARE(f.prompter->shown.last().icon, Prompter::Icon::None);
        const Profile saved = ProfileFile::toProfile(ProfileFile::read(f.root() + "work/office.dat"));
        QCOMPARE(saved.server, QString("edited.example"));
        QCOMPARE(saved.username, QString());
        QCOMPARE(saved.password, QString("pw-boss"));
        QCOMPARE(saved.comments, QString("a\r\nb"));
        QVERIFY(!saved.active);
        QCOMPARE(unixMode(f.root() + "work/office.dat"), 0600);

        // A field holding a tag is refused; nothing is written.
        m->txtUsername->setText("x</server>");
        m->action("menu_save")->trigger();
        QVERIFY(f.prompter->messageTexts().last().contains("</server>"));
        QCOMPARE(ProfileFile::toProfile(ProfileFile::read(f.root() + "work/office.dat")).username, QString());
    }

    // After a damaged read the fields mix the damaged file's values with the previous profile's:
    // Save info and Connect refuse them, and a file that is not a profile is never written.
    void damagedReadIsNeitherSavedNorConnected()
    {
        ManagerFixture f;
        makeStore(f);
        const QByteArray bad = "<server>evil.example</server><port>99", notes = "my own notes";
        QVERIFY(writeBytes(f.root() + "bad.dat", bad));
        QVERIFY(writeBytes(f.root() + "notes.txt", notes));
        f.window->txtServer->setText("before");
        f.window->txtPassword->setText("before");
        formprofiles *m = f.open();
        for (const QString &name : {QString("bad.dat"), QString("notes.txt")}) {
            ManagerFixture::click(m, f.root() + "home.dat"); // fills every field with home's values
            ManagerFixture::click(m, f.root() + name);
            m->btnSave->click();
            QVERIFY2(f.prompter->messageTexts().last().contains("could not be read whole"), qPrintable(name));
            m->action("menu_connect")->trigger();
            QVERIFY2(f.prompter->messageTexts().last().contains("could not be read whole"), qPrintable(name));
            QVERIFY(m->isVisible());
        }
        QCOMPARE(readBytes(f.root() + "bad.dat"), bad);
        QCOMPARE(readBytes(f.root() + "notes.txt"), notes);
        QCOMPARE(f.window->txtServer->text() + f.window->txtPassword->text(), QString("beforebefore"));

        // A profile read whole that is no profile any more by the time of saving is left alone.
        ManagerFixture::click(m, f.root() + "home.dat");
        QVERIFY(writeBytes(f.root() + "home.dat", notes));
        m->btnSave->click();
        QCOMPARE(readBytes(f.root() + "home.dat"), notes);
        QVERIFY(f.prompter->messageTexts().last().contains("not a whole profile"));
    }

    // Only regular files of a sensible size are listed and read: a FIFO would block the read for
    // ever and a link to a device would fill the memory. Swapped in after the listing, they are
    // refused when clicked as well.
    void fifosDevicesAndHugeFilesAreNotRead()
    {
        ManagerFixture f;
        makeStore(f);
        QVERIFY(::mkfifo(QFile::encodeName(f.root() + "pipe.dat").constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/zero", f.root() + "zero.dat"));
        QVERIFY(writeBytes(f.root() + "huge.dat", profileBytes("h", "21", "u", "1") + QByteArray(2 << 20, '\n')));
        formprofiles *m = f.open();
        QVERIFY(!m->node(f.root() + "pipe.dat") && !m->node(f.root() + "zero.dat"));
        QVERIFY(m->node(f.root() + "huge.dat") && m->node(f.root() + "home.dat"));
        ManagerFixture::click(m, f.root() + "huge.dat");
        QCOMPARE(f.prompter->shown.size(), 1);

        QVERIFY(QFile::remove(f.root() + "home.dat"));
        QVERIFY(::mkfifo(QFile::encodeName(f.root() + "home.dat").constData(), 0600) == 0);
        QVERIFY(QFile::remove(f.root() + "work/office.dat"));
        QVERIFY(QFile::link("/dev/zero", f.root() + "work/office.dat"));
        // Should the read block on the FIFO, a writer comes along to end the test instead of hanging.
        std::atomic<bool> done{false};
        std::thread writer([&] {
            for (int i = 0; i < 50 && !done; ++i)
                QThread::msleep(100);
            const int fd = ::open(QFile::encodeName(f.root() + "home.dat").constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        QElapsedTimer clock;
        clock.start();
        ManagerFixture::click(m, f.root() + "home.dat");
        ManagerFixture::click(m, f.root() + "work/office.dat");
        done = true;
        writer.join();
        QVERIFY2(clock.elapsed() < 3000, "the read waited for a writer");
        QCOMPARE(f.prompter->messageTexts(),
                 QStringList(3, "Error, information file is damaged. Please re-create the profile."));
    }

    void connectWithPassiveFillsTheMainWindowFirst()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(QDir().mkpath(server.pathOf("pub")));
        QVERIFY(server.writeFile("pub/inside.txt", "x"));
        ManagerFixture f;
        Profile p;
        p.server = QString("ftp://%1:%2/pub").arg(server.host()).arg(server.port());
        p.username = server.user();
        p.password = server.password();
        p.timeout = "30000";
        p.active = false;
        QVERIFY(writeBytes(f.root() + "local.dat", ProfileFile::serialize(p)));
        f.window->checkType->setChecked(true);
        QPointer<formprofiles> m = f.open();
        ManagerFixture::click(m, f.root() + "local.dat");
        QVERIFY(m->optPassive->isChecked());

        // When the connection starts, the fields are already there.
        QStringList seen;
        QObject::connect(&f.window->sessionLog(), &SessionLog::runAppended, m, [&] {
            if (seen.isEmpty())
                seen << f.window->txtServer->text() << f.window->txtPort->text() << f.window->txtUsername->text()
                     << f.window->txtTimeout->text() << (f.window->checkType->isChecked() ? "active" : "passive")
                     << (m->isVisible() ? "shown" : "hidden");
        });
        m->btnConnect->click();
        QCOMPARE(seen, QStringList({server.host(), QString::number(server.port()), server.user(), "30000", "passive",
                                    "hidden"}));
        QVERIFY(f.state.connected());
        QVERIFY(f.logLines().contains("Connected to remote host."));
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        QVERIFY(f.remoteNames().contains("inside.txt"));
        QTRY_VERIFY(m.isNull()); // closed after the connection
    }
};

QTEST_MAIN(TestFormProfiles)
#include "tst_formprofiles.moc"
