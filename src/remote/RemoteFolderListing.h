#pragma once

#include "FtpTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class RemoteSession;
class SessionLog;

// Listing a folder for the remote list over the browsing connection: CWD, PWD and LIST, each
// logged with its reply. Events run before every command, so the connection may go meanwhile;
// `connected` says whether it is still the open one.
class RemoteFolderListing
{
public:
    enum class Outcome { Listed, NoFolder, NotListed, Gone };

    RemoteFolderListing(RemoteSession &session, SessionLog &log, std::function<bool()> connected)
        : m_session(session), m_log(log), m_connected(std::move(connected))
    {
    }

    // The folders to try in turn: the one asked for; when it cannot be listed, the one listed
    // before, then the parents of that one up to "/", so that the list always shows a folder
    // that exists.
    static QStringList candidates(const QString &wanted, const QString &lastListed);
    // Gone: the connection went, or is no longer the open one.
    Outcome list(const QString &folder, const QString &filter, QList<FtpEntry> &entries);

private:
    bool announce();
    bool logReply();

    RemoteSession &m_session;
    SessionLog &m_log;
    std::function<bool()> m_connected;
};
