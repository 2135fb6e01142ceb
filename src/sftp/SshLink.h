#pragma once

#include <QString>
#include <atomic>
#include <functional>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

class QObject;
class QThread;

// One SSH connection and its SFTP channel, and where their blocking calls run. libssh blocks in
// every call: on the window's thread a call goes to a thread of this link while a local event
// loop waits, elsewhere (a transfer's own thread) it runs in place. A call that outlasts its time
// limit, or a cut() from any thread, shuts the socket down so that the blocked call returns.
class SshLink
{
public:
    SshLink();
    ~SshLink(); // frees both; no call may be running
    SshLink(const SshLink &) = delete;
    SshLink &operator=(const SshLink &) = delete;

    ssh_session ssh = nullptr;
    sftp_session sftp = nullptr;

    // Runs fn where blocking is allowed and returns when it has run. timeoutMs <= 0: no limit.
    void run(const std::function<void()> &fn, int timeoutMs);
    void cut(); // any thread
    bool wasCut() const { return m_cut; }
    bool timedOut() const { return m_timedOut; }
    bool connected() const { return !m_cut && ssh && ssh_is_connected(ssh); }

    // The failure of the last call as a reply line: a code in the style of FTP replies (421 for a
    // lost connection, so that it is tried again; 550 for a refusal) and the server's text.
    struct Failure
    {
        int code;
        QString text;
        bool lost;
    };
    Failure failure(const QString &otherwise) const;

    void watch(); // by the watchdog: cuts a link past its deadline

private:
    void runHere(const std::function<void()> &fn, int timeoutMs);
    void shutDown();

    QThread *m_thread = nullptr;
    QObject *m_context = nullptr;
    std::atomic<qint64> m_deadline{0}; // ms since the epoch; 0 while no call runs
    std::atomic<bool> m_cut{false};
    std::atomic<bool> m_timedOut{false};
    std::atomic<bool> m_shut{false}; // the socket was shut down
};
