#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class RemoteSession;
class Prompter;
class SessionLog;

// The remote commands of the lists and the tree over the browsing connection: each failure is
// told through the prompter, each reply logged. Events run before each command; when the
// connection went meanwhile (`connected` false), a command ends without a word.
class RemoteCommands
{
public:
    struct Entry
    {
        QString name; // in the current folder, or a full path
        bool folder = false;
        QString shown = {}; // the name the list shows, for a move
    };

    RemoteCommands(RemoteSession &session, Prompter &prompter, SessionLog &log,
                   std::function<void(const QString &)> status, std::function<bool()> connected);

    // Asks a new name for each entry in turn; a name the folder shows (`listed`) is refused, since
    // the server would replace that file. The first failure is told and ends the command.
    void renameEntries(const QList<Entry> &entries, const QStringList &listed);
    // Files are deleted, folders with everything in them; the first failure ends the command.
    void deleteEntries(const QList<Entry> &entries);
    bool removeFolder(const QString &folder);
    // False when the folder was not made (told) or the connection went.
    bool createFolder(const QString &name);
    // Renames a folder of the tree, never over a name that stands in its parent folder.
    void renameFolder(const QString &key, const QString &parentKey, const QString &newName);
    // Moves entries (by full path) into a folder, never over a name that stands there; false when
    // the connection went.
    bool moveInto(const QList<Entry> &entries, const QString &folder, const QString &failure);
    // A name edited in the list: refused when another row shows the new name.
    void renameEdited(const QString &before, const QString &after, const QStringList &listed);
    // A command as the user typed it, not echoed; false when the connection went.
    bool sendRaw(const QString &command);
    // The password never reaches the log, even when a server echoes it back.
    bool changePassword(const QString &command, const QString &oldPassword, const QString &newPassword);

private:
    bool renameEntry(const Entry &entry, const QStringList &listed, bool &sent);
    bool stillOpen(); // lets events run first
    void logReply();

    RemoteSession &m_session;
    Prompter &m_prompter;
    SessionLog &m_log;
    std::function<void(const QString &)> m_status;
    std::function<bool()> m_connected;
};
