// Every call of the FTP client against a real server (pyftpdlib on 127.0.0.1), in passive and
// in active mode, over IPv6 and through a SOCKS5 proxy.

#include "support/FtpTestKit.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace FtpTestKit;

namespace {

// A minimal SOCKS5 proxy: no authentication, CONNECT only, to IPv4 addresses or names that are IP
// addresses. Counts the connections it relayed.
class Socks5Relay
{
public:
    Socks5Relay()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server,
                         [this] { relay(m_server.nextPendingConnection()); });
    }
    quint16 port() const { return m_server.serverPort(); }
    int relayed() const { return m_relayed; }

private:
    // Parses "05 01 00 ATYP ADDR PORT"; false until the request is complete.
    static bool parseRequest(const QByteArray &b, QHostAddress &address, quint16 &port)
    {
        qsizetype at = 0;
        if (b.size() >= 10 && b[3] == 1) {
            address = QHostAddress(quint32(uchar(b[4])) << 24 | uchar(b[5]) << 16 | uchar(b[6]) << 8 | uchar(b[7]));
            at = 8;
        } else if (b.size() >= 5 && b[3] == 3 && b.size() >= 5 + uchar(b[4]) + 2) {
            address = QHostAddress(QString::fromLatin1(b.mid(5, uchar(b[4]))));
            at = 5 + uchar(b[4]);
        } else {
            return false;
        }
        port = quint16(uchar(b[at]) << 8 | uchar(b[at + 1]));
        return true;
    }

    // The client waits for our answer to its greeting, then for the one to its request, before
    // it sends more: what is read after the target connected is data.
    void relay(QTcpSocket *client)
    {
        auto *target = new QTcpSocket(client);
        auto handshake = [this, client, target, pending = QByteArray(), greeted = false]() mutable {
            if (target->state() == QAbstractSocket::ConnectedState) {
                target->write(client->readAll());
                return;
            }
            pending += client->readAll();
            if (!greeted && pending.size() >= 2 && pending.size() >= 2 + uchar(pending[1])) {
                pending.remove(0, 2 + uchar(pending[1]));
                client->write(QByteArray("\x05\x00", 2));
                greeted = true;
            }
            QHostAddress address;
            quint16 port = 0;
            if (greeted && parseRequest(pending, address, port)) {
                pending.clear();
                ++m_relayed;
                target->connectToHost(address, port);
            }
        };
        QObject::connect(client, &QTcpSocket::readyRead, target, handshake);
        QObject::connect(target, &QTcpSocket::connected, client,
                         [client] { client->write(QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x00", 10)); });
        QObject::connect(target, &QTcpSocket::readyRead, client,
                         [client, target] { client->write(target->readAll()); });
        QObject::connect(target, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        QObject::connect(client, &QTcpSocket::disconnected, client, [client, target] {
            target->disconnectFromHost();
            client->deleteLater();
        });
    }

    QTcpServer m_server;
    int m_relayed = 0;
};

} // namespace

class TestFtpSessionServer : public QObject
{
    Q_OBJECT

private slots:
    // Nothing listens, no host, a proxy that is not there or whose port is no port (1 and 65535 are
    // ports, 0 and 65536 are not: refused before any connection, with another text).
    void unreachable()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        FtpSession session;
        FtpOptions o = options("127.0.0.1", port, "u", "p", 2000);
        QVERIFY(!session.open(o));
        QVERIFY2(session.lastResponseInfo().contains("refused"), qPrintable(session.lastResponseInfo()));
        o.host.clear();
        QVERIFY(!session.open(o));
        QVERIFY(!session.lastResponseInfo().isEmpty());
        o.host = "127.0.0.1";
        o.proxy = QStringLiteral("127.0.0.1:%1").arg(port);
        QVERIFY(!session.open(o));
        QVERIFY2(session.lastResponseInfo().contains("proxy"), qPrintable(session.lastResponseInfo()));
        for (const int proxyPort : {0, 1, 65535, 65536}) {
            o.proxy = QStringLiteral("127.0.0.1:%1").arg(proxyPort);
            QVERIFY(!session.open(o));
            QCOMPARE(session.lastResponseInfo().contains("No valid proxy"), proxyPort == 0 || proxyPort == 65536);
        }
    }

    // Byte for byte in both modes and in blocks that divide nothing evenly, over IPv4 and over IPv6
    // (where EPSV and EPRT carry the data connections: PASV and PORT cannot).
    void transfersAreByteExact_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("passive");
        QTest::addColumn<qint64>("size");
        for (const char *host : {"127.0.0.1", "::1"}) {
            for (bool passive : {true, false}) {
                const char *mode = passive ? "passive" : "active";
                if (host[0] != ':')
                    QTest::addRow("%s %s empty", host, mode) << host << passive << qint64(0);
                QTest::addRow("%s %s 3 MiB", host, mode) << host << passive << qint64(3 * 1024 * 1024 + 17);
            }
        }
    }
    void transfersAreByteExact()
    {
        QFETCH(QString, host);
        QFETCH(bool, passive);
        QFETCH(qint64, size);
        TestFtpServer server({"--host", host});
        if (!server.isRunning() && host == "::1")
            QSKIP("no IPv6 loopback here");
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        QVERIFY2(session.open(options(server, passive)), qPrintable(session.lastResponseInfo()));
        const QByteArray data = pattern(size);
        QVERIFY(server.writeFile("down.bin", data));
        QList<FtpEntry> all;
        QVERIFY(session.list("*.*", all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(download(session, "down.bin", FtpTransferType::Binary, 1000), data);
        QVERIFY(session.lastResponseInfo().startsWith("226"));
        QVERIFY(upload(session, "up.bin", data, FtpTransferType::Binary, 1000));
        QCOMPARE(server.readFile("up.bin"), data);
    }

    void listing_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("passive MLSD") << true << true;
        QTest::newRow("active LIST") << false << false;
    }
    void listing()
    {
        QFETCH(bool, passive);
        QFETCH(bool, mlsd);
        TestFtpServer server(mlsd ? QStringList() : QStringList{"--no-mlsd"});
        for (const char *name : {"readme", "with space.TXT", "grüße.txt", "sub dir/inner.txt"})
            QVERIFY(server.writeFile(QString::fromUtf8(name), "1234567"));
        QVERIFY(server.writeFile("notes.txt", QByteArray(5000, 'x')));
        FtpSession session;
        QVERIFY(session.open(options(server, passive)));
        QList<FtpEntry> all;
        QVERIFY(session.list("*.*", all));
        QVERIFY(session.lastResponseInfo().contains("226"));
        QStringList names;
        for (const FtpEntry &e : all) {
            names << e.name;
            QCOMPARE(e.isFolder, e.name == "sub dir");
            QVERIFY(qAbs(e.lastWrite.secsTo(QDateTime::currentDateTime())) < 24 * 3600);
            if (!e.isFolder)
                QCOMPARE(e.size, e.name == "notes.txt" ? 5000 : 7);
        }
        names.sort();
        QCOMPARE(names, (QStringList{"grüße.txt", "notes.txt", "readme", "sub dir", "with space.TXT"}));
        QList<FtpEntry> txt;
        QVERIFY(session.list("/", "*.txt", txt));
        QCOMPARE(txt.size(), 2); // case-sensitive: not "with space.TXT"
        QVERIFY(session.setCurrentDirectory("sub dir"));
        QVERIFY(session.list("*.txt", txt));
        QCOMPARE(txt.size(), 1);
        QCOMPARE(txt[0].name, QStringLiteral("inner.txt"));
    }

    void rawNamesRoundTrip()
    {
        TestFtpServer server(QStringList{"--no-mlsd"});
        const QByteArray raw = QFile::encodeName(server.rootPath()) + "/caf\xe9 menu.txt";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "latin", 5), 5);
        ::close(fd);
        FtpSession session;
        QVERIFY(session.open(options(server)));
        QList<FtpEntry> all;
        QVERIFY(session.list("*.*", all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].name, QStringLiteral("caf\u00e9 menu.txt"));
        QCOMPARE(all[0].rawName, QByteArray("caf\xe9 menu.txt"));
        QCOMPARE(download(session, all[0].name), QByteArray("latin"));
        QVERIFY(session.renameFile(all[0].name, "plain.txt"));
        QCOMPARE(server.readFile("plain.txt"), QByteArray("latin"));
        QVERIFY(session.deleteFile("plain.txt"));
    }

    void commands()
    {
        QTemporaryDir dir;
        const QString record = dir.filePath("pswd.txt");
        TestFtpServer server({"--record", record});
        FtpSession session;
        QVERIFY(session.open(options(server)));
        QVERIFY(session.createDirectory("new folder"));
        QVERIFY(session.lastResponseInfo().startsWith("257"));
        QVERIFY(QFileInfo(server.pathOf("new folder")).isDir());
        QVERIFY(!session.createDirectory("new folder"));
        QVERIFY(session.lastResponseInfo().startsWith("550"));
        QVERIFY(session.setCurrentDirectory("/new folder"));
        QVERIFY(!session.setCurrentDirectory("/missing"));
        QVERIFY(session.command("PWD"));
        QVERIFY(session.lastResponseInfo().startsWith("257 \"/new folder\""));
        QVERIFY(session.setCurrentDirectory(".."));
        QVERIFY(session.removeDirectory("new folder"));
        QVERIFY(!QFileInfo::exists(server.pathOf("new folder")));

        QVERIFY(server.writeFile("ü old.txt", "x"));
        QVERIFY(session.renameFile("ü old.txt", "ü new.txt"));
        QVERIFY(session.lastResponseInfo().contains("350 "));
        QVERIFY(QFileInfo::exists(server.pathOf("ü new.txt")));
        QVERIFY(!session.renameFile("gone.txt", "x.txt"));
        QVERIFY(session.deleteFile("ü new.txt"));
        QVERIFY(!session.deleteFile("ü new.txt"));
        QVERIFY(session.lastResponseInfo().startsWith("550"));

        QVERIFY(!session.command("NOSUCHCOMMAND"));
        QVERIFY(session.lastResponseInfo().startsWith("500"));
        QVERIFY(session.command("SITE PSWD  new pass")); // sent as typed, blanks and all
        QCOMPARE(contentOf(record), QByteArray(" new pass\n"));
    }
    // REST before the transfer: the file from that byte on. A server without REST sends a download
    // from its first byte, which the file's offset says, and has an upload appended.
    void transfersResumeAtAnOffset()
    {
        for (const bool rest : {true, false}) {
            TestFtpServer server(rest ? QStringList() : QStringList{"--no-rest"});
            const QByteArray data = pattern(200000);
            QVERIFY(server.writeFile("f.bin", data) && server.writeFile("g.bin", data.left(70000)));
            FtpSession session;
            QVERIFY(session.open(options(server)));
            auto file = session.openFile("f.bin", RemoteFile::Read, FtpTransferType::Binary, 70000);
            QVERIFY(file && file->offset() == (rest ? 70000 : 0));
            QByteArray got, block(1000, '\0');
            for (qint64 n; (n = file->read(block.data(), block.size())) > 0;)
                got += block.left(n);
            QVERIFY(file->close() && got == data.mid(file->offset()));
            QVERIFY(upload(session, "g.bin", data, FtpTransferType::Binary, 65536, 70000));
            QCOMPARE(server.readFile("g.bin"), data);
        }
    }

    // An open file holds the connection; closing the session under it ends the file's calls.
    void openFileHoldsTheConnection()
    {
        TestFtpServer server;
        QVERIFY(server.writeFile("a.bin", pattern(100000)));
        FtpSession session;
        QVERIFY(session.open(options(server)));
        auto file = session.openFile("a.bin", RemoteFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        QVERIFY(!session.setCurrentDirectory("/"));
        QVERIFY(session.lastResponseInfo().contains("in progress"));
        char buffer[1000];
        session.close();
        QCOMPARE(file->read(buffer, 1000), -1);
        QVERIFY(!file->close());
        QVERIFY(!session.isOpen());
        QVERIFY(session.open(options(server)));
    }

    // The proxy field: control and (passive) data connections both go through SOCKS5.
    void throughSocks5Proxy()
    {
        TestFtpServer server;
        Socks5Relay relay;
        QVERIFY(server.writeFile("p.bin", pattern(50000)));
        FtpOptions o = options(server);
        o.proxy = QStringLiteral("127.0.0.1:%1").arg(relay.port());
        FtpSession session;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> all;
        QVERIFY(session.list("*.*", all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(download(session, "p.bin"), pattern(50000));
        QCOMPARE(relay.relayed(), 3);
    }
};

QTEST_GUILESS_MAIN(TestFtpSessionServer)
#include "tst_ftpsession_server.moc"
