// The configuration window on the offscreen platform: what it shows, its messages and enabling,
// Cancel, and OK reaching the transfer engine and the session log of a main window connected to
// the local FTP server. The checks behind OK: tst_configchecks.
#include "../app/MainWindowFixture.h"
#include "formconfig.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFileSystemModel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

formconfig *openConfig(MainWindowFixture &f)
{
    f.window->action("menu_config")->trigger();
    return f.window->findChild<formconfig *>();
}

QStringList rows(QTreeWidget *list)
{
    QStringList texts;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        texts << list->topLevelItem(r)->text(0);
    return texts;
}

} // namespace

class TestFormConfig : public QObject
{
    Q_OBJECT

private slots:
    void showsTheSettingsAndCancelChangesNothing()
    {
        MainWindowFixture f;
        const Settings before = f.state.settings;
        QPointer<formconfig> c = openConfig(f);
        QVERIFY(c);
        QVERIFY(c->optDAuto->isChecked() && c->optUAuto->isChecked());
        QCOMPARE(c->txtDown->text(), QString("1024"));
        QCOMPARE(rows(c->lvwExtensions), Settings::defaultAsciiExtensions());
        QCOMPARE(c->txtLog->text(), f.state.folders.logs);
        QVERIFY(c->optRtf->isChecked() && c->optLog->isChecked() && c->Dir1->isEnabled());
        QCOMPARE(static_cast<QFileSystemModel *>(c->Dir1->model())->filePath(c->Dir1->currentIndex()) + '/',
                 f.state.folders.logs);
        // The toolbar's button brings back the same window.
        f.window->Toolbar1_ButtonClick(12);
        QCOMPARE(f.window->findChildren<formconfig *>().size(), 1);

        c->optDBinary->click();
        c->txtUp->setText("4096");
        c->optNolog->click();
        c->lvwExtensions->clear();
        c->btnCancel->click();
        QTRY_VERIFY(c.isNull());
        QCOMPARE(f.state.settings.downloadType, before.downloadType);
        QCOMPARE(f.state.settings.uploadBufferSize, before.uploadBufferSize);
        QCOMPARE(f.state.settings.keepLog, before.keepLog);
        QCOMPARE(f.state.settings.asciiExtensions, before.asciiExtensions);

        // Every other choice is shown as stored, the last of each group too.
        f.state.settings.downloadType = Settings::Binary;
        f.state.settings.uploadType = Settings::Ascii;
        f.state.settings.keepLog = false;
        f.state.settings.logFormat = 0;
        f.state.settings.simultaneousTransfers = 7;
        f.state.settings.transferRetries = 0;
        f.state.settings.fileExists = 6;
        c = openConfig(f);
        QVERIFY(c);
        QVERIFY(c->optDBinary->isChecked() && c->optUAscii->isChecked());
        QCOMPARE(c->txtSimultaneous->text(), QString("7"));
        QCOMPARE(c->txtRetries->text(), QString("0"));
        QCOMPARE(c->cboExists->currentText(), QString("Skip"));
        QVERIFY(c->optTxt->isChecked() && c->optNolog->isChecked() && !c->txtLog->isEnabled());
        c->btnCancel->click();
        QTRY_VERIFY(c.isNull());
    }

