// The configuration window on the offscreen platform: what it shows, its messages and enabling,
// Cancel, and OK reaching the transfer engine and the session log of a main window connected to
// the local FTP server.
#include "../app/tst_queue_fixture.h"
#include "ConfigChecks.h"
#include "formconfig.h"

#include <QComboBox>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>

namespace {

formconfig *openConfig(MainWindowFixture &f)
{
    f.window->action("menu_config")->trigger();
    return f.window->findChild<formconfig *>();
}

QStringList rows(QTreeWidget *list, int column)
{
    QStringList texts;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        texts << list->topLevelItem(r)->text(column);
    return texts;
}

bool sameSettings(const Settings &a, const Settings &b)
{
    return a.downloadType == b.downloadType && a.uploadType == b.uploadType &&
           a.downloadBufferSize == b.downloadBufferSize && a.uploadBufferSize == b.uploadBufferSize &&
           a.asciiExtensions == b.asciiExtensions && a.keepLog == b.keepLog && a.logFormat == b.logFormat &&
           a.logPath == b.logPath;
}

// Pauses the next transfer while it runs, as a click would, resumes it and cancels it, recording
// how far it got at each step.
struct Steering
{
    QueueWindow &f;
    QElapsedTimer sinceCancel;
    qint64 atPause = -1, heldAt = -1, afterHold = -1, atCancel = -1, cancelMs = -1;
    bool armed = false;
    QMetaObject::Connection hook;

    explicit Steering(QueueWindow &window) : f(window)
    {
        hook = QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(), [this] {
            if (armed)
                return;
            armed = true;
            QTimer::singleShot(20, f.window.get(), [this] {
                f.window->queuePane().btnPause_Click();
                atPause = f.engine().bytesDone();
                QTimer::singleShot(100, f.window.get(), [this] { heldAt = f.engine().bytesDone(); });
                QTimer::singleShot(300, f.window.get(), [this] {
                    afterHold = f.engine().bytesDone();
                    f.window->queuePane().btnResume_Click();
                    QTimer::singleShot(20, f.window.get(), [this] {
                        f.window->ListView2->selectionModel()->select(f.window->ListView2->model()->index(0, 0),
                                                                      QItemSelectionModel::ClearAndSelect |
                                                                          QItemSelectionModel::Rows);
                        atCancel = f.engine().bytesDone();
                        sinceCancel.start();
                        f.window->queuePane().menu_cancel_Click();
                    });
                });
            });
        });
    }
    ~Steering() { QObject::disconnect(hook); }

