// Connecting, disconnecting, the timers and the remote listing, against a real local FTP server.
#include "MainWindowFixture.h"
#include "RemoteOperations.h"

#include <QTextBlock>
#include <QTextEdit>
#include <QTreeView>

class TestRemotePane : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>(QStringList{"--no-mlsd"});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(QDir().mkpath(server->pathOf("pub/docs")) && QDir().mkpath(server->pathOf("pub/empty")));
        QVERIFY(server->writeFile("readme.txt", "hello\n"));
        QVERIFY(server->writeFile("pub/exact.bin", QByteArray(4096, 'x')) && server->writeFile("pub/notes.txt", "n"));
        QVERIFY(server->writeFile("pub/NOTES.TXT", "N") && server->writeFile("pub/big.dat", QByteArray(1234567, 'b')));
    }

    // Connect, the question on connecting again, and disconnect: what the log, the title, the menus
    // and the lists show at each step.
    void aConnectionFromStartToEnd()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        const QStringList lines = f.logLines();
        QVERIFY2(lines.first().startsWith("220"), qPrintable(lines.first()));
        // This server has no TLS: the log says, in red, that the password went in clear.
        const qsizetype warning = lines.indexOf(QRegularExpression("^The server does not support FTP over TLS.*"));
        QVERIFY(warning > lines.indexOf("Command: AUTH TLS") && lines[warning].contains("unencrypted"));
        QVERIFY(f.loggedInRed(lines[warning]));
        QVERIFY(lines.indexOf("Connected to remote host.") > lines.indexOf("Command: PASV"));
        QCOMPARE(lines.last(), QString("Directory listing successfully completed."));
        // Commands are dark blue and 2xx replies dark green.
        for (QTextBlock b = f.window->RichTextBox1->document()->begin(); b.isValid(); b = b.next())
            if (b.text().startsWith("Command: ") || b.text().startsWith("2"))
                QCOMPARE(b.begin().fragment().charFormat().foreground().color(),
                         b.text().startsWith("2") ? QColor(0, 64, 0) : QColor(0, 0, 64));
        QCOMPARE(f.window->windowTitle(), QString("Vestrigal - 127.0.0.1"));
        QVERIFY(f.window->action("menu6_download")->isEnabled());
        QVERIFY(!f.window->timeKeep->isActive() && !f.window->timeOut->isActive());
        QVERIFY(!f.logText().contains(server->password()));
        QVERIFY(!readLocal(f.state.currentLogFile).contains(server->password().toUtf8()));

        // Connecting again (Cancel is tested with the fields it restores), OK: the old connection goes
        // without QUIT, the log starts afresh with the new greeting.
        RemoteSession *session = f.state.session;
        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->action("menu_qconnect")->trigger();
        QVERIFY(f.prompter->shown.value(0).text.startsWith("You are already connected on a server."));
        QVERIFY(f.state.connected() && f.state.session != session && f.logLines().first().startsWith("220"));
        QVERIFY(!f.logText().contains("QUIT"));

        // Disconnect asks only while the queue holds entries.
        f.window->queuePane().queue().append(QueueEntry{}, QIcon());
        f.prompter->answers = {Prompter::Answer::Cancel};
        f.window->action("menu_disconnect")->trigger();
        QVERIFY(f.state.connected());
        QCOMPARE(f.prompter->shown.size(), 2);
        f.window->queuePane().queue().clear();
        f.window->action("menu_disconnect")->trigger();
        QCOMPARE(f.prompter->shown.size(), 2);
        QVERIFY(!f.state.connected() && !f.state.queueRunning && f.logLines().contains("Command: QUIT"));
        QCOMPARE(QStringList({f.logLines().last(), f.window->windowTitle()}),
                 QStringList({"Disconnected from server.", "Vestrigal"}));
        QCOMPARE(f.remoteRows()->rowCount() + f.window->remoteTree->rowCount(), 0);
        QVERIFY(!f.window->action("menu_upload")->isEnabled());
        QCOMPARE(f.status(), QString("Not logged in."));
        QVERIFY(f.window->statusPanel("remote")->text().startsWith("Remote: 2 files")); // keeps its last text
    }

    // The keep-alive logs the replies it gets without command lines; the time limit disconnects.
    void theTimers()
    {
        MainWindowFixture f;
        f.fillConnection(*server, "0", "100");
        f.window->remotePane().btnConnect_Click();
        QVERIFY(f.window->timeKeep->isActive());
        const int pwdCommands = f.logLines().count("Command: PWD");
        const int before = f.logLines().size();
        QTRY_VERIFY_WITH_TIMEOUT(f.logLines().size() >= before + 2, 5000);
        QCOMPARE(f.logLines().count("Command: PWD"), pwdCommands);
        QVERIFY(f.logLines().last().startsWith("257"));
        f.window->remotePane().btnDisconnect_Click();
        f.fillConnection(*server, "300", "0");
        f.window->remotePane().btnConnect_Click();
        QVERIFY(f.window->timeOut->isActive() && !f.window->timeKeep->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!f.state.connected(), 5000);
        QCOMPARE(f.logLines().last(), QString("Disconnected from server."));
        QVERIFY(!f.window->timeOut->isActive());
    }

    void closingWhileAListingRunsEndsItCleanly()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        // Between two commands of the listing, and while it waits inside the client.
        for (int delay : {0, 1, 5}) {
            if (!f.state.connected())
                QVERIFY(f.connect(*server));
            QTimer::singleShot(delay, f.window.get(), [&f] { f.window->btnQuit_Click(); });
            f.window->remotePane().FtpGetDirectoryContents();
            QTRY_VERIFY(!f.state.connected());
            QVERIFY(f.state.listingFree);
        }
        // Disconnect in the middle: everything remote is cleared, and the next listing works.
        QVERIFY(f.connect(*server));
        QTimer::singleShot(0, f.window.get(), [&f] { f.window->remotePane().btnDisconnect_Click(); });
        f.window->remotePane().FtpGetDirectoryContents();
        QVERIFY(!f.state.connected());
        QCOMPARE(f.remoteRows()->rowCount(), 0);
        QVERIFY(f.connect(*server) && f.remoteRow("pub") >= 0);
    }

    void badFieldsAreRefusedBeforeConnecting()
    {
        MainWindowFixture f;
        f.fillConnection(*server);
        for (const char *port : {"", "abc", "0", "70000", "21x"}) {
            f.window->txtPort->setText(port);
            f.window->remotePane().btnConnect_Click();
            QVERIFY(!f.state.connected());
        }
        f.window->txtPort->setText(QString::number(server->port()));
        f.window->txtKeep->setText("-5");
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        QCOMPARE(f.prompter->shown.size(), 6);
        QVERIFY(f.prompter->shown[0].text.contains("port") && f.prompter->shown[5].text.contains("keep-alive"));
        QVERIFY(f.logText().isEmpty());
    }

    void listingRowsKeysTreeAndTotals()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        QVERIFY(f.remoteRow("..") < 0); // none at the root
        f.selectRemote("pub");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(QStringList({f.state.currentRemoteFolder, f.remoteNames().first()}), QStringList({"/pub/", ".."}));
        QCOMPARE(f.remoteRows()->item(0, 0)->data(FileListView::KeyRole).toString(), QString(""));
        QCOMPARE(f.remoteCell("..", "type") + f.remoteCell("..", "tsize"), QString("Parent directory4096"));
        QCOMPARE(f.remoteCell("docs", "type"), QString("Directory"));
        QCOMPARE(f.remoteCell("exact.bin", "tsize"), QString("4096")); // like a folder
        QCOMPARE(f.remoteCell("big.dat", "size") + '|' + f.remoteCell("big.dat", "tsize"),
                 QString("1 234 567|1234567"));
        QStandardItem *pub = f.window->remoteTree->item(0)->child(0);
        QVERIFY(pub && pub->rowCount() == 2);
        QVERIFY(nodeWithKey(f.window->remoteTree, "/pub/docs/") && nodeWithKey(f.window->remoteTree, "/pub/empty/"));
        // 2 folders at 4096 each, and 4096 + 1 + 1 + 1234567 bytes of files.
        QCOMPARE(f.window->statusPanel("remote")->text(),
                 QString("Remote: 6 files, %1 bytes").arg(2 * 4096 + 4096 + 2 + 1234567));
        QCOMPARE(f.window->txtDirectory->text(), QString("/pub/"));
        // ".." goes back up; a tree node click lists its folder.
        f.selectRemote("..");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(f.state.currentRemoteFolder, QString("/"));
        pub = f.window->remoteTree->item(0)->child(0); // the root's listing made its nodes anew
        f.window->remotePane().TreeView2_NodeClick(pub->index());
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        QCOMPARE(pub->child(0)->data(FileListView::KeyRole).toString(), QString("/pub/docs/"));
        f.window->remotePane().TreeView2_NodeClick(pub->child(0)->index());
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/docs/"));
        QCOMPARE(f.remoteNames(), QStringList({".."}));
        QCOMPARE(f.window->statusPanel("remote")->text(), QString("Remote: 0 files, 0 bytes"));
    }

    void typedPathsAndFilters()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        f.typeRemote("/pub//");
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        // A path typed with no node yet gets the nodes along it.
        f.typeRemote("/pub/docs");
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/docs/"));
        QCOMPARE(f.window->TreeView2->currentIndex().data(FileListView::KeyRole).toString(), QString("/pub/docs/"));
        f.typeRemote("/no/such/place");
        QCOMPARE(f.prompter->messageTexts().last(), QString("Could not change remote directory."));
        QCOMPARE(f.window->txtDirectory->text(), QString("/pub/docs/"));
        QVERIFY(f.logLines().last().startsWith("550"));

        f.typeRemote("/pub/");
        f.prompter->inputs = {"txt"};
        f.window->action("menu1_showcustom")->trigger();
        QCOMPARE(f.state.remoteFilter, QString("*.txt"));
        QCOMPARE(f.remoteNames(), QStringList({"..", "notes.txt"})); // case counts; folders are filtered too
        f.prompter->inputs = {""};
        f.window->action("menu_showcustom_server")->trigger();
        QCOMPARE(f.state.remoteFilter, QString("*.txt"));
        f.window->action("menu_showall_server")->trigger();
        QCOMPARE(f.remoteNames().size(), 7);
    }

    void hostileNamesCreateNothingOutsideTemp()
    {
        TestFtpServer hostile({"--no-mlsd"});
        QVERIFY(hostile.isRunning() && hostile.writeFile("..\\..\\escape.txt", "x"));
        QVERIFY(hostile.writeFile("bell\x07.txt", "x") && hostile.writeFile("fine.txt", "x"));
        MainWindowFixture f;
        QVERIFY(f.connect(hostile));
        QCOMPARE(f.remoteNames().size(), 3); // every name still gets its row
        f.window->remotePane().placeholders().waitForDone();
        QCOMPARE(QDir(f.state.folders.temp).entryList(QDir::Files), QStringList({"fine.txt"}));
        QCOMPARE(QDir(f.state.folders.app).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(f.home.path()).entryList(QDir::Files), QStringList());
    }

    // Lines nobody can read still leave the readable rows, and the log says how many there were.
    void unreadableListingLinesAreReported()
    {
        TestFtpServer odd({"--no-mlsd", "--list-line", "?? garbage ??", "--list-line", "total 3", "--list-line",
                           "-rw-r--r-- 1 a b 12 Smarch 40 10:05 cut"});
        QVERIFY(odd.isRunning() && odd.writeFile("fine.txt", "x"));
        MainWindowFixture f;
        QVERIFY(f.connect(odd));
        QCOMPARE(f.remoteNames(), QStringList({"fine.txt"}));
        const QStringList lines = f.logLines();
        QVERIFY2(lines.filter("could not be read").size() == 1, qPrintable(f.logText()));
        const qsizetype note = lines.indexOf("2 lines of the listing could not be read.");
        QVERIFY2(note > 0, qPrintable(f.logText()));
        QCOMPARE(lines.at(note + 1), QString("Directory listing successfully completed."));
    }

    // A link is tried as a folder: one to a folder is entered, one to a file stays where it was.
    void linksAreEnteredWhenTheServerLetsUs()
    {
        TestFtpServer links({"--no-mlsd"});
        QVERIFY(links.isRunning() && QDir().mkpath(links.pathOf("real")) && links.writeFile("real/inside.txt", "i"));
        QVERIFY(links.writeFile("data.bin", "d") && QFile::link("real", links.pathOf("tofolder")));
        QVERIFY(QFile::link("data.bin", links.pathOf("tofile.bin")));
        MainWindowFixture f;
        QVERIFY(f.connect(links));
        f.selectRemote("tofile.bin");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(f.state.currentRemoteFolder, QString("/"));
        QVERIFY(f.remoteRow("tofile.bin") >= 0);
        f.selectRemote("tofolder");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(f.state.currentRemoteFolder, QString("/tofolder/"));
        QCOMPARE(f.remoteNames(), QStringList({"..", "inside.txt"}));
    }

    // The menu items are disabled, but the toolbar, keys, path field and popups reach these too.
    void everyServerCommandNeedsAConnection()
    {
        QueueWindow f;
        RemotePane &pane = f.window->remotePane();
        RemoteOperations &o = f.window->remoteOperations();
        QVERIFY(writeLocal(f.localPath("a.bin"), "a"));
        f.showLocal(f.local.path());
        selectRows(f.window->ListView3, {"a.bin"});
        f.window->Toolbar1_ButtonClick(3);
        for (void (RemotePane::*command)() :
             {&RemotePane::menu_refresh_server_Click, &RemotePane::menu_showall_server_Click,
              &RemotePane::menu_showcustom_server_Click, &RemotePane::ListView1_DblClick,
              &RemotePane::txtDirectory_KeyPress})
            (pane.*command)();
        for (void (RemoteOperations::*command)() :
             {&RemoteOperations::btnRename_Click, &RemoteOperations::btnDelete_Click, &RemoteOperations::btnMkdir_Click,
              &RemoteOperations::menu6_delete_Click, &RemoteOperations::menu6_rename_Click,
              &RemoteOperations::menu6_mkdir_Click, &RemoteOperations::menu_cmd_Click,
              &RemoteOperations::menu_pass_Click})
            (o.*command)();
        f.window->queuePane().btnUpload_Click();
        f.window->queuePane().menu6_download_Click();
        QCOMPARE(f.prompter->messageTexts(), QStringList(16, NeedsConnection));
        QCOMPARE(f.prompter->shown[0].icon, Prompter::Icon::Warning);
        QVERIFY(f.prompter->prompts.isEmpty() && f.logText().isEmpty());
        QCOMPARE(f.queueRows(), 0);
    }

    void commandLineConnection()
    {
        MainWindowFixture f;
        const QString url =
            QString("ftp://%1:%2@127.0.0.1:%3/pub/docs").arg(server->user(), server->password()).arg(server->port());
        QVERIFY(f.window->remotePane().connectTo(url) && f.state.connected());
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/docs/"));
        QVERIFY(!f.window->remotePane().connectTo("http://example.org/"));
    }
};

QTEST_MAIN(TestRemotePane)
#include "tst_remotepane.moc"
