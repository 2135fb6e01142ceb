// The window over SFTP, against the scripted SFTP server: connecting from the host field and from
// a profile, browsing, folder trees both ways, a drop, the text editor and the picture viewer.
#include "DragDrop.h"
#include "MainWindowFixture.h"
#include "Padlock.h"
#include "ProfileConnection.h"
#include "TestSshServer.h"
#include "formascii.h"
#include "formimage.h"

#include <QImage>

class TestSftpWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSftpScript> server;

    // Connected over sftp:// from the host field, the host key trusted once.
    std::unique_ptr<QueueWindow> connected()
    {
        auto f = std::make_unique<QueueWindow>();
        f->window->txtServer->setText("sftp://" + server->host());
        f->window->txtPort->setText(QString::number(server->port()));
        f->window->txtUsername->setText(server->user());
        f->window->txtPassword->setText(server->password());
        f->prompter->choices = {0}; // Trust once
        f->window->remotePane().btnConnect_Click();
        return f;
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestSftpScript>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        for (const char *name : {"tree/one.txt", "tree/sub/two.txt", "tree/sub/deeper/three.txt", "notes.txt"})
            QVERIFY(server->writeFile(name, QByteArray(name) + "\n"));
        QImage picture(7, 5, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(server->pathOf("pic.png")));
    }

    void connectsBrowsesAndMovesTrees()
    {
        auto f = connected();
        QVERIFY2(f->state.connected(), qPrintable(f->logText()));
        QCOMPARE(f->prompter->choiceButtons.size(), 1); // the host key, asked before the login
        QVERIFY(f->prompter->shown[0].text.contains("SHA256:"));
        QVERIFY(!f->logText().contains(server->password()));
        QVERIFY(f->logText().contains("Command: USERAUTH password"));
        // Nothing FTP is claimed: no command, and no reply to one (a current folder asked of nobody).
        QVERIFY(f->commands("PWD").isEmpty() && f->commands("SYST").isEmpty() && !f->logText().contains("\n257 "));
        QCOMPARE(f->remoteNames(), QStringList({"tree", "notes.txt", "pic.png"}));
        QVERIFY(f->window->padlock()->toolTip().contains("Host key: ssh-ed25519 SHA256:"));

        // A folder tree down through the popup, and up again under another name.
        f->selectRemote("tree");
        f->window->action("menu1_download")->trigger();
        QVERIFY(f->queueEnds());
        QCOMPARE(filesBelow(f->local.path()), QStringList({"tree/one.txt", "tree/sub/deeper/three.txt", "tree/sub/two.txt"}));
        QCOMPARE(readLocal(f->localPath("tree/sub/deeper/three.txt")), QByteArray("tree/sub/deeper/three.txt\n"));
        QVERIFY(QDir(f->local.path()).rename("tree", "back"));
        f->showLocal(f->local.path());
        selectRows(f->window->ListView3, {"back"});
        f->window->action("menu2_upload")->trigger();
        QVERIFY(f->queueEnds());
        QCOMPARE(server->readFile("back/sub/two.txt"), QByteArray("tree/sub/two.txt\n"));

        // A file dropped from the server's list on the local list.
        QVERIFY(QFile::remove(f->localPath("back/one.txt")));
        selectRows(f->window->ListView1, {"notes.txt"});
        f->window->dragDrop().beginDrag(DragDrop::Source::RemoteList);
        f->window->dragDrop().dropOnLocalList();
        QVERIFY(f->queueEnds());
        QCOMPARE(readLocal(f->localPath("notes.txt")), QByteArray("notes.txt\n"));
    }

    // A profile whose server is an sftp:// address, then a folder tree removed from the server.
    void editorAndViewerWorkOverSftp()
    {
        Profile profile{"sftp://" + server->host(), QString::number(server->port()), server->user(), server->password()};
        const auto fields = ProfileConnection::from(profile, nullptr);
        QVERIFY(fields);
        auto f = std::make_unique<QueueWindow>();
        f->prompter->choices = {0}; // Trust once
        f->window->setConnectionFields(*fields);
        f->window->remotePane().connectAt(fields->startFolder);
        QVERIFY2(f->state.connected() && f->state.protocol == RemoteProtocol::Sftp, qPrintable(f->logText()));
        QVERIFY(server->writeFile("gone/a/b.txt", "b"));
        f->showRemote("/");
        f->selectRemote("gone");
        f->prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f->window->action("menu1_delete")->trigger();
        QVERIFY(!QFileInfo::exists(server->pathOf("gone")) && f->remoteRow("gone") < 0);
        QVERIFY2(f->commands("RMDIR").size() == 3 && f->prompter->shown.size() == 2, qPrintable(f->logText()));
        f->prompter->shown.clear();

        f->selectRemote("notes.txt");
        f->window->remotePane().ListView1_DblClick();
        formascii *editor = f->window->remotePane().textEditor();
        QVERIFY(editor);
        QTRY_COMPARE(editor->text(), QString("notes.txt\n"));
        editor->setText("edited over SFTP\n");
        editor->btnSave_Click();
        QVERIFY2(f->prompter->shown.isEmpty(), qPrintable(f->prompter->shown.value(0).text));
        QCOMPARE(server->readFile("notes.txt"), QByteArray("edited over SFTP\n"));

        f->selectRemote("pic.png");
        f->window->remotePane().ListView1_DblClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        formimage *viewer = f->window->remotePane().imageViewer();
        QVERIFY(viewer);
        QTRY_VERIFY(viewer->lblImgInfo->text().contains("7"));
    }
};

QTEST_MAIN(TestSftpWindow)
#include "tst_sftp_window.moc"
