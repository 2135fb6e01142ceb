// The tool windows: every menu item and toolbar button that opens one, the calculator's window, the help data and
// viewer (the program's own help file against its menus), the temporary files browser and its core, and telnet.
#include "../app/MainWindowFixture.h"
#include "HelpData.h"
#include "MainMenus.h"
#include "TelnetLauncher.h"
#include "TempFolder.h"
#include "TestSupport.h"
#include "ToolWindows.h"
#include "formcalc.h"
#include "formhelp.h"
#include "formtemp.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

using TestSupport::writeFile;

namespace {

void makeExecutable(const QString &folder, const QString &name)
{
    QFile f(folder + "/" + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.setPermissions(f.permissions() | QFile::ExeUser);
}

} // namespace

class TestToolWindows : public QObject
{
    Q_OBJECT

    static void fire(formmain &window, const QString &trigger)
    {
        const bool toolbar = trigger.startsWith("toolbar:");
        QAction *a = toolbar ? window.Toolbar1->findChild<QAction *>(trigger.mid(8)) : window.action(trigger);
        auto *button = qobject_cast<QToolButton *>(window.Toolbar1->widgetForAction(a));
        QVERIFY2(a && (button || !toolbar), qPrintable(trigger));
        toolbar ? button->click() : a->trigger();
    }

    static QList<QWidget *> windows(formmain &main, const QString &name)
    {
        QList<QWidget *> found = main.findChildren<QWidget *>(name);
        found.removeIf([](QWidget *w) { return !w->isWindow(); });
        return found;
    }

    // Whether the text at `pos` names an item of `items`, and below it an item of its submenu
    // where a " > " follows.
    static bool namesAnItem(const QString &text, qsizetype pos, const QList<MenuItem> &items)
    {
        for (const MenuItem &item : items) {
            if (item.caption == "-" || !text.mid(pos).startsWith(item.caption))
                continue;
            const qsizetype after = pos + item.caption.size();
            if (item.children.isEmpty() || !text.mid(after).startsWith(" > ") ||
                namesAnItem(text, after + 3, item.children))
                return true;
        }
        return false;
    }

    static QStringList column(const formtemp &window, int c)
    {
        QStringList texts;
        for (int r = 0; r < window.rows->rowCount(); ++r)
            texts << window.rows->item(r, c)->text();
        return texts;
    }

private slots:
    void everyCommandOpensItsWindowOnce()
    {
        // A menu item's name, or "toolbar:" and a button's key; the window it opens and its title.
        const QList<std::array<const char *, 3>> openers{
            {"menu_temp", "formtemp", "Vestrigal - Temp files browser"},
            {"toolbar:temp", "formtemp", "Vestrigal - Temp files browser"},
            {"menu_calc", "formcalc", "Vestrigal - Calculator"},
            {"toolbar:calc", "formcalc", "Vestrigal - Calculator"},
            {"menu_gohelp", "formhelp", "Vestrigal - Help"},
            {"toolbar:help", "formhelp", "Vestrigal - Help"},
            {"menu_http", "formhttp", "Vestrigal - HTTP download manager"},
        };
        MainWindowFixture f;
        f.window->show();
        for (const auto &[trigger, name, title] : openers) {
            fire(*f.window, trigger);
            fire(*f.window, trigger);
            const QList<QWidget *> open = windows(*f.window, name);
            QVERIFY2(open.size() == 1 && open.first()->isVisible(), trigger);
            QCOMPARE(open.first()->windowTitle(), QString(title));
            // Closed, it opens again as a new instance. Escape closes the small browsers.
            if (QByteArray(name) == "formtemp" || QByteArray(name) == "formhelp")
                QTest::keyClick(open.first(), Qt::Key_Escape);
            else
                open.first()->close();
            QTRY_VERIFY2(windows(*f.window, name).isEmpty(), trigger);
            fire(*f.window, trigger);
            QCOMPARE(windows(*f.window, name).size(), 1);
        }
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void calculatorWindowKeysAndKeyboard()
    {
        ScriptedPrompter prompter;
        formcalc calc(prompter);
        calc.show();
        QTest::keyClicks(&calc, "7-2");
        QTest::keyClick(&calc, Qt::Key_Return);
        QCOMPARE(calc.txtCalc->text(), QString("5"));
        for (const char *button : {"btnPlus", "btn3", "btnDo"})
            calc.button(button)->click();
        QCOMPARE(calc.txtCalc->text(), QString("8"));
        calc.button("btnCopy")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("8"));
        QTest::keyClick(&calc, Qt::Key_Escape); // "AC", not close
        QVERIFY(calc.isVisible() && calc.txtCalc->text() == "0");

        QVERIFY(!calc.button("btnA")->isEnabled());
        QTest::keyClicks(&calc, "255");
        calc.optHex->click();
        QCOMPARE(calc.txtCalc->text(), QString("ff"));
        QVERIFY(calc.button("btnF")->isEnabled() && !calc.button("btnDec")->isEnabled());
        calc.optBin->click();
        QCOMPARE(calc.txtCalc->text(), QString("11111111"));
        QVERIFY(!calc.button("btn2")->isEnabled());
        QTest::keyClicks(&calc, "2a"); // keys of other bases do nothing
        QCOMPARE(calc.txtCalc->text(), QString("11111111"));
        // A result the window cannot convert keeps its base chosen.
        calc.optDec->click();
        QTest::keyClicks(&calc, "*9999999999999999999999");
        QTest::keyClick(&calc, Qt::Key_Return);
        calc.optHex->click();
        QVERIFY(calc.optDec->isChecked() && !calc.optHex->isChecked());
        calc.button("btnExit")->click();
        QVERIFY(!calc.isVisible());
    }

