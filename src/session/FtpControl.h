#pragma once

#include "FtpCertificate.h"
#include "FtpReply.h"
#include "FtpReplyReader.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QObject>
#include <QSslConfiguration>
#include <QSslSocket>

#include <optional>

// The control connection: a socket (direct or through a SOCKS5 proxy, plain or under TLS),
// commands out, whole replies in. Knows nothing about what the replies mean.
class FtpControl : public QObject
{
    Q_OBJECT
public:
    explicit FtpControl(QObject *parent = nullptr);

    // implicitTls: the handshake starts as soon as the connection is made (implicit FTPS).
    void connectToServer(const QString &host, quint16 port, const QNetworkProxy &proxy, bool implicitTls = false);
    void startTls(); // after the server accepted AUTH TLS
    // Without the line end. A logged line is announced (commandSent) before it is written; only
    // what the user typed and the keep-alive go unannounced.
    void send(const QByteArray &line, bool logged = true);
    void abort();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool isEncrypted() const { return m_socket.isEncrypted(); }

    QHostAddress localAddress() const { return m_socket.localAddress(); }
    QHostAddress peerAddress() const { return m_socket.peerAddress(); }
    QString hostName() const { return m_host; }
    quint16 port() const { return m_port; }
    QNetworkProxy proxy() const { return m_proxy; }
    bool viaProxy() const { return m_proxy.type() != QNetworkProxy::NoProxy; }

    // A certificate that fails verification is accepted only when its SHA-256 is this one.
    void setTrustedCertificate(const QByteArray &sha256) { m_trusted = sha256; }
    // The certificate that stopped the last handshake, for the user to decide on.
    const std::optional<FtpCertificate> &refusedCertificate() const { return m_refused; }
    QSslCertificate peerCertificate() const { return m_socket.peerCertificate(); }
    QString tlsDescription() const; // "TLS 1.3, TLS_AES_256_GCM_SHA384"
    // What a protected data connection needs: the same settings, and the control connection's
    // session to resume (servers check that the data connection comes from the same client).
    QSslConfiguration dataConfiguration() const;

signals:
    void connected();
    void encrypted();
    void replyReceived(const FtpReply &reply);
    void commandSent(const QByteArray &line); // exactly as written, secrets included
    void lost(const QString &why); // closed by the peer, socket error, or a malformed reply

private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onSslErrors(const QList<QSslError> &errors);
    void loseConnection(const QString &why);

    QSslSocket m_socket;
    FtpReplyReader m_reader;
    QString m_host;
    quint16 m_port = 0;
    QNetworkProxy m_proxy;
    bool m_lost = false;
    QByteArray m_trusted;
    std::optional<FtpCertificate> m_refused;
    QByteArray m_ticket;
};
