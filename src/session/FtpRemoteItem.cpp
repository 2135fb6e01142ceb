#include "FtpRemoteItem.h"

#include "RemoteSession.h"

#include <QPointer>

FtpRemoteItem FtpRemoteItem::probe(RemoteSession &session, const QString &path)
{
    const QPointer<RemoteSession> guard(&session);
    const qint64 size = session.fileSize(path);
    if (!guard || !session.isOpen())
        return {};
    if (size >= 0)
        return {File, size};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    QList<FtpEntry> entries;
    if (!session.list(slash < 0 ? QString() : path.left(slash + 1), QString(), entries) || !guard)
        return {};
    for (const FtpEntry &entry : entries) {
        if (entry.name == name)
            return entry.isFolder ? FtpRemoteItem{Folder} : FtpRemoteItem{File, entry.size};
    }
    return {Absent};
}
