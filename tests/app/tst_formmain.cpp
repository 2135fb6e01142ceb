// The main window's start state, menus, toolbar, splitters and session log, on the offscreen
// platform; the file lists' sorting and dates; and how telnet is found.
#include "ListText.h"
#include "LogFileWriter.h"
#include "MainMenus.h"
#include "MainWindowFixture.h"
#include "QueueArea.h"
#include "SplitterBar.h"

#include <QApplication>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>

namespace {

QColor colourAt(const MainWindowFixture &f, int block)
{
    const QTextBlock b = f.window->RichTextBox1->document()->findBlockByNumber(block);
    return b.begin().fragment().charFormat().foreground().color();
}

QList<QStandardItem *> row(const QString &name, qint64 size)
{
    auto *nameItem = new QStandardItem(name);
    nameItem->setData(name == "..", FileListView::ParentRowRole);
    nameItem->setData("/x/" + name, FileListView::KeyRole);
    auto *sizeItem = new QStandardItem(ListText::sizeText(size));
    sizeItem->setData(size, FileListView::SortRole);
    return {nameItem, sizeItem};
}

} // namespace

class TestFormMain : public QObject
{
    Q_OBJECT

private slots:
    void startState()
    {
        MainWindowFixture f;
        QVERIFY(f.window->action("menu3_pause")->isEnabled() && !f.window->action("menu3_resume")->isEnabled());
        for (QAction *a : f.window->Toolbar1->actions()) // the toolbar is never greyed
            QVERIFY(a->isEnabled());
        // The texts a user reads first.
        QStringList texts{f.window->windowTitle()};
        for (const char *panel : {"", "remote", "queue"})
            texts << f.window->statusPanel(panel)->text();
        for (QAction *a : f.window->menuBar()->actions())
            texts << a->text();
        QCOMPARE(texts, QStringList({"Vestrigal", "Not logged in.", "Remote: 0 files, 0 bytes",
                                     "Queue: Running 0 files, 0 bytes", "&File", "&Edit", "&View", "&Operations",
                                     "&Queue", "&Logs", "&Tools", "&Help"}));
        for (const PopupMenu &p : MainMenus::popups())
            QVERIFY2(f.window->menu(p.name) && !f.window->menu(p.name)->isVisible(), qPrintable(p.name));
    }

    void viewModeFollowsInMenuBarAndPopup()
    {
        MainWindowFixture f;
        f.window->action("menu1_lvwsmallicons")->trigger();
        QCOMPARE(f.window->ListView1->viewMode(), FileListView::SmallIcons);
        for (const char *name : {"menu_server_lvwsmallicons", "menu1_lvwsmallicons", "menu_client_lvwreport"})
            QVERIFY2(f.window->action(name)->isChecked(), name);
        QVERIFY(!f.window->action("menu_server_lvwreport")->isChecked());
        QCOMPARE(f.window->ListView3->viewMode(), FileListView::Report); // the client side is untouched
        f.window->action("menu_client_lvwlist")->trigger();
        QCOMPARE(f.window->ListView3->viewMode(), FileListView::List);
        QVERIFY(f.window->action("menu2_lvwlist")->isChecked() && !f.window->action("menu2_lvwreport")->isChecked());
        f.window->action("menu2_lvwicons")->trigger(); // the popup switches the view shown
        QCOMPARE(f.window->ListView3->currentWidget(), f.window->ListView3->iconView());
    }

    void toolbarButtonNineRunsTelnetAndWindowsAreSingle()
    {
        MainWindowFixture f;
        qputenv("PATH", ""); // nothing on the path: the user is told why
        f.window->Toolbar1->actions()[8]->trigger();
        QCOMPARE(f.prompter->shown.size(), 1);
        QVERIFY(f.prompter->shown[0].text.contains("telnet"));
        QCOMPARE(f.prompter->shown[0].icon, Prompter::Icon::Warning);
        for (int i = 0; i < 2; ++i) {
            f.window->menu_about_Click();
            f.window->action("menu_news")->trigger();
        }
        QCOMPARE(f.window->findChildren<QWidget *>("formabout").size(), 1);
        QCOMPARE(f.window->findChildren<QWidget *>("formnews").size(), 1);
        QVERIFY(f.window->findChild<QWidget *>("formabout")->isVisible());
    }

