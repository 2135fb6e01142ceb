// The remote side's core, headless: which server names may become local paths, and the guard
// that lets one exchange at a time hold the connection.
#include "ConnectionGuard.h"
#include "Events.h"
#include "ServerNames.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestRemoteCore : public QObject
{
    Q_OBJECT

private slots:
    void serverNamesAndLocalPaths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<bool>("asLocalFile");
        QTest::newRow("plain") << "a.txt" << true << true;
        QTest::newRow("dots and blanks inside") << "..hidden and spaced é" << true << true;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("dot") << "." << false << false;
        QTest::newRow("dot dot") << ".." << false << false;
        QTest::newRow("climbs") << "../../evil.txt" << false << false;
        QTest::newRow("absolute") << "/etc/passwd" << false << false;
        QTest::newRow("backslash") << "a\\b" << true << false;
        QTest::newRow("backslashes that climb") << "..\\..\\evil.txt" << true << false;
        QTest::newRow("tab") << "x\ty" << false << false;
        QTest::newRow("line end") << "x\ny" << false << false;
        QTest::newRow("nul") << QString("x") + QChar(0) + "y" << false << false;
        QTest::newRow("delete") << "x\x7fy" << false << false;
        QTest::newRow("C1 control") << QString("x") + QChar(0x85) + "y" << false << false;
    }
    void serverNamesAndLocalPaths()
    {
        QFETCH(QString, name);
        QFETCH(bool, onServer);
        QFETCH(bool, asLocalFile);
        QCOMPARE(ServerNames::isServerName(name), onServer);
        QCOMPARE(ServerNames::isLocalFileName(name), asLocalFile);
        const auto path = ServerNames::localPathForServerName("/home/u/in/", name);
        QCOMPARE(path.has_value(), asLocalFile);
        if (path)
            QCOMPARE(*path, "/home/u/in/" + name);
    }

    void localPathsWithoutAFolderOrItsSlash()
    {
        QCOMPARE(ServerNames::localPathForServerName("/tmp", "a").value_or("-"), QString("/tmp/a"));
        QVERIFY(!ServerNames::localPathForServerName("", "a"));
    }

    void theHolderNestsOthersAreRefused()
    {
        ConnectionGuard guard;
        ConnectionGuard::Turn outer = guard.take();
        QVERIFY(outer);
        {
            ConnectionGuard::Turn inner = guard.take(); // the holder's own call
            QVERIFY(inner);
        }
        bool refusedMeanwhile = false;
        QTimer::singleShot(0, &guard, [&] { refusedMeanwhile = !guard.take() && guard.isBusy(); });
        QTRY_VERIFY_WITH_TIMEOUT((pumpEvents(), refusedMeanwhile), 2000);
        QVERIFY(guard.take()); // back in the holder's own flow
    }

    void aListingAskedForMeanwhileRunsOnceAfterwards()
    {
        ConnectionGuard guard;
        QSignalSpy due(&guard, &ConnectionGuard::listingDue);
        {
            ConnectionGuard::Turn turn = guard.take();
            QTimer::singleShot(0, &guard, [&] {
                if (!guard.take(true)) {
                    guard.requestListing();
                    guard.requestListing(); // the latest wins: still one
                }
            });
            for (int i = 0; i < 200 && !guard.listingRequested(); ++i)
                pumpEvents(); // as the holder does while it waits
            QVERIFY(guard.listingRequested());
            pumpEvents();
            QCOMPARE(due.count(), 0); // not while it is held
        }
        QTRY_COMPARE(due.count(), 1);
        QTest::qWait(20);
        QCOMPARE(due.count(), 1);
        // A listing that takes its turn satisfies the request.
        guard.requestListing();
        QVERIFY(guard.take(true));
        QTest::qWait(20);
        QCOMPARE(due.count(), 1);
    }

    void aTransferHoldsTooAndAReplacedConnectionFreesEverything()
    {
        ConnectionGuard guard;
        bool transfer = true;
        guard.setOtherwiseBusy([&] { return transfer; });
        QVERIFY(!guard.take());
        QSignalSpy due(&guard, &ConnectionGuard::listingDue);
        guard.requestListing();
        QTest::qWait(100);
        QCOMPARE(due.count(), 0);
        transfer = false;
        QTRY_COMPARE(due.count(), 1);

        ConnectionGuard::Turn old = guard.take();
        QVERIFY(old);
        guard.reset();
        bool taken = false;
        QTimer::singleShot(0, &guard, [&] { taken = bool(guard.take()); });
        QTRY_VERIFY(taken);
    }
};

QTEST_MAIN(TestRemoteCore)
#include "tst_remotecore.moc"
