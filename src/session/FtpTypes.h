#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// How a connection is protected. Auto: TLS when the server offers it, plain FTP with a warning when
// not (ftp://). Explicit: AUTH TLS or no connection (ftpes://). Implicit: TLS from the first byte
// (ftps://). Off: plain FTP without asking (for peers that must not see AUTH at all).
enum class FtpSecurity { Auto, Explicit, Implicit, Off };

// Which protocol a connection speaks: FTP (with the security above) or SFTP over SSH, where the
// security choices do not apply.
enum class RemoteProtocol { Ftp, Sftp };

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
    FtpSecurity security = FtpSecurity::Auto;
    RemoteProtocol protocol = RemoteProtocol::Ftp;
    // SFTP: the passphrase of the key file the browsing connection logged in with, so that a
    // transfer connection need not ask again; never shown.
    QString keyPassphrase;
    // SHA-256 of a certificate the user already trusts for this host and port (raw bytes): it is
    // accepted although it cannot be verified (self-signed, another name, expired). SFTP: of the
    // host key the user accepted.
    QByteArray trustedCertificate;
};

enum class FtpTransferType { Ascii, Binary };

// One entry of a remote listing.
struct FtpEntry
{
    QString name;       // UTF-8, or Latin-1 when the bytes are not UTF-8
    QByteArray rawName; // the bytes the server sent, when they are not plain ASCII (empty: the name's)
    bool isFolder = false;
    qint64 size = 0;
    QDateTime lastWrite; // local time; invalid when unknown
    bool isLink = false; // a symbolic link: entered as a folder when the server lets us, else a file
};
Q_DECLARE_TYPEINFO(FtpEntry, Q_RELOCATABLE_TYPE); // a listing's entries move as memory when the list grows
