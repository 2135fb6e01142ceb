#include "RemoteFolderListing.h"

#include "Events.h"
#include "RemoteSession.h"
#include "RemoteListing.h"
#include "RemotePaths.h"
#include "SessionLog.h"

QStringList RemoteFolderListing::candidates(const QString &wanted, const QString &lastListed)
{
    QStringList candidates{wanted};
    if (!lastListed.isEmpty() && lastListed != wanted)
        candidates.append(lastListed);
    for (QString folder = candidates.constLast();
         folder != QLatin1String("/") && folder.startsWith(QLatin1Char('/'));) {
        folder = RemotePaths::upOneLevel(folder);
        candidates.append(folder);
    }
    return candidates;
}

// Before a command: lets events run; false when the connection went meanwhile.
bool RemoteFolderListing::announce()
{
    pumpEvents();
    return m_connected();
}

// After a command: another connection's reply is not this one's.
bool RemoteFolderListing::logReply()
{
    if (!m_connected())
        return false;
    m_log.logServerReply(m_session.lastResponseInfo());
    return true;
}

RemoteFolderListing::Outcome RemoteFolderListing::list(const QString &folder, const QString &filter,
                                                       QList<FtpEntry> &entries)
{
    if (!announce())
        return Outcome::Gone;
    const bool entered = m_session.setCurrentDirectory(folder);
    if (!logReply())
        return Outcome::Gone;
    if (!entered)
        return Outcome::NoFolder;
    // An SFTP session keeps its folder on this side: there is nothing to ask the server.
    if (m_session.protocol() == RemoteProtocol::Ftp) {
        if (!announce())
            return Outcome::Gone;
        m_session.command(QStringLiteral("PWD"));
        if (!logReply())
            return Outcome::Gone;
    }
    if (!announce())
        return Outcome::Gone;
    const bool listed = m_session.list(filter, entries);
    if (!logReply())
        return Outcome::Gone;
    if (!listed)
        return Outcome::NotListed;
    if (const int unreadable = m_session.unreadableLines())
        m_log.logLine(RemoteListing::unreadableNote(unreadable), SessionLog::Event);
    m_log.logLine(QStringLiteral("Directory listing successfully completed."), SessionLog::Event);
    return announce() ? Outcome::Listed : Outcome::Gone;
}
