#include "RemoteFolderClaims.h"

void RemoteFolderClaims::make(const QString &folder, const std::function<void()> &makeIt)
{
    std::unique_lock lock(m_lock);
    if (m_making.contains(folder)) {
        m_made.wait(lock, [&] { return !m_making.contains(folder); });
        return;
    }
    m_making.insert(folder);
    lock.unlock();
    makeIt();
    lock.lock();
    m_making.remove(folder);
    m_made.notify_all();
}
