// The main window's start state, menus, popups, toolbar and layout, on the offscreen platform.
#include "AppState.h"
#include "MainMenus.h"
#include "ScriptedPrompter.h"
#include "SplitterBar.h"
#include "formmain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>

class TestFormMain : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir home;
        AppState state{AppFolders::under(home.path())};
        ScriptedPrompter *prompter = new ScriptedPrompter;
        formmain window{state, std::unique_ptr<Prompter>(prompter)};
        Fixture() { state.folders.createMissing(); }
    };

    static QStringList viewItems(const QString &prefix)
    {
        return {prefix + "lvwreport", prefix + "lvwsmallicons", prefix + "lvwicons", prefix + "lvwlist"};
    }

private slots:
    void startState()
    {
        Fixture f;
        for (const QString &name : MainMenus::connectionCommands()) {
            QVERIFY2(f.window.action(name), qPrintable(name));
            QVERIFY2(!f.window.action(name)->isEnabled(), qPrintable(name));
        }
        QCOMPARE(MainMenus::connectionCommands().size(), 25);
        QVERIFY(f.window.action("menu_pause")->isEnabled());
        QVERIFY(f.window.action("menu3_pause")->isEnabled());
        QVERIFY(!f.window.action("menu_resume")->isEnabled());
        QVERIFY(!f.window.action("menu3_resume")->isEnabled());
        for (const char *prefix : {"menu_client_", "menu_server_", "menu1_", "menu2_"}) {
            const QStringList items = viewItems(QString::fromLatin1(prefix));
            QVERIFY2(f.window.action(items[0])->isChecked(), prefix);
            for (int i = 1; i < 4; ++i)
                QVERIFY2(!f.window.action(items[i])->isChecked(), qPrintable(items[i]));
        }
        QVERIFY(f.window.action("menu_rtf")->isChecked());
        QVERIFY(!f.window.action("menu_txt")->isChecked());
        QCOMPARE(f.window.statusPanel("")->text(), QString("Not logged in."));
        // The documents folder is listed at start, so the local totals are already counted.
        QVERIFY(f.window.statusPanel("local")->text().startsWith("Local: "));
        QCOMPARE(f.window.statusPanel("remote")->text(), QString("Remote: 0 files, 0 bytes"));
        QCOMPARE(f.window.statusPanel("queue")->text(), QString("Queue: Running 0 files, 0 bytes"));
        QCOMPARE(f.window.windowTitle(), QString("Vestrigal"));
        QCOMPARE(f.window.txtPort->text(), QString("21"));
        QCOMPARE(f.window.txtKeep->text(), QString("0"));
        QCOMPARE(f.window.txtTimeout->text(), QString("0"));
        QVERIFY(!f.window.checkType->isChecked());
        QCOMPARE(f.state.settings.downloadBufferSize, 1024);
        QCOMPARE(f.state.settings.asciiExtensions.size(), 15);
    }

    void enablingTogglesMenuAndPopupItemsButNeverToolbar()
    {
        Fixture f;
        f.window.EnableConnectionCommands(true);
        for (const QString &name : MainMenus::connectionCommands())
            QVERIFY(f.window.action(name)->isEnabled());
        f.window.EnableConnectionCommands(false);
        QVERIFY(!f.window.action("menu6_download")->isEnabled());
        for (QAction *a : f.window.Toolbar1->actions())
            QVERIFY(a->isEnabled());
    }

    void menuBarOrderAndShortcuts()
    {
        Fixture f;
        QStringList titles;
        for (QAction *a : f.window.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&Edit", "&View", "&Operations", "&Queue", "&Logs", "&Tools", "&Help"}));
        QStringList fileItems;
        for (QAction *a : f.window.menu("menu_File")->actions())
            fileItems << (a->isSeparator() ? QString("-") : a->text());
        QCOMPARE(fileItems, QStringList({"Profile manager", "Quick connect", "Disconnect", "-", "Exit"}));
        QCOMPARE(f.window.action("menu_refresh_server")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(f.window.action("menu_refresh_client")->shortcut(), QKeySequence(Qt::Key_F6));
        QCOMPARE(f.window.action("menu_telnet")->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(f.window.action("menu_pause")->shortcut(), QKeySequence("Ctrl+P"));
        // Every popup exists, hidden, with its caption.
        for (const PopupMenu &p : MainMenus::popups()) {
            QMenu *m = f.window.menu(p.name);
            QVERIFY2(m, qPrintable(p.name));
            QCOMPARE(m->title(), p.caption);
            QVERIFY(!m->isVisible());
        }
    }

    void viewModeFollowsInMenuBarAndPopup()
    {
        Fixture f;
        f.window.action("menu1_lvwsmallicons")->trigger();
        QCOMPARE(f.window.ListView1->viewMode(), FileListView::SmallIcons);
        QVERIFY(f.window.action("menu_server_lvwsmallicons")->isChecked());
        QVERIFY(f.window.action("menu1_lvwsmallicons")->isChecked());
        QVERIFY(!f.window.action("menu_server_lvwreport")->isChecked());
        QVERIFY(!f.window.action("menu1_lvwreport")->isChecked());
        // The client side is untouched.
        QVERIFY(f.window.action("menu_client_lvwreport")->isChecked());
        QCOMPARE(f.window.ListView3->viewMode(), FileListView::Report);

        f.window.action("menu_client_lvwlist")->trigger();
        QCOMPARE(f.window.ListView3->viewMode(), FileListView::List);
        QVERIFY(f.window.action("menu2_lvwlist")->isChecked());
        QVERIFY(!f.window.action("menu2_lvwreport")->isChecked());
        // Same model in every view: switching keeps the rows.
        const int rows = f.window.ListView3->model()->rowCount();
        f.window.ListView3->model()->appendRow(new QStandardItem("a.txt"));
        f.window.action("menu2_lvwicons")->trigger();
        QCOMPARE(f.window.ListView3->iconView()->model()->rowCount(), rows + 1);
        QCOMPARE(f.window.ListView3->currentWidget(), f.window.ListView3->iconView());
        f.window.action("menu2_lvwreport")->trigger();
        QCOMPARE(f.window.ListView3->currentWidget(), f.window.ListView3->reportView());
    }

    void toolbarDispatchesByIndex()
    {
        Fixture f;
        const QList<QAction *> buttons = f.window.Toolbar1->actions();
        QCOMPARE(buttons.size(), 14);
        const QStringList keys = {"profiles", "connect", "disconnect", "",     "play",   "pause", "stop",
                                  "",         "telnet",  "calc",       "temp", "config", "",      "help"};
        for (int i = 0; i < 14; ++i) {
            QCOMPARE(buttons[i]->data().toInt(), i + 1);
            QCOMPARE(buttons[i]->isSeparator(), keys[i].isEmpty());
            if (!keys[i].isEmpty())
                QCOMPARE(buttons[i]->objectName(), keys[i]);
        }
        // Button 9 runs the telnet command; with nothing on the path the user is told why.
        qputenv("PATH", "");
        buttons[8]->trigger();
        QCOMPARE(f.prompter->shown.size(), 1);
        QVERIFY(f.prompter->shown[0].text.contains("telnet"));
        QCOMPARE(f.prompter->shown[0].icon, Prompter::Icon::Warning);
    }

    void windowsAreSingleInstances()
    {
        Fixture f;
        f.window.menu_about_Click();
        f.window.menu_about_Click();
        f.window.action("menu_news")->trigger();
        f.window.action("menu_news")->trigger();
        QCOMPARE(f.window.findChildren<QWidget *>("formabout").size(), 1);
        QCOMPARE(f.window.findChildren<QWidget *>("formnews").size(), 1);
        QVERIFY(f.window.findChild<QWidget *>("formabout")->isVisible());
        QCOMPARE(f.window.findChild<QWidget *>("formnews")->windowTitle(), QString("Vestrigal - What's new"));
        QCOMPARE(f.window.findChild<QWidget *>("formabout")->windowTitle(), QString("Vestrigal - About Us"));
    }

    void splittersMoveThePanes()
    {
        Fixture f;
        f.window.resize(1280, 800);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QVERIFY(f.window.paneLayout().isUsable());
        const QRect log = f.window.RichTextBox1->geometry();
        const QRect remote = f.window.ListView1->geometry();
        // A drag of splitter1 downwards grows the log and shrinks the lists by the same amount.
        SplitterBar *bar = f.window.splitter[0];
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 32), bar->mapToGlobal(QPointF(5, 32)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 32));
        QVERIFY(!f.state.splitterDragging);
        QVERIFY(f.window.RichTextBox1->height() > log.height());
        QCOMPARE(f.window.RichTextBox1->height() - log.height(), remote.height() - f.window.ListView1->height());
        QCOMPARE(f.window.ListView1->y(), bar->geometry().bottom() + 1);
        // A move that breaks a rule (above the log's top) changes nothing.
        const QRect before = bar->geometry();
        QVERIFY(!f.window.moveSplitter(1, -100000));
        QCOMPARE(bar->geometry(), before);
        // Resizing keeps the layout usable.
        f.window.resize(640, 420);
        QTest::qWait(20);
        QVERIFY(f.window.paneLayout().isUsable());
        QVERIFY(f.window.ListView2->geometry().bottom() <= f.window.StatusBar1->geometry().top());
    }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
