// What a user expects every day around the main window: connection errors that say why, names
// readable in every view, the keyboard, drops on the empty part of a list, a question before a
// server deletion, a masked password, a log file that keeps its lines, downloads that replace a
// file through the trash, and the paused-queue hint after a reconnect.
#include "CommandLine.h"
#include "DragDrop.h"
#include "RemoteOperations.h"
#include "TreeKeyFollow.h"
#include "tst_queue_fixture.h"

#include <QDirIterator>
#include <QListView>
#include <QMimeData>
#include <QTcpServer>
#include <QTreeView>

namespace {

int rowOf(FileListView *list, const QString &name)
{
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->model()->item(r, 0)->text() == name)
            return r;
    return -1;
}

QRect rowRect(QAbstractItemView *view, FileListView *list, const QString &name)
{
    return view->visualRect(list->model()->index(rowOf(list, name), 0));
}

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class TestEverydayUse : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;
    QTemporaryDir dataHome;

private slots:
    void initTestCase()
    {
        // The desktop's trash of this test: its own home and data folder, on the same volume.
        qputenv("HOME", dataHome.path().toUtf8());
        qputenv("XDG_DATA_HOME", (dataHome.path() + "/share").toUtf8());
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(server->writeFile("pub/deep/inner.txt", "inner"));
        QVERIFY(server->writeFile("pub/a-rather-long-file-name-that-is-not-one-letter.txt", "x"));
        QVERIFY(server->writeFile("kill/one.txt", "1"));
        QVERIFY(server->writeFile("kill/two/three.txt", "3"));
        QVERIFY(server->writeFile("same.bin", "new from the server"));
    }

    void failedConnectionsSayWhyInTheLogAndTheBox()
    {
        MainWindowFixture f;
        f.fillConnection(*server);
        f.window->txtPort->setText(QString::number(closedPort()));
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        QCOMPARE(f.prompter->shown.size(), 1);
        const QString wrongPort = f.prompter->shown.at(0).text;
        QVERIFY2(wrongPort.startsWith("There was an error connecting to the remote server. Please verify your login "
                                      "info. Look at the status window for more details.\n\n"),
                 qPrintable(wrongPort));
        const QString portReason = wrongPort.section("\n\n", 1);
        QVERIFY2(portReason.contains("refused", Qt::CaseInsensitive), qPrintable(portReason));
        QVERIFY(f.logText().contains(portReason)); // logged before the box

        f.prompter->shown.clear();
        f.fillConnection(*server);
        f.window->txtPassword->setText("wrong");
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        const QString reason = f.prompter->shown.value(0).text.section("\n\n", 1);
        QVERIFY2(reason.startsWith("530 "), qPrintable(reason));
        // The refusal is red in the log, even when the same response began with a green welcome.
        bool red = false;
        for (const LogRun &run : f.window->sessionLog().runs())
            red = red || (run.text.contains(reason) && run.colour == LogColours::red());
        QVERIFY(red);
        QVERIFY(!f.logText().contains("wrong")); // never the password
    }

    void enterInAnyQuickConnectFieldConnectsAndThePasswordIsMasked()
    {
        MainWindowFixture f;
        QCOMPARE(f.window->txtPassword->echoMode(), QLineEdit::Password);
        f.fillConnection(*server);
        f.window->show();
        QTest::keyClick(f.window->txtPort, Qt::Key_Return);
        QVERIFY(f.state.connected());
        QVERIFY(f.remoteNames().contains("pub"));
        // The queue is paused after a disconnect: the new connection says how to resume it.
        f.window->remotePane().btnDisconnect_Click();
        QTest::keyClick(f.window->txtUsername, Qt::Key_Enter);
        QVERIFY(f.state.connected());
        QCOMPARE(f.window->statusPanel("")->text(), QString("The queue is paused: Queue > Resume starts it."));
    }

    void everyViewShowsWholeNamesAndEntersFolders()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/pub/");
        f.window->show();
        const QString longName = "a-rather-long-file-name-that-is-not-one-letter.txt";
        for (auto mode : {FileListView::List, FileListView::SmallIcons, FileListView::Icons}) {
            f.window->setListViewMode(formmain::Side::Server, mode);
            QCoreApplication::processEvents();
            QListView *view = f.window->ListView1->iconView();
            const int width = rowRect(view, f.window->ListView1, longName).width();
            QVERIFY2(width >= 90, qPrintable(QString("mode %1: %2 px").arg(int(mode)).arg(width)));
            QVERIFY2(width <= 300, qPrintable(QString("mode %1: %2 px").arg(int(mode)).arg(width)));
        }
        // A double-click in List view enters the folder; Backspace goes back up.
        f.window->setListViewMode(formmain::Side::Server, FileListView::List);
        QCoreApplication::processEvents();
        QListView *view = f.window->ListView1->iconView();
        const QPoint deep = rowRect(view, f.window->ListView1, "deep").center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, deep);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, deep);
        QTRY_COMPARE(f.state.currentRemoteFolder, QString("/pub/deep/"));
        QCOMPARE(f.remoteNames(), QStringList({"..", "inner.txt"}));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Backspace);
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        // Enter on a folder row enters it too.
        view->setCurrentIndex(f.remoteRows()->index(rowOf(f.window->ListView1, "deep"), 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/deep/"));

        // On the local side, in the report view: Alt+Up goes to the parent folder.
        QVERIFY(QDir().mkpath(f.localPath("sub")));
        f.showLocal(f.localPath("sub"));
        QTreeView *report = f.window->ListView3->reportView();
        report->setFocus();
        QTest::keyClick(report, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(f.state.currentLocalFolder, f.local.path() + "/");
    }

    void arrowKeysInATreeListTheFolderWhereTheyRest()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.window->show();
        QTreeView *tree = f.window->TreeView2;
        QStandardItem *root = f.window->remoteTree->item(0);
        QVERIFY(root && root->rowCount() >= 2); // kill, pub: listed under the host
        tree->setFocus();
        tree->setCurrentIndex(root->index());
        const int listingsBefore = f.logLines().filter("Directory listing successfully completed.").size();
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(f.state.currentRemoteFolder, QString("/")); // not yet, and not the folder passed
        const QString under = tree->currentIndex().data(FileListView::KeyRole).toString();
        QTRY_COMPARE_WITH_TIMEOUT(f.state.currentRemoteFolder, under, 3000);
        QTest::qWait(TreeKeyFollow::PauseMs + 100);
        QCOMPARE(f.logLines().filter("Directory listing successfully completed.").size(), listingsBefore + 1);
    }

    void aDropOnTheEmptyPartOfAListGoesIntoItsFolder()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/pub/deep/");
        f.window->show();
        QVERIFY(writeLocal(f.localPath("dropped.txt"), "dropped"));
        f.showLocal(f.local.path());
        QueueWindow::select(f.window->ListView3, {"dropped.txt"});
        f.window->dragDrop().beginDrag(DragDrop::Source::LocalList);
        QTreeView *remote = f.window->ListView1->reportView();
        const QPoint below(20, remote->viewport()->height() - 5);
        QVERIFY(!remote->indexAt(below).isValid());
        QMimeData data;
        data.setData("application/x-vestrigal-rows", "local");
        for (QEvent::Type type : {QEvent::DragEnter, QEvent::DragMove, QEvent::Drop}) {
            QDropEvent *event =
                type == QEvent::DragEnter  ? new QDragEnterEvent(below, Qt::CopyAction, &data, Qt::LeftButton, {})
                : type == QEvent::DragMove ? new QDragMoveEvent(below, Qt::CopyAction, &data, Qt::LeftButton, {})
                                           : new QDropEvent(QPointF(below), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(remote->viewport(), event);
            QVERIFY2(event->isAccepted(), qPrintable(QString::number(type)));
            delete event;
        }
        f.window->dragDrop().endDrag();
        QTRY_COMPARE(server->readFile("pub/deep/dropped.txt"), QByteArray("dropped"));
    }

    void serverDeletionsAskFirstAndCancelSendsNothing()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/kill/");
        QueueWindow::select(f.window->ListView1, {"one.txt", "two"});
        const int lines = f.logLines().size();
        f.window->action("menu1_delete")->trigger();
        QCOMPARE(f.prompter->messageTexts().constLast(),
                 QString("Delete 2 items from the server? Folders are deleted with everything in them. This cannot "
                         "be undone."));
        QCOMPARE(f.prompter->shown.constLast().buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(f.logLines().size(), lines); // nothing sent
        QVERIFY(QFileInfo::exists(server->pathOf("kill/one.txt")));

        // The tree's Delete asks the same, once.
        QStandardItem *node = nullptr;
        for (int r = 0; r < f.window->remoteTree->item(0)->rowCount(); ++r)
            if (f.window->remoteTree->item(0)->child(r)->text() == "kill")
                node = f.window->remoteTree->item(0)->child(r);
        QVERIFY(node);
        f.window->TreeView2->setCurrentIndex(node->index());
        const int asked = f.prompter->shown.size();
        f.window->remoteOperations().menu6_delete_Click();
        QCOMPARE(f.prompter->shown.size(), asked + 1);
        QVERIFY(f.prompter->messageTexts().constLast().startsWith("Delete 1 item from the server?"));
        QVERIFY(QFileInfo::exists(server->pathOf("kill/two/three.txt")));

        // OK deletes both, the folder with what it holds.
        f.showRemote("/kill/");
        QueueWindow::select(f.window->ListView1, {"one.txt", "two"});
        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->remoteOperations().btnDelete_Click();
        QVERIFY(!QFileInfo::exists(server->pathOf("kill/one.txt")));
        QVERIFY(!QFileInfo::exists(server->pathOf("kill/two")));
    }

    void theLogFileKeepsTheFirstConnectionsLinesAfterAReconnect()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        const QString file = f.state.currentLogFile;
        const QByteArray first = readLocal(file);
        QVERIFY(first.contains("Connected to remote host."));
        f.prompter->answers = {Prompter::Answer::Ok}; // disconnect and connect to the new server
        QVERIFY(f.connect(*server));
        QCOMPARE(f.state.currentLogFile, file);
        QCOMPARE(f.logText().count("Connected to remote host."), 1); // the window was emptied
        const QString onDisk = QString::fromUtf8(readLocal(file));
        QCOMPARE(onDisk.count("Connected to remote host."), 2);
        f.window->action("menu4_clear")->trigger();
        f.window->LogLine("after clearing", 0);
        const QString cleared = QString::fromUtf8(readLocal(file));
        QCOMPARE(cleared.count("Connected to remote host."), 2);
        QVERIFY(cleared.contains("after clearing"));
    }

    void aDownloadReplacesALocalFileThroughTheTrash()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        QVERIFY(writeLocal(f.localPath("same.bin"), "the user's own"));
        f.showLocal(f.local.path());
        f.showRemote("/");
        QueueWindow::select(f.window->ListView1, {"same.bin"});
        f.window->queuePane().btnDownload_Click();
        QTRY_COMPARE(f.window->queuePane().queue().count(), 0);
        QCOMPARE(readLocal(f.localPath("same.bin")), QByteArray("new from the server"));
        QStringList trashed;
        QDirIterator it(dataHome.path() + "/share/Trash/files", QDir::Files);
        while (it.hasNext())
            trashed << readLocal(it.next());
        QCOMPARE(trashed, QStringList({"the user's own"}));
    }

    void theCommandLineAnswersHelpVersionAndTakesSecureLinks()
    {
        using A = CommandLine::Action;
        QCOMPARE(CommandLine::parse({"vestrigal", "--help"}).action, A::Help);
        QCOMPARE(CommandLine::parse({"vestrigal", "ftp://h/", "-v"}).action, A::Version);
        QVERIFY(CommandLine::versionText().startsWith("Vestrigal 5."));
        QCOMPARE(CommandLine::parse({"vestrigal", "--frobnicate"}).action, A::Error);
        QCOMPARE(CommandLine::parse({"vestrigal", "ftp://a/", "ftp://b/"}).action, A::Error);
        const CommandLine plain = CommandLine::parse({"vestrigal", "ftp://u:p@host:2121/pub/"});
        QCOMPARE(plain.action, A::Run);
        QCOMPARE(plain.url, QString("ftp://u:p@host:2121/pub/"));
        // Secure links go to the connection as they are: the scheme decides how it is protected.
        for (const char *link : {"ftps://u:p@host/", "FTPES://host/"}) {
            const CommandLine secure = CommandLine::parse({"vestrigal", link});
            QCOMPARE(secure.action, A::Run);
            QCOMPARE(secure.url, QString(link));
            QVERIFY(secure.message.isEmpty());
        }
    }

    void installedProgramsKeepTheirDataInTheUsersDataFolder()
    {
        QTemporaryDir root;
        const QString prefix = root.path() + "/usr";
        QVERIFY(writeLocal(prefix + "/share/vestrigal/help/help.dat", "help"));
        QVERIFY(QDir().mkpath(prefix + "/bin"));
        const AppFolders installed = AppFolders::forProgramIn(prefix + "/bin", root.path() + "/data");
        QCOMPARE(installed.logs, root.path() + "/data/vestrigal/logs/");
        QCOMPARE(installed.profiles, root.path() + "/data/vestrigal/profiles/");
        QCOMPARE(installed.temp, root.path() + "/data/vestrigal/temp/");
        QCOMPARE(installed.helpFile, prefix + "/share/vestrigal/help/help.dat");
        // A program whose help is beside it (a build folder, an unpacked copy) keeps everything there.
        QVERIFY(writeLocal(prefix + "/bin/help/help.dat", "help"));
        QCOMPARE(AppFolders::forProgramIn(prefix + "/bin", root.path() + "/data").logs, prefix + "/bin/logs/");
    }
};

QTEST_MAIN(TestEverydayUse)
#include "tst_everyday_use.moc"
