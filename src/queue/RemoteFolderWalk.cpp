#include "RemoteFolderWalk.h"

#include "RemoteSession.h"
#include "LocalPaths.h"
#include "ServerNames.h"

#include <QPointer>

namespace {

void tell(const RemoteFolderWalk::Problem &problem, const QString &text)
{
    if (problem)
        problem(text);
}

// The folder in a "257" reply: '257 "/a ""b""" is current' is /a "b" (with a final "/").
QString quotedFolder(const QString &reply)
{
    const qsizetype open = reply.indexOf(QLatin1Char('"'));
    QString folder;
    for (qsizetype i = open + 1; open >= 0 && i < reply.size(); ++i) {
        if (reply[i] == QLatin1Char('"')) {
            if (i + 1 >= reply.size() || reply[i + 1] != QLatin1Char('"'))
                return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
            ++i;
        }
        folder += reply[i];
    }
    return {};
}

} // namespace

struct RemoteFolderWalk::Level
{
    QList<FtpEntry> entries;
    int next = 0;
    QString remoteFolder;
    QString localFolder;
    QString realFolder; // where a link led, else the remote folder
    int links = 0;      // links followed down to this folder
};

// The server's word decides: a link it enters is a folder. Where the link really leads is what
// the server says after entering it (PWD); a server that answers with the link's own path only
// is held by the number of links followed.
RemoteFolderWalk::LinkTo RemoteFolderWalk::followLink(const QString &remote, const QList<Level> &stack, QString &real)
{
    if (!m_session.setCurrentDirectory(remote))
        return LinkTo::File;
    real = m_session.command(QStringLiteral("PWD")) ? quotedFolder(m_session.lastResponseInfo()) : QString();
    if (real.isEmpty())
        real = remote + QLatin1Char('/');
    if (stack.last().links >= kMaxLinks || m_linkedFolders.contains(real))
        return LinkTo::Loop;
    for (const Level &level : stack)
        if (level.realFolder.startsWith(real) || level.remoteFolder.startsWith(real))
            return LinkTo::Loop;
    m_linkedFolders.append(real);
    return LinkTo::Folder;
}

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
    QPointer<RemoteSession> session(&m_session);
    QList<Level> stack{{{}, 0, remoteFolder, localFolder, remoteFolder, 0}};
    if (!listed(remoteFolder, stack.last().entries, problem))
        return false;
    while (!stack.isEmpty()) {
        Level &level = stack.last();
        if (level.next == level.entries.size()) {
            stack.removeLast();
            continue;
        }
        FtpEntry entry = level.entries.at(level.next++);
        const QString remote = level.remoteFolder + entry.name;
        QString real;
        const LinkTo link = entry.isLink ? followLink(remote, stack, real) : LinkTo::File;
        if (entry.isLink && link == LinkTo::Loop) {
            tell(problem, QStringLiteral("Skipped %1: the link leads back to a folder already walked.").arg(remote));
            if (!m_pump() || !session)
                return false;
            continue;
        }
        if (entry.isLink && link == LinkTo::File)
            entry.size = qMax(m_session.fileSize(remote), qint64(0)); // the listing gave the link's own size
        entry.isFolder = entry.isFolder || (entry.isLink && link == LinkTo::Folder);
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
                Level below{{}, 0, remote + QLatin1Char('/'), local + QLatin1Char('/'),
                            entry.isLink ? real : level.realFolder + entry.name + QLatin1Char('/'),
                            level.links + (entry.isLink ? 1 : 0)};
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