    // The tag of topic 1 is not the start of topic 12's; tags are exact (the viewer below shows the rest).
    void topicSearchIsExact()
    {
        const QString data = "intro\n<topic id = 12>twelve</topic><topic id = 1>one</topic>\n";
        QCOMPARE(HelpData::topicFrom(data, 1).text, QString("one"));
        QCOMPARE(HelpData::topicFrom(data, 12).text, QString("twelve"));
        QVERIFY(!HelpData::topicFrom("<TOPIC ID = 1>x</topic><topic id=1>y</topic>", 1).found);
    }

    void helpViewerShowsTheClickedTopicReadAgainEachTime()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("help.dat");
        QVERIFY(writeFile(file, "<topic id = 14>The end.</topic>\n<topic id = 17>\nBlocks of 1024 bytes.\n</topic>"
                                "<topic id = 1>Main page</topic><topic id = 2>No end"));
        formhelp help(file);
        QCOMPARE(help.tvwHelp->topLevelItemCount(), 2);
        QVERIFY(help.node("h1")->isExpanded());
        QCOMPARE(help.node("h17")->parent(), help.node("h15"));
        QStringList mainChildren; // in the order they were added
        for (int i = 0; i < help.node("h1")->childCount(); ++i)
            mainChildren << help.node("h1")->child(i)->text(0);
        QCOMPARE(mainChildren, (QStringList{"Introduction", "Connecting to a host", "Downloading a file",
                                            "Uploading a file", "Queue", "Configuration", "Other commands"}));
        const QList<std::pair<const char *, QString>> clicks{
            {"h17", "\nBlocks of 1024 bytes.\n"},
            {"h14", "The end."},
            {"h5", "Help topic 5 is missing from help/help.dat."},
            {"h2", "Help topic 2 in help/help.dat has no closing tag."}};
        for (const auto &[key, text] : clicks) {
            help.tvwHelp_NodeClick(help.node(key));
            QCOMPARE(help.txtHelp->toPlainText(), text);
        }
        QVERIFY(writeFile(file, "<topic id = 14>Rewritten.</topic>"));
        help.tvwHelp_NodeClick(help.node("h14"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("Rewritten."));
        QFile::remove(file);
        help.tvwHelp_NodeClick(help.node("h14"));
        QVERIFY(help.txtHelp->toPlainText().startsWith("The help file help/help.dat could not be read"));
    }

