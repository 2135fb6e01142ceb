// Listings say what really happened and are never lost: a folder that cannot be entered is
// reported and the panes stay on one that exists; requests made while the connection is held
// wait their turn or are refused. Against a local server, a slow one where timing matters.
#include "LocalPaths.h"
#include "MainWindowFixture.h"
#include "RemoteOperations.h"

#include <QTreeView>

namespace {

// The lines logged after the last line equal to `command`, up to the next command line.
QStringList answerTo(const QStringList &lines, const QString &command)
{
    const int at = lines.lastIndexOf(command);
    QStringList answer;
    for (int i = at + 1; at >= 0 && i < lines.size() && !lines[i].startsWith("Command: "); ++i)
        answer << lines[i];
    return answer;
}

} // namespace

class TestPaneListing : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;
    std::unique_ptr<TestFtpServer> slow;

    static QString currentNodeKey(const QueueWindow &f)
    {
        return f.window->TreeView2->currentIndex().data(FileListView::KeyRole).toString();
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        for (const char *name : {"gone/x.txt", "keep/y.txt", "p/q/z.txt", "p/w.txt"})
            QVERIFY(server->writeFile(name, name));
        slow = std::make_unique<TestFtpServer>(
            QStringList{"--no-mlsd", "--delay", "LIST", "0.8", "--delay", "DELE", "0.3"});
        QVERIFY2(slow->isRunning(), qPrintable(slow->errorText()));
        for (const char *name : {"pub/inpub.txt", "d/f1.txt", "d/f2.txt", "d/f3.txt", "top.txt"})
            QVERIFY(slow->writeFile(name, name));
    }

    void aFolderThatCannotBeEnteredIsReportedAndLeft()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        QStandardItem *gone = nodeWithKey(f.window->remoteTree, "/gone/");
        QVERIFY(gone);
        QVERIFY(QDir(server->pathOf("gone")).removeRecursively());
        f.window->remotePane().TreeView2_NodeClick(gone->index());
        const QStringList answer = answerTo(f.logLines(), "Command: CWD /gone/");
        QVERIFY2(!answer.isEmpty() && answer.first().startsWith("550"), qPrintable(answer.join('|')));
        QVERIFY(f.loggedInRed(answer.first()));
        QVERIFY(!answer.contains("Directory listing successfully completed."));
        // Back on the folder listed before, everything showing it.
        QCOMPARE(f.state.currentRemoteFolder, QString("/"));
        QCOMPARE(f.window->txtDirectory->text(), QString("/"));
        QCOMPARE(currentNodeKey(f), QString("/"));
        QVERIFY(f.remoteRow("keep") >= 0);
        QVERIFY(f.remoteRow("gone") < 0);
        QVERIFY(!nodeWithKey(f.window->remoteTree, "/gone/"));
        QCOMPARE(f.status(), QString("Ready."));

        // The listed folder itself went: its nearest parent that exists is shown.
        f.typeRemote("/p/q/");
        QCOMPARE(f.remoteNames(), QStringList({"..", "z.txt"}));
        QVERIFY(QDir(server->pathOf("p/q")).removeRecursively());
        f.window->remotePane().menu_refresh_server_Click();
        QCOMPARE(f.state.currentRemoteFolder, QString("/p/"));
        QCOMPARE(f.window->txtDirectory->text(), QString("/p/"));
        QCOMPARE(currentNodeKey(f), QString("/p/"));
        QCOMPARE(f.remoteNames(), QStringList({"..", "w.txt"}));
    }

    void connectingAgainDuringASlowListingListsTheNewConnection()
    {
        QueueWindow f;
        QVERIFY(f.connect(*slow));
        FtpSession *first = f.state.session;
        f.prompter->answers = {Prompter::Answer::Ok};
        QTimer::singleShot(300, f.window.get(), [&f] { f.window->remotePane().btnConnect_Click(); });
        f.window->remotePane().menu_refresh_server_Click();
        QVERIFY(f.state.connected());
        QVERIFY(f.state.session != first);
        QTRY_VERIFY_WITH_TIMEOUT(f.remoteRow("pub") >= 0, 10000);
        QTRY_COMPARE(f.status(), QString("Ready."));
        QCOMPARE(f.window->txtDirectory->text(), QString("/"));
    }

    void anotherFolderAskedForDuringASlowListingIsListedAfterIt()
    {
        QueueWindow f;
        QVERIFY(f.connect(*slow));
        QStandardItem *pub = nodeWithKey(f.window->remoteTree, "/pub/");
        QVERIFY(pub);
        QTimer::singleShot(300, f.window.get(),
                           [&f, pub] { f.window->remotePane().TreeView2_NodeClick(pub->index()); });
        f.window->remotePane().menu_refresh_server_Click();
        QTRY_VERIFY_WITH_TIMEOUT(f.remoteRow("inpub.txt") >= 0, 10000);
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        QTRY_COMPARE(f.status(), QString("Ready."));
        QCOMPARE(f.window->txtDirectory->text(), QString("/pub/"));
        QCOMPARE(currentNodeKey(f), QString("/pub/"));
    }

    void remoteCommandsWaitForTheExchangeUnderWay()
    {
        QueueWindow f;
        QVERIFY(f.connect(*slow));
        selectRows(f.window->ListView1, {"d"});
        RemoteOperations &ops = f.window->remoteOperations();
        // A second Delete and a raw command while the first delete pass runs.
        QTimer::singleShot(100, f.window.get(), [&ops] { ops.btnDelete_Click(); });
        f.prompter->inputs = {"NOOP"};
        QTimer::singleShot(150, f.window.get(), [&ops] { ops.menu_cmd_Click(); });
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        ops.btnDelete_Click();
        QTRY_VERIFY(!QFileInfo::exists(slow->pathOf("d")));
        // The question of the first Delete only: the second was refused while the first ran.
        QVERIFY2(f.prompter->shown.size() == 1, qPrintable(f.prompter->messageTexts().join('|')));
        for (const char *file : {"f1.txt", "f2.txt", "f3.txt"})
            QCOMPARE(f.logLines().count(QString("Command: DELE ") + file), 1);
        QCOMPARE(f.prompter->inputs, QStringList({"NOOP"})); // never asked: the connection was held
        QTRY_VERIFY_WITH_TIMEOUT(f.remoteRow("top.txt") >= 0, 10000);
        QVERIFY(f.remoteRow("d") < 0);
    }

    void everyLocalFolderButTheRootHasAParentRow()
    {
        MainWindowFixture f;
        QString mount;
        for (const char *candidate : {"/dev/shm/", "/dev/", "/proc/", "/sys/", "/tmp/", "/home/", "/run/"})
            if (QFileInfo(candidate).isDir() && LocalPaths::isVolumeRoot(candidate)) {
                mount = candidate;
                break;
            }
        if (mount.isEmpty())
            QSKIP("no mount point besides / here");
        f.state.currentLocalFolder = mount;
        f.window->localPane().ClientGetDirectoryContents();
        QStandardItemModel *rows = f.window->ListView3->model();
        QVERIFY(rows->rowCount() > 0);
        QCOMPARE(rows->item(0, 0)->text(), QString(".."));
        QCOMPARE(rows->item(0, 0)->data(FileListView::KeyRole).toString(), LocalPaths::parentKey(mount));
        f.state.currentLocalFolder = "/";
        f.window->localPane().ClientGetDirectoryContents();
        QVERIFY(rows->rowCount() == 0 || rows->item(0, 0)->text() != "..");
    }
};

QTEST_MAIN(TestPaneListing)
#include "tst_panes_listing.moc"
