#include "RemoteSessions.h"

#include "FtpSession.h"
#include "SftpSession.h"

std::unique_ptr<RemoteSession> RemoteSessions::make(RemoteProtocol protocol, QObject *parent)
{
    if (protocol == RemoteProtocol::Sftp)
        return std::make_unique<SftpSession>(parent);
    return std::make_unique<FtpSession>(parent);
}
