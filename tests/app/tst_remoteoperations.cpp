// Operations on the server through the window, listings that say what really happened, and requests
// made while the connection is held. Against local servers, a slow one where timing matters.
#include "MainWindowFixture.h"
#include "RemoteOperations.h"
#include "formpass.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTreeView>

class TestRemoteOperations : public QObject
{
    Q_OBJECT

    QTemporaryDir recordDir;
    std::unique_ptr<TestFtpServer> server, slow;

    static void select(MainWindowFixture &f, const QStringList &names) { selectRows(f.window->ListView1, names); }
    static void goTo(MainWindowFixture &f, const QString &folder)
    {
        f.typeRemote(folder);
        QCOMPARE(f.state.currentRemoteFolder, folder);
    }
    static void selectNode(MainWindowFixture &f, const QString &key)
    {
        QVERIFY(nodeWithKey(f.window->remoteTree, key));
        f.window->TreeView2->setCurrentIndex(nodeWithKey(f.window->remoteTree, key)->index());
    }
    // The lines logged from `from` on, up to the next command line.
    static QStringList untilNextCommand(const QStringList &lines, qsizetype from)
    {
        QStringList answer;
        for (qsizetype i = from; i < lines.size() && !lines[i].startsWith("Command: "); ++i)
            answer << lines[i];
        return answer;
    }
    // Reply lines (a three-digit code first) logged from `from` on, up to the next command.
    static QStringList repliesFrom(const MainWindowFixture &f, qsizetype from)
    {
        return untilNextCommand(f.logLines(), from).filter(QRegularExpression("^\\d\\d\\d[ -]"));
    }
    // The folder as the listing, the path field and the tree's current node show it.
    static QStringList shown(const MainWindowFixture &f)
    {
        return {f.state.currentRemoteFolder, f.window->txtDirectory->text(),
                f.window->TreeView2->currentIndex().data(FileListView::KeyRole).toString()};
    }
    RemoteOperations &ops(MainWindowFixture &f) { return f.window->remoteOperations(); }
    bool exists(const QString &relative) const { return QFileInfo::exists(server->pathOf(relative)); }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>(
            QStringList{"--record", recordDir.filePath("pswd.txt"), "--refuse-rmd", "stubborn"});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        for (const char *name : {"gone/x.txt", "keep/y.txt", "lp/q/z.txt", "lp/w.txt"})
            QVERIFY(server->writeFile(name, name));
        slow = std::make_unique<TestFtpServer>(
            QStringList{"--no-mlsd", "--delay", "LIST", "0.8", "--delay", "DELE", "0.3"});
        QVERIFY2(slow->isRunning(), qPrintable(slow->errorText()));
        for (const char *name : {"pub/inpub.txt", "d/f1.txt", "d/f2.txt", "d/f3.txt", "top.txt"})
            QVERIFY(slow->writeFile(name, name));
    }

    void aFolderThatCannotBeEnteredIsReportedAndLeft()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        QStandardItem *gone = nodeWithKey(f.window->remoteTree, "/gone/");
        QVERIFY(gone && QDir(server->pathOf("gone")).removeRecursively());
        f.window->remotePane().TreeView2_NodeClick(gone->index());
        const QStringList lines = f.logLines();
        const QStringList answer = untilNextCommand(lines, lines.lastIndexOf("Command: CWD /gone/") + 1);
        QVERIFY2(!answer.isEmpty() && answer.first().startsWith("550"), qPrintable(answer.join('|')));
        QVERIFY(f.loggedInRed(answer.first()) && !answer.contains("Directory listing successfully completed."));
        // Back on the folder listed before, everything showing it.
        QCOMPARE(shown(f), QStringList(3, "/"));
        QVERIFY(f.remoteRow("keep") >= 0 && f.remoteRow("gone") < 0 && !nodeWithKey(f.window->remoteTree, "/gone/"));
        QCOMPARE(f.status(), QString("Ready."));

        // The listed folder itself went: its nearest parent that exists is shown.
        f.typeRemote("/lp/q/");
        QCOMPARE(f.remoteNames(), QStringList({"..", "z.txt"}));
        QVERIFY(QDir(server->pathOf("lp/q")).removeRecursively());
        f.window->remotePane().menu_refresh_server_Click();
        QCOMPARE(shown(f), QStringList(3, "/lp/"));
        QCOMPARE(f.remoteNames(), QStringList({"..", "w.txt"}));
    }

    void connectingAgainDuringASlowListingListsTheNewConnection()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*slow));
        RemoteSession *first = f.state.session;
        f.prompter->answers = {Prompter::Answer::Ok};
        QTimer::singleShot(300, f.window.get(), [&f] { f.window->remotePane().btnConnect_Click(); });
        f.window->remotePane().menu_refresh_server_Click();
        QVERIFY(f.state.connected() && f.state.session != first);
        QTRY_VERIFY_WITH_TIMEOUT(f.remoteRow("pub") >= 0, 10000);
        QTRY_COMPARE(f.status(), QString("Ready."));
        QCOMPARE(f.window->txtDirectory->text(), QString("/"));
    }

    void anotherFolderAskedForDuringASlowListingIsListedAfterIt()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*slow));
        QStandardItem *pub = nodeWithKey(f.window->remoteTree, "/pub/");
        QVERIFY(pub);
        QTimer::singleShot(300, f.window.get(),
                           [&f, pub] { f.window->remotePane().TreeView2_NodeClick(pub->index()); });
        f.window->remotePane().menu_refresh_server_Click();
        QTRY_VERIFY_WITH_TIMEOUT(f.remoteRow("inpub.txt") >= 0, 10000);
        QTRY_COMPARE(f.status(), QString("Ready."));
        QCOMPARE(shown(f), QStringList(3, "/pub/"));
    }

    void remoteCommandsWaitForTheExchangeUnderWay()
    {
        MainWindowFixture f;
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

    void deletesAThreeLevelTreeDepthFirst()
    {
        for (const char *file : {"t/a.txt", "t/b.txt", "t/l2/c.txt", "t/l2/l3/d.txt", "t/l2/l3/e.txt"})
            QVERIFY(server->writeFile(file, "x"));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        select(f, {"t"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f.window->action("menu1_delete")->trigger();
        QVERIFY(!exists("t"));
        QCOMPARE(f.prompter->shown.size(), 1); // the question, nothing else
        QCOMPARE(f.commands("DELE").size(), 5);
        QVERIFY(f.remoteRow("t") < 0);
        QCOMPARE(f.state.currentRemoteFolder, QString("/"));
    }

    void deletionsAskFirstAndNeverTakeTheParentRow()
    {
        for (const char *file : {"p/one.txt", "p/two.txt", "p/keep.txt"})
            QVERIFY(server->writeFile(file, file));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        goTo(f, "/p/");
        select(f, {"..", "one.txt", "two.txt"});
        const int lines = f.logLines().size();
        f.window->action("menu1_delete")->trigger(); // answered Cancel
        QCOMPARE(f.prompter->messageTexts().constLast(),
                 QString("Delete 2 items from the server? Folders are deleted with everything in them. This cannot "
                         "be undone."));
        QCOMPARE(f.prompter->shown.constLast().buttons, Prompter::Buttons::OkCancel);
        QCOMPARE(f.logLines().size(), lines); // nothing sent
        // The tree's Delete asks the same, once.
        selectNode(f, "/p/");
        ops(f).menu6_delete_Click();
        QCOMPARE(f.prompter->shown.size(), 2);
        QVERIFY(f.prompter->messageTexts().constLast().startsWith("Delete 1 item from the server?"));
        QVERIFY(exists("p/one.txt"));
        // OK deletes the two files, never the folder above.
        select(f, {"..", "one.txt", "two.txt"});
        f.prompter->answers = {Prompter::Answer::Ok};
        ops(f).btnDelete_Click();
        QVERIFY(!exists("p/one.txt") && !exists("p/two.txt") && exists("p/keep.txt"));
        QStringList removed = f.commands("DELE");
        removed.sort();
        QCOMPARE(removed, QStringList({"Command: DELE one.txt", "Command: DELE two.txt"}));
    }

    void renameSendsNothingForTheSameOrAnEmptyNameOrATakenOne()
    {
        QVERIFY(server->writeFile("r/old.txt", "old") && server->writeFile("r/other.txt", "other"));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        goTo(f, "/r/");
        select(f, {"old.txt"});
        const int before = f.logLines().size();
        f.prompter->inputs = {"old.txt"};
        ops(f).btnRename_Click();
        f.prompter->inputs = {""};
        ops(f).btnRename_Click();
        QVERIFY(f.logLines().mid(before).filter("RNTO").isEmpty() && f.prompter->shown.isEmpty());
        // Onto a name that stands in the folder: refused, both files kept; nothing is sent, so no
        // reply may be logged.
        select(f, {"old.txt"});
        f.prompter->inputs = {"other.txt"};
        int from = f.logLines().size();
        ops(f).btnRename_Click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Error, could not rename file old.txt"));
        QCOMPARE(repliesFrom(f, from), QStringList());
        QCOMPARE(server->readFile("r/other.txt") + server->readFile("r/old.txt"), QByteArray("otherold"));
        QVERIFY(f.logLines().mid(before).filter("RNTO").isEmpty());
        select(f, {"old.txt"});
        f.prompter->inputs = {"new name.txt"};
        ops(f).btnRename_Click();
        QVERIFY(exists("r/new name.txt") && f.logLines().contains("Command: RNTO new name.txt"));
        QVERIFY(f.remoteRow("new name.txt") >= 0);
        // In place, onto a taken name: the element could not be renamed.
        from = f.logLines().size();
        f.remoteRows()->item(f.remoteRow("new name.txt"), 0)->setText("other.txt");
        QCOMPARE(f.prompter->messageTexts().last(), QString("The element could not be renamed."));
        QCOMPARE(repliesFrom(f, from), QStringList());
        QVERIFY(exists("r/new name.txt"));
        f.remoteRows()->item(f.remoteRow("new name.txt"), 0)->setText("edited.txt");
        QVERIFY(exists("r/edited.txt"));
    }

    void treeRenameAndDelete()
    {
        QVERIFY(QDir().mkpath(server->pathOf("pub/old/inner")) && server->writeFile("pub/old/inner/f.txt", "f"));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        goTo(f, "/pub/old/");
        selectNode(f, "/pub/old/");
        f.prompter->inputs = {"new"};
        ops(f).menu6_rename_Click();
        QVERIFY(exists("pub/new/inner/f.txt") && !exists("pub/old"));
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        QVERIFY(f.remoteRow("new") >= 0);
        // Deleting the listed folder (from below it) lists its parent.
        goTo(f, "/pub/new/inner/");
        selectNode(f, "/pub/new/");
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        ops(f).menu6_delete_Click();
        QVERIFY(!exists("pub/new"));
        QCOMPARE(f.state.currentRemoteFolder, QString("/pub/"));
        QCOMPARE(f.prompter->shown.size(), 1);
        selectNode(f, "/pub/");
        f.prompter->inputs = {"made"};
        ops(f).menu6_mkdir_Click();
        QVERIFY(QFileInfo(server->pathOf("pub/made")).isDir());
    }

    void failuresGiveTheirMessagesAndEndTheWalk()
    {
        QVERIFY(server->writeFile("f/keep/stubborn/x.txt", "x") && server->writeFile("f/keep/y.txt", "y"));
        QVERIFY(QDir().mkpath(server->pathOf("f/exists")));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        goTo(f, "/f/");
        select(f, {"keep"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        ops(f).btnDelete_Click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Could not delete directory keep"));
        QVERIFY(exists("f/keep/stubborn"));
        QVERIFY(!exists("f/keep/stubborn/x.txt")); // emptied, then refused: the walk ends there
        QVERIFY(f.logLines().last() == "Directory listing successfully completed.");
        QVERIFY(f.logText().contains("550 Removing this folder is not allowed."));

        f.prompter->inputs = {"exists"};
        ops(f).btnMkdir_Click();
        QVERIFY(f.prompter->messageTexts().last().startsWith("Could not create directory. Either the directory"));
        QVERIFY(f.logLines().contains("Command: MKD exists") && f.logLines().last().startsWith("550"));

        // A file deleted behind our back.
        QVERIFY(server->writeFile("f/gone.txt", "g"));
        f.window->remotePane().menu_refresh_server_Click();
        QFile::remove(server->pathOf("f/gone.txt"));
        select(f, {"gone.txt"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        ops(f).btnDelete_Click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Could not delete file gone.txt"));
        QVERIFY(f.logText().contains("550"));
    }

    void rawCommandsAndCopyLink()
    {
        QVERIFY(server->writeFile("c/file.txt", "c"));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        goTo(f, "/c/");
        const int before = f.logLines().size();
        f.prompter->inputs = {"NOOP"};
        f.window->action("menu4_cmd")->trigger();
        const QStringList after = f.logLines().mid(before);
        QVERIFY(after.first().startsWith("200") && !after.contains("Command: NOOP"));
        QVERIFY(after.contains("Command: MLSD")); // listed again
        // A command that opens a data connection does not hang the program.
        f.prompter->inputs = {"LIST"};
        QElapsedTimer timer;
        timer.start();
        ops(f).menu_cmd_Click();
        QVERIFY(timer.elapsed() < 35000 && f.state.connected());
        select(f, {"file.txt"});
        ops(f).menu1_copy_Click();
        QCOMPARE(QApplication::clipboard()->text(), QString("127.0.0.1/c/file.txt"));
    }

    void passwordChange()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        ops(f).menu_pass_Click();
        formpass *pass = ops(f).passwordWindow();
        QVERIFY(pass);
        for (auto [field, text] :
             {std::pair{pass->txtOld, "typed in old"}, {pass->txtNew, "n3w pass"}, {pass->txtConf, "n3w pass"}}) {
            QVERIFY(!pass->btnOk->isEnabled());
            field->setText(text);
        }
        QVERIFY(pass->btnOk->isEnabled());
        pass->txtOld->clear(); // an empty old password still goes, between its two blanks
        pass->btnOk->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("The password has been successfully changed."));
        QFile record(recordDir.filePath("pswd.txt"));
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll(), QByteArray(" n3w pass\n"));
        QVERIFY(!f.logText().contains("n3w pass"));
        QVERIFY(f.logLines().contains("Command: SITE PSWD  ********")); // logged as sent, the password hidden
        QTRY_VERIFY(!ops(f).passwordWindow());
    }

    // Over SFTP the FTP-only commands say so and send nothing, also from a password window left open.
    void ftpOnlyCommandsSendNothingOverSftp()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        ops(f).menu_pass_Click(); // opened while the connection was FTP
        formpass *pass = ops(f).passwordWindow();
        f.state.protocol = RemoteProtocol::Sftp; // as an SFTP connection sets it
        const qsizetype sent = f.logLines().filter("Command: ").size();
        f.prompter->inputs = {"NOOP"};
        for (const char *name : {"menu_cmd", "menu4_cmd", "menu_pass"})
            f.window->action(name)->trigger();
        pass->txtNew->setText("n3w");
        pass->txtConf->setText("n3w");
        pass->btnOk->click();
        QCOMPARE(f.prompter->inputs, QStringList({"NOOP"})); // never asked
        QCOMPARE(f.logLines().filter("Command: ").size(), sent);
        QCOMPARE(f.prompter->messageTexts().filter(" is for FTP connections only: this connection is SFTP.").size(), 4);
    }
};

QTEST_MAIN(TestRemoteOperations)
#include "tst_remoteoperations.moc"
