// Between two blocks: progress, events, the held state.
#include "TransferEngine.h"

#include "FtpSession.h"
#include "QueueModel.h"
#include "TransferHost.h"

namespace {

// The clock is read after this many bytes, not after every block: at a million blocks a
// second, reading it every time would cost more than the check is worth.
constexpr qint64 kClockEvery = 32 * 1024;
constexpr int kHeldWaitMs = 50;

} // namespace

void TransferEngine::startBlocks(qint32 blockSize)
{
    m_blockSize = blockSize;
    m_sinceClock = 0;
    m_sincePump.start();
}

TransferEngine::Gate TransferEngine::nextBlock()
{
    if (m_blockSize == Held) {
        const QPointer<TransferEngine> self(this);
        while (m_blockSize == Held && connectionUsable()) {
            m_host.waitForEvents(kHeldWaitMs); // nothing moves; the files stay open
            if (!self)
                return Gate::Destroyed;
        }
    }
    if (m_blockSize == Stop)
        return Gate::Stop;
    return connectionUsable() ? Gate::Go : Gate::Lost;
}

bool TransferEngine::blockMoved(qint64 bytes, qint64 total)
{
    m_bytesDone += bytes;
    if (total > 0) {
        const int percent = int(m_bytesDone * 100 / total);
        if (percent != m_shownPercent) { // the text is set only when it changes
            m_shownPercent = percent;
            if (m_row.isValid())
                m_queue.setStatus(m_row.row(), QString::number(percent) + QStringLiteral("% Transferring"));
            const QPointer<TransferEngine> self(this);
            emit progressed(percent, m_bytesDone);
            if (!self)
                return false;
        }
    }
    m_sinceClock += bytes;
    if (m_sinceClock < kClockEvery)
        return true;
    m_sinceClock = 0;
    if (m_sincePump.elapsed() < PumpIntervalMs)
        return true;
    m_sincePump.start();
    return pump();
}

bool TransferEngine::connectionUsable() const
{
    return m_session && m_host.session() == m_session.data();
}

bool TransferEngine::pump()
{
    const QPointer<TransferEngine> self(this);
    m_host.pumpEvents();
    return !self.isNull();
}
