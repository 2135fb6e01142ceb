#include "RemoteSession.h"

#include "FtpFileCopy.h"
#include "FtpPattern.h"
#include "FtpSecrets.h"
#include "FtpTransferOperation.h"

QString RemoteFile::shortfall(qint64 received, qint64 expected)
{
    return FtpTransferOperation::shortfall(received, expected);
}

bool RemoteSession::list(const QString &pathPattern, QList<FtpEntry> &out)
{
    QString folder, pattern;
    FtpPattern::split(pathPattern, folder, pattern);
    return list(folder, pattern, out);
}

bool RemoteSession::getFile(const QString &remotePath, const QString &localPath, FtpTransferType type)
{
    return FtpFileCopy(*this).download(remotePath, localPath, type);
}

bool RemoteSession::putFile(const QString &localPath, const QString &remotePath, FtpTransferType type)
{
    return FtpFileCopy(*this).upload(localPath, remotePath, type);
}

bool RemoteSession::refuse(const QString &why)
{
    setLastResponse(why.toUtf8() + "\r\n", 0);
    return false;
}

void RemoteSession::setLastResponse(const QByteArray &text, int code)
{
    m_lastCode = code;
    // A server that echoes the password (some do in error replies) must not put it in the log.
    m_lastResponse = FtpSecrets::masked(QString::fromUtf8(text), {m_password});
}
