#include "TransferProgress.h"

#include "ListText.h"

#include <cmath>

void TransferProgress::begin(qint64 nowMs)
{
    *this = TransferProgress();
    m_running = true;
    m_startMs = nowMs;
}

bool TransferProgress::sample(qint64 nowMs, qint64 done, qint64 total)
{
    // Fewer bytes than before: the next file has begun.
    if (!m_samples.isEmpty() && (done < m_samples.constLast().second || total != m_total))
        m_samples.clear();
    m_total = total;
    m_done = done;
    m_samples.append({nowMs, done});
    while (m_samples.size() > 2 && nowMs - m_samples.at(1).first >= WindowMs)
        m_samples.removeFirst();
    if (m_lastShownMs >= 0 && nowMs - m_lastShownMs < RefreshMs)
        return false;
    m_lastShownMs = nowMs;
    return true;
}

double TransferProgress::bytesPerSecond() const
{
    if (m_samples.size() < 2)
        return -1;
    const auto &[t0, b0] = m_samples.constFirst();
    const auto &[t1, b1] = m_samples.constLast();
    return t1 > t0 ? double(b1 - b0) * 1000.0 / double(t1 - t0) : -1;
}

QString TransferProgress::rateText() const
{
    const double speed = bytesPerSecond();
    if (speed < 0)
        return {};
    QString text = speedText(speed);
    if (speed > 0 && m_total >= m_done)
        text += QStringLiteral(", ") + durationText(qint64(std::ceil(double(m_total - m_done) / speed))) +
                QStringLiteral(" left");
    return text;
}

void TransferProgress::fileDone(qint64 bytes)
{
    ++m_files;
    m_bytes += bytes;
    m_samples.clear();
}

QString TransferProgress::finish(qint64 nowMs)
{
    m_running = false;
    if (m_files == 0 && m_failed == 0)
        return {};
    const QString files = m_files == 1 ? QStringLiteral("1 file") : QString::number(m_files) + QStringLiteral(" files");
    const QString line = QStringLiteral("Transferred %1, %2 in %3")
                             .arg(files, amountText(m_bytes), durationText((nowMs - m_startMs + 500) / 1000));
    return m_failed == 0 ? line + QLatin1Char('.') : line + QStringLiteral("; %1 failed.").arg(m_failed);
}

QString TransferProgress::speedText(double bytesPerSecond)
{
    return amountText(qint64(bytesPerSecond)) + QStringLiteral("/s");
}

QString TransferProgress::amountText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
    static const char *units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QString::fromLatin1(units[unit]);
}

QString TransferProgress::durationText(qint64 seconds)
{
    seconds = qMax<qint64>(0, seconds);
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString ss = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(ss);
    return QStringLiteral("%1:%2").arg(m).arg(ss);
}

QString TransferProgress::bytesOfText(qint64 done, qint64 total)
{
    return ListText::sizeText(done) + QStringLiteral(" of ") + ListText::sizeText(total) + QStringLiteral(" bytes");
}