    // Called when the transfer has returned.
    void check()
    {
        cancelMs = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
        // At most the block under way moves after Pause, and nothing from 100 ms on.
        QVERIFY(atPause > 0);
        QVERIFY(heldAt - atPause <= ConfigChecks::MaxBufferSize);
        QCOMPARE(afterHold, heldAt);
        // Cancel: the block under way is the last and the row is gone within 100 ms.
        QVERIFY2(cancelMs >= 0 && cancelMs < 100, qPrintable(QString::number(cancelMs)));
    }
};

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
        QCOMPARE(c->windowTitle(), QString("Vestrigal - Configuration"));
        QCOMPARE(c->tab1->count(), 3);
        QCOMPARE(c->tab1->tabText(1), QString("File types"));
        QCOMPARE(c->tab1->tabBar()->tabData(2).toString(), QString("logs"));
        QCOMPARE(c->tab1->currentWidget(), c->frmTransfers);
        QVERIFY(c->optDAuto->isChecked() && c->optUAuto->isChecked());
        QCOMPARE(c->txtDown->text(), QString("1024"));
        QCOMPARE(rows(c->lvwExtensions, 0), Settings::defaultAsciiExtensions());
        QCOMPARE(c->lvwExtensions->topLevelItem(12)->text(1), QString("plain text document")); // "txt"
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
        QVERIFY(sameSettings(f.state.settings, before));

        // Every other choice is shown as stored, the last of each group too.
        f.state.settings.downloadType = Settings::Binary;
        f.state.settings.uploadType = Settings::Ascii;
        f.state.settings.keepLog = false;
        f.state.settings.logFormat = 0;
        c = openConfig(f);
        QVERIFY(c);
        QVERIFY(c->optDBinary->isChecked() && c->optUAscii->isChecked());
        QVERIFY(c->optTxt->isChecked() && c->optNolog->isChecked() && !c->txtLog->isEnabled());
        c->btnCancel->click();
        QTRY_VERIFY(c.isNull());
    }

    void messagesAndEnabling()
    {
        MainWindowFixture f;
        formconfig *c = openConfig(f);
        c->btnAdd->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("You must enter an extension to add!"));
        QCOMPARE(f.prompter->shown.last().icon, Prompter::Icon::Warning);
        c->txtAdd->setText(".txt");
        c->btnAdd->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("This extension is already in the list."));
        QVERIFY(c->txtAdd->text().isEmpty());
        c->txtAdd->setText(".cfg");
        c->btnAdd->click();
        QCOMPARE(rows(c->lvwExtensions, 0).last(), QString("cfg"));
        QCOMPARE(f.prompter->shown.size(), 2);
        // Remove every selected row.
        c->lvwExtensions->topLevelItem(0)->setSelected(true);
        c->lvwExtensions->topLevelItem(15)->setSelected(true);
        c->btnRemove->click();
        QCOMPARE(rows(c->lvwExtensions, 0).size(), 14);
        QVERIFY(!rows(c->lvwExtensions, 0).contains("html") && !rows(c->lvwExtensions, 0).contains("cfg"));

        c->optNolog->click();
        for (QWidget *w :
             {static_cast<QWidget *>(c->txtLog), static_cast<QWidget *>(c->optTxt), static_cast<QWidget *>(c->optRtf),
              static_cast<QWidget *>(c->Dir1), static_cast<QWidget *>(c->Drive1)})
            QVERIFY(!w->isEnabled());
        c->optLog->click();
        QVERIFY(c->txtLog->isEnabled() && c->Drive1->isEnabled());

        // The chooser and the path field follow each other.
        QTemporaryDir other;
        QTest::keyClicks(c->txtLog, "x"); // not a folder: the chooser stays
        c->txtLog->setText(other.path());
        QTest::keyClick(c->txtLog, Qt::Key_End);
        QTest::keyClicks(c->txtLog, "/");
        auto *model = static_cast<QFileSystemModel *>(c->Dir1->model());
        QCOMPARE(model->filePath(c->Dir1->currentIndex()), other.path());
        c->Dir1->setCurrentIndex(model->index(f.state.folders.app + "temp"));
        c->Dir1_Click();
        QCOMPARE(c->txtLog->text(), f.state.folders.app + "temp/");

        // OK refuses, in order, and stays open; nothing is stored.
        c->txtDown->setText("9");
        c->txtUp->setText("abc");
        c->txtLog->setText("logs");
        c->btnOK->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Download buffer size must be between 10 and 1670000."));
        c->txtDown->setText("12.7");
        c->btnOK->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Upload buffer size must be an integer."));
        c->txtUp->setText("1670000");
        c->btnOK->click();
        QCOMPARE(f.prompter->messageTexts().last(), QString("Invalid log path name."));
        QCOMPARE(f.state.settings.downloadBufferSize, 1024);
        QVERIFY(c->isVisible());
        c->lvwExtensions->clear();
        c->txtLog->setText(f.state.folders.app + "temp");
        c->btnOK->click();
        QCOMPARE(f.state.settings.downloadBufferSize, 13);
        QCOMPARE(f.state.settings.uploadBufferSize, 1670000);
        QCOMPARE(f.state.settings.asciiExtensions, QStringList{QString()});
        QCOMPARE(f.state.settings.logPath, f.state.folders.app + "temp/");
    }

    void binaryDownloadsAndPlainTextLogsTakeEffect()
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
                         [&] { blockSize = f.engine().blockSize(); });
        QueueWindow::select(f.window->ListView1, {"notes.txt"});
        f.window->queuePane().btnDownload_Click();
        QCOMPARE(blockSize, 65536);
        QCOMPARE(readLocal(f.localPath("notes.txt")), text); // binary: the CR LF pairs stay
        const QByteArray log = readLocal(f.state.currentLogFile);
        QVERIFY2(!log.startsWith("{\\rtf"), log.left(40).constData());
        QVERIFY(log.contains("Transfer complete.\r\n") || log.contains("Transfer complete.\n"));
    }

    void theLargestBlockSizePausesAndCancelsAtOnce()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        constexpr qsizetype kBig = 256 * 1024 * 1024;
        QVERIFY(server.writeFile("big.bin", QByteArray(kBig, 'b')));
        QueueWindow f;
        QVERIFY(f.connect(server));
        f.state.settings.downloadBufferSize = ConfigChecks::MaxBufferSize;
        f.state.settings.uploadBufferSize = ConfigChecks::MaxBufferSize;
        f.state.settings.downloadType = f.state.settings.uploadType = Settings::Binary;

        Steering down(f);
        QueueWindow::select(f.window->ListView1, {"big.bin"});
        f.window->queuePane().btnDownload_Click();
        down.check();
        const qint64 kept = readLocal(f.localPath("big.bin")).size(); // what arrived is kept
        QVERIFY2(kept >= down.atCancel && kept - down.atCancel <= ConfigChecks::MaxBufferSize,
                 qPrintable(QString("%1 %2").arg(kept).arg(down.atCancel)));
        QVERIFY(kept < kBig);

        QVERIFY(writeLocal(f.localPath("up.bin"), QByteArray(kBig / 2, 'u')));
        f.showLocal(f.local.path());
        Steering up(f);
        QueueWindow::select(f.window->ListView3, {"up.bin"});
        f.window->action("menu2_upload")->trigger();
        up.check();
        QVERIFY(QFileInfo(server.pathOf("up.bin")).size() < kBig / 2);
    }
};

QTEST_MAIN(TestFormConfig)
#include "tst_formconfig.moc"
