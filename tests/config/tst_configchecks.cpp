// The configuration's checks and store step: every message, the rounding, log paths, the
// extension list.
#include "ConfigChecks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

class TestConfigChecks : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    ConfigForm validForm() const
    {
        Settings defaults;
        defaults.logPath = dir.path() + "/logs/";
        return ConfigForm::fromSettings(defaults);
    }

private slots:
    void bufferSizes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("downMessage");
        QTest::addColumn<int>("stored");
        const QString range = "Download buffer size must be between 10 and 1670000.";
        const QString integer = "Download buffer size must be an integer.";
        QTest::newRow("10") << "10" << QString() << 10;
        QTest::newRow("1670000") << "1670000" << QString() << 1670000;
        QTest::newRow("9") << "9" << range << 0;
        QTest::newRow("1670001") << "1670001" << range << 0;
        QTest::newRow("9.6 is below the range before rounding") << "9.6" << range << 0;
        QTest::newRow("12.7") << "12.7" << QString() << 13;
        QTest::newRow("blanks around") << " 4096 " << QString() << 4096;
        QTest::newRow("letters") << "abc" << integer << 0;
        QTest::newRow("empty") << "" << integer << 0;
        QTest::newRow("infinity") << "inf" << integer << 0;
        QTest::newRow("nan") << "nan" << integer << 0;
    }
    void bufferSizes()
    {
        QFETCH(QString, text);
        QFETCH(QString, downMessage);
        QFETCH(int, stored);
        Settings settings;
        ConfigForm form = validForm();
        form.down = text;
        QCOMPARE(ConfigChecks::store(form, settings), downMessage);
        QCOMPARE(settings.downloadBufferSize, downMessage.isEmpty() ? stored : 1024); // nothing stored on a refusal

        // The same checks for uploads, after the download's.
        form = validForm();
        form.up = text;
        QString upMessage = downMessage;
        upMessage.replace("Download", "Upload");
        QCOMPARE(ConfigChecks::store(form, settings), upMessage);
        form.down = "x";
        QCOMPARE(ConfigChecks::store(form, settings), QString("Download buffer size must be an integer."));
    }

    void numbersInTheUsersLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto comma = ConfigChecks::number("12,7");
        const auto dot = ConfigChecks::number("12.7");
        QLocale::setDefault(before);
        QVERIFY(comma && dot);
        QCOMPARE(*comma, 12.7);
        QCOMPARE(*dot, 12.7);
    }

    void logPaths()
    {
        Settings settings;
        ConfigForm form = validForm();
        // An absolute folder that is not there yet is made, and gets its final "/".
        form.logPath = dir.path() + "/new/logs";
        QCOMPARE(ConfigChecks::store(form, settings), QString());
        QCOMPARE(settings.logPath, dir.path() + "/new/logs/");
        QVERIFY(QFileInfo(settings.logPath).isDir());

        QVERIFY(QFile(dir.path() + "/afile").open(QIODevice::WriteOnly));
        for (const QString &bad : {QString("relative/logs"), QString("C:\\logs"), QString(dir.path() + "/a\tb"),
                                   QString(dir.path() + "/afile"), QString(dir.path() + "/afile/below"), QString()}) {
            form.logPath = bad;
            QCOMPARE(ConfigChecks::store(form, settings), QString("Invalid log path name."));
            QCOMPARE(settings.logPath, dir.path() + "/new/logs/");
        }
        QVERIFY(!QFileInfo::exists(dir.path() + "/a\tb"));

        // The check alone, before anything is made: a folder that is there or can be made below
        // one that takes new folders.
        QVERIFY(ConfigChecks::logPathValid(dir.path()));
        QVERIFY(ConfigChecks::logPathValid(dir.path() + "/not/yet/there"));
        QVERIFY(!ConfigChecks::logPathValid(dir.path() + "/afile"));
        QVERIFY(QDir().mkpath(dir.path() + "/locked"));
        QVERIFY(QFile::setPermissions(dir.path() + "/locked", QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (geteuid() != 0) // root may write anywhere
            QVERIFY(!ConfigChecks::logPathValid(dir.path() + "/locked/logs"));
        QVERIFY(QFile::setPermissions(dir.path() + "/locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner));
    }

    void storeTakesEverythingAtOnce()
    {
        Settings settings;
        ConfigForm form = validForm();
        form.downloadType = Settings::Binary;
        form.uploadType = Settings::Ascii;
        form.down = "65536";
        form.up = "2048";
        form.extensions.clear(); // an empty list becomes one empty entry
        form.keepLog = false;
        form.rtf = false;
        QCOMPARE(ConfigChecks::store(form, settings), QString());
        QCOMPARE(settings.downloadType, quint8(Settings::Binary));
        QCOMPARE(settings.uploadType, quint8(Settings::Ascii));
        QCOMPARE(settings.downloadBufferSize, 65536);
        QCOMPARE(settings.uploadBufferSize, 2048);
        QCOMPARE(settings.asciiExtensions, QStringList{QString()});
        QVERIFY(!settings.keepLog);
        QCOMPARE(settings.logFormat, qint16(0));
        // And what the window shows comes back as it was.
        const ConfigForm again = ConfigForm::fromSettings(settings);
        QCOMPARE(again.down, QString("65536"));
        QVERIFY(!again.rtf && !again.keepLog);
    }

    void extensionsToAdd()
    {
        const QStringList list = {"txt", "html"};
        QString message;
        QCOMPARE(ConfigChecks::extensionToAdd(".cfg", list, &message).value_or("?"), QString("cfg"));
        QCOMPARE(ConfigChecks::extensionToAdd("INI", list, &message).value_or("?"), QString("INI"));
        QCOMPARE(ConfigChecks::extensionToAdd("..bak", list, &message).value_or("?"), QString("bak"));
        for (const QString &typed : {QString("txt"), QString(".txt"), QString(" html ")}) {
            QVERIFY(!ConfigChecks::extensionToAdd(typed, list, &message));
            QCOMPARE(message, QString("This extension is already in the list."));
        }
        for (const QString &typed : {QString(), QString("."), QString("  ")}) {
            QVERIFY(!ConfigChecks::extensionToAdd(typed, list, &message));
            QCOMPARE(message, QString("You must enter an extension to add!"));
        }
    }
};

QTEST_GUILESS_MAIN(TestConfigChecks)
#include "tst_configchecks.moc"
