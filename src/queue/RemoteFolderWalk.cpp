#include "RemoteFolderWalk.h"

#include "FtpSession.h"
#include "ServerNames.h"

#include <QPointer>

namespace {

struct Level
{
    QList<FtpEntry> entries;
    int next = 0;
    QString remoteFolder;
    QString localFolder;
};

} // namespace

bool RemoteFolderWalk::listed(const QString &folder, QList<FtpEntry> &entries)
{
    if (m_session.list(folder, QStringLiteral("*.*"), entries))
        return true;
    entries.clear();
    // A reply from the server (no such folder, no permission) leaves an empty folder; anything
    // else means the connection could not be used.
    return m_session.isOpen() && !m_session.isBusy() && m_session.lastReplyCode() != 0;
}

bool RemoteFolderWalk::walk(const QString &remoteFolder, const QString &localFolder, const FileFound &found,
                            const Skipped &skipped)
{
    QPointer<FtpSession> session(&m_session);
    QList<Level> stack{{{}, 0, remoteFolder, localFolder}};
    if (!listed(remoteFolder, stack.last().entries))
        return false;
    while (!stack.isEmpty()) {
        Level &level = stack.last();
        if (level.next == level.entries.size()) {
            stack.removeLast();
            continue;
        }
        const FtpEntry entry = level.entries.at(level.next++);
        const QString remote = level.remoteFolder + entry.name;
        const std::optional<QString> localPath = ServerNames::localPathForServerName(level.localFolder, entry.name);
        const QString local = localPath.value_or(QString());
        if (!localPath) {
            skipped(remote);
        } else if (entry.isFolder) {
            if (stack.size() < MaxDepth) {
                Level below{{}, 0, remote + QLatin1Char('/'), local + QLatin1Char('/')};
                if (!listed(below.remoteFolder, below.entries))
                    return false;
                stack.append(below); // `level` is not used after this
            }
        } else {
            found(remote, local, entry);
        }
        if (!m_pump() || !session)
            return false;
    }
    return true;
}
