// Progress you can read: the bar behind the queue's Status text, speed and time left in the status
// line during a slow transfer, bytes done as the row's tooltip, and what a finished queue moved.
#include "TransferProgress.h"
#include "TransferProgressView.h"
#include "tst_queue_fixture.h"

#include <QImage>
#include <QTreeView>

namespace {

constexpr qsizetype kFile = 900 * 1024;
constexpr int kBytesPerSecond = 300 * 1024; // the server's line: three seconds for the file

// The colour at a fraction of the width of a cell, halfway down.
QRgb at(const QImage &image, const QRect &cell, double fraction)
{
    return image.pixel(cell.left() + int(cell.width() * fraction), cell.top() + 3); // above the text
}

} // namespace

class TestEverydayProgress : public QObject
{
    Q_OBJECT

private slots:
    void textsForSpeedsTimesAndAmounts()
    {
        QCOMPARE(TransferProgress::durationText(0), QString("0:00"));
        QCOMPARE(TransferProgress::durationText(42), QString("0:42"));
        QCOMPARE(TransferProgress::durationText(3723), QString("1:02:03"));
        QCOMPARE(TransferProgress::amountText(1), QString("1 byte"));
        QCOMPARE(TransferProgress::amountText(1023), QString("1023 bytes"));
        QCOMPARE(TransferProgress::amountText(1536 * 1024), QString("1.5 MB"));
        QCOMPARE(TransferProgress::amountText(qint64(5) << 40), QString("5.0 TB"));
        QCOMPARE(TransferProgress::bytesOfText(1048576, 4294967296), QString("1 048 576 of 4 294 967 296 bytes"));

        TransferProgress p;
        p.begin(0);
        QVERIFY(p.sample(0, 0, 4 << 20));
        QVERIFY(p.rateText().isEmpty());           // no speed from one sample
        QVERIFY(!p.sample(400, 1 << 20, 4 << 20)); // at most twice a second
        QVERIFY(p.sample(1000, 2 << 20, 4 << 20));
        QCOMPARE(p.rateText(), QString("2.0 MB/s, 0:01 left"));
        // The speed follows the last seconds, not the whole file: a slower line shows at once.
        p.sample(3000, 2 << 20, 4 << 20);
        QVERIFY(p.sample(6000, (2 << 20) + (1 << 20), 4 << 20));
        QCOMPARE(p.rateText(), QString("341.3 KB/s, 0:03 left"));
        // After a pause the measure starts afresh, not from before it.
        p.held();
        QVERIFY(p.sample(60000, (2 << 20) + (1 << 20), 4 << 20));
        QVERIFY(p.rateText().isEmpty());
        // A new file starts its own measure.
        p.fileDone(4 << 20);
        p.sample(6600, 0, 100);
        QVERIFY(p.rateText().isEmpty());
        p.fileDone(100);
        QCOMPARE(p.finish(7400), QString("Transferred 2 files, 4.0 MB in 0:07."));
        QVERIFY(!p.isRunning());
        p.begin(8000);
        QCOMPARE(p.finish(9000), QString()); // nothing moved, nothing said
    }

    void aSlowTransferShowsItsBarSpeedAndBytesThenTheTotal()
    {
        TestFtpServer server({"--throttle", QString::number(kBytesPerSecond)});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(server.writeFile("slow.bin", pattern(kFile)));
        QueueWindow f;
        QVERIFY(f.connect(server));
        f.showRemote("/");
        f.window->show();
        f.window->state().settings.downloadBufferSize = 16384;

        QStringList statusLines, tooltips;
        QImage painted;
        QRect cell;
        QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(), [&](int percent, qint64) {
            const QString line = f.window->statusPanel("")->text();
            if (statusLines.isEmpty() || statusLines.constLast() != line)
                statusLines << line;
            QStandardItem *status = f.window->ListView2->model()->item(0, f.window->ListView2->column("stat"));
            if (status && !status->toolTip().isEmpty())
                tooltips << status->toolTip();
            if (percent >= 50 && painted.isNull() && status) {
                QTreeView *view = f.window->ListView2->reportView();
                cell = view->visualRect(status->index());
                painted = view->viewport()->grab().toImage();
                QCOMPARE(status->text(), QString("%1% Transferring").arg(percent)); // the text stays
            }
        });
        QueueWindow::select(f.window->ListView1, {"slow.bin"});
        f.window->queuePane().btnDownload_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f.window->queuePane().queue().count(), 0, 20000);
        QCOMPARE(readLocal(f.localPath("slow.bin")), pattern(kFile));

        const QRegularExpression rate(R"(^(\d+\.\d (KB|MB)/s), 0:0\d left$)");
        const QStringList rates = statusLines.filter(rate);
        QVERIFY2(!rates.isEmpty(), qPrintable(statusLines.join(" | ")));
        // Near the server's limit (a shared machine may be slower, never faster).
        const QString first = rate.match(rates.constLast()).captured(1);
        const double kb = first.section(' ', 0, 0).toDouble() * (first.endsWith("MB/s") ? 1024 : 1);
        QVERIFY2(kb > 50 && kb < 2 * kBytesPerSecond / 1024, qPrintable(first));
        QVERIFY(rates.size() <= 8); // refreshed at most twice a second: about six times in three seconds
        QVERIFY2(!tooltips.isEmpty() && tooltips.constLast().endsWith(" of 921 600 bytes"),
                 qPrintable(tooltips.join(" | ")));
        QTRY_VERIFY(QRegularExpression(R"(^Transferred 1 file, 900\.0 KB in 0:0\d\.$)")
                        .match(f.window->statusPanel("")->text())
                        .hasMatch());

        // The bar: filled on the left of the cell, empty on the right, over the whole cell.
        QVERIFY(!painted.isNull() && cell.isValid());
        painted.save(QDir::tempPath() + "/vestrigal-progress-cell.png");
        const QRgb filled = at(painted, cell, 0.2), empty = at(painted, cell, 0.9);
        QVERIFY2(filled != empty, qPrintable(QString::number(filled, 16) + " " + QString::number(empty, 16)));
        QCOMPARE(at(painted, cell, 0.4), filled);
    }
};

QTEST_MAIN(TestEverydayProgress)
#include "tst_everyday_progress.moc"
