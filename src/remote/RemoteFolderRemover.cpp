#include "RemoteFolderRemover.h"

#include "RemoteSession.h"
#include "ServerNames.h"

namespace {

// Deeper than any real tree, and far below what the call stack bears.
constexpr int MaximumDepth = 1000;

} // namespace

RemoteFolderRemover::RemoteFolderRemover(RemoteSession &session, Reporter reporter)
    : m_session(session), m_report(std::move(reporter))
{
}

bool RemoteFolderRemover::RemoveRemoteFolder(const QString &folder)
{
    if (!enter(folder))
        return false;
    if (!emptyCurrentFolder(1))
        return false;
    if (!leave())
        return false;
    const bool removed = m_session.command(QStringLiteral("rmd ") + folder);
    m_report.reply();
    return removed;
}

bool RemoteFolderRemover::enter(const QString &folder)
{
    const bool entered = m_session.setCurrentDirectory(folder);
    m_report.reply();
    m_gone = m_gone || !m_report.pump();
    return entered && !m_gone;
}

bool RemoteFolderRemover::leave()
{
    const bool left = m_session.setCurrentDirectory(QStringLiteral(".."));
    m_report.reply();
    m_gone = m_gone || !m_report.pump();
    return left && !m_gone;
}

// Lists the current folder once and works through what it held: files go, subfolders are
// removed (emptied first when a plain "rmd" is refused).
bool RemoteFolderRemover::emptyCurrentFolder(int depth)
{
    if (depth > MaximumDepth)
        return false;
    QList<FtpEntry> entries;
    m_session.list(QStringLiteral("*.*"), entries);
    for (const FtpEntry &entry : entries) {
        if (m_gone)
            return false;
        if (entry.name == QLatin1String(".") || entry.name == QLatin1String(".."))
            continue;
        if (entry.isFolder) {
            if (!removeSubfolder(entry.name, depth))
                return false;
            continue;
        }
        m_gone = m_gone || !m_report.pump();
        if (m_gone)
            return false;
        m_report.status(QStringLiteral("Removing file ") + entry.name + QStringLiteral("..."));
        m_session.deleteFile(entry.name); // a failure shows later, when the folder's rmd fails
        m_report.reply();
    }
    return !m_gone;
}

bool RemoteFolderRemover::removeSubfolder(const QString &name, int depth)
{
    if (!ServerNames::isServerName(name))
        return false; // never sent to the server; the enclosing folder stays
    m_report.status(QStringLiteral("Removing directory ") + name + QStringLiteral("..."));
    if (m_session.command(QStringLiteral("rmd ") + name)) {
        m_report.reply();
        return true;
    }
    if (!enter(name) || !emptyCurrentFolder(depth + 1) || !leave())
        return false;
    // Emptied: now it must go, or the walk ends here.
    const bool removed = m_session.command(QStringLiteral("rmd ") + name);
    m_report.reply();
    return removed;
}
