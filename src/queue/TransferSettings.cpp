#include "TransferSettings.h"

#include "variousFunctions.h"

FtpTransferType TransferSettings::typeFor(const QString &localPath, quint8 setting, const QStringList &asciiExtensions)
{
    if (setting == Ascii)
        return FtpTransferType::Ascii;
    if (setting == Binary)
        return FtpTransferType::Binary;
    const QString extension = variousFunctions::GetFileExtension(localPath);
    return !extension.isEmpty() && asciiExtensions.contains(extension, Qt::CaseSensitive) ? FtpTransferType::Ascii
                                                                                          : FtpTransferType::Binary;
}

FtpTransferType TransferSettings::typeFor(RemoteProtocol protocol, const QString &localPath, quint8 setting,
                                          const QStringList &asciiExtensions)
{
    return protocol == RemoteProtocol::Sftp ? FtpTransferType::Binary : typeFor(localPath, setting, asciiExtensions);
}
