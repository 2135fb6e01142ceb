#include "FtpControl.h"

#include <QPointer>
#include <QSslCipher>

FtpControl::FtpControl(QObject *parent) : QObject(parent), m_socket(this)
{
    connect(&m_socket, &QSslSocket::connected, this, &FtpControl::connected);
    connect(&m_socket, &QSslSocket::encrypted, this, [this] {
        // TLS 1.2 hands its session over with the handshake; TLS 1.3 sends tickets afterwards.
        if (!m_socket.sslConfiguration().sessionTicket().isEmpty())
            m_ticket = m_socket.sslConfiguration().sessionTicket();
        emit encrypted();
    });
    connect(&m_socket, &QSslSocket::newSessionTicketReceived, this,
            [this] { m_ticket = m_socket.sslConfiguration().sessionTicket(); }); // may come twice: the latest counts
    connect(&m_socket, &QSslSocket::sslErrors, this, &FtpControl::onSslErrors);
    connect(&m_socket, &QSslSocket::readyRead, this, &FtpControl::onReadyRead);
    connect(&m_socket, &QSslSocket::errorOccurred, this, &FtpControl::onError);
    connect(&m_socket, &QSslSocket::disconnected, this, &FtpControl::onDisconnected);
}

void FtpControl::connectToServer(const QString &host, quint16 port, const QNetworkProxy &proxy, bool implicitTls)
{
    m_host = host;
    m_port = port;
    m_proxy = proxy;
    m_lost = false;
    m_refused.reset();
    m_ticket.clear();
    m_reader.reset();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    // Without persistence there is no session for the data connections to resume.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket.setSslConfiguration(configuration);
    m_socket.setProxy(proxy);
    if (implicitTls)
        m_socket.connectToHostEncrypted(host, port);
    else
        m_socket.connectToHost(host, port);
}

void FtpControl::startTls()
{
    m_reader.reset(); // nothing sent in clear after the 234 may be taken as a reply
    m_socket.startClientEncryption();
}

void FtpControl::send(const QByteArray &line, bool logged)
{
    if (logged)
        emit commandSent(line);
    m_socket.write(line + "\r\n");
    m_socket.flush(); // now, not a turn of the event loop later: the reply is waited for anyway
}

void FtpControl::abort()
{
    m_lost = true; // a deliberate end is not reported as a loss
    m_socket.abort();
    m_reader.reset();
}

QString FtpControl::tlsDescription() const
{
    const QSslCipher cipher = m_socket.sessionCipher();
    return cipher.isNull() ? QString() : cipher.protocolString() + QStringLiteral(", ") + cipher.name();
}

QSslConfiguration FtpControl::dataConfiguration() const
{
    QSslConfiguration configuration = m_socket.sslConfiguration();
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setSessionTicket(m_ticket);
    return configuration;
}

void FtpControl::onSslErrors(const QList<QSslError> &errors)
{
    const QSslCertificate certificate = m_socket.peerCertificate();
    const QByteArray digest = FtpCertificate::digest(certificate);
    if (!digest.isEmpty() && digest == m_trusted) {
        m_socket.ignoreSslErrors();
        return;
    }
    // Not ignored: the handshake fails and the connection is lost, before any password is sent.
    if (!certificate.isNull())
        m_refused = FtpCertificate::from(certificate, errors, m_host, m_port);
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
    else if (m_refused)
        why = QStringLiteral("The server's certificate could not be verified: %1").arg(m_refused->problems.join(QLatin1Char(' ')));
    else if (error == QAbstractSocket::SslHandshakeFailedError)
        why = QStringLiteral("The TLS handshake failed: %1").arg(why);
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
