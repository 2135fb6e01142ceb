// Every call of the FTP client against a real server (pyftpdlib on 127.0.0.1), in passive and
// in active mode.

#include "FtpSession.h"
#include "Socks5Relay.h"
#include "TestFtpServer.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

class TestFtpSessionServer : public QObject
{
    Q_OBJECT

private:
    FtpOptions optionsFor(const TestFtpServer &server, bool passive) const
    {
        FtpOptions o;
        o.agent = QStringLiteral("Vestrigal");
        o.host = server.host();
        o.port = server.port();
        o.user = server.user();
        o.password = server.password();
        o.passive = passive;
        o.timeoutMs = 10000;
        return o;
    }

    static QByteArray pattern(qsizetype size)
    {
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = char((i * 131 + i / 251) & 0xff);
        return data;
    }

    static QByteArray download(FtpSession &session, const QString &path, FtpTransferType type, qint64 block)
    {
        auto file = session.openFile(path, FtpFile::Read, type);
        if (!file)
            return "<open failed>";
        QByteArray out;
        QByteArray buffer(block, '\0');
        qint64 n = 0;
        while ((n = file->read(buffer.data(), block)) > 0)
            out += buffer.left(n);
        if (n < 0 || !file->close())
            return "<transfer failed>";
        return out;
    }

    static bool upload(FtpSession &session, const QString &path, const QByteArray &data, FtpTransferType type,
                       qint64 block)
    {
        auto file = session.openFile(path, FtpFile::Write, type);
        if (!file)
            return false;
        for (qint64 i = 0; i < data.size(); i += block) {
            const qint64 n = qMin(block, data.size() - i);
            if (file->write(data.constData() + i, n) != n)
                return false;
        }
        return file->close();
    }

    void addModes()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }

