// The local folder tree on real temporary folders: top nodes, lazy filling, the walk down, collapsing.
#include "FileIconCache.h"
#include "LocalTree.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QStandardItemModel>
#include <QTest>
#include <QThread>

#include <memory>

using Kind = LocalTree::Kind;

class TestLocalTree : public QObject
{
    Q_OBJECT

    TestSupport::TempTree m_dir;
    QString m_root; // ends with "/"
    std::unique_ptr<QStandardItemModel> m_model;
    FileIconCache m_icons;
    std::unique_ptr<LocalTree> m_tree;

    void makeFolders(const QStringList &paths) const
    {
        for (const QString &path : paths)
            QVERIFY(QDir().mkpath(m_root + path));
    }
    // Desktop, a volume "vol" with the documents below it, and a second volume mounted inside the first.
    LocalPlaces places() const
    {
        return {m_root + "Desktop/",
                m_root + "vol/home/Docs/",
                {{m_root + "vol/", LocalVolume::Kind::FixedDisk}, {m_root + "vol/mnt/", LocalVolume::Kind::Removable}}};
    }
    static QStringList texts(const QStandardItem *node)
    {
        QStringList out;
        for (int r = 0; node && r < node->rowCount(); ++r)
            out << node->child(r)->text();
        return out;
    }
    static bool hasPlaceholder(const QStandardItem *node)
    {
        return node->rowCount() == 1 && LocalTree::kindOf(node->child(0)) == Kind::Placeholder;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_root = m_dir.path() + "/t/";
        QDir(m_root).removeRecursively();
        makeFolders({"Desktop/Projects/src", "Desktop/.hidden", "vol/home/Docs/Letters", "vol/home/Docs/Sub/deeper",
                     "vol/home/empty", "vol/mnt/disk", "vol/var"});
        m_tree.reset();
        m_model = std::make_unique<QStandardItemModel>();
        m_tree = std::make_unique<LocalTree>(*m_model, m_icons);
        QVERIFY(m_tree->build(places()));
    }

    void buildsDesktopDocumentsComputerAndVolumes()
    {
        LocalTree &tree = *m_tree;
        QCOMPARE(texts(m_model->invisibleRootItem()), QStringList{"Desktop"});
        QStandardItem *desktop = tree.desktopNode();
        QCOMPARE(texts(desktop), QStringList({"My documents", "My computer", ".hidden", "Projects"}));
        QCOMPARE(LocalTree::folderOf(desktop), m_root + "Desktop/");
        QCOMPARE(texts(desktop->child(0)), QStringList({"Letters", "Sub"}));
        QCOMPARE(LocalTree::folderOf(desktop->child(0)->child(1)), m_root + "vol/home/Docs/Sub/");

        QStandardItem *computer = tree.computerNode();
        QCOMPARE(LocalTree::folderOf(computer), QString());
        QCOMPARE(texts(computer), QStringList({m_root + "vol/", m_root + "vol/mnt/"}));
        QCOMPARE(LocalTree::kindOf(computer->child(1)), Kind::Removable);
        // A mounted volume shows under My computer, not again as a folder of the volume holding it.
        QCOMPARE(texts(computer->child(0)), QStringList({"home", "var"}));
        QVERIFY(!desktop->child(0)->isEditable());
        QVERIFY(computer->child(0)->child(0)->isEditable());

        QStandardItemModel other;
        QVERIFY(!LocalTree(other, m_icons).build({m_root, m_root, {}}));
    }

    void fillsLazilyWithPlaceholders()
    {
        LocalTree &tree = *m_tree;
        QStandardItem *home = tree.folderNode(m_root + "vol/home/");
        QVERIFY(home);
        QVERIFY(hasPlaceholder(home));
        tree.expand(home);
        QCOMPARE(texts(home), QStringList({"Docs", "empty"}));
        QVERIFY(hasPlaceholder(home->child(0)));
        QCOMPARE(home->child(1)->rowCount(), 0); // no subfolder, no placeholder
        tree.expand(home);                       // listed already: nothing twice
        QCOMPARE(home->rowCount(), 2);

        // A node of the volumes' branch is found before the same folder under Desktop.
        QStandardItem *docs = tree.folderNode(m_root + "vol/home/Docs");
        QCOMPARE(docs->parent(), home);
        // Not listed in that branch yet: the one under My documents stands in.
        QCOMPARE(tree.folderNode(m_root + "vol/home/Docs/Letters/")->parent(), tree.desktopNode()->child(0));
        QCOMPARE(tree.folderNode(m_root + "vol/nowhere/"), nullptr);
    }