    // Every topic is there and whole, and every "Menu > Item" the help names is a path of the menu bar.
    void shippedHelpIsWholeAndNamesOnlyRealMenuItems()
    {
        const QString data =
            QString::fromUtf8(TestSupport::contentOf(TestSupport::sourceDir() + "/resources/help/help.dat"));
        for (int n = 1; n <= 20; ++n) {
            const HelpData::Topic topic = HelpData::topicFrom(data, n);
            QVERIFY2(topic.found, qPrintable(topic.text));
            QVERIFY2(topic.text.trimmed().size() > 80, qPrintable(QString("topic %1 is too short").arg(n)));
            QVERIFY2(!topic.text.contains("<topic"), qPrintable(QString("topic %1 runs into another").arg(n)));
        }
        int paths = 0;
        for (const MenuItem &top : MainMenus::menuBar()) {
            const QRegularExpression named("\\b" + QString(top.caption).remove('&') + " > ");
            for (auto it = named.globalMatch(data); it.hasNext(); ++paths) {
                const QRegularExpressionMatch m = it.next();
                QVERIFY2(namesAnItem(data, m.capturedEnd(), top.children),
                         qPrintable("no such menu item: " + data.mid(m.capturedStart(), 50)));
            }
        }
        QVERIFY(paths >= 20);
    }

    void tempRemovalTouchesOnlyFilesOfTheFolder()
    {
        QTemporaryDir dir, outside;
        QVERIFY(writeFile(dir.filePath("a.txt")) && writeFile(outside.filePath("keep.txt")) &&
                writeFile(dir.filePath("sub/inner/deep.txt")));
        const TempFolder::Removal r =
            TempFolder::remove(dir.path(), {dir.filePath("a.txt"), outside.filePath("keep.txt"), dir.filePath("sub"),
                                            dir.filePath("sub/inner/deep.txt"),
                                            dir.filePath("../" + QFileInfo(outside.path()).fileName() + "/keep.txt")});
        QCOMPARE(r.removed, 1);
        QVERIFY(QFile::exists(outside.filePath("keep.txt")));
        QVERIFY(QFile::exists(dir.filePath("sub/inner/deep.txt")));
        QCOMPARE(r.folders, QStringList{"sub"});
        QCOMPARE(r.outside.size(), 3);
        QCOMPARE(TempFolder::statusText(r), QString("sub is a folder; folders are not deleted here."));
        QCOMPARE(TempFolder::statusText({.failed = {"a.txt", "b.txt", "c.txt"}}),
                 QString("Could not delete a.txt and 2 more files."));
        QCOMPARE(TempFolder::statusText({.failed = {"a.txt"}}), QString("Could not delete a.txt."));
        QCOMPARE(TempFolder::statusText({}), QString());
        if (geteuid() == 0)
            QSKIP("root deletes from a read-only folder");
        QVERIFY(writeFile(dir.filePath("locked.txt")));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const TempFolder::Removal locked = TempFolder::clear(dir.path());
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(locked.failed, QStringList{"locked.txt"});
    }

    void tempBrowserAfterARemoteListing()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QStringList names = {"a.txt", "b.png", "c.html", "d.zip", "e.pdf"};
        for (const QString &name : names)
            QVERIFY(server.writeFile(name, "content of " + name.toUtf8()));
        MainWindowFixture f;
        QVERIFY(f.connect(server));
        // The placeholders are made beside the listing, by a worker.
        QTRY_COMPARE(QDir(f.state.folders.temp).entryList(QDir::Files).size(), 5);

        // Besides them a hidden file, a larger one and a folder.
        QVERIFY(writeFile(f.state.folders.temp + ".hidden", {}) &&
                writeFile(f.state.folders.temp + "f.txt", QByteArray(1234567, 'x')));
        QVERIFY(QDir(f.state.folders.temp).mkdir("kept folder"));

