// The configuration's checks and store step: every message, the rounding, log paths, the
// extension list. Everything stored at once, as OK does it: tst_formconfig.
#include "ConfigChecks.h"
#include "support/ReadOnlyPath.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTest>

#include <tuple>

class TestConfigChecks : public QObject
{
    Q_OBJECT

    TestSupport::TempTree dir;

    ConfigForm validForm() const
    {
        Settings defaults;
        defaults.logPath = dir / "logs/";
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

    // Checked and stored like the buffer sizes; what is stored comes back in the window as it was.
    void simultaneousTransfersAndRetries()
    {
        const QString range = "Simultaneous transfers must be between 1 and 10.";
        const QString retries = "Retries must be between 0 and 10.";
        const QList<std::tuple<bool, QString, QVariant>> cases = {
            {false, "1", 1},      {false, "10", 10},    {false, "2.6", 3},     {false, "0", range},
            {false, "11", range}, {false, "-1", range}, {false, "0.6", range},
            {false, "two", "Simultaneous transfers must be an integer."},
            {true, "0", 0},       {true, "10", 10},     {true, "11", retries}, {true, "-0.6", retries},
            {true, "two", "Retries must be an integer."}};
        for (const auto &[retry, typed, expected] : cases) {
            const auto field = retry ? &ConfigForm::retries : &ConfigForm::simultaneous;
            const auto stored = retry ? &Settings::transferRetries : &Settings::simultaneousTransfers;
            Settings settings;
            settings.logPath = dir / "logs/";
            settings.*stored = 5;
            ConfigForm form = validForm();
            form.*field = typed;
            const QString message = ConfigChecks::store(form, settings);
            QCOMPARE(message.isEmpty() ? QVariant(settings.*stored) : QVariant(message), expected);
            Settings again;
            QCOMPARE(ConfigChecks::store(ConfigForm::fromSettings(settings), again), QString());
            QCOMPARE(again.*stored, message.isEmpty() ? expected.toInt() : 5); // a refusal stored nothing
        }
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
        form.logPath = dir / "new/logs";
        QCOMPARE(ConfigChecks::store(form, settings), QString());
        QCOMPARE(settings.logPath, dir / "new/logs/");
        QVERIFY(QFileInfo(settings.logPath).isDir());

        const QString file = dir.file("afile");
        for (const QString &bad :
             {QString("relative/logs"), QString("C:\\logs"), dir / "a\tb", file, file + "/below", QString()}) {
            form.logPath = bad;
            QCOMPARE(ConfigChecks::store(form, settings), QString("Invalid log path name."));
            QCOMPARE(settings.logPath, dir / "new/logs/");
        }
        QVERIFY(!QFileInfo::exists(dir / "a\tb"));
        // The check alone, before anything is made: a folder below one that takes new folders.
        QVERIFY(ConfigChecks::logPathValid(dir / "not/yet/there"));
        QVERIFY(!ConfigChecks::logPathValid(file));
        READ_ONLY_OR_SKIP(readOnly, dir.folder("locked"));
        QVERIFY(!ConfigChecks::logPathValid(dir / "locked/logs"));
    }

    void extensionsToAdd()
    {
        const QString taken = "This extension is already in the list.";
        const QString none = "You must enter an extension to add!";
        const QList<QPair<QString, QString>> cases = {{".cfg", "cfg"}, {"INI", "INI"}, {"..bak", "bak"},
                                                      {"txt", taken},  {".txt", taken}, {" html ", taken},
                                                      {"", none},      {".", none},     {"  ", none}};
        for (const auto &[typed, expected] : cases) {
            QString message;
            QCOMPARE(ConfigChecks::extensionToAdd(typed, {"txt", "html"}, &message).value_or(message), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestConfigChecks)
#include "tst_configchecks.moc"
