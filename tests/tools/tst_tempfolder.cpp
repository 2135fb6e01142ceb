// The temporary files browser: its core on a real folder, and the window after a remote listing.
#include "../app/MainWindowFixture.h"
#include "ListRoles.h"
#include "TempFolder.h"
#include "ToolWindows.h"
#include "formtemp.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTreeView>

class TestTempFolder : public QObject
{
    Q_OBJECT

    static bool write(const QString &path, const QByteArray &data = {})
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

    static QStringList column(const formtemp &window, int c)
    {
        QStringList texts;
        for (int r = 0; r < window.rows->rowCount(); ++r)
            texts << window.rows->item(r, c)->text();
        return texts;
    }

    static void select(formtemp &window, const QString &name)
    {
        const int row = column(window, 0).indexOf(name);
        QVERIFY(row >= 0);
        window.ListView1->selectionModel()->select(window.rows->index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void listingSizesTypesAndTimes()
    {
        QTemporaryDir dir;
        QVERIFY(TempFolder::list(dir.path()).isEmpty());
        QVERIFY(write(dir.filePath("notes.txt"), QByteArray(1234567, 'x')));
        QVERIFY(write(dir.filePath(".hidden")));
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QList<TempFolder::Row> rows = TempFolder::list(dir.path());
        QCOMPARE(rows.size(), 3);
        const auto find = [&](const QString &name) {
            return *std::find_if(rows.begin(), rows.end(), [&](const auto &r) { return r.name == name; });
        };
        QCOMPARE(find("notes.txt").sizeText, QString("1 234 567"));
        QCOMPARE(find("notes.txt").type, QString("plain text document"));
        QCOMPARE(find(".hidden").sizeText, QString("0"));
        QVERIFY(find("sub").folder);
        const TempFolder::Row notes = find("notes.txt");
        QVERIFY(notes.created.isValid());
        QVERIFY(qAbs(notes.created.secsTo(QDateTime::currentDateTime())) < 120);
        QVERIFY(QRegularExpression("^[1-9]\\d?/[1-9]\\d?/\\d{4} [1-9]?\\d:\\d\\d:\\d\\d$")
                    .match(notes.createdText)
                    .hasMatch());
        QCOMPARE(TempFolder::creationTime(dir.filePath("gone")), QDateTime());
    }

    void removalTouchesOnlyFilesOfTheFolder()
    {
        QTemporaryDir dir, outside;
        QVERIFY(write(dir.filePath("a.txt")));
        QVERIFY(write(outside.filePath("keep.txt")));
        QVERIFY(QDir(dir.path()).mkpath("sub/inner"));
        QVERIFY(write(dir.filePath("sub/inner/deep.txt")));
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
    }

    void aFileThatCannotBeDeletedIsNamed()
    {
        TempFolder::Removal r;
        r.failed = QStringList{"a.txt", "b.txt", "c.txt"};
        QCOMPARE(TempFolder::statusText(r), QString("Could not delete a.txt and 2 more files."));
        r.failed = QStringList{"a.txt"};
        QCOMPARE(TempFolder::statusText(r), QString("Could not delete a.txt."));
        QCOMPARE(TempFolder::statusText({}), QString());
        if (geteuid() == 0)
            QSKIP("root deletes from a read-only folder");
        QTemporaryDir dir;
        QVERIFY(write(dir.filePath("locked.txt")));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const TempFolder::Removal locked = TempFolder::clear(dir.path());
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(locked.failed, QStringList{"locked.txt"});
    }

    void browserAfterARemoteListing()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QStringList names = {"a.txt", "b.png", "c.html", "d.zip", "e.pdf"};
        for (const QString &name : names)
            QVERIFY(server.writeFile(name, "content of " + name.toUtf8()));
        MainWindowFixture f;
        QVERIFY(f.connect(server));
        QTRY_COMPARE(f.remoteNames().size(), 5);
        // The placeholders are made beside the listing, by a worker.
        QTRY_COMPARE(QDir(f.state.folders.temp).entryList(QDir::Files).size(), 5);

        f.window->toolWindows().showTemp();
        formtemp *browser = f.window->findChild<formtemp *>("formtemp");
        QVERIFY(browser);
        QCOMPARE(browser->windowTitle(), QString("Vestrigal - Temp files browser"));
        QCOMPARE(column(*browser, 0), names);
        QCOMPARE(column(*browser, 1), QStringList(5, "0"));
        QCOMPARE(column(*browser, 2),
                 (QStringList{"plain text document", "PNG image", "HTML document", "Zip archive", "PDF document"}));
        for (int r = 0; r < 5; ++r)
            QVERIFY(!browser->rows->item(r, 0)->icon().isNull());
        QVERIFY(QDir(f.state.folders.temp).mkdir("kept folder"));

        select(*browser, "c.html");
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(browser->ListView1, &del);
        QVERIFY(!QFile::exists(f.state.folders.temp + "c.html"));
        QCOMPARE(column(*browser, 0), (QStringList{"a.txt", "b.png", "d.zip", "e.pdf", "kept folder"}));
        QCOMPARE(browser->statusText(), QString());

        browser->menu1_clear->trigger();
        QCOMPARE(column(*browser, 0), QStringList{"kept folder"});
        QCOMPARE(QDir(f.state.folders.temp).entryList(QDir::Files | QDir::Hidden), QStringList());

        browser->menu_exit->trigger();
        QTRY_VERIFY(!f.window->findChild<formtemp *>("formtemp"));
    }
};

QTEST_MAIN(TestTempFolder)
#include "tst_tempfolder.moc"
