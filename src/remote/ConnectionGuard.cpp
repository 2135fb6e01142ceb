#include "ConnectionGuard.h"

#include "Events.h"

#include <QTimer>

namespace {
constexpr int BusyPollMs = 250; // a transfer says nothing when it lets go of the connection
}

ConnectionGuard::Turn::Turn(Turn &&other) noexcept : m_guard(other.m_guard), m_generation(other.m_generation)
{
    other.m_guard = nullptr;
}

ConnectionGuard::Turn::~Turn()
{
    if (m_guard)
        m_guard->release(m_generation);
}

ConnectionGuard::ConnectionGuard(QObject *parent) : QObject(parent) {}

bool ConnectionGuard::isBusy() const
{
    if (m_otherwiseBusy && m_otherwiseBusy())
        return true;
    return !m_levels.isEmpty() && eventNesting() > m_levels.first();
}

ConnectionGuard::Turn ConnectionGuard::take(bool listing)
{
    if (isBusy())
        return {};
    if (listing)
        m_listingWanted = false;
    m_levels.append(eventNesting());
    return Turn(this, m_generation);
}

void ConnectionGuard::requestListing()
{
    m_listingWanted = true;
    scheduleListing();
}

void ConnectionGuard::reset()
{
    ++m_generation;
    m_levels.clear();
    m_listingWanted = false; // the new connection lists its own folder
}

void ConnectionGuard::release(quint64 generation)
{
    if (generation != m_generation || m_levels.isEmpty())
        return; // a turn on a connection that is gone
    m_levels.removeLast();
    if (m_levels.isEmpty() && m_listingWanted)
        scheduleListing();
}

// From the event loop, once the stack of the holder has unwound.
void ConnectionGuard::scheduleListing()
{
    if (m_listingScheduled || !m_levels.isEmpty())
        return;
    m_listingScheduled = true;
    const bool transfer = m_otherwiseBusy && m_otherwiseBusy();
    QTimer::singleShot(transfer ? BusyPollMs : 0, this, [this] {
        m_listingScheduled = false;
        if (!m_listingWanted || !m_levels.isEmpty())
            return; // taken meanwhile; its release schedules again
        if (m_otherwiseBusy && m_otherwiseBusy())
            return scheduleListing();
        emit listingDue();
    });
}