        f.window->toolWindows().showTemp();
        formtemp *browser = f.window->findChild<formtemp *>("formtemp");
        QVERIFY(browser);
        QCOMPARE(column(*browser, 0), (QStringList{".hidden"} + names + QStringList{"f.txt", "kept folder"}));
        QCOMPARE(column(*browser, 1), (QStringList(6, "0") + QStringList{"1 234 567", "0"}));
        QCOMPARE(column(*browser, 2).mid(1, 5),
                 (QStringList{"plain text document", "PNG image", "HTML document", "Zip archive", "PDF document"}));
        QCOMPARE(column(*browser, 2).last(), QString("Directory"));
        const QRegularExpression date("^[1-9]\\d?/[1-9]\\d?/\\d{4} [1-9]?\\d:\\d\\d:\\d\\d$");
        for (int r = 0; r < 8; ++r)
            QVERIFY(!browser->rows->item(r, 0)->icon().isNull() && date.match(column(*browser, 3)[r]).hasMatch());
        QVERIFY(qAbs(TempFolder::creationTime(f.state.folders.temp + "f.txt").secsTo(QDateTime::currentDateTime())) <
                120);
        QCOMPARE(TempFolder::creationTime(f.state.folders.temp + "gone"), QDateTime());

        const int row = column(*browser, 0).indexOf("c.html");
        browser->ListView1->selectionModel()->select(browser->rows->index(row, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(browser->ListView1, &del);
        QVERIFY(!QFile::exists(f.state.folders.temp + "c.html"));
        QCOMPARE(column(*browser, 0),
                 (QStringList{".hidden", "a.txt", "b.png", "d.zip", "e.pdf", "f.txt", "kept folder"}));
        QCOMPARE(browser->statusText(), QString());

        browser->menu1_clear->trigger();
        QCOMPARE(column(*browser, 0), QStringList{"kept folder"});
        QCOMPARE(QDir(f.state.folders.temp).entryList(QDir::Files | QDir::Hidden), QStringList());
        browser->menu_exit->trigger();
        QTRY_VERIFY(!f.window->findChild<formtemp *>("formtemp"));
    }

    void telnetFindsATerminalAndReportsAFailedStart()
    {
        QTemporaryDir bin;
        QVERIFY(TelnetLauncher::find(bin.path(), {}).error.contains("telnet"));
        makeExecutable(bin.path(), "telnet");
        const auto noTerminal = TelnetLauncher::find(bin.path(), {});
        QVERIFY(noTerminal.error.contains("terminal") && noTerminal.program.isEmpty());
        makeExecutable(bin.path(), "gnome-terminal");
        const auto gnome = TelnetLauncher::find(bin.path(), {});
        QVERIFY(gnome.error.isEmpty());
        QCOMPARE(gnome.arguments, QStringList({"--", bin.path() + "/telnet"}));
        makeExecutable(bin.path(), "xterm");
        QVERIFY(TelnetLauncher::find(bin.path(), {}).program.endsWith("/xterm"));
        // The user's own choice wins; an unknown one is passed over.
        QVERIFY(TelnetLauncher::find(bin.path(), "gnome-terminal").program.endsWith("/gnome-terminal"));
        QVERIFY(TelnetLauncher::find(bin.path(), "no-such-term").program.endsWith("/xterm"));

        QVERIFY(QFile::remove(bin.path() + "/gnome-terminal"));
        qputenv("PATH", bin.path().toLocal8Bit());
        qunsetenv("TERMINAL");
        QStringList started;
        QVERIFY(TelnetLauncher::launch([&](const QString &p, const QStringList &a) {
                    started << p << a;
                    return true;
                }).isEmpty());
        QCOMPARE(started, QStringList({bin.path() + "/xterm", "-e", bin.path() + "/telnet"}));
        QVERIFY(!TelnetLauncher::launch([](const QString &, const QStringList &) { return false; }).isEmpty());
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
