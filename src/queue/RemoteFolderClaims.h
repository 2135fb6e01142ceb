#pragma once

#include <QSet>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>

// The remote folders being made by the transfer connections of one server: a folder two
// connections need at the same time is made by the first, the second waits for it and goes on.
class RemoteFolderClaims
{
public:
    // Runs makeIt unless another connection is making the folder now; then waits until it has.
    void make(const QString &folder, const std::function<void()> &makeIt);

private:
    std::mutex m_lock;
    std::condition_variable m_made;
    QSet<QString> m_making;
};
