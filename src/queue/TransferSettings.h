#pragma once

#include "FtpTypes.h"

#include <QStringList>

// What the engine reads of the settings record at the start of every transfer.
struct TransferSettings
{
    enum Type : quint8 { Auto = 0, Ascii = 1, Binary = 2 };

    quint8 downloadType = Auto;
    quint8 uploadType = Auto;
    qint32 downloadBufferSize = 1024;
    qint32 uploadBufferSize = 1024;
    QStringList asciiExtensions;
    int simultaneous = 2; // transfer connections at most
    int retries = 3;        // further attempts after a transient failure
    int retryUnitMs = 1000; // the waits between attempts are counted in these; tests shorten them
    quint8 fileExists = 0;  // a FileExists::Action: what a transfer onto an existing file does

    // ASCII when the local file's extension is on the list, compared exactly (case counts, no dot),
    // else binary; a setting other than Auto decides instead.
    static FtpTransferType typeFor(const QString &localPath, quint8 setting, const QStringList &asciiExtensions);
    // The same for a connection of either protocol: SFTP moves the bytes as they are, so always
    // binary there, whatever the setting says.
    static FtpTransferType typeFor(RemoteProtocol protocol, const QString &localPath, quint8 setting,
                                   const QStringList &asciiExtensions);
};
