// Finding telnet and a terminal emulator to run it in.
#include "TelnetLauncher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTelnetLauncher : public QObject
{
    Q_OBJECT

    static void makeExecutable(const QString &folder, const QString &name)
    {
        QFile f(folder + "/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeUser);
    }

private slots:
    void choosesTerminalAndTelnet()
    {
        QTemporaryDir bin;
        QVERIFY(TelnetLauncher::find(bin.path(), {}).error.contains("telnet"));
        makeExecutable(bin.path(), "telnet");
        const auto noTerminal = TelnetLauncher::find(bin.path(), {});
        QVERIFY(noTerminal.error.contains("terminal"));
        QVERIFY(noTerminal.program.isEmpty());

        makeExecutable(bin.path(), "gnome-terminal");
        auto gnome = TelnetLauncher::find(bin.path(), {});
        QVERIFY(gnome.error.isEmpty());
        QCOMPARE(gnome.arguments, QStringList({"--", bin.path() + "/telnet"}));

        makeExecutable(bin.path(), "xterm");
        QVERIFY(TelnetLauncher::find(bin.path(), {}).program.endsWith("/xterm"));
        // The user's own choice wins; an unknown one is passed over.
        QVERIFY(TelnetLauncher::find(bin.path(), "gnome-terminal").program.endsWith("/gnome-terminal"));
        QVERIFY(TelnetLauncher::find(bin.path(), "no-such-term").program.endsWith("/xterm"));
        QVERIFY(TelnetLauncher::find(QString(), {}).error.contains("telnet"));
    }

    void launchReportsAFailedStart()
    {
        QTemporaryDir bin;
        makeExecutable(bin.path(), "telnet");
        makeExecutable(bin.path(), "xterm");
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

QTEST_MAIN(TestTelnetLauncher)
#include "tst_telnetlauncher.moc"