    void walkDownAndCollapse()
    {
        LocalTree &tree = *m_tree;
        const QStringList walked = tree.walkDown(places().documents);
        QCOMPARE(walked, QStringList({m_root + "vol/", m_root + "vol/home/", m_root + "vol/home/Docs/"}));
        QStandardItem *docs = tree.folderNode(places().documents);
        QCOMPARE(texts(docs), QStringList({"Letters", "Sub"}));
        QCOMPARE(docs->parent()->parent()->parent(), tree.computerNode());
        tree.expand(docs->child(1));

        // Collapsing takes the listed folder up when it was inside.
        QCOMPARE(tree.collapse(docs, m_root + "vol/var/"), QString());
        QVERIFY(hasPlaceholder(docs));
        tree.expand(docs);
        QCOMPARE(tree.collapse(docs, m_root + "vol/home/Docs/Sub/deeper/"), m_root + "vol/home/Docs/");
        QVERIFY(hasPlaceholder(docs));
        // A sibling that merely shares the beginning of the name is not inside.
        QStandardItem *home = docs->parent();
        QCOMPARE(tree.collapse(home, m_root + "vol/home/Docsx/"), QString());

        const int desktopRows = tree.desktopNode()->rowCount();
        QCOMPARE(tree.collapse(tree.desktopNode(), m_root + "Desktop/Projects/"), QString());
        QCOMPARE(tree.collapse(tree.computerNode(), m_root + "vol/"), QString());
        QCOMPARE(tree.desktopNode()->rowCount(), desktopRows);
    }

    void reloadAndRenameRebuildChildren()
    {
        LocalTree &tree = *m_tree;
        makeFolders({"Desktop/New"});
        tree.reload(tree.desktopNode(), true);
        QCOMPARE(texts(tree.desktopNode()), QStringList({"My documents", "My computer", ".hidden", "New", "Projects"}));

        QStandardItem *projects = tree.desktopNode()->child(4);
        tree.expand(projects);
        QVERIFY(QDir().rename(m_root + "Desktop/Projects", m_root + "Desktop/Work"));
        tree.setFolder(projects, m_root + "Desktop/Work", true);
        QCOMPARE(projects->text(), QString("Work"));
        QCOMPARE(LocalTree::folderOf(projects->child(0)), m_root + "Desktop/Work/src/");
    }

    // Events run while subfolders are added may take the node away; the listing must stop, not crash.
    void listingStopsWhenTheNodeGoesMeanwhile()
    {
        for (int i = 0; i < 40; ++i)
            makeFolders({QString("vol/var/f%1").arg(i)});
        LocalTree &tree = *m_tree;
        tree.build(places());
        int pumps = 0;
        tree.setEventPump([&] {
            ++pumps;
            tree.build(places()); // a refresh clicked meanwhile
        });
        QThread::msleep(60);
        tree.expand(tree.folderNode(m_root + "vol/var/"));
        QCOMPARE(pumps, 1);
        QVERIFY(hasPlaceholder(tree.folderNode(m_root + "vol/var/")));
    }

    void placesOfThisSystem()
    {
        const QList<LocalVolume> volumes = LocalPlaces::mountedVolumes();
        QVERIFY(!volumes.isEmpty());
        QCOMPARE(volumes.first().root, QString("/"));
        QSet<QString> roots;
        for (const LocalVolume &v : volumes)
            roots.insert(v.root.endsWith('/') ? v.root : QString());
        QVERIFY(roots.size() == volumes.size() && !roots.contains(QString()));
        QVERIFY(QDir(LocalPlaces::documentsFolder()).exists());
        QVERIFY(QDir(LocalPlaces::desktopFolder()).exists());
    }
};

QTEST_MAIN(TestLocalTree)
#include "tst_localtree.moc"
