#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a connection needs: open (agent, proxy) and connect (host .. passive) in one record.
struct FtpOptions
{
    QString agent;
    QString proxy; // SOCKS5 "host[:port]"; empty = direct
    QString host;
    quint16 port = 21;
    QString user;
    QString password;
    bool passive = true;
    int timeoutMs = 30000; // connect and every reply
};

enum class FtpTransferType { Ascii, Binary };

// One entry of a remote listing.
struct FtpEntry
{
    QString name;       // UTF-8, or Latin-1 when the bytes are not UTF-8
    QByteArray rawName; // the bytes the server sent
    bool isFolder = false;
    qint64 size = 0;
    QDateTime lastWrite; // local time; invalid when unknown
};