    void messagesAndEnabling()
    {
        MainWindowFixture f;
        formconfig *c = openConfig(f);
        c->btnAdd->click();
        QCOMPARE(f.prompter->messageTexts(), QStringList{"You must enter an extension to add!"});
        QCOMPARE(f.prompter->shown.last().icon, Prompter::Icon::Warning);
        c->txtAdd->setText(".cfg");
        c->btnAdd->click();
        QCOMPARE(rows(c->lvwExtensions).last(), QString("cfg"));
        QVERIFY(c->txtAdd->text().isEmpty());
        // Remove every selected row.
        c->lvwExtensions->topLevelItem(0)->setSelected(true);
        c->lvwExtensions->topLevelItem(15)->setSelected(true);
        c->btnRemove->click();
        QCOMPARE(rows(c->lvwExtensions).size(), 14);
        QVERIFY(!rows(c->lvwExtensions).contains("html") && !rows(c->lvwExtensions).contains("cfg"));

        c->optNolog->click();
        const QList<QWidget *> logChoices = {c->txtLog, c->optTxt, c->optRtf, c->Dir1, c->Drive1};
        for (QWidget *w : logChoices)
            QVERIFY(!w->isEnabled());
        c->optLog->click();
        QVERIFY(c->txtLog->isEnabled() && c->Drive1->isEnabled());

        // The chooser and the path field follow each other.
        TestSupport::TempTree other;
        QTest::keyClicks(c->txtLog, "x"); // not a folder: the chooser stays
        c->txtLog->setText(other.path());
        QTest::keyClick(c->txtLog, Qt::Key_End);
        QTest::keyClicks(c->txtLog, "/");
        auto *model = static_cast<QFileSystemModel *>(c->Dir1->model());
        QCOMPARE(model->filePath(c->Dir1->currentIndex()), other.path());
        c->Dir1->setCurrentIndex(model->index(f.state.folders.app + "temp"));
        c->Dir1_Click();
        QCOMPARE(c->txtLog->text(), f.state.folders.app + "temp/");

        // OK refuses with the check's message and stays open, nothing stored; then stores it all.
        c->txtDown->setText("9");
        c->btnOK->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Download buffer size must be between 10 and 1670000."));
        QCOMPARE(f.state.settings.downloadBufferSize, 1024);
        QVERIFY(c->isVisible());
        c->txtDown->setText("12.7");
        c->txtSimultaneous->setText("11");
        c->btnOK->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Simultaneous transfers must be between 1 and 10."));
        QCOMPARE(f.state.settings.downloadBufferSize, 1024);
        c->txtSimultaneous->setText("1");
        c->txtRetries->setText("7");
        c->cboExists->setCurrentIndex(4);
        c->txtUp->setText("1670000");
        c->optUAscii->click();
        c->lvwExtensions->clear(); // an empty list becomes one empty entry
        c->btnOK->click();
        QCOMPARE(f.state.settings.uploadType, quint8(Settings::Ascii));
        QCOMPARE(f.state.settings.downloadBufferSize, 13);
        QCOMPARE(f.state.settings.uploadBufferSize, 1670000);
        QCOMPARE(f.state.settings.simultaneousTransfers, 1);
        QCOMPARE(f.state.settings.transferRetries, 7);
        QCOMPARE(f.state.settings.fileExists, quint8(4));
        QCOMPARE(f.state.settings.asciiExtensions, QStringList{QString()});
        QCOMPARE(f.state.settings.logPath, f.state.folders.app + "temp/");
    }

    // OK reaches a running main window: the engine's block size, the transfer type, the log format.
    void binaryDownloadsBlockSizeAndPlainTextLogsTakeEffect()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray text = "line one\r\nline two\r\n";
        QVERIFY(server.writeFile("notes.txt", text));
        QueueWindow f;
        QVERIFY(f.connect(server));
        formconfig *c = openConfig(f);
        c->optDBinary->click();
        c->txtDown->setText("65536");
        c->optTxt->click();
        c->btnOK->click();
        QVERIFY(f.window->action("menu_txt")->isChecked());
        QVERIFY(!f.window->action("menu_rtf")->isChecked());

        qint32 blockSize = 0;
        QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(),
                         [&](int row) { blockSize = f.engine().blockSizeOf(row); });
        QueueWindow::select(f.window->ListView1, {"notes.txt"});
        f.window->queuePane().btnDownload_Click();
        QVERIFY(f.queueEnds());
        QCOMPARE(blockSize, 65536);
        QCOMPARE(readLocal(f.localPath("notes.txt")), text); // binary: the CR LF pairs stay
        const QByteArray log = readLocal(f.state.currentLogFile);
        QVERIFY2(!log.startsWith("{\\rtf"), log.left(40).constData());
        QVERIFY(log.contains("Transfer complete.\r\n") || log.contains("Transfer complete.\n"));
    }
};

QTEST_MAIN(TestFormConfig)
#include "tst_formconfig.moc"
