#include "FtpDataSocket.h"

#include "FtpControl.h"

#include <QSslSocket>

namespace FtpDataSocket {

namespace {
constexpr char kTlsEnded[] = "vestrigalTlsEnded";
}

QTcpSocket *create(bool protectData, const FtpControl &control, QObject *parent)
{
    if (!protectData)
        return new QTcpSocket(parent);
    auto *socket = new QSslSocket(parent);
    protect(socket, control);
    return socket;
}

void protect(QSslSocket *socket, const FtpControl &control)
{
    socket->setSslConfiguration(control.dataConfiguration());
    socket->setPeerVerifyName(control.hostName());
    const QByteArray accepted = FtpCertificate::digest(control.peerCertificate());
    QObject::connect(socket, &QSslSocket::sslErrors, socket, [socket, accepted](const QList<QSslError> &) {
        // The certificate the user already accepted for the control connection, and no other.
        if (!accepted.isEmpty() && FtpCertificate::digest(socket->peerCertificate()) == accepted)
            socket->ignoreSslErrors();
    });
    // Qt reports the peer's close_notify as "remote host closed" on a connection that stays open.
    QObject::connect(socket, &QSslSocket::errorOccurred, socket, [socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError && socket->isEncrypted())
            socket->setProperty(kTlsEnded, true);
    });
}

bool tlsEnded(const QTcpSocket *socket)
{
    return socket && socket->property(kTlsEnded).toBool();
}

void startTls(QTcpSocket *socket)
{
    if (auto *secure = qobject_cast<QSslSocket *>(socket); secure && secure->mode() == QSslSocket::UnencryptedMode)
        secure->startClientEncryption();
}

} // namespace FtpDataSocket
