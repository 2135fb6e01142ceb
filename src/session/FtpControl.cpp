#include "FtpControl.h"

#include <QPointer>

FtpControl::FtpControl(QObject *parent) : QObject(parent), m_socket(this)
{
    connect(&m_socket, &QTcpSocket::connected, this, &FtpControl::connected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &FtpControl::onReadyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &FtpControl::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this, &FtpControl::onDisconnected);
}

void FtpControl::connectToServer(const QString &host, quint16 port, const QNetworkProxy &proxy)
{
    m_host = host;
    m_proxy = proxy;
    m_lost = false;
    m_reader.reset();
    m_socket.setProxy(proxy);
    m_socket.connectToHost(host, port);
}

void FtpControl::send(const QByteArray &line)
{
    m_socket.write(line + "\r\n");
}

void FtpControl::abort()
{
    m_lost = true; // a deliberate end is not reported as a loss
    m_socket.abort();
    m_reader.reset();
}

void FtpControl::onReadyRead()
{
    QPointer<FtpControl> self(this);
    if (!m_reader.feed(m_socket.readAll())) {
        loseConnection(m_reader.error());
        return;
    }
    // A handler may close the connection or delete us; stop as soon as that happens.
    while (self && !m_lost && m_reader.hasReply())
        emit replyReceived(m_reader.takeReply());
}

void FtpControl::onError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::RemoteHostClosedError) {
        onDisconnected();
        return;
    }
    QString why = m_socket.errorString();
    if (error == QAbstractSocket::ProxyConnectionRefusedError || error == QAbstractSocket::ProxyNotFoundError ||
        error == QAbstractSocket::ProxyConnectionTimeoutError || error == QAbstractSocket::ProxyConnectionClosedError)
        why = QStringLiteral("Could not use the proxy %1:%2: %3").arg(m_proxy.hostName()).arg(m_proxy.port()).arg(why);
    loseConnection(why);
}

void FtpControl::onDisconnected()
{
    QPointer<FtpControl> self(this);
    if (m_socket.bytesAvailable() > 0)
        onReadyRead(); // replies that came with the close (221, 421) still count
    if (self)
        loseConnection(QStringLiteral("The server closed the connection."));
}

void FtpControl::loseConnection(const QString &why)
{
    if (m_lost)
        return;
    m_lost = true;
    m_socket.abort();
    emit lost(why);
}
