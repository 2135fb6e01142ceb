#include "RemoteFolderWalk.h"

#include "FtpSession.h"
#include "LocalPaths.h"
#include "ServerNames.h"

#include <QPointer>

namespace {

void tell(const RemoteFolderWalk::Problem &problem, const QString &text)
{
    if (problem)
        problem(text);
}

} // namespace

struct RemoteFolderWalk::Level
{
    QList<FtpEntry> entries;
    int next = 0;
    QString remoteFolder;
    QString localFolder;
};

std::optional<QString> RemoteFolderWalk::localChild(const QString &localFolder, const FtpEntry &entry)
{
    return ServerNames::localPathForServerName(localFolder, entry.name);
}

bool RemoteFolderWalk::listed(const QString &folder, QList<FtpEntry> &entries, const Problem &problem)
{
    if (m_session.list(folder, QStringLiteral("*.*"), entries))
        return true;
    entries.clear();
    // A reply from the server (no such folder, no permission) is worth a line; without one the
    // connection could not be used, and that is told elsewhere.
    if (m_session.isOpen() && !m_session.isBusy() && m_session.lastReplyCode() != 0)
        tell(problem, QStringLiteral("Could not list %1: %2").arg(folder, m_session.lastResponseInfo().trimmed()));
    return false;
}

bool RemoteFolderWalk::walk(const QString &remoteFolder, const QString &localFolder, const FileFound &found,
                            const Skipped &skipped, const Problem &problem)
{
    QPointer<FtpSession> session(&m_session);
    QList<Level> stack{{{}, 0, remoteFolder, localFolder}};
    if (!listed(remoteFolder, stack.last().entries, problem))
        return false;
    while (!stack.isEmpty()) {
        Level &level = stack.last();
        if (level.next == level.entries.size()) {
            stack.removeLast();
            continue;
        }
        const FtpEntry entry = level.entries.at(level.next++);
        const QString remote = level.remoteFolder + entry.name;
        const std::optional<QString> localPath = localChild(level.localFolder, entry);
        if (!localPath) {
            skipped(remote);
        } else {
            const QString local = *localPath;
            if (const QString why = LocalPaths::lengthProblem(entry.isFolder ? local + QLatin1Char('/') : local);
                !why.isEmpty()) {
                tell(problem, why);
                return false;
            }
            if (entry.isFolder) {
                Level below{{}, 0, remote + QLatin1Char('/'), local + QLatin1Char('/')};
                if (!listed(below.remoteFolder, below.entries, problem))
                    return false;
                stack.append(below); // `level` is not used after this
            } else {
                found(remote, local, entry);
            }
        }
        if (!m_pump() || !session)
            return false;
    }
    return true;
}
