#include "FtpDataSocket.h"

#include "FtpControl.h"

#include <QCoreApplication>
#include <QSslSocket>

namespace FtpDataSocket {

namespace {
constexpr char kTlsEnded[] = "vestrigalTlsEnded";

// Qt reports the peer's close_notify and the end of the TCP connection under one error code; only
// the text tells them apart: this one for close_notify, the plain socket's for a TCP end.
QString closeNotifyText()
{
    return QCoreApplication::translate("QSslSocket", "The TLS/SSL connection has been closed");
}
} // namespace

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
    QObject::connect(socket, &QSslSocket::errorOccurred, socket, [socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError && socket->isEncrypted() &&
            socket->errorString() == closeNotifyText())
            socket->setProperty(kTlsEnded, true);
    });
}

bool tlsEnded(const QTcpSocket *socket)
{
    return socket && socket->property(kTlsEnded).toBool();
}

bool cutShort(const QTcpSocket *socket)
{
    const auto *secure = qobject_cast<const QSslSocket *>(socket);
    return secure && secure->mode() != QSslSocket::UnencryptedMode && !tlsEnded(socket);
}

QString cutShortText()
{
    return QStringLiteral("The encrypted data connection ended without the server's TLS close_notify: the data was "
                          "cut short (a truncation), whatever the server's reply says.");
}

void startTls(QTcpSocket *socket)
{
    if (auto *secure = qobject_cast<QSslSocket *>(socket); secure && secure->mode() == QSslSocket::UnencryptedMode)
        secure->startClientEncryption();
}

} // namespace FtpDataSocket
