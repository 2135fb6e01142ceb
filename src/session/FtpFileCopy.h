#pragma once

#include "FtpTypes.h"

#include <QString>

class FtpSession;

// Whole-file get and put over the session's block API. A download goes to a temporary file
// beside the target and replaces it only when the transfer succeeded.
class FtpFileCopy
{
public:
    explicit FtpFileCopy(FtpSession &session) : m_session(session) {}

    bool download(const QString &remotePath, const QString &localPath, FtpTransferType type);
    bool upload(const QString &localPath, const QString &remotePath, FtpTransferType type);

private:
    bool localFailure(const QString &why);

    FtpSession &m_session;
};
