// Help data: the topic search, the viewer, and the program's own help file against its menus.
#include "HelpData.h"
#include "MainMenus.h"
#include "TestSupport.h"
#include "formhelp.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class TestHelp : public QObject
{
    Q_OBJECT

    static bool write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

    static QString shipped()
    {
        QFile f(TestSupport::sourceDir() + "/resources/help/help.dat");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // The menu path that starts at `pos` below `items`, as far as it resolves; empty when no
    // caption of `items` starts there.
    static QString resolve(const QString &text, qsizetype pos, const QList<MenuItem> &items)
    {
        const MenuItem *best = nullptr;
        for (const MenuItem &item : items)
            if (item.caption != "-" && text.mid(pos).startsWith(item.caption) &&
                (!best || item.caption.size() > best->caption.size()))
                best = &item;
        if (!best)
            return {};
        const qsizetype after = pos + best->caption.size();
        if (!best->children.isEmpty() && text.mid(after).startsWith(" > ")) {
            const QString rest = resolve(text, after + 3, best->children);
            return rest.isEmpty() ? QString() : best->caption + " > " + rest;
        }
        return best->caption;
    }

private slots:
    void topicSearchIsExact()
    {
        const QString data = "intro\n<topic id = 1>one</topic>\n<topic id = 12>twelve</topic>"
                             "<topic id = 17>Buffer\nsize text</topic><topic id = 3>\nstarts with a break</topic>"
                             "<topic id = 4>open ended";
        QCOMPARE(HelpData::topicFrom(data, 1).text, QString("one"));
        QCOMPARE(HelpData::topicFrom(data, 12).text, QString("twelve"));
        QCOMPARE(HelpData::topicFrom(data, 17).text, QString("Buffer\nsize text"));
        QCOMPARE(HelpData::topicFrom(data, 3).text, QString("\nstarts with a break"));
        const HelpData::Topic missing = HelpData::topicFrom(data, 2);
        QVERIFY(!missing.found);
        QCOMPARE(missing.text, QString("Help topic 2 is missing from help/help.dat."));
        const HelpData::Topic open = HelpData::topicFrom(data, 4);
        QVERIFY(!open.found);
        QCOMPARE(open.text, QString("Help topic 4 in help/help.dat has no closing tag."));
        QVERIFY(!HelpData::topicFrom("<TOPIC ID = 1>x</topic><topic id=1>y</topic>", 1).found);
    }

    void viewerShowsTheClickedTopicReadAgainEachTime()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("help.dat");
        QVERIFY(write(file, "<topic id = 14>The end.</topic>\n<topic id = 17>\nBlocks of 1024 bytes.\n</topic>"
                            "<topic id = 1>Main page</topic><topic id = 2>No end"));
        formhelp help(file);
        QCOMPARE(help.windowTitle(), QString("Vestrigal - Help"));
        QCOMPARE(help.tvwHelp->topLevelItemCount(), 2);
        QVERIFY(help.node("h1")->isExpanded());
        QCOMPARE(help.tvwHelp->topLevelItem(1)->text(0), QString("Conclusion"));
        QCOMPARE(help.node("h17")->text(0), QString("Buffer size"));
        QCOMPARE(help.node("h17")->parent(), help.node("h15"));
        QCOMPARE(help.node("h15")->parent(), help.node("h19"));
        // Children of "Main" in the order they were added.
        QStringList mainChildren;
        for (int i = 0; i < help.node("h1")->childCount(); ++i)
            mainChildren << help.node("h1")->child(i)->text(0);
        QCOMPARE(mainChildren, (QStringList{"Introduction", "Connecting to a host", "Downloading a file",
                                            "Uploading a file", "Queue", "Configuration", "Other commands"}));

        help.tvwHelp_NodeClick(help.node("h17"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("\nBlocks of 1024 bytes.\n"));
        help.tvwHelp_NodeClick(help.node("h14"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("The end."));
        help.tvwHelp_NodeClick(help.node("h5"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("Help topic 5 is missing from help/help.dat."));
        help.tvwHelp_NodeClick(help.node("h2"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("Help topic 2 in help/help.dat has no closing tag."));

        QVERIFY(write(file, "<topic id = 14>Rewritten.</topic>"));
        help.tvwHelp_NodeClick(help.node("h14"));
        QCOMPARE(help.txtHelp->toPlainText(), QString("Rewritten."));
        QFile::remove(file);
        help.tvwHelp_NodeClick(help.node("h14"));
        QVERIFY(help.txtHelp->toPlainText().startsWith("The help file help/help.dat could not be read"));
    }

    void shippedHelpHasEveryTopic()
    {
        const QString data = shipped();
        QVERIFY(!data.isEmpty());
        for (int n = 1; n <= 20; ++n) {
            const HelpData::Topic topic = HelpData::topicFrom(data, n);
            QVERIFY2(topic.found, qPrintable(topic.text));
            QVERIFY2(topic.text.trimmed().size() > 80, qPrintable(QString("topic %1 is too short").arg(n)));
            QVERIFY2(!topic.text.contains("<topic"), qPrintable(QString("topic %1 runs into another").arg(n)));
        }
    }

    // Every "Menu > Item" the help names is a path of the menu bar.
    void shippedHelpNamesOnlyRealMenuItems()
    {
        const QString data = shipped();
        const QList<MenuItem> bar = MainMenus::menuBar();
        int paths = 0;
        for (const MenuItem &top : bar) {
            const QString caption = QString(top.caption).remove('&');
            const QRegularExpression named("\\b" + caption + " > ");
            for (auto it = named.globalMatch(data); it.hasNext();) {
                const QRegularExpressionMatch m = it.next();
                const QString path = resolve(data, m.capturedEnd(), top.children);
                QVERIFY2(!path.isEmpty(), qPrintable("no such menu item: " + data.mid(m.capturedStart(), 50)));
                ++paths;
            }
        }
        QVERIFY(paths >= 20);
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
