#include "SshLink.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <algorithm>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <sys/socket.h>

namespace {

// One thread for every link of the process: a blocked call cannot watch its own clock.
class Watchdog
{
public:
    static Watchdog &instance()
    {
        static Watchdog dog;
        return dog;
    }
    void add(SshLink *link)
    {
        std::lock_guard lock(m_mutex);
        m_links.insert(link);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
    }
    void remove(SshLink *link)
    {
        std::lock_guard lock(m_mutex);
        m_links.erase(link);
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void loop()
    {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            for (SshLink *link : m_links)
                link->watch();
        }
    }
    std::mutex m_mutex;
    std::set<SshLink *> m_links;
    std::thread m_thread;
    bool m_stop = false;
};

struct Waiter
{
    QMutex mutex;
    bool done = false;
    QEventLoop *loop = nullptr;
};

} // namespace

SshLink::SshLink()
{
    Watchdog::instance().add(this);
}

SshLink::~SshLink()
{
    Watchdog::instance().remove(this);
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
        delete m_thread; // its context object goes with its finished() signal
    }
    if (sftp)
        sftp_free(sftp);
    if (ssh) {
        if (ssh_is_connected(ssh))
            ssh_disconnect(ssh);
        ssh_free(ssh);
    }
}

void SshLink::run(const std::function<void()> &fn, int timeoutMs)
{
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread()) {
        runHere(fn, timeoutMs);
        return;
    }
    if (!m_thread) {
        m_thread = new QThread;
        m_context = new QObject;
        m_context->moveToThread(m_thread);
        QObject::connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
        m_thread->start();
    }
    auto waiter = std::make_shared<Waiter>();
    QMetaObject::invokeMethod(
        m_context,
        [this, fn, timeoutMs, waiter] {
            runHere(fn, timeoutMs);
            QMutexLocker lock(&waiter->mutex);
            waiter->done = true;
            if (waiter->loop)
                QMetaObject::invokeMethod(waiter->loop, "quit", Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    // The call always runs to its end (a cut ends it soon): fn refers to the caller's frame.
    for (;;) {
        QEventLoop loop;
        {
            QMutexLocker lock(&waiter->mutex);
            if (waiter->done)
                return;
            waiter->loop = &loop;
        }
        loop.exec();
        QMutexLocker lock(&waiter->mutex);
        waiter->loop = nullptr;
    }
}

void SshLink::runHere(const std::function<void()> &fn, int timeoutMs)
{
    m_deadline = timeoutMs > 0 ? QDateTime::currentMSecsSinceEpoch() + timeoutMs : 0;
    fn();
    m_deadline = 0;
}

void SshLink::watch()
{
    const qint64 deadline = m_deadline;
    if (deadline != 0 && QDateTime::currentMSecsSinceEpoch() > deadline && !m_cut) {
        m_timedOut = true;
        cut();
    } else if (m_cut && !m_shut && deadline != 0) {
        shutDown(); // cut while the socket was still being made
    }
}

void SshLink::cut()
{
    m_cut = true;
    shutDown();
}

void SshLink::shutDown()
{
    const socket_t fd = ssh ? ssh_get_fd(ssh) : SSH_INVALID_SOCKET;
    if (fd != SSH_INVALID_SOCKET && !m_shut.exchange(true))
        ::shutdown(fd, SHUT_RDWR);
}

SshLink::Failure SshLink::failure(const QString &otherwise) const
{
    if (m_timedOut)
        return {421, QStringLiteral("Timeout: the server did not answer in time."), true};
    if (!connected()) {
        QString why = ssh ? QString::fromUtf8(ssh_get_error(ssh)) : QString();
        if (why.isEmpty() || m_cut)
            why = QStringLiteral("The connection was closed.");
        return {421, QStringLiteral("Connection lost: %1").arg(why), true};
    }
    const int status = sftp ? sftp_get_error(sftp) : SSH_FX_FAILURE;
    QString text = QString::fromUtf8(ssh_get_error(ssh));
    text.remove(QStringLiteral("SFTP server: "));
    static const char *const names[] = {"OK",
                                        "End of file",
                                        "No such file",
                                        "Permission denied",
                                        "Failure",
                                        "Bad message",
                                        "No connection",
                                        "Connection lost",
                                        "Operation unsupported",
                                        "Invalid handle",
                                        "No such path",
                                        "File already exists",
                                        "Write protected",
                                        "No media"};
    if (text.isEmpty() && status >= 0 && status < int(std::size(names)))
        text = QString::fromLatin1(names[status]);
    if (text.isEmpty())
        text = otherwise;
    const bool lost = status == SSH_FX_NO_CONNECTION || status == SSH_FX_CONNECTION_LOST;
    return {lost ? 421 : 550, text, lost};
}
