#pragma once

#include <QTcpSocket>

class FtpControl;
class QSslSocket;

// Sockets for data connections: plain, or TLS client sockets that resume the control
// connection's session and accept the certificate the control connection accepted.
namespace FtpDataSocket {

QTcpSocket *create(bool protect, const FtpControl &control, QObject *parent);
void protect(QSslSocket *socket, const FtpControl &control);
// Once the connection is made: the handshake starts (the server may wait for the transfer
// command before it answers; nothing is written before the handshake is done).
void startTls(QTcpSocket *socket);
// The server ended TLS (close_notify) and waits for ours: the data is complete although the
// connection is still open. Some servers (vsftpd) close only after both sides said so.
bool tlsEnded(const QTcpSocket *socket);
// Once the connection has ended: it was protected and ended without close_notify, so what arrived
// may be any part of the data (anyone on the path can end a TCP connection). Never for plain FTP.
bool cutShort(const QTcpSocket *socket);
QString cutShortText();

} // namespace FtpDataSocket
