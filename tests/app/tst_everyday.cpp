// Everyday use around the main window: failed connections, views, keys, drops, the log file, the
// trash, the command line, toolbar and menus.
#include "CommandLine.h"
#include "DragDrop.h"
#include "MainMenus.h"
#include "MainWindowFixture.h"
#include "TestSupport.h"
#include "TreeKeyFollow.h"

#include <QDirIterator>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QToolBar>
#include <QTreeView>

namespace {

QRect rowRect(QAbstractItemView *view, FileListView *list, const QString &name)
{
    return view->visualRect(list->model()->index(rowOf(list, name), 0));
}

const QStringList LongNames{"twenty-one-photos-from-the-lake.png",
                            "twenty-two-photos-from-the-lake.png",
                            "twenty-three-photos-from-the-lake.png",
                            "sunset-over-the-harbour.png",
                            "sunset-over-the-harbour-" + QString(150, 'x') + "-one.png",
                            "sunset-over-the-harbour-" + QString(150, 'x') + "-two.png"};

} // namespace

class TestEveryday : public QObject
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
        QVERIFY(server->writeFile("same.bin", "new from the server"));
        for (const QString &name : LongNames)
            QVERIFY(server->writeFile("names/" + name, "x"));
    }

    void failedConnectionsSayWhyAndLeaveNothingOld()
    {
        MainWindowFixture f;
        f.fillConnection(*server);
        f.window->txtPassword->setText("wrong");
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        const QString box = f.prompter->shown.value(0).text;
        QVERIFY2(box.startsWith("There was an error connecting to the remote server. Please verify your login "
                                "info. Look at the status window for more details.\n\n530 "),
                 qPrintable(box));
        // The refusal is red in the log, even when the same response began with a green welcome.
        QVERIFY(f.loggedInRed(box.section("\n\n", 1)));
        QVERIFY(!f.logText().contains("wrong")); // never the password
        QCOMPARE(f.status(), QString("Not logged in."));

        // Cancel on the "already connected" question: the fields go back to the connection that stands.
        QVERIFY(f.connect(*server) && !f.remoteNames().isEmpty());
        f.window->txtServer->setText("other.example");
        f.window->txtUsername->setText("someone");
        f.window->txtPort->setText("2121");
        f.window->checkType->setChecked(true);
        f.prompter->answers = {Prompter::Answer::Cancel};
        f.window->remotePane().btnConnect_Click();
        QVERIFY(f.state.connected());
        QCOMPARE(QStringList({f.window->txtServer->text(), f.window->txtUsername->text(), f.window->txtPort->text(),
                              QString::number(f.window->checkType->isChecked())}),
                 QStringList({server->host(), server->user(), QString::number(server->port()), "0"}));

        // OK, and the new server cannot be reached: the box and the log say why, in red, and nothing
        // of the old server stays on screen.
        f.window->txtPort->setText("1"); // nothing listens there
        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        const QString reason = f.prompter->shown.constLast().text.section("\n\n", 1);
        QVERIFY2(reason.contains("refused", Qt::CaseInsensitive), qPrintable(reason));
        QVERIFY(f.logText().contains(reason));
        QVERIFY2(f.loggedInRed("refused"), qPrintable(f.logText()));
        QVERIFY(f.remoteNames().isEmpty());
        QCOMPARE(f.window->remoteTree->rowCount(), 0);
        QCOMPARE(f.window->windowTitle(), QString("Vestrigal"));
        QVERIFY(!f.window->action("menu_refresh_server")->isEnabled());
    }

    void enterInAnyQuickConnectFieldConnects()
    {
        MainWindowFixture f;
        f.fillConnection(*server);
        f.window->show();
        QTest::keyClick(f.window->txtPort, Qt::Key_Return);
        QVERIFY(f.state.connected() && f.remoteNames().contains("pub"));
        // The queue is paused after a disconnect: the new connection says how to resume it.
        f.window->remotePane().btnDisconnect_Click();
        QTest::keyClick(f.window->txtUsername, Qt::Key_Enter);
        QVERIFY(f.state.connected());
        QCOMPARE(f.status(), QString("The queue is paused: Queue > Resume starts it."));
    }

    // In every view the names are drawn whole enough to read, differ where the names differ, and
    // each row's tooltip is its whole name.
    void everyViewDrawsNamesThatDifferDifferently()
    {
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/names/"));
        f.window->resize(1000, 700);
        f.window->show();
        for (auto mode : {FileListView::Icons, FileListView::SmallIcons, FileListView::List}) {
            f.window->setListViewMode(formmain::Side::Server, mode);
            QCoreApplication::processEvents();
            QListView *view = f.window->ListView1->iconView();
            const int width = rowRect(view, f.window->ListView1, LongNames[0]).width();
            QVERIFY2(width >= 90 && width <= 300, qPrintable(QString("mode %1: %2 px").arg(int(mode)).arg(width)));
            QList<QImage> drawn;
            for (const QString &name : LongNames) {
                const QModelIndex index = f.remoteRows()->index(f.remoteRow(name), 0);
                QCOMPARE(index.data(Qt::ToolTipRole).toString(), name);
                drawn << view->viewport()->grab(view->visualRect(index)).toImage();
            }
            for (int i = 0; i < drawn.size(); ++i)
                for (int j = i + 1; j < drawn.size(); ++j)
                    QVERIFY2(
                        drawn[i] != drawn[j],
                        qPrintable(
                            QString("mode %1: %2 and %3 look alike").arg(int(mode)).arg(LongNames[i], LongNames[j])));
        }
    }

    void clicksAndKeysEnterFolders()
    {
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/pub/"));
        f.window->show();
        // A double-click in List view enters the folder; Backspace goes back up; so does Enter.
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
        QVERIFY(root && root->rowCount() >= 2); // names, pub: listed under the host
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
        QVERIFY(f.connectAt(*server, "/pub/deep/"));
        f.window->show();
        QVERIFY(writeLocal(f.localPath("dropped.txt"), "dropped"));
        f.showLocal(f.local.path());
        selectRows(f.window->ListView3, {"dropped.txt"});
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

    void theLogFileKeepsTheFirstConnectionsLinesAfterAReconnect()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        const QString file = f.state.currentLogFile;
        QVERIFY(readLocal(file).contains("Connected to remote host."));
        f.prompter->answers = {Prompter::Answer::Ok}; // disconnect and connect to the new server
        QVERIFY(f.connect(*server));
        QCOMPARE(f.state.currentLogFile, file);
        QCOMPARE(f.logText().count("Connected to remote host."), 1); // the window was emptied
        QCOMPARE(QString::fromUtf8(readLocal(file)).count("Connected to remote host."), 2);
    }

    void aDownloadReplacesALocalFileThroughTheTrash()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server) && writeLocal(f.localPath("same.bin"), "the user's own"));
        f.showLocal(f.local.path());
        f.showRemote("/");
        selectRows(f.window->ListView1, {"same.bin"});
        f.state.settings.fileExists = 0; // asked: Overwrite
        f.prompter->choices = {0};
        f.window->queuePane().btnDownload_Click();
        QTRY_COMPARE(f.window->queuePane().queue().count(), 0);
        QCOMPARE(f.prompter->choiceButtons.size(), 1);
        QCOMPARE(readLocal(f.localPath("same.bin")), QByteArray("new from the server"));
        QStringList trashed;
        QDirIterator it(dataHome.path() + "/share/Trash/files", QDir::Files);
        while (it.hasNext())
            trashed << readLocal(it.next());
        QCOMPARE(trashed, QStringList({"the user's own"}));
        // Sent back: the remote list shows the file, so the upload asks too; Skip sends nothing.
        f.showLocal(f.local.path());
        selectRows(f.window->ListView3, {"same.bin"});
        f.prompter->choices = {5};
        f.window->queuePane().btnUpload_Click();
        QTRY_COMPARE(f.window->queuePane().queue().count(), 0);
        QCOMPARE(f.prompter->choiceButtons.size(), 2);
        QVERIFY(f.commands("STOR").isEmpty());
    }

    void theCommandLineAnswersHelpVersionAndTakesSecureLinks()
    {
        using A = CommandLine::Action;
        // Links go to the connection as they are: the scheme decides how it is protected.
        const QStringList lines{
            "--help",           "ftp://h/ -v",  "--frobnicate", "ftp://a/ ftp://b/", "ftp://u:p@host:2121/pub/",
            "ftps://u:p@host/", "FTPES://host/"};
        QList<A> actions;
        QStringList urls;
        for (const QString &line : lines) {
            const CommandLine parsed = CommandLine::parse(QStringList{"vestrigal"} + line.split(' '));
            actions << parsed.action;
            if (parsed.action == A::Run && parsed.message.isEmpty())
                urls << parsed.url;
        }
        QCOMPARE(actions, QList<A>({A::Help, A::Version, A::Error, A::Error, A::Run, A::Run, A::Run}));
        QCOMPARE(urls, lines.mid(4));
    }

    void installedProgramsKeepTheirDataInTheUsersDataFolder()
    {
        QTemporaryDir root;
        const QString prefix = root.path() + "/usr", data = root.path() + "/data/vestrigal/";
        QVERIFY(writeLocal(prefix + "/share/vestrigal/help/help.dat", "help") && QDir().mkpath(prefix + "/bin"));
        const AppFolders installed = AppFolders::forProgramIn(prefix + "/bin", root.path() + "/data");
        QCOMPARE(QStringList({installed.logs, installed.profiles, installed.temp, installed.helpFile}),
                 QStringList(
                     {data + "logs/", data + "profiles/", data + "temp/", prefix + "/share/vestrigal/help/help.dat"}));
        // A program whose help is beside it (a build folder, an unpacked copy) keeps everything there.
        QVERIFY(writeLocal(prefix + "/bin/help/help.dat", "help"));
        QCOMPARE(AppFolders::forProgramIn(prefix + "/bin", root.path() + "/data").logs, prefix + "/bin/logs/");
    }

    // The toolbar's queue buttons always work, and look it: coloured, not the grey of a disabled button.
    void theToolbarsQueueButtonsLookAsTheyWork()
    {
        MainWindowFixture f;
        const auto saturated = [](const QPixmap &p) {
            return anyPixel(p, [](QColor c) { return c.hsvSaturation() > 120; });
        };
        for (const char *key : {"play", "pause", "stop"}) {
            const QAction *button = f.window->Toolbar1->findChild<QAction *>(key);
            QVERIFY2(button->isEnabled() && saturated(button->icon().pixmap(24, 24)), key);
            QVERIFY2(!saturated(button->icon().pixmap(24, 24, QIcon::Disabled)), key);
        }
    }

    // The help's word on the menus without a connection names exactly the items that are grey then.
    void theHelpSaysWhichMenuItemsAreGreyWithoutAConnection()
    {
        MainWindowFixture f;
        const QString help = QString::fromUtf8(readLocal(TestSupport::sourceDir() + "/resources/help/help.dat"));
        const qsizetype start = help.indexOf("Without a connection: ");
        QVERIFY(start >= 0);
        const QString paragraph = help.mid(start, help.indexOf('\n', start) - start);
        QList<QPair<QString, QAction *>> leaves; // "Operations > Server files > View" and its item
        std::function<void(QMenu *, const QString &)> walk = [&](QMenu *menu, const QString &path) {
            for (QAction *a : menu->actions()) {
                const QString here = path + QString(a->text()).remove('&');
                if (a->menu())
                    walk(a->menu(), here + " > ");
                else if (!a->isSeparator())
                    leaves.append({here, a});
            }
        };
        for (QAction *top : f.window->menuBar()->actions())
            walk(top->menu(), QString(top->text()).remove('&') + " > ");
        for (const auto &[path, item] : leaves) {
            bool named = false;
            for (QString prefix = path; !prefix.isEmpty() && !named; prefix = prefix.section(" > ", 0, -2))
                named = prefix.contains(" > ") &&
                        paragraph.contains(QRegularExpression(QRegularExpression::escape(prefix) + "(?! >)[ ,.]"));
            const bool needsConnection = MainMenus::connectionCommands().contains(item->objectName());
            QVERIFY2(named == needsConnection, qPrintable(path));
            QVERIFY2(!(needsConnection && item->isEnabled()), qPrintable(path));
        }
    }
};

QTEST_MAIN(TestEveryday)
#include "tst_everyday.moc"
