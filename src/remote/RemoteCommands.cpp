#include "RemoteCommands.h"

#include "Events.h"
#include "FtpSecrets.h"
#include "RemoteSession.h"
#include "Prompter.h"
#include "RemoteFolderRemover.h"
#include "ServerNames.h"
#include "SessionLog.h"

#include <algorithm>

namespace {

bool nameIn(const QList<FtpEntry> &entries, const QString &name)
{
    return std::any_of(entries.cbegin(), entries.cend(), [&](const FtpEntry &e) { return e.name == name; });
}

} // namespace

RemoteCommands::RemoteCommands(RemoteSession &session, Prompter &prompter, SessionLog &log,
                               std::function<void(const QString &)> status, std::function<bool()> connected)
    : m_session(session), m_prompter(prompter), m_log(log), m_status(std::move(status)),
      m_connected(std::move(connected))
{
}

bool RemoteCommands::stillOpen()
{
    pumpEvents();
    return m_connected();
}

void RemoteCommands::logReply()
{
    if (m_connected())
        m_log.logServerReply(m_session.lastResponseInfo());
}

void RemoteCommands::renameEntries(const QList<Entry> &entries, const QStringList &listed)
{
    for (const Entry &entry : entries) {
        bool sent = false;
        if (!renameEntry(entry, listed, sent)) {
            m_prompter.message(QStringLiteral("Error, could not rename file ") + entry.name, Prompter::Icon::Critical);
            if (sent) // a rename refused before sending has no reply of its own
                logReply();
            break;
        }
    }
}

// False when the rename was refused or failed (sent: whether it reached the server); skipping an
// entry is no failure.
bool RemoteCommands::renameEntry(const Entry &entry, const QStringList &listed, bool &sent)
{
    const QString prompt = (entry.folder ? QStringLiteral("Please enter the new directory name for ")
                                         : QStringLiteral("Please enter the new file name for ")) +
                           entry.name + QStringLiteral(". Do not use the characters / \\ * ; :");
    const QString answer = m_prompter.input(prompt);
    if (answer.isEmpty() || answer == entry.name)
        return true;
    if (listed.contains(answer))
        return false;
    m_status(QStringLiteral("Renaming file ") + entry.name + QStringLiteral(" to ") + answer + QStringLiteral("..."));
    if (!stillOpen())
        return false;
    sent = true;
    if (!m_session.renameFile(entry.name, answer))
        return false;
    logReply();
    return true;
}

void RemoteCommands::deleteEntries(const QList<Entry> &entries)
{
    for (const Entry &entry : entries) {
        if (!m_connected())
            break;
        if (entry.folder) {
            if (!removeFolder(entry.name)) {
                m_prompter.message(QStringLiteral("Could not delete directory ") + entry.name, Prompter::Icon::Critical);
                logReply();
                break;
            }
            continue;
        }
        m_status(QStringLiteral("Removing file ") + entry.name + QStringLiteral("..."));
        if (!stillOpen())
            break;
        const bool deleted = m_session.deleteFile(entry.name);
        if (!deleted)
            m_prompter.message(QStringLiteral("Could not delete file ") + entry.name, Prompter::Icon::Critical);
        logReply();
        if (!deleted)
            break;
    }
}

bool RemoteCommands::removeFolder(const QString &folder)
{
    RemoteFolderRemover::Reporter report;
    report.status = m_status;
    report.reply = [this] { logReply(); };
    report.pump = [this] { return stillOpen(); };
    return RemoteFolderRemover(m_session, report).RemoveRemoteFolder(folder);
}

bool RemoteCommands::createFolder(const QString &name)
{
    if (!stillOpen())
        return false;
    const bool made = m_session.createDirectory(name);
    if (!made)
        m_prompter.message(QStringLiteral("Could not create directory. Either the directory exists, it contains "
                                          "forbidden characters, or you cannot write in that folder."),
                           Prompter::Icon::Critical);
    logReply();
    return made;
}

void RemoteCommands::renameFolder(const QString &key, const QString &parentKey, const QString &newName)
{
    QList<FtpEntry> siblings;
    const bool listed = m_session.list(parentKey, QStringLiteral("*.*"), siblings);
    const bool send = listed && !nameIn(siblings, newName) && ServerNames::isServerName(newName);
    if (!send || !m_session.renameFile(key.chopped(1), parentKey + newName))
        m_prompter.message(QStringLiteral("There was an error renaming the directory."), Prompter::Icon::Critical);
    if (send) // the check of the parent folder is no command of the user's
        logReply();
}

// RNTO would silently replace a file of the same name in the target folder: the target is listed
// first, and such an entry is reported instead of moved.
bool RemoteCommands::moveInto(const QList<Entry> &entries, const QString &folder, const QString &failure)
{
    QList<FtpEntry> present;
    const bool listed = m_session.list(folder, QStringLiteral("*.*"), present);
    for (const Entry &entry : entries) {
        if (!listed || nameIn(present, entry.shown)) {
            m_prompter.message(failure, Prompter::Icon::Critical);
            continue;
        }
        if (!stillOpen())
            return false;
        if (!m_session.renameFile(entry.name, folder + entry.shown))
            m_prompter.message(failure, Prompter::Icon::Critical);
        m_log.logServerReply(m_session.lastResponseInfo());
    }
    return true;
}

void RemoteCommands::renameEdited(const QString &before, const QString &after, const QStringList &listed)
{
    const bool send = !after.isEmpty() && listed.count(after) == 1; // the edited row shows it already
    if (!send || !m_session.renameFile(before, after))
        m_prompter.message(QStringLiteral("The element could not be renamed."), Prompter::Icon::Critical);
    if (send)
        logReply();
}

bool RemoteCommands::sendRaw(const QString &command)
{
    m_session.command(command, RemoteSession::Echo::Quiet);
    if (!stillOpen())
        return false;
    logReply();
    return true;
}

bool RemoteCommands::changePassword(const QString &command, const QString &oldPassword, const QString &newPassword)
{
    const bool changed = m_session.command(command, RemoteSession::Echo::Logged, {oldPassword, newPassword});
    m_log.logServerReply(FtpSecrets::masked(m_session.lastResponseInfo(), {oldPassword, newPassword}));
    return changed;
}
