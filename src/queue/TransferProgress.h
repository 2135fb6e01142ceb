#pragma once

#include <QList>
#include <QPair>
#include <QString>

// What the user reads about the queue while it works: the speed and the time left of the file
// under way, the bytes done of its total, and what a whole run of the queue moved and how long
// it took. Times are milliseconds of a clock the caller reads (a monotonic one).
class TransferProgress
{
public:
    // The speed is measured over this last stretch of time, so it follows changes quickly
    // without jumping at every block.
    static constexpr qint64 WindowMs = 3000;
    // The status line is refreshed at most this often.
    static constexpr qint64 RefreshMs = 500;

    // A run of the queue begins: nothing moved yet.
    void begin(qint64 nowMs);
    bool isRunning() const { return m_running; }
    // The file under way has moved done bytes of total; true when the status line is due.
    bool sample(qint64 nowMs, qint64 done, qint64 total);
    // "2.1 MB/s, 0:42 left"; empty until a speed is known.
    QString rateText() const;
    // The transfer was held: the speed is measured afresh once it moves again.
    void held() { m_samples.clear(); }
    // A file has been transferred whole.
    void fileDone(qint64 bytes);
    void fileFailed() { ++m_failed; }
    // The run has ended: "Transferred 3 files, 12.0 MB in 0:07.", with "; 2 failed." at its end when
    // files failed; empty when no file moved or failed.
    QString finish(qint64 nowMs);

    static QString speedText(double bytesPerSecond);       // "2.1 MB/s"
    static QString amountText(qint64 bytes);               // "512 bytes", "12.0 MB"
    static QString durationText(qint64 seconds);           // "0:42", "1:02:03"
    static QString bytesOfText(qint64 done, qint64 total); // "1 048 576 of 4 194 304 bytes"

private:
    double bytesPerSecond() const;

    bool m_running = false;
    qint64 m_startMs = 0;
    qint64 m_lastShownMs = -1;
    qint64 m_total = 0;
    qint64 m_done = 0;
    QList<QPair<qint64, qint64>> m_samples; // (time, bytes done) of the file under way
    int m_files = 0;
    int m_failed = 0;
    qint64 m_bytes = 0;
};
