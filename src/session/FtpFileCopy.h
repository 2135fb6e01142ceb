#pragma once

#include "FtpTypes.h"

#include <QFile>

#include <QString>

class RemoteFile;
class RemoteSession;

// Whole-file get and put over the session's block API. A download goes to a temporary file
// beside the target and replaces it only when all of the file arrived; an upload goes to a
// temporary name on the server first (FtpUploadTarget).
class FtpFileCopy
{
public:
    explicit FtpFileCopy(RemoteSession &session) : m_session(session) {}

    bool download(const QString &remotePath, const QString &localPath, FtpTransferType type);
    bool upload(const QString &localPath, const QString &remotePath, FtpTransferType type);

private:
    bool localFailure(const QString &why);
    bool send(QFile &source, RemoteFile &file, qint64 &sent);

    RemoteSession &m_session;
};
