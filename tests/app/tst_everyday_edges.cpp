// The edges a new user trips on: the sort mark and the rows' order, the remote side after a
// failed connection, names in the icon views, the panes after a shrink and a grow, and the small
// things (Escape, colours, enabled looks).
#include "LogRun.h"
#include "MainMenus.h"
#include "TestSupport.h"
#include "tst_queue_fixture.h"

#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>
#include <QToolBar>
#include <QListView>
#include <QTcpServer>
#include <QTreeView>

namespace {

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class TestEverydayEdges : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

    static QStringList longNames()
    {
        return {"twenty-one-photos-from-the-lake.png", "twenty-two-photos-from-the-lake.png",
                "twenty-three-photos-from-the-lake.png", "sunset-over-the-harbour.png",
                "sunset-over-the-harbour-" + QString(150, 'x') + "-one.png",
                "sunset-over-the-harbour-" + QString(150, 'x') + "-two.png"};
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        // Written in an order that is neither by name nor by size.
        QVERIFY(server->writeFile("order/m.txt", QByteArray(300, 'm')));
        QVERIFY(server->writeFile("order/z.txt", QByteArray(1, 'z')));
        QVERIFY(server->writeFile("order/a.txt", QByteArray(20, 'a')));
        for (const QString &name : longNames())
            QVERIFY(server->writeFile("names/" + name, "x"));
    }

    void theSortMarkAlwaysTellsTheRowsOrder()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/order/");
        QHeaderView *header = f.window->ListView1->reportView()->header();
        QVERIFY(!header->isSortIndicatorShown()); // the server's order, so no mark
        f.window->ListView1->headerClicked(f.window->ListView1->column("size"));
        const QStringList bySize{"..", "z.txt", "a.txt", "m.txt"};
        QCOMPARE(f.remoteNames(), bySize);
        const qsizetype listings = f.logLines().count("Command: MLSD");
        f.prompter->inputs = {"NOOP"}; // a raw command lists the folder again
        f.window->action("menu4_cmd")->trigger();
        QVERIFY(f.logLines().count("Command: MLSD") > listings);
        QCOMPARE(f.remoteNames(), bySize);
        QCOMPARE(header->sortIndicatorSection(), f.window->ListView1->column("size"));
        f.showRemote("/");
        f.showRemote("/order/");
        QCOMPARE(f.remoteNames(), bySize);
    }

    // In every view the names drawn differ where the names differ, and each row's tooltip is its
    // whole name.
    void iconViewsDrawNamesThatDifferDifferently()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/names/");
        f.window->resize(1000, 700);
        f.window->show();
        FileListView *list = f.window->ListView1;
        for (auto mode : {FileListView::Icons, FileListView::SmallIcons, FileListView::List}) {
            f.window->setListViewMode(formmain::Side::Server, mode);
            QCoreApplication::processEvents();
            QListView *view = list->iconView();
            QList<QImage> drawn;
            for (const QString &name : longNames()) {
                const QModelIndex index = f.remoteRows()->index(f.remoteRow(name), 0);
                QCOMPARE(index.data(Qt::ToolTipRole).toString(), name);
                drawn << view->viewport()->grab(view->visualRect(index)).toImage();
            }
            for (int i = 0; i < drawn.size(); ++i)
                for (int j = i + 1; j < drawn.size(); ++j)
                    QVERIFY2(drawn[i] != drawn[j], qPrintable(QString("mode %1: %2 and %3 look alike")
                                                                  .arg(int(mode)).arg(longNames()[i], longNames()[j])));
        }
    }

    // Made small, every pane keeps some room; made large again, the sizes the user set come back.
    void thePanesComeBackAfterAShrinkAndAGrow()
    {
        MainWindowFixture f;
        f.window->resize(1280, 800);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.window->moveSplitter(1, 600)); // a taller log, as a user would drag it
        QVERIFY(f.window->moveSplitter(5, 900));
        f.window->resize(1281, 800); // the layout is applied on a resize
        QWidget *panes[] = {f.window->RichTextBox1, f.window->ListView3, f.window->ListView1, f.window->TreeView1,
                            f.window->TreeView2, f.window->ListView2};
        QList<QRect> before;
        for (QWidget *pane : panes)
            before << pane->geometry();
        f.window->resize(640, 400);
        for (QWidget *pane : panes)
            QVERIFY2(pane->height() >= 30 && pane->width() >= 30, qPrintable(pane->objectName()));
        f.window->resize(1281, 800);
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(panes[i]->geometry(), before[i]);
    }

    // The toolbar's queue buttons always work, and look it: coloured, not the grey of a disabled button.
    void theToolbarsQueueButtonsLookAsTheyWork()
    {
        MainWindowFixture f;
        const auto saturated = [](const QPixmap &pixmap) {
            const QImage image = pixmap.toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y).alpha() > 128 && image.pixelColor(x, y).hsvSaturation() > 120)
                        return true;
            return false;
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
        QFile file(TestSupport::sourceDir() + "/resources/help/help.dat");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString help = QString::fromUtf8(file.readAll());
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

    void aFailedConnectionLeavesNoOldListingAndCancelKeepsTheFields()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        QVERIFY(!f.remoteNames().isEmpty());
        // Cancel on the question: the fields go back to the connection that stands.
        f.window->txtServer->setText("other.example");
        f.window->txtUsername->setText("someone");
        f.window->txtPort->setText("2121");
        f.window->checkType->setChecked(true);
        f.prompter->answers = {Prompter::Answer::Cancel};
        f.window->remotePane().btnConnect_Click();
        QVERIFY(f.state.connected());
        QCOMPARE(f.window->txtServer->text(), server->host());
        QCOMPARE(f.window->txtUsername->text(), server->user());
        QCOMPARE(f.window->txtPort->text(), QString::number(server->port()));
        QVERIFY(!f.window->checkType->isChecked());
        // OK, and the new server cannot be reached: nothing of the old one stays on screen.
        f.window->txtPort->setText(QString::number(closedPort()));
        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->remotePane().btnConnect_Click();
        QVERIFY(!f.state.connected());
        bool red = false; // "Connection refused" in red, as errors are
        for (const LogRun &run : f.window->sessionLog().runs())
            red = red || (run.text.contains("refused", Qt::CaseInsensitive) && run.colour == LogColours::red());
        QVERIFY2(red, qPrintable(f.logText()));
        QVERIFY(f.remoteNames().isEmpty());
        QCOMPARE(f.window->remoteTree->rowCount(), 0);
        QCOMPARE(f.window->windowTitle(), QString("Vestrigal"));
        QVERIFY(!f.window->action("menu_refresh_server")->isEnabled());
    }
};

QTEST_MAIN(TestEverydayEdges)
#include "tst_everyday_edges.moc"
