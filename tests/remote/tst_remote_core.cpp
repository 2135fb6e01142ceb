// The remote side's core at its edges: paths at the root and with doubled slashes, names from a
// server that must never become local names or commands, the connection fields at their bounds,
// the rows of the list, and a folder removal that meets a hostile name.
#include "ConnectionSettings.h"
#include "FileIconCache.h"
#include "FtpSession.h"
#include "ListRoles.h"
#include "LogRun.h"
#include "RemoteFolderRemover.h"
#include "RemoteListing.h"
#include "RemoteLogin.h"
#include "RemotePaths.h"
#include "SessionLog.h"
#include "session/ScriptedFtpPeer.h"

#include <QDir>
#include <QGuiApplication>
#include <QStandardItem>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TestRemoteCore : public QObject
{
    Q_OBJECT

private slots:
    void paths()
    {
        QCOMPARE(RemotePaths::parentKey("/a/b/"), QStringLiteral("/a"));
        QCOMPARE(RemotePaths::parentKey("/a/"), QString());
        QCOMPARE(RemotePaths::upOneLevel("/a/b/"), QStringLiteral("/a/"));
        QCOMPARE(RemotePaths::upOneLevel("/a/"), QStringLiteral("/"));
        QCOMPARE(RemotePaths::fromTyped("/a///"), QStringLiteral("/a/"));
        QCOMPARE(RemotePaths::fromTyped("/a"), QStringLiteral("/a/"));
    }

    // Names from a server that may become local file names: no "/", "\\", control character or
    // DEL, not "." or "..". Seen through the placeholders, the first thing a listing writes locally:
    // made inside the temp folder only.
    void safeLocalNames()
    {
        QTemporaryDir dir;
        const QString temp = dir.path() + "/temp/";
        QVERIFY(QDir().mkpath(temp));
        {
            PlaceholderFiles files(temp);
            files.ensure({"a.txt", "~a b", "a ", "...", "a\x1f", "a\x7f", "a\\b", "a/b", "..", ".", "../escaped.txt"});
            files.waitForDone();
        }
        QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"...", "a ", "a.txt", "~a b"}));
        QVERIFY(!QFile::exists(dir.path() + "/escaped.txt"));
    }

    void connectionFieldsAtTheirBounds_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("keep");
        QTest::addColumn<bool>("valid");
        QTest::newRow("port 0") << "0" << "0" << "0" << false;
        QTest::newRow("port 1") << "1" << "0" << "0" << true;
        QTest::newRow("port 65535") << "65535" << "0" << "0" << true;
        QTest::newRow("port 65536") << "65536" << "0" << "0" << false;
        QTest::newRow("time limit -1") << "21" << "-1" << "0" << false;
        QTest::newRow("time limit max") << "21" << "2147483647" << "0" << true;
        QTest::newRow("time limit max+1") << "21" << "2147483648" << "0" << false;
        QTest::newRow("keep-alive -1") << "21" << "0" << "-1" << false;
        QTest::newRow("keep-alive max") << "21" << "0" << "2147483647" << true;
        QTest::newRow("keep-alive max+1") << "21" << "0" << "2147483648" << false;
    }
    void connectionFieldsAtTheirBounds()
    {
        QFETCH(QString, port);
        QFETCH(QString, timeout);
        QFETCH(QString, keep);
        QFETCH(bool, valid);
        QString error;
        const auto settings = ConnectionSettings::fromFields("host", port, "u", "p", "", timeout, keep, false, &error);
        QCOMPARE(settings.has_value(), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (valid)
            QCOMPARE(QString::number(settings->port), port);
    }

    // Rows are keyed by their full path; only a real entry's name can be edited.
    void listRows()
    {
        FileIconCache icons;
        const auto row = RemoteListing::entryRow("/pub/", FtpEntry{"a.txt", "a.txt", false, 5, {}}, icons);
        QCOMPARE(row.first()->data(ListRoles::Key).toString(), QStringLiteral("/pub/a.txt"));
        QVERIFY(row.first()->isEditable());
        const auto parent = RemoteListing::parentRow("/pub/sub/", icons);
        QCOMPARE(parent.first()->data(ListRoles::Key).toString(), QStringLiteral("/pub"));
        for (QStandardItem *item : parent)
            QVERIFY(!item->isEditable());
        // A link is a row of its own kind: it may be entered like a folder.
        const auto link = RemoteListing::entryRow("/pub/", FtpEntry{"pub", {}, false, 8, {}, true}, icons);
        QCOMPARE(ListRoles::kindOf(link.first()->data(ListRoles::Kind)), ListRoles::RowKind::Link);
        QVERIFY(ListRoles::isFolderLike(ListRoles::RowKind::Link));
        qDeleteAll(row);
        qDeleteAll(parent);
        qDeleteAll(link);
    }

    // A folder whose listing holds a name with a control character: nothing is sent for it.
    void removerNeverSendsAHostileName()
    {
        ScriptedFtpPeer peer;
        peer.on("CWD", {ScriptedFtpPeer::reply("250 Ok.\r\n")});
        peer.on("LIST", {ScriptedFtpPeer::reply("150 Here.\r\n"),
                         ScriptedFtpPeer::data("drwxr-xr-x 2 u g 4096 Jan 01  2020 a\x01b\r\n"),
                         ScriptedFtpPeer::closeData(), ScriptedFtpPeer::reply("226 Done.\r\n")});
        peer.on("RMD", {ScriptedFtpPeer::reply("550 Not empty.\r\n")});
        FtpSession session;
        FtpOptions options;
        options.host = "127.0.0.1";
        options.port = peer.port();
        options.user = "u";
        options.password = "pw-pw";
        options.timeoutMs = 5000;
        QVERIFY(session.open(options));
        RemoteFolderRemover remover(session, {[](const QString &) {}, [] {}, [] { return true; }});
        QVERIFY(!remover.RemoveRemoteFolder("/top"));
        for (const QByteArray &command : peer.commands())
            QVERIFY2(!command.contains("a\x01b"), command.constData());
    }

    // A failed connection: the reason told is the server's last refusal, else the last line; the
    // socket's own account, which has no reply code, is red in the log.
    void failedConnectionIsToldAndLogged()
    {
        QCOMPARE(RemoteLogin::failureReason("220 Hi\n530 No.\n221 Bye\n"), QStringLiteral("530 No."));
        QCOMPARE(RemoteLogin::failureReason("220 Hi\nConnection closed\n"), QStringLiteral("Connection closed"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        FtpOptions options;
        options.host = "127.0.0.1";
        options.port = closed.serverPort();
        closed.close();
        FtpSession session;
        QVERIFY(!session.open(options));
        SessionLog log;
        RemoteLogin::logLogin(session, log);
        QVERIFY(!log.runs().isEmpty());
        for (const LogRun &run : log.runs())
            QCOMPARE(run.colour, LogColours::red());
    }
};

QTEST_MAIN(TestRemoteCore)
#include "tst_remote_core.moc"