private slots:
    void loginAndFailures_data() { addModes(); }
    void loginAndFailures()
    {
        QFETCH(bool, passive);
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        QVERIFY(session.isOpen());
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("220 Test server ready.\r\n")));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("\r\n331 ")));
        QVERIFY(session.lastResponseInfo().endsWith(QLatin1String("\r\n")));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("230 ")));
        QVERIFY(!session.lastResponseInfo().contains(server.password()));

        FtpOptions wrong = optionsFor(server, passive);
        wrong.password = QStringLiteral("not-the-password");
        FtpSession refused;
        QVERIFY(!refused.open(wrong));
        QVERIFY(!refused.isOpen());
        QVERIFY2(refused.lastResponseInfo().contains(QLatin1String("530 ")), qPrintable(refused.lastResponseInfo()));
        QVERIFY(!refused.lastResponseInfo().contains(wrong.password));
        QVERIFY(!refused.setCurrentDirectory(QStringLiteral("/")));
        QVERIFY(refused.lastResponseInfo().contains(QLatin1String("Not connected")));
    }

    void unreachable()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        FtpSession session;
        FtpOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = port;
        QVERIFY(!session.open(o));
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("refused")), qPrintable(session.lastResponseInfo()));
        o.host = QString();
        QVERIFY(!session.open(o));
        QVERIFY(!session.lastResponseInfo().isEmpty());
        o.host = QStringLiteral("127.0.0.1");
        o.proxy = QStringLiteral("127.0.0.1:%1").arg(port);
        QVERIFY(!session.open(o));
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("proxy")), qPrintable(session.lastResponseInfo()));
    }

    void transfersAreByteExact_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("block");
        for (bool passive : {true, false}) {
            const char *mode = passive ? "passive" : "active";
            QTest::addRow("%s empty", mode) << passive << qint64(0) << qint64(1024);
            QTest::addRow("%s 4096", mode) << passive << qint64(4096) << qint64(1024);
            QTest::addRow("%s 3 MiB odd blocks", mode) << passive << qint64(3 * 1024 * 1024 + 17) << qint64(1000);
        }
    }
    void transfersAreByteExact()
    {
        QFETCH(bool, passive);
        QFETCH(qint64, size);
        QFETCH(qint64, block);
        TestFtpServer server;
        QVERIFY(server.isRunning());
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        const QByteArray data = pattern(size);
        QVERIFY(server.writeFile(QStringLiteral("down.bin"), data));
        QCOMPARE(download(session, QStringLiteral("down.bin"), FtpTransferType::Binary, block), data);
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("226")));
        QVERIFY(upload(session, QStringLiteral("up.bin"), data, FtpTransferType::Binary, block));
        QCOMPARE(server.readFile(QStringLiteral("up.bin")), data);
    }

    void asciiConvertsLineEnds_data() { addModes(); }
    void asciiConvertsLineEnds()
    {
        QFETCH(bool, passive);
        TestFtpServer server;
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        // The server stores LF locally and sends CR LF in ASCII mode; we give LF back.
        const QByteArray text = "first\nsecond line\n\nlast without end";
        QVERIFY(server.writeFile(QStringLiteral("t.txt"), text));
        for (qint64 block : {1, 2, 7, 1024})
            QCOMPARE(download(session, QStringLiteral("t.txt"), FtpTransferType::Ascii, block), text);
        QCOMPARE(download(session, QStringLiteral("t.txt"), FtpTransferType::Binary, 1024), text);
        for (qint64 block : {1, 3, 1024}) {
            QVERIFY(upload(session, QStringLiteral("u.txt"), text, FtpTransferType::Ascii, block));
            QCOMPARE(server.readFile(QStringLiteral("u.txt")), text);
        }
    }

    void wholeFiles_data() { addModes(); }
    void wholeFiles()
    {
        QFETCH(bool, passive);
        TestFtpServer server;
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        QTemporaryDir local;
        const QByteArray data = pattern(300000);
        QFile source(local.filePath(QStringLiteral("source.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
        source.close();
        QVERIFY(session.putFile(source.fileName(), QStringLiteral("whole name.bin"), FtpTransferType::Binary));
        QCOMPARE(server.readFile(QStringLiteral("whole name.bin")), data);
        // Sent under a temporary name, then renamed: nothing else is left on the server.
        QCOMPARE(QDir(server.rootPath()).entryList(QDir::Files | QDir::Hidden), QStringList{"whole name.bin"});
        const QString target = local.filePath(QStringLiteral("copy.bin"));
        QVERIFY(session.getFile(QStringLiteral("whole name.bin"), target, FtpTransferType::Binary));
        QFile copy(target);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), data);
        copy.close();

        // A failed download leaves the file the user had.
        QVERIFY(!session.getFile(QStringLiteral("missing.bin"), target, FtpTransferType::Binary));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("550")));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), data);
        QCOMPARE(QDir(local.path()).entryList(QDir::Files).size(), 2);
    }

    void listing_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("passive MLSD") << true << true;
        QTest::newRow("active MLSD") << false << true;
        QTest::newRow("passive LIST") << true << false;
        QTest::newRow("active LIST") << false << false;
    }
    void listing()
    {
        QFETCH(bool, passive);
        QFETCH(bool, mlsd);
        TestFtpServer server(mlsd ? QStringList() : QStringList{QStringLiteral("--no-mlsd")});
        QVERIFY(server.writeFile(QStringLiteral("readme"), "1234567"));
        QVERIFY(server.writeFile(QStringLiteral("notes.txt"), QByteArray(5000, 'x')));
        QVERIFY(server.writeFile(QStringLiteral("with space.TXT"), "a"));
        QVERIFY(server.writeFile(QStringLiteral("grüße.txt"), "ab"));
        QVERIFY(QDir(server.rootPath()).mkpath(QStringLiteral("sub dir/inner")));
        QVERIFY(server.writeFile(QStringLiteral("sub dir/inner.txt"), "abc"));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));

        QList<FtpEntry> all;
        QVERIFY(session.list(QStringLiteral("*.*"), all));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("226")));
        QStringList names;
        for (const FtpEntry &e : all)
            names << e.name;
        names.sort();
        QCOMPARE(names, (QStringList{"grüße.txt", "notes.txt", "readme", "sub dir", "with space.TXT"}));
        for (const FtpEntry &e : all) {
            QCOMPARE(e.isFolder, e.name == QLatin1String("sub dir"));
            QVERIFY(e.lastWrite.isValid());
            QVERIFY(qAbs(e.lastWrite.secsTo(QDateTime::currentDateTime())) < 24 * 3600);
            if (e.name == QLatin1String("notes.txt"))
                QCOMPARE(e.size, 5000);
        }

        QList<FtpEntry> txt;
        QVERIFY(session.list(QStringLiteral("/"), QStringLiteral("*.txt"), txt));
        QCOMPARE(txt.size(), 2); // case-sensitive: not "with space.TXT"
        QVERIFY(session.list(QStringLiteral("sub dir/*.*"), all));
        QCOMPARE(all.size(), 2);
        QVERIFY(session.setCurrentDirectory(QStringLiteral("sub dir")));
        QVERIFY(session.list(QStringLiteral("*.txt"), txt));
        QCOMPARE(txt.size(), 1);
        QCOMPARE(txt[0].name, QStringLiteral("inner.txt"));
        // The server's own refusal: 501 to MLSD (which stays in use), 550 to LIST.
        QVERIFY(!session.list(QStringLiteral("/no such folder/*.*"), all));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String(mlsd ? "501" : "550")));
        QVERIFY(session.list(QStringLiteral("/"), QStringLiteral("*.txt"), txt));
        QCOMPARE(txt.size(), 2);
    }

    void rawNamesRoundTrip()
    {
        TestFtpServer server(QStringList{QStringLiteral("--no-mlsd")});
        const QByteArray raw = QFile::encodeName(server.rootPath()) + "/caf\xe9 menu.txt";
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "latin", 5), 5);
        ::close(fd);
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, true)));
        QList<FtpEntry> all;
        QVERIFY(session.list(QStringLiteral("*.*"), all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].name, QStringLiteral("caf\u00e9 menu.txt"));
        QCOMPARE(all[0].rawName, QByteArray("caf\xe9 menu.txt"));
        QCOMPARE(download(session, all[0].name, FtpTransferType::Binary, 1024), QByteArray("latin"));
        QVERIFY(session.renameFile(all[0].name, QStringLiteral("plain.txt")));
        QCOMPARE(server.readFile(QStringLiteral("plain.txt")), QByteArray("latin"));
        QVERIFY(session.deleteFile(QStringLiteral("plain.txt")));
    }

    void commands_data() { addModes(); }
    void commands()
    {
        QFETCH(bool, passive);
        TestFtpServer server;
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        QVERIFY(session.createDirectory(QStringLiteral("new folder")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("257")));
        QVERIFY(QFileInfo(server.pathOf(QStringLiteral("new folder"))).isDir());
        QVERIFY(!session.createDirectory(QStringLiteral("new folder")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("550")));
        QVERIFY(session.setCurrentDirectory(QStringLiteral("/new folder")));
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("/missing")));
        QVERIFY(session.command(QStringLiteral("PWD")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("257 \"/new folder\"")));
        QVERIFY(session.setCurrentDirectory(QStringLiteral("..")));
        QVERIFY(session.removeDirectory(QStringLiteral("new folder")));
        QVERIFY(!QFileInfo::exists(server.pathOf(QStringLiteral("new folder"))));

        QVERIFY(server.writeFile(QStringLiteral("ü old.txt"), "x"));
        QVERIFY(session.renameFile(QStringLiteral("ü old.txt"), QStringLiteral("ü new.txt")));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("350 ")));
        QVERIFY(QFileInfo::exists(server.pathOf(QStringLiteral("ü new.txt"))));
        QVERIFY(!session.renameFile(QStringLiteral("gone.txt"), QStringLiteral("x.txt")));
        QVERIFY(session.deleteFile(QStringLiteral("ü new.txt")));
        QVERIFY(!session.deleteFile(QStringLiteral("ü new.txt")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("550")));

        QVERIFY(!session.command(QStringLiteral("NOSUCHCOMMAND")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("500")));
        QVERIFY(session.command(QStringLiteral("NOOP")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("200")));
    }

    // The opening exchange sends TYPE A and PASV raw; a raw LIST or RETR must not hang, and the
    // next binary transfer must still be binary.
    void rawCommandsDoNotDisturb_data() { addModes(); }
    void rawCommandsDoNotDisturb()
    {
        QFETCH(bool, passive);
        TestFtpServer server;
        const QByteArray data = pattern(10000) + "\n\r\n";
        QVERIFY(server.writeFile(QStringLiteral("b.bin"), data));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, passive)));
        for (const char *line : {"CWD /", "PWD", "SYST", "FEAT", "TYPE A", "PASV"})
            session.command(QString::fromLatin1(line));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("227")));
        QVERIFY2(session.command(QStringLiteral("LIST")), qPrintable(session.lastResponseInfo()));
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("226")), qPrintable(session.lastResponseInfo()));
        // Without a PASV of the user's before it, the client asks for a data connection itself and
        // throws the data away: the call ends with the server's final reply, and the session stays usable.
        session.setTimeout(3000);
        QVERIFY2(session.command(QStringLiteral("RETR b.bin")), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("226")));
        QVERIFY(session.isOpen());
        QCOMPARE(download(session, QStringLiteral("b.bin"), FtpTransferType::Binary, 4096), data);
        QVERIFY(!session.command(QStringLiteral("NOOP\r\nDELE b.bin")));
        QVERIFY(!session.deleteFile(QStringLiteral("b.bin\nx")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("Refused")));
        QVERIFY(QFileInfo::exists(server.pathOf(QStringLiteral("b.bin"))));
    }

    // IPv6: EPSV and EPRT carry the data connections (PASV and PORT cannot).
    void ipv6_data() { addModes(); }
    void ipv6()
    {
        QFETCH(bool, passive);
        TestFtpServer server({QStringLiteral("--host"), QStringLiteral("::1")});
        if (!server.isRunning())
            QSKIP("no IPv6 loopback here");
        QVERIFY(server.writeFile(QStringLiteral("six.bin"), pattern(70000)));
        FtpSession session;
        QVERIFY2(session.open(optionsFor(server, passive)), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> all;
        QVERIFY(session.list(QStringLiteral("*.*"), all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(download(session, QStringLiteral("six.bin"), FtpTransferType::Binary, 1024), pattern(70000));
        QVERIFY(upload(session, QStringLiteral("up.bin"), pattern(5000), FtpTransferType::Binary, 1024));
        QCOMPARE(server.readFile(QStringLiteral("up.bin")), pattern(5000));
    }

    void openFileHoldsTheConnection()
    {
        TestFtpServer server;
        QVERIFY(server.writeFile(QStringLiteral("a.bin"), pattern(100000)));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, true)));
        auto file = session.openFile(QStringLiteral("a.bin"), FtpFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("/")));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("in progress")));
        char buffer[1000];
        QCOMPARE(file->read(buffer, 1000), 1000);
        QVERIFY(!file->close()); // stopped early: not all of the data
        QVERIFY(session.isOpen());
        QVERIFY(session.setCurrentDirectory(QStringLiteral("/")));
        QVERIFY(!session.openFile(QStringLiteral("missing"), FtpFile::Read, FtpTransferType::Binary));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("550")));

        // Closing the session under an open file ends the file's calls with failures.
        file = session.openFile(QStringLiteral("a.bin"), FtpFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        session.close();
        QCOMPARE(file->read(buffer, 1000), -1);
        QVERIFY(!file->close());
        QVERIFY(!session.isOpen());
        QVERIFY(session.open(optionsFor(server, true)));
    }

    void closeDuringCallEndsIt()
    {
        TestFtpServer server;
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, true)));
        QTimer::singleShot(0, &session, [&session] { session.close(); });
        QList<FtpEntry> all;
        QVERIFY(!session.list(QStringLiteral("*.*"), all));
        QVERIFY(!session.isOpen());
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("closed")));

        auto *doomed = new FtpSession;
        QVERIFY(doomed->open(optionsFor(server, true)));
        QTimer::singleShot(0, doomed, [doomed] { delete doomed; });
        QVERIFY(!doomed->list(QStringLiteral("*.*"), all)); // returns without touching the dead session
    }

    // The proxy field: control and (passive) data connections both go through SOCKS5.
    void throughSocks5Proxy()
    {
        TestFtpServer server;
        Socks5Relay relay;
        QVERIFY(server.writeFile(QStringLiteral("p.bin"), pattern(50000)));
        FtpOptions o = optionsFor(server, true);
        o.proxy = QStringLiteral("127.0.0.1:%1").arg(relay.port());
        FtpSession session;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> all;
        QVERIFY(session.list(QStringLiteral("*.*"), all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(download(session, QStringLiteral("p.bin"), FtpTransferType::Binary, 1024), pattern(50000));
        QCOMPARE(relay.relayed(), 3);
    }

    void passwordChange()
    {
        QTemporaryDir dir;
        const QString record = dir.filePath(QStringLiteral("pswd.txt"));
        TestFtpServer server({QStringLiteral("--record"), record});
        FtpSession session;
        QVERIFY(session.open(optionsFor(server, true)));
        QVERIFY(session.command(QStringLiteral("SITE PSWD  new pass")));
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray(" new pass\n"));
    }
};

QTEST_GUILESS_MAIN(TestFtpSessionServer)
#include "tst_ftpsession_server.moc"
