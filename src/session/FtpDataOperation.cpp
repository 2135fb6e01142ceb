#include "FtpDataOperation.h"

#include "FtpDataListener.h"
#include "FtpDataSocket.h"

#include <QTimer>

namespace {

constexpr qint64 kSocketBuffer = 1024 * 1024; // bounds the memory of one data connection

bool refused(const FtpReply &reply)
{
    return reply.code >= 500;
}

} // namespace

FtpDataOperation::FtpDataOperation(FtpContext &context, FtpTransferType type, QObject *parent)
    : FtpOperation(context, parent), m_type(type)
{
}

void FtpDataOperation::start()
{
    m_ctx.rawPassive.reset(); // our own EPSV/PASV replaces whatever a raw PASV had opened
    if (m_ctx.type == m_type)
        return m_ctx.options.passive ? startPassive() : startActive();
    m_state = State::Type;
    send(m_type == FtpTransferType::Ascii ? "TYPE A" : "TYPE I");
}

void FtpDataOperation::onReply(const FtpReply &reply)
{
    switch (m_state) {
    case State::Type:
        m_ctx.type.reset();
        if (!reply.isPositive())
            return fail(reply);
        m_ctx.type = m_type;
        return m_ctx.options.passive ? startPassive() : startActive();
    case State::Epsv:
    case State::Pasv:
        return onPassiveReply(reply);
    case State::Eprt:
    case State::Port:
        return onActiveReply(reply);
    case State::Connecting:
        return fail(reply); // nothing was asked
    case State::Transfer:
        return onTransferReply(reply);
    }
}

void FtpDataOperation::startPassive()
{
    m_state = m_ctx.epsvRefused ? State::Pasv : State::Epsv;
    send(m_state == State::Epsv ? "EPSV" : "PASV");
}

void FtpDataOperation::onPassiveReply(const FtpReply &reply)
{
    const FtpControl &control = m_ctx.control;
    const QHostAddress peer = control.peerAddress();
    if (m_state == State::Epsv) {
        if (refused(reply)) {
            m_ctx.epsvRefused = true;
            return startPassive();
        }
        const auto port = FtpDataAddress::parseEpsv(reply.text);
        if (reply.code != 229 || !port)
            return fail(reply);
        return connectData(control.hostName(), peer, *port);
    }
    const auto endpoint = FtpDataAddress::parsePasv(reply.text);
    if (reply.code != 227 || !endpoint)
        return fail(reply);
    // Only the port is taken: the address in the reply could send us to any host (a server behind
    // NAT names its private one; a hostile one, a third party).
    connectData(control.hostName(), peer, endpoint->port);
}

void FtpDataOperation::connectData(const QString &host, const QHostAddress &address, quint16 port)
{
    m_state = State::Connecting;
    m_data = FtpDataSocket::create(m_ctx.protectData, m_ctx.control, this);
    m_data->setProxy(m_ctx.control.proxy());
    m_data->setReadBufferSize(kSocketBuffer);
    watchData();
    connect(m_data, &QTcpSocket::connected, this, [this] {
        FtpDataSocket::startTls(m_data);
        onDataConnected();
        sendTransferCommand();
    });
    // Through a proxy the proxy resolves the name; directly, the address we already know is used.
    if (m_ctx.control.viaProxy())
        m_data->connectToHost(host, port, dataOpenMode());
    else
        m_data->connectToHost(address, port, dataOpenMode());
    armTimer();
}

void FtpDataOperation::startActive()
{
    m_listener = new FtpDataListener(dataOpenMode(), m_ctx.protectData ? &m_ctx.control : nullptr, this);
    m_listener->setProxy(m_ctx.control.proxy());
    m_listener->setMaxPendingConnections(1);
    connect(m_listener, &QTcpServer::newConnection, this, &FtpDataOperation::onAccepted);
    if (!m_listener->listen(m_ctx.control.localAddress(), 0))
        return fail(QStringLiteral("Could not listen for a data connection: %1").arg(m_listener->errorString()));
    const bool v4 = m_listener->serverAddress().protocol() == QAbstractSocket::IPv4Protocol;
    m_state = (m_ctx.eprtRefused && v4) ? State::Port : State::Eprt;
    const QHostAddress address = m_listener->serverAddress();
    const quint16 port = m_listener->serverPort();
    send(m_state == State::Eprt ? "EPRT " + FtpDataAddress::eprtArgument(address, port)
                                : "PORT " + FtpDataAddress::portArgument(address, port));
}

void FtpDataOperation::onActiveReply(const FtpReply &reply)
{
    if (m_state == State::Eprt && refused(reply) &&
        m_listener->serverAddress().protocol() == QAbstractSocket::IPv4Protocol) {
        m_ctx.eprtRefused = true;
        m_state = State::Port;
        return send("PORT " + FtpDataAddress::portArgument(m_listener->serverAddress(), m_listener->serverPort()));
    }
    if (!reply.isPositive())
        return fail(reply);
    sendTransferCommand();
}

void FtpDataOperation::onAccepted()
{
    if (m_data || !m_listener->hasPendingConnections())
        return;
    m_data = m_listener->nextPendingConnection();
    m_data->setParent(this);
    m_data->setReadBufferSize(kSocketBuffer);
    m_listener->close();
    watchData();
    FtpDataSocket::startTls(m_data);
    armTimer();
    onDataConnected();
}

void FtpDataOperation::watchData()
{
    connect(m_data, &QTcpSocket::readyRead, this, [this] {
        armTimer();
        onDataReadable();
    });
    connect(m_data, &QTcpSocket::disconnected, this, [this] { onDataClosed(); });
    connect(m_data, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            // Over TLS the server may wait for our close_notify before it closes: answer it, and
            // "disconnected" follows. Not from inside the socket's own reporting.
            if (FtpDataSocket::tlsEnded(m_data))
                QTimer::singleShot(0, m_data, [socket = m_data] { socket->disconnectFromHost(); });
            return; // "disconnected" follows
        }
        // Before the transfer command the control connection is still in step; after it, a lost
        // data connection still gets its final reply.
        if (m_state != State::Transfer)
            return fail(QStringLiteral("Could not open the data connection: %1").arg(m_data->errorString()));
        onDataClosed();
    });
}

void FtpDataOperation::releaseDataSocket()
{
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
}

void FtpDataOperation::sendTransferCommand()
{
    if (isFinished() || m_state == State::Transfer)
        return;
    m_state = State::Transfer;
    send(transferCommand());
}

void FtpDataOperation::cleanup()
{
    if (m_listener)
        m_listener->close();
    if (m_data) {
        releaseDataSocket();
        m_data->abort();
    }
}
