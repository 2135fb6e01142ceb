// Between two blocks: progress and the held state.
#include "TransferRun.h"

#include "RemoteSession.h"

namespace {

constexpr int kHeldWaitMs = 50;
// Files of unknown size have no percentage: their bytes are reported this often instead.
constexpr qint64 kReportEvery = 1024 * 1024;

} // namespace

qint32 TransferRun::blockSize() const
{
    return m_control.load(std::memory_order_relaxed);
}

TransferRun::Gate TransferRun::nextBlock()
{
    while (blockSize() == Held && m_session.isOpen())
        m_host.waitWhileHeld(kHeldWaitMs); // nothing moves; the files stay open
    m_blockSize = blockSize();
    if (m_blockSize == Stop)
        return Gate::Stop;
    return m_session.isOpen() ? Gate::Go : Gate::Lost;
}

void TransferRun::blockMoved(qint64 bytes, qint64 total)
{
    m_bytesDone += bytes;
    const int percent = total > 0 ? int((m_from + m_bytesDone) * 100 / total) : -1;
    // Reported when the percentage changes, not every block: a block can be a few bytes.
    const bool anotherMiB = m_bytesDone / kReportEvery != (m_bytesDone - bytes) / kReportEvery;
    if (percent != m_shownPercent || (percent < 0 && anotherMiB)) {
        m_shownPercent = percent;
        m_host.moved(m_bytesDone, percent);
    }
}
