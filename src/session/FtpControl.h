#pragma once

#include "FtpReply.h"
#include "FtpReplyReader.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QObject>
#include <QTcpSocket>

// The control connection: a socket (direct or through a SOCKS5 proxy), commands out, whole
// replies in. Knows nothing about what the replies mean.
class FtpControl : public QObject
{
    Q_OBJECT
public:
    explicit FtpControl(QObject *parent = nullptr);

    void connectToServer(const QString &host, quint16 port, const QNetworkProxy &proxy);
    void send(const QByteArray &line); // without the line end
    void abort();
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    QHostAddress localAddress() const { return m_socket.localAddress(); }
    QHostAddress peerAddress() const { return m_socket.peerAddress(); }
    QString hostName() const { return m_host; }
    QNetworkProxy proxy() const { return m_proxy; }
    bool viaProxy() const { return m_proxy.type() != QNetworkProxy::NoProxy; }

signals:
    void connected();
    void replyReceived(const FtpReply &reply);
    void lost(const QString &why); // closed by the peer, socket error, or a malformed reply

private:
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void loseConnection(const QString &why);

    QTcpSocket m_socket;
    FtpReplyReader m_reader;
    QString m_host;
    QNetworkProxy m_proxy;
    bool m_lost = false;
};