    void splittersMoveThePanes()
    {
        MainWindowFixture f;
        f.window->resize(1280, 800);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const QRect log = f.window->RichTextBox1->geometry();
        const QRect remote = f.window->ListView1->geometry();
        // A drag of splitter1 downwards grows the log and shrinks the lists by the same amount.
        SplitterBar *bar = f.window->splitter[0];
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 32), bar->mapToGlobal(QPointF(5, 32)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 32));
        QVERIFY(!f.state.splitterDragging && f.window->RichTextBox1->height() > log.height());
        QCOMPARE(f.window->RichTextBox1->height() - log.height(), remote.height() - f.window->ListView1->height());
        QCOMPARE(f.window->ListView1->y(), bar->geometry().bottom() + 1);
        // Made small, every pane keeps some room (the sizes coming back is the layout's own test).
        f.window->resize(640, 400);
        QVERIFY(f.window->paneLayout().isUsable());
        QVERIFY(f.window->queueArea->geometry().bottom() <= f.window->StatusBar1->geometry().top());
        QWidget *panes[] = {f.window->RichTextBox1, f.window->ListView3, f.window->ListView1,
                            f.window->TreeView1,    f.window->TreeView2, f.window->queueArea};
        for (QWidget *pane : panes)
            QVERIFY2(pane->height() >= 30 && pane->width() >= 30, qPrintable(pane->objectName()));
    }

    // The Logs menu and the log file, as the window wires them (the rules themselves are tested
    // with the log): the next new log's format, lines in their colours on screen and on disk, save,
    // clear and load of the window, clearing every log, and a failed write.
    void theLogsMenuAndTheLogFile()
    {
        MainWindowFixture f({"log0.rtf", "log1.rtf", "log0.txt", ".hidden"});
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log2.rtf");
        f.window->action("menu_txt")->trigger();
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log2.rtf"); // only the next new log is text
        f.window->action("menu_newlog")->trigger();
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log1.txt");

        f.window->LogLine("Command: PWD", 1);
        QVERIFY(f.window->LogServerReply("257 \"/\" is the current directory.\r\n"));
        QVERIFY(f.window->LogServerReply("550 No such file.\r\n"));
        const QString shown = "Command: PWD\n257 \"/\" is the current directory.\n550 No such file.\n";
        QCOMPARE(f.window->RichTextBox1->toPlainText(), shown);
        QCOMPARE(QList<QColor>({colourAt(f, 0), colourAt(f, 1), colourAt(f, 2)}),
                 QList<QColor>({{0, 0, 64}, {0, 64, 0}, {255, 0, 0}}));
        QCOMPARE(readLocal(f.state.currentLogFile),
                 LogFileWriter::fileContent(f.window->sessionLog(), LogFormat::Text));

        f.prompter->fileNames = {f.home.filePath("saved.rtf"), f.home.filePath("saved.rtf")};
        f.window->action("menu4_save")->trigger();
        f.window->action("menu4_clear")->trigger();
        QVERIFY(f.window->RichTextBox1->toPlainText().isEmpty());
        f.window->action("menu4_load")->trigger();
        QCOMPARE(f.window->RichTextBox1->toPlainText(), shown);
        QCOMPARE(colourAt(f, 0), QColor(0, 0, 64));

        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->action("menu_clearlog")->trigger();
        QVERIFY(f.window->RichTextBox1->toPlainText().isEmpty());
        f.window->LogLine("after", 0);
        QCOMPARE(QDir(f.state.folders.logs).entryList(QDir::Files | QDir::Hidden).size(), 1);

        // A log that cannot be written is told in the status line.
        f.state.currentLogFile = f.home.filePath("gone/log0.rtf");
        f.window->LogLine("lost?", 0);
        QVERIFY(!f.status().isEmpty() && f.status() != "Not logged in.");
    }

    // Sizes sort as numbers with ".." first; the header's mark always tells the rows' order: none
    // before a click, and once sorted a new listing comes in sorted the same way.
    void sortingAndItsMarkAcrossNewListings()
    {
        FileListView list("ListView1");
        list.setColumns({{"File name", "name", 100}, {"File size (bytes)", "size", 80}});
        QHeaderView *header = list.reportView()->header();
        const auto listing = [&list] { // as the panes list: all rows in one reset
            QList<QList<QStandardItem *>> rows;
            for (auto [name, size] :
                 {std::pair{"..", 4096LL}, {"big", 5'000'000'000LL}, {"small", 9LL}, {"mid", 1000LL}})
                rows.append(row(name, size));
            list.setRows(rows);
        };
        listing();
        QVERIFY(!header->isSortIndicatorShown());
        QCOMPARE(namesOf(&list), QStringList({"..", "big", "small", "mid"}));
        list.headerClicked(1);
        QVERIFY(header->isSortIndicatorShown() && header->sortIndicatorSection() == 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        listing();
        QCOMPARE(namesOf(&list), QStringList({"..", "small", "mid", "big"}));
        list.headerClicked(1); // the same column again: descending
        listing();
        QCOMPARE(namesOf(&list), QStringList({"..", "big", "mid", "small"}));
        list.headerClicked(0); // another column keeps the order
        QCOMPARE(list.sortOrder(), Qt::DescendingOrder);
        QCOMPARE(namesOf(&list), QStringList({"..", "small", "mid", "big"}));
        QCOMPARE(list.rowKey(1), QString("/x/small"));
    }

    void dateTexts()
    {
        const auto text = [](QDate day, QTime time) { return ListText::dateText(QDateTime(day, time)); };
        QCOMPARE(QStringList({text({}, {}), text({2006, 1, 5}, {9, 7, 3}), text({2024, 12, 31}, {23, 59})}),
                 QStringList({"-", "5/1/2006 9:07:03", "31/12/2024 23:59:00"}));
    }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
